// The screen camera's compressor list, its temporary-file deletion (the progress it reports,
// a cancel, a file another handle holds) and the texts of its AVI error tables.
#include <gtest/gtest.h>

#include <windows.h>
#include <vfw.h>

#include <string>
#include <vector>

#include "base/unique.h"
#include "engine/camera/ScrCam.h"
#include "engine/capture/compressors.h"
#include "tests/engine/scrcamNS_support.h"
#include "tests/support/passthrough_codec.h"

namespace {

using ScrCam::TScreenCamera;

struct Deleting {
  int percent;
  std::wstring caption;
  bool operator==(const Deleting&) const = default;
};

// The paths waiting in the registry for deletion at the next restart.
std::wstring PendingRenames() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
    return L"";
  DWORD size = 0, type = 0;
  std::wstring value;
  if (::RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      size > 0) {
    value.resize(size / sizeof(wchar_t) + 1);
    ::RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                       &size);
    for (wchar_t& c : value)
      if (c == L'\0') c = L'|';
  }
  ::RegCloseKey(key);
  return value;
}

void ClearPendingRenames() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_SET_VALUE,
                      &key) != ERROR_SUCCESS)
    return;
  ::RegDeleteValueW(key, L"PendingFileRenameOperations");
  ::RegCloseKey(key);
}

TEST(ScrCamCompressors, OnlyThoseThatTakeTheRectangleAtTheDepth) {
  testsupport::PassThroughOptions fours;
  fours.widthMultiple = 4;
  fours.bitDepths = {8, 32};
  testsupport::ScopedPassThrough pass(fours);
  ASSERT_TRUE(pass.ok());
  TScreenCamera cam;
  struct Case {
    int width;
    engine::TPixelFormat colors;
    bool passThrough, mrle;
  };
  const Case cases[] = {
      {304, engine::TPixelFormat::pf32bit, true, false},
      {301, engine::TPixelFormat::pf32bit, false, false},
      {304, engine::TPixelFormat::pf8bit, true, true},
      {301, engine::TPixelFormat::pf16bit, false, false},
  };
  for (const Case& c : cases) {
    cam.SetCaptureArea({0, 0, c.width, 200});
    cam.SetColors(c.colors);
    const std::vector<std::wstring>& list = cam.GetVideoCompressors();
    ASSERT_EQ(&list, &cam.VideoCompressors);
    ASSERT_EQ(static_cast<int>(list.size()), cam.CompressorCount);
    bool listed = false, mrle = false;
    for (int i = 0; i < cam.CompressorCount; ++i) {
      EXPECT_EQ(list[i], cam.Compressors[i].szDescription) << i;
      listed = listed || engine::SameFourCC(cam.Compressors[i].fccHandler, testsupport::kPassThroughFourCC);
      mrle = mrle || engine::SameFourCC(cam.Compressors[i].fccHandler, mmioFOURCC('M', 'R', 'L', 'E'));
    }
    for (int i = cam.CompressorCount; i < ScrCam::kMaxCompressors; ++i)
      EXPECT_EQ(cam.Compressors[i].fccHandler, 0u) << "slot " << i << " after the list";
    EXPECT_EQ(listed, c.passThrough) << c.width << " at " << cam.BitsPerPixel() << " bits";
    EXPECT_EQ(mrle, c.mrle) << c.width << " at " << cam.BitsPerPixel() << " bits";
  }
}

class ScrCamDelete : public testing::Test {
 protected:
  void SetUp() override {
    cam_.OnDeleting = [this](TScreenCamera&, int percent, const std::wstring& caption, bool& cont) {
      events_.push_back({percent, caption});
      if (cancelAt_ == static_cast<int>(events_.size())) cont = false;
    };
  }
  std::wstring MakeFile(const std::wstring& name) {
    const std::wstring path = folder_.Path(name);
    scrcamNStest::WriteTextFile(path, "data");
    return path;
  }

  scrcamNStest::ScratchFolder folder_;
  TScreenCamera cam_;
  std::vector<Deleting> events_;
  int cancelAt_ = 0;  // the event (1-based) whose Continue is answered False
};

TEST_F(ScrCamDelete, ProgressCancelAndAMissingFile) {
  const Deleting done{100, L""}, round1{2, L"Deleting Temp File"};
  struct Case {
    const char* name;
    bool exists;
    int cancelAt;
    bool result, kept;
    std::vector<Deleting> events;
  };
  const Case cases[] = {
      {"missing", false, 0, true, false, {done}},
      {"deleted in round 1", true, 0, true, false, {round1, done}},
      {"cancelled in round 1", true, 1, false, true, {round1, done}},
  };
  for (const Case& c : cases) {
    const std::wstring path = c.exists ? MakeFile(L"temp.avi") : folder_.Path(L"none.avi");
    events_.clear();
    cancelAt_ = c.cancelAt;
    EXPECT_EQ(ScrCam::DeleteTempFile(path), c.result) << c.name;
    EXPECT_EQ(scrcamNStest::FileExists(path), c.kept) << c.name;
    EXPECT_EQ(events_, c.events) << c.name;
  }
  // Without a camera nothing is reported.
  const std::wstring path = MakeFile(L"quiet.avi");
  events_.clear();
  ScrCam::CameraInstance = nullptr;
  EXPECT_TRUE(ScrCam::DeleteTempFile(path));
  ScrCam::CameraInstance = &cam_;
  EXPECT_TRUE(events_.empty());
}

// A file that another process holds may hold its recording: it is left where it is, never
// scheduled for deletion at the next restart.
TEST_F(ScrCamDelete, AFileHeldOpenIsLeftAndReportedAsThere) {
  const std::wstring path = MakeFile(L"held.avi");
  const std::wstring pendingBefore = PendingRenames();
  {
    base::UniqueFile held(
        ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    EXPECT_TRUE(ScrCam::IsFileInUse(path));
    EXPECT_FALSE(ScrCam::DeleteTempFile(path)) << "a file still there is not deleted";
  }
  ASSERT_EQ(events_.size(), 51u);
  for (int round = 1; round <= 50; ++round)
    EXPECT_EQ(events_[round - 1], (Deleting{2 * round, L"Deleting Temp File"})) << round;
  EXPECT_EQ(events_.back(), (Deleting{100, L""}));
  EXPECT_TRUE(scrcamNStest::FileExists(path));
  EXPECT_EQ(PendingRenames(), pendingBefore) << "nothing scheduled for the restart";
  EXPECT_EQ(PendingRenames().find(L"held.avi"), std::wstring::npos);
  if (pendingBefore.empty()) ClearPendingRenames();
  EXPECT_FALSE(ScrCam::IsFileInUse(path));
  EXPECT_FALSE(ScrCam::IsFileInUse(folder_.Path(L"none.avi")));
}

TEST(ScrCamFiles, TempFolderAndNonAsciiNames) {
  const std::wstring folder = ScrCam::GetTempFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(::GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_FALSE(ScrCam::HasNonAsciiChar(L"C:\\rec\\1.avi~\x7f"));
  EXPECT_TRUE(ScrCam::HasNonAsciiChar(L"C:\\r\x00e9" L"c\\1.avi"));
  EXPECT_TRUE(ScrCam::HasNonAsciiChar(L"C:\\录像\\1.avi"));
}

// The temporary folder is never a drive's root: a folder that leaves no room for the names
// written there gives way to the next candidate.
TEST(ScrCamFiles, TempFolderCandidates) {
  const std::wstring fits(200, L'a'), tooLong(220, L'b');
  struct Case {
    const char* name;
    std::vector<std::wstring> candidates;
    std::wstring chosen;
  } cases[] = {
      {"as given", {L"C:\\temp\\", L"C:\\prog\\"}, L"C:\\temp\\"},
      {"a backslash added", {L"C:\\temp"}, L"C:\\temp\\"},
      {"empty: the next", {L"", L"C:\\TEMPOR~1\\", L"C:\\prog\\"}, L"C:\\TEMPOR~1\\"},
      {"empty twice: the program's", {L"", L"", L"C:\\prog\\"}, L"C:\\prog\\"},
      {"too long: the short form", {L"C:\\" + tooLong + L"\\", L"C:\\TEMPOR~1\\"}, L"C:\\TEMPOR~1\\"},
      {"just fits", {L"C:\\" + fits + L"\\", L"C:\\prog\\"}, L"C:\\" + fits + L"\\"},
      {"nothing fits: the last", {L"", L"C:\\" + tooLong, L""}, L"C:\\" + tooLong + L"\\"},
      {"none", {L"", L""}, L""},
  };
  for (const Case& c : cases) EXPECT_EQ(ScrCam::PickTempFolder(c.candidates), c.chosen) << c.name;
}

// The same through the process's TMP: a usable one is taken as it is, one too long for the
// names by its 8.3 form, one that cannot be had at all gives the program's folder.
TEST(ScrCamFiles, TempFolderFallsBackFromTheEnvironment) {
  wchar_t saved[MAX_PATH + 1] = {};
  const DWORD savedLength = ::GetEnvironmentVariableW(L"TMP", saved, MAX_PATH + 1);
  wchar_t module[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring program(module);
  program.resize(program.find_last_of(L'\\') + 1);

  scrcamNStest::ScratchFolder scratch;
  const std::wstring usable = scratch.Path(L"tmp");
  ASSERT_TRUE(::CreateDirectoryW(usable.c_str(), nullptr));
  // Nested so every part stays a legal name, and long enough to leave no room for the names.
  std::wstring deep = scratch.Path(L"");
  while (deep.size() + ScrCam::kLongestTempName < MAX_PATH) {
    deep += std::wstring(40, L'd') + L"\\";
    ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr)) << ::GetLastError();
  }
  wchar_t deepShort[MAX_PATH] = {};
  ASSERT_GT(::GetShortPathNameW(deep.c_str(), deepShort, MAX_PATH), 0u);

  struct Case {
    const char* name;
    std::wstring tmp;
    std::wstring folder;
  } cases[] = {
      {"usable", usable, usable + L"\\"},
      {"too long", deep, deepShort},
      {"missing and too long", deep + std::wstring(40, L'x') + L"\\", program},
      // The system hands a missing TMP on as it is: no file could be made there.
      {"missing", scratch.Path(L"gone") + L"\\", program},
      {"a file, not a folder", scratch.Path(L"plain.txt"), program},
  };
  scrcamNStest::WriteTextFile(scratch.Path(L"plain.txt"), "not a folder");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TMP", c.tmp.c_str()));
    const std::wstring folder = ScrCam::GetTempFolder();
    EXPECT_EQ(folder, c.folder);
    EXPECT_LT(folder.size() + ScrCam::kLongestTempName, static_cast<size_t>(MAX_PATH));
  }
  // The camera's temporary files follow it.
  {
    TScreenCamera camera;
    EXPECT_EQ(ScrCam::TempVideoFile, program + L"tmpVideoStream.avi");
    EXPECT_EQ(ScrCam::TempAudioFile, program + L"tmpAudioStream.wav");
  }
  ::SetEnvironmentVariableW(L"TMP", savedLength ? saved : nullptr);
}

TEST(ScrCamFiles, ErrorTables) {
  struct Case {
    HRESULT code;
    const wchar_t* save;
    const wchar_t* open;
  };
  const wchar_t* unknownOpen = L"Unknown error opening stream file";
  const Case cases[] = {
      {AVIERR_UNSUPPORTED, L"Error: unsupported format!", unknownOpen},
      {AVIERR_BADFORMAT, L"Error: bad format!",
       L"The file could not be read, indicating a corrupt file or an unrecognized format."},
      {AVIERR_MEMORY, L"Error: out of memory!", L"The file could not be opened because of insufficient memory."},
      {AVIERR_INTERNAL, L"Error: internal error!", unknownOpen},
      {AVIERR_BADFLAGS, L"Error: bad flags!", unknownOpen},
      {AVIERR_BADPARAM, L"Error: bad params!", unknownOpen},
      {AVIERR_BADSIZE, L"Error: bad size!", unknownOpen},
      {AVIERR_BADHANDLE, L"Error: bad handle!", unknownOpen},
      {AVIERR_FILEREAD, L"Error: reading files!", L"A disk error occurred while reading the stream file."},
      {AVIERR_FILEWRITE, L"Error: writing files!", unknownOpen},
      {AVIERR_FILEOPEN, L"Error: opening files!", L"A disk error occurred while opening the stream file."},
      {AVIERR_COMPRESSOR, L"Error: in compressor!", unknownOpen},
      {AVIERR_NOCOMPRESSOR, L"Error: no compressor!", unknownOpen},
      {AVIERR_READONLY, L"Error: read-only files!", unknownOpen},
      {AVIERR_NODATA, L"Error: no data!", unknownOpen},
      {AVIERR_BUFFERTOOSMALL, L"Error: buffer too small!", unknownOpen},
      {AVIERR_CANTCOMPRESS, L"Error: cannot compress!", unknownOpen},
      {AVIERR_USERABORT, L"Error: user abort!", unknownOpen},
      {AVIERR_ERROR, L"Error: generic!", unknownOpen},
      {REGDB_E_CLASSNOTREG, L"Avi error number: 2147746132",
       L"According to the registry, the type of stream file specified in AVIFileOpen does not have a handler to "
       L"process it."},
      {static_cast<HRESULT>(0x80004005), L"Avi error number: 2147500037", unknownOpen},
      {1, L"Avi error number: 1", unknownOpen},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScrCam::SaveErrorText(c.code), c.save) << std::hex << c.code;
    EXPECT_EQ(ScrCam::OpenErrorText(c.code), c.open) << std::hex << c.code;
  }
}

}  // namespace
