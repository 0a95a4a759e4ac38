// Names for the multimedia file functions: a path with Chinese characters is handed over by
// its short name (the file made first for writing), an ASCII one as it is; where no short
// name can be had, a writer writes a temporary file that goes into place once complete. The
// AVIFile calls are real; only the "no short name" case goes through the seam.
#include <gtest/gtest.h>

#include <windows.h>
#include <vfw.h>

#include <cwchar>
#include <string>

#include "base/short_names.h"
#include "base/text.h"
#include "base/unique.h"
#include "tests/support/scratch_folder.h"

namespace {

const std::wstring kChineseFolder = L"录像文件夹";
const std::wstring kChineseName = L"录像测试.avi";

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Read(const std::wstring& path) {
  base::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string bytes;
  char buffer[256];
  DWORD got = 0;
  while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

bool Write(const std::wstring& path, const std::string& bytes) {
  base::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file && ::WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// Makes an empty AVI file with one video stream through AVIFile under name; true when it could.
bool WriteAvi(const std::wstring& name) {
  ::AVIFileInit();
  bool ok = false;
  PAVIFILE file = nullptr;
  if (::AVIFileOpenW(&file, name.c_str(), OF_WRITE | OF_CREATE, nullptr) == AVIERR_OK) {
    AVISTREAMINFOW info{};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = 10;
    PAVISTREAM stream = nullptr;
    ok = ::AVIFileCreateStream(file, &stream, &info) == AVIERR_OK;
    if (stream) ::AVIStreamRelease(stream);
    ::AVIFileRelease(file);
  }
  ::AVIFileExit();
  return ok;
}

DWORD WINAPI NoShortName(const wchar_t*, wchar_t*, DWORD) {
  ::SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

// A volume that keeps no 8.3 names: the system hands the long name back as the "short" one.
DWORD WINAPI LongNameAsShortName(const wchar_t* longPath, wchar_t* shortPath, DWORD size) {
  const DWORD length = static_cast<DWORD>(std::wcslen(longPath));
  if (!shortPath || size <= length) return length + 1;
  std::wmemcpy(shortPath, longPath, length + 1);
  return length;
}

class ShortNames : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = scratch_ / kChineseFolder + L"\\";
    ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
  }
  testsupport::ScratchFolder scratch_;
  std::wstring folder_;  // a Chinese folder in the scratch folder
};

TEST_F(ShortNames, AsciiTellsWhichPathsTheMultimediaFunctionsTake) {
  const struct {
    const wchar_t* path;
    bool ascii;
  } cases[] = {{L"C:\\rec\\1.avi", true}, {L"", true}, {L"C:\\录像\\1.avi", false}, {L"C:\\r\u00e9c\\1.avi", false},
               {L"C:\\rec\\\u007f.avi", true}};
  for (const auto& c : cases) EXPECT_EQ(base::IsAsciiPath(c.path), c.ascii) << Narrow(c.path);
}

TEST_F(ShortNames, ReadingAChineseFileGoesByItsShortName) {
  const std::wstring ascii = scratch_ / L"plain.avi";
  EXPECT_EQ(base::MultimediaNameForReading(ascii).value_or(L"-"), ascii) << "an ASCII path is taken as it is";

  const std::wstring path = folder_ + kChineseName;
  EXPECT_FALSE(base::MultimediaNameForReading(path).has_value()) << "a missing file has no short name";
  ASSERT_TRUE(Write(path, "recording"));
  const auto name = base::MultimediaNameForReading(path);
  ASSERT_TRUE(name.has_value());
  EXPECT_TRUE(base::IsAsciiPath(*name)) << Narrow(*name);
  EXPECT_EQ(Read(*name), "recording") << "the short name is the same file";
}

// A long file name goes by its short name too: Wine's AVI reader fails (or corrupts its heap)
// for names of 58 characters or more. Up to 48 the name is taken as it is.
TEST_F(ShortNames, ReadingALongNamedFileGoesByItsShortName) {
  const struct {
    size_t length;  // of the file name, extension included
    bool asItIs;
  } cases[] = {{12, true}, {48, true}, {49, false}, {250, false}};
  for (const auto& c : cases) {
    const std::wstring path = scratch_ / (std::wstring(c.length - 4, L'n') + L".avi");
    ASSERT_TRUE(Write(path, "recording")) << c.length;
    const auto name = base::MultimediaNameForReading(path);
    ASSERT_TRUE(name.has_value()) << c.length;
    EXPECT_EQ(*name == path, c.asItIs) << c.length << ": " << Narrow(*name);
    EXPECT_EQ(Read(*name), "recording") << "the short name is the same file";
    ::DeleteFileW(path.c_str());
  }
}

// Where the volume keeps no 8.3 names the "short" name is the long one: a name the AVI reader
// cannot take is refused, and the caller learns why.
TEST_F(ShortNames, ALongNameThatComesBackAsItsOwnShortNameIsRefused) {
  const struct {
    const wchar_t* name;
    bool usable;
    base::NoReadingName why;
  } cases[] = {
      {L"short.avi", true, {}},
      {L"nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn.avi", true, {}},  // 48
      {L"nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn.avi", false, base::NoReadingName::NameTooLong},  // 49
      {L"nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn.avi", false,
       base::NoReadingName::NameTooLong},
      {L"录像测试.avi", false, base::NoReadingName::NoShortName},  // the long name is no ASCII
  };
  const base::ShortNameFunction previous = base::SetShortNameFunction(&LongNameAsShortName);
  for (const auto& c : cases) {
    const std::wstring path = scratch_ / c.name;
    ASSERT_TRUE(Write(path, "recording")) << Narrow(c.name);
    base::NoReadingName why = c.why == base::NoReadingName::NoShortName ? base::NoReadingName::NameTooLong
                                                                        : base::NoReadingName::NoShortName;
    const auto name = base::MultimediaNameForReading(path, &why);
    EXPECT_EQ(name.has_value(), c.usable) << Narrow(c.name) << ": got " << Narrow(name.value_or(L"nothing"));
    if (c.usable) {
      EXPECT_EQ(name.value_or(L""), path);
    } else {
      EXPECT_EQ(static_cast<int>(why), static_cast<int>(c.why)) << Narrow(c.name);
    }
  }
  base::SetShortNameFunction(previous);
}

// The recorder's road: a target in a Chinese folder is written by AVIFile through the name the
// target gives, and the recording ends up under its own name.
TEST_F(ShortNames, AWriterReachesAChineseTargetThroughItsShortName) {
  const std::wstring path = folder_ + kChineseName;
  {
    base::MultimediaTarget target(path, L"shortnames_test.avi");
    EXPECT_FALSE(target.ViaTemporaryFile());
    EXPECT_TRUE(base::IsAsciiPath(target.Name())) << Narrow(target.Name());
    EXPECT_TRUE(Exists(path)) << "the file is made first, so it has a short name";
    ASSERT_TRUE(WriteAvi(target.Name()));
    EXPECT_TRUE(target.Commit());
  }
  EXPECT_EQ(Read(path).substr(0, 4), "RIFF");
  EXPECT_EQ(Read(path).substr(8, 4), "AVI ");

  // Given up before anything was written: the empty file made for the short name goes.
  const std::wstring unused = folder_ + L"没有录像.avi";
  { base::MultimediaTarget target(unused, L"shortnames_test.avi"); }
  EXPECT_FALSE(Exists(unused));

  // An ASCII target is taken as it is and nothing is made for it.
  const std::wstring ascii = scratch_ / L"plain.avi";
  base::MultimediaTarget plain(ascii, L"shortnames_test.avi");
  EXPECT_EQ(plain.Name(), ascii);
  EXPECT_FALSE(Exists(ascii));
}

// Without short names the writer writes an ASCII-named temporary file, which goes into place
// when committed, or when the target is let go with something written; an empty one goes.
TEST_F(ShortNames, WithoutAShortNameTheWriterWritesATemporaryFileThatMovesIntoPlace) {
  struct Case {
    const char* what;
    bool write;
    bool commit;
    bool arrives;
  } cases[] = {
      {"written and committed", true, true, true},
      {"written, not committed", true, false, true},
      {"nothing written", false, false, false},
  };
  const base::ShortNameFunction previous = base::SetShortNameFunction(&NoShortName);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring path = folder_ + kChineseName;
    ::DeleteFileW(path.c_str());
    std::wstring temporary;
    {
      base::MultimediaTarget target(path, L"shortnames_test.avi");
      ASSERT_TRUE(target.ViaTemporaryFile());
      temporary = target.Name();
      EXPECT_TRUE(base::IsAsciiPath(temporary)) << Narrow(temporary);
      EXPECT_FALSE(Exists(path)) << "nothing is left at the target meanwhile";
      if (c.write) {
        ASSERT_TRUE(WriteAvi(temporary));
      }
      if (c.commit) {
        EXPECT_TRUE(target.Commit());
      }
    }
    EXPECT_EQ(Exists(path), c.arrives);
    if (c.arrives) {
      EXPECT_EQ(Read(path).substr(8, 4), "AVI ");
    }
    EXPECT_FALSE(Exists(temporary)) << "the temporary file stayed";
  }
  base::SetShortNameFunction(previous);
}

// Another writer's temporary file (another copy of the program recording through the same
// name) is never written over: the next free name is made for this one.
TEST_F(ShortNames, AnotherWritersTemporaryFileIsLeftAlone) {
  const base::ShortNameFunction previous = base::SetShortNameFunction(&NoShortName);
  const std::wstring path = folder_ + kChineseName;
  ::DeleteFileW(path.c_str());
  std::wstring first;
  {
    base::MultimediaTarget other(path, L"shortnames_test.avi");
    ASSERT_TRUE(other.ViaTemporaryFile());
    first = other.Name();
    ASSERT_TRUE(WriteAvi(first));
    const std::string written = Read(first);
    {
      base::MultimediaTarget mine(path, L"shortnames_test.avi");
      ASSERT_TRUE(mine.ViaTemporaryFile());
      EXPECT_NE(mine.Name(), first);
      EXPECT_TRUE(base::IsAsciiPath(mine.Name()));
      mine.Discard();
    }
    EXPECT_EQ(Read(first), written) << "the other writer's file was touched";
    other.Discard();
  }
  EXPECT_FALSE(Exists(first));
  base::SetShortNameFunction(previous);
}

}  // namespace
