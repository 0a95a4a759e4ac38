// The install steps that need no window: the update folder read from the command line, the
// check of an install folder, and the program file written beside its target and moved in.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/seams.h"
#include "base/text.h"
#include "base/unique.h"
#include "setup/install.h"
#include "tests/support/doubles.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/source_files.h"

namespace {

using testsupport::ScratchFolder;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

// The bytes of a file, or "<missing>".
std::string ReadAll(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ? "<missing>" : testsupport::ReadBytes(path);
}

using testsupport::FilesIn;

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
  testsupport::WriteBytes(withProgram + L"Reclume.exe", "old");
  testsupport::WriteBytes(withAside + L"qivupdatetmp.exe", "aside");
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
  testsupport::WriteBytes(scratch / L"Reclume.exe", "an old program that is longer than the new one");
  const std::string program = std::string("MZ\0\x90new program", 15);
  ASSERT_EQ(setup::WriteProgramFile(scratch.path(), Bytes(program)), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(ReadAll(scratch / L"Reclume.exe"), program);
  EXPECT_EQ(FilesIn(scratch.path()).size(), 1u) << "a temporary file was left";
}

TEST(ProgramFile, AFailureLeavesTheOldFileAndNoTemporaryFile) {
  ScratchFolder scratch;
  // The target held without sharing (a running program), and a folder in the target's place.
  testsupport::WriteBytes(scratch / L"Reclume.exe", "old");
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
  EXPECT_TRUE(FilesIn(blocked).empty()) << "a temporary file was left";
  // Nothing to write is a failure too.
  EXPECT_NE(setup::WriteProgramFile(scratch.path(), {}), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(UpdateMode, AFailedUpdatePutsTheAsideCopyBackAndSaysSo) {
  ScratchFolder scratch;
  testsupport::WriteBytes(scratch / L"qivupdatetmp.exe", "the program that ran");
  testsupport::ScriptedPrompter prompter;
  base::ScopedPrompter usePrompter(prompter);
  // Nothing to write: the update fails.
  EXPECT_FALSE(setup::RunUpdate(scratch.path(), {}));
  EXPECT_EQ(ReadAll(scratch / L"Reclume.exe"), "the program that ran");
  EXPECT_EQ(ReadAll(scratch / L"qivupdatetmp.exe"), "<missing>");
  ASSERT_EQ(prompter.asked().size(), 1u);
  EXPECT_EQ(Narrow(prompter.asked()[0].text), Narrow(setup::FailureMessage()));
  EXPECT_EQ(Narrow(prompter.asked()[0].caption), Narrow(L"QIV软件安装包"));

  // A successful one leaves the aside copy to the program that made it.
  testsupport::WriteBytes(scratch / L"qivupdatetmp.exe", "aside");
  EXPECT_TRUE(setup::RunUpdate(scratch.path(), Bytes("new")));
  EXPECT_EQ(ReadAll(scratch / L"Reclume.exe"), "new");
  EXPECT_EQ(prompter.asked().size(), 1u);
}

}  // namespace
