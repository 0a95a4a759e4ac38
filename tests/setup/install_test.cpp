// The install steps that need no window: the update folder read from the command line, the
// check of an install folder, and the program file written beside its target and moved in.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "base/unique.h"
#include "setup/install.h"
#include "tests/support/scratch_folder.h"

namespace {

using testsupport::ScratchFolder;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

std::string ReadAll(const std::wstring& path) {
  base::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  if (!file) return "<missing>";
  std::string bytes(::GetFileSize(file.get(), nullptr), '\0');
  DWORD read = 0;
  ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  return bytes;
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
  base::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data{};
  base::UniqueFind find(::FindFirstFileW((folder + L"*").c_str(), &data));
  if (!find) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (::FindNextFileW(find.get(), &data));
  return names;
}

std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(UpdateDir, QuestionMarksAreBlanksAndTheArgumentIsTrimmed) {
  struct Case {
    const wchar_t* line;
    const wchar_t* dir;
  } cases[] = {
      {L"Pelvane.exe C:\\Program?Files\\Ombrix\\QIVKV\\", L"C:\\Program Files\\Ombrix\\QIVKV\\"},
      {L"Pelvane.exe \"  C:\\a b\\ \"", L"C:\\a b\\"},
      {L"Pelvane.exe ??C:\\x??", L"C:\\x"},
      {L"Pelvane.exe C:\\first C:\\second", L"C:\\first"},
      {L"Pelvane.exe", L""},
      {L"", L""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Narrow(setup::UpdateDirFromCommandLine(c.line)), Narrow(c.dir)) << "command line: " << Narrow(c.line);
}

TEST(InstallFolder, OnlyAbsoluteFoldersAreAccepted) {
  struct Case {
    const wchar_t* folder;
    bool absolute;
  } cases[] = {
      {L"C:\\Program Files\\Ombrix\\QIVKV\\", true}, {L"d:\\x", true},       {L"  C:\\屏幕 录像  ", true},
      {L"\\\\server\\share\\dir", true},              {L"\\\\server\\share", true},
      {L"\\\\server", false},                         {L"\\\\server\\", false}, {L"", false},
      {L"   ", false},                                {L"abc\\def", false},    {L"\\Ombrix\\QIVKV\\", false},
      {L"C:", true},                                  {L"C:abc", false},       {L"1:\\x", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(setup::IsAbsoluteFolder(c.folder), c.absolute) << "folder: [" << Narrow(c.folder) << "]";
}

TEST(InstallFolder, UpdateModeNeedsAnExistingFolderWithTheProgramOrItsAsideCopy) {
  ScratchFolder scratch;
  const std::wstring withProgram = scratch / L"with program\\";
  const std::wstring withAside = scratch / L"with aside\\";
  const std::wstring empty = scratch / L"empty\\";
  for (const auto& dir : {withProgram, withAside, empty}) ::CreateDirectoryW(dir.c_str(), nullptr);
  WriteAll(withProgram + L"Reclume.exe", "old");
  WriteAll(withAside + L"qivupdatetmp.exe", "aside");
  struct Case {
    std::wstring dir;
    bool update;
  } cases[] = {
      {withProgram, true},           {withAside, true}, {empty, false}, {scratch / L"missing\\", false},
      {L"with program\\", false},    {L"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(setup::IsUpdateTarget(c.dir), c.update) << "dir: " << Narrow(c.dir);
}

TEST(ProgramFile, ReplacesTheOldFileWholeAndLeavesNothingElse) {
  ScratchFolder scratch;
  WriteAll(scratch / L"Reclume.exe", "an old program that is longer than the new one");
  const std::string program = std::string("MZ\0\x90new program", 15);
  ASSERT_EQ(setup::WriteProgramFile(scratch.path(), Bytes(program)), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(ReadAll(scratch / L"Reclume.exe"), program);
  EXPECT_EQ(FilesIn(scratch.path()).size(), 1u) << "a temporary file was left";
}

TEST(ProgramFile, AFailureLeavesTheOldFileAndNoTemporaryFile) {
  ScratchFolder scratch;
  // The target held without sharing (a running program), and a folder in the target's place.
  WriteAll(scratch / L"Reclume.exe", "old");
  {
    base::UniqueFile held(::CreateFileW((scratch / L"Reclume.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                        nullptr));
    ASSERT_TRUE(held);
    EXPECT_NE(setup::WriteProgramFile(scratch.path(), Bytes("new")), static_cast<DWORD>(ERROR_SUCCESS));
  }
  EXPECT_EQ(ReadAll(scratch / L"Reclume.exe"), "old");
  EXPECT_EQ(FilesIn(scratch.path()).size(), 1u);

  const std::wstring blocked = scratch / L"blocked\\";
  ::CreateDirectoryW(blocked.c_str(), nullptr);
  ::CreateDirectoryW((blocked + L"Reclume.exe").c_str(), nullptr);
  EXPECT_NE(setup::WriteProgramFile(blocked, Bytes("new")), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(FilesIn(blocked).size(), 1u);
  // Nothing to write is a failure too.
  EXPECT_NE(setup::WriteProgramFile(scratch.path(), {}), static_cast<DWORD>(ERROR_SUCCESS));
}

}  // namespace
