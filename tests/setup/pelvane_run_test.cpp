// Pelvane and Reclume's uninstall mode run for real, in the scratch prefix the shell test
// setup.pelvane makes (its web addresses open into C:\opened.txt); elsewhere these tests skip.
// The driver starts the programs, presses their buttons and answers their message boxes; the
// tests read back the files, registry values and links the programs left.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <functional>
#include <string>
#include <vector>

#include "app/forms/control_ids.h"
#include "app/program.h"
#include "app/uninstall/uninstall.h"
#include "app/uninstall/uninstall_form.h"
#include "base/files.h"
#include "base/ombrix_reg.h"
#include "base/seams.h"
#include "base/text.h"
#include "base/unique.h"
#include "setup/install.h"
#include "setup/setup_form.h"
#include "setup/setup_ids.h"
#include "setup/setup_routines.h"
#include "tests/support/doubles.h"
#include "tests/support/program_driver.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/source_files.h"

namespace {

using testsupport::RunningProgram;

constexpr const wchar_t* kProductKey = L"Software\\Ombrix\\QIVKV";
const std::wstring kEntryKey = std::wstring(base::kUninstallRoot) + L"屏幕录像";
// The install folder the shell test checks afterwards: a blank and Chinese in it.
constexpr const wchar_t* kInstallDir = L"C:\\QIV 安装\\屏幕录像\\";

#define SKIP_OUTSIDE_SCRATCH_PREFIX()                                                  \
  if (::GetEnvironmentVariableW(L"RECLUME_SETUP_PREFIX", nullptr, 0) == 0) {           \
    GTEST_SKIP() << "runs in the scratch prefix of the shell test setup.pelvane";      \
  }

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

bool FileExists(const std::wstring& path) {
  const DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// The bytes of a file, or "<missing>".
std::string ReadAll(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ? "<missing>" : testsupport::ReadBytes(path);
}

using testsupport::FilesIn;

std::wstring Value(HKEY root, const std::wstring& key, const wchar_t* name) {
  std::wstring value;
  return base::ReadRegString(root, key, name, value) ? value : L"<missing>";
}

bool KeyExists(HKEY root, const std::wstring& key) {
  base::UniqueRegKey k;
  return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, k.put()) == ERROR_SUCCESS;
}

struct Link {
  std::wstring target, workingDir, description;
};

// A link read back through the shell's link object; empty target when it cannot be read.
Link ReadLink(const std::wstring& path) {
  Link link;
  IShellLinkW* shellLink = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink))))
    return link;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
      wchar_t text[MAX_PATH * 2] = {};
      // The target as the link's item list names it (the platform's copy of the plain path
      // passes through the ANSI code page).
      PIDLIST_ABSOLUTE items = nullptr;
      if (SUCCEEDED(shellLink->GetIDList(&items)) && items) {
        if (::SHGetPathFromIDListW(items, text)) link.target = text;
        ::CoTaskMemFree(items);
      }
      text[0] = 0;
      if (SUCCEEDED(shellLink->GetWorkingDirectory(text, MAX_PATH * 2))) link.workingDir = text;
      text[0] = 0;
      if (SUCCEEDED(shellLink->GetDescription(text, MAX_PATH * 2))) link.description = text;
    }
    file->Release();
  }
  shellLink->Release();
  return link;
}

std::wstring DesktopLink() { return base::SpecialFolderPath(CSIDL_DESKTOPDIRECTORY) + L"\\QIV软件\\屏幕录像.lnk"; }
std::wstring ProgramsLink() { return base::ShellFolderValue(L"Programs") + L"\\QIV软件\\屏幕录像.lnk"; }

std::wstring ImageOf(DWORD pid) {
  base::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  wchar_t image[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  if (!process || !::QueryFullProcessImageNameW(process.get(), 0, image, &size)) return {};
  return std::wstring(image, size);
}

// The processes whose executable file name is name (and, when image is given, whose image it is).
std::vector<DWORD> Processes(const wchar_t* name, const std::wstring& image = L"") {
  std::vector<DWORD> pids;
  base::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
    if (::lstrcmpiW(entry.szExeFile, name) != 0) continue;
    if (!image.empty() && ::lstrcmpiW(ImageOf(entry.th32ProcessID).c_str(), image.c_str()) != 0) continue;
    pids.push_back(entry.th32ProcessID);
  }
  return pids;
}

bool PollFor(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start > timeoutMs) return done();
    ::Sleep(100);
  }
  return true;
}

// Ends every Reclume started from image (the installs start one).
void CloseProgramsFrom(const std::wstring& image) {
  for (DWORD pid : Processes(L"Reclume.exe", image)) {
    base::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (!process) continue;
    ::TerminateProcess(process.get(), 0);
    ::WaitForSingleObject(process.get(), 10000);
  }
}

std::wstring Pelvane() { return testsupport::BinFolder() + L"Pelvane.exe"; }
std::wstring BuiltReclume() { return testsupport::BinFolder() + L"Reclume.exe"; }

struct InstallOptions {
  bool runNow = false;
  bool desktop = true;
};

// Runs Pelvane, types folder, sets the two boxes, presses the install button and waits for the
// end of the program (or its message box: then its text comes back and the program stays).
std::wstring Install(const std::wstring& folder, InstallOptions options, RunningProgram* keep = nullptr) {
  RunningProgram own(Pelvane(), L"", testsupport::BinFolder());
  RunningProgram& run = keep ? *keep : own;
  HWND form = run.WaitForVisible(L"TForm1");
  if (!form) return L"<no window>";
  ::SendMessageW(RunningProgram::Control(form, setup::id::EdtPicPath), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(folder.c_str()));
  ::SendMessageW(RunningProgram::Control(form, setup::id::CbRunNow), BM_SETCHECK, options.runNow ? BST_CHECKED : 0, 0);
  ::SendMessageW(RunningProgram::Control(form, setup::id::CbAddToDeskTop), BM_SETCHECK,
                 options.desktop ? BST_CHECKED : 0, 0);
  RunningProgram::Click(form, setup::id::BtnNext);
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < 60000) {
    if (run.WaitForExit(100)) return run.ExitCode() == 0 ? L"" : L"<exit code>";
    HWND box = run.Find(L"#32770");
    if (box && ::IsWindowVisible(box)) {
      std::wstring text = RunningProgram::MessageBoxText(box);
      RunningProgram::CloseMessageBox(box);
      return text;
    }
  }
  return L"<timed out>";
}

std::wstring OpenedPages() {
  std::string text = ReadAll(L"C:\\opened.txt");
  return text == "<missing>" ? L"" : base::Utf8ToWide(text);
}

// This process's environment with TEMP and TMP replaced.
std::wstring EnvironmentWithTemp(const std::wstring& temp) {
  std::wstring block;
  wchar_t* env = ::GetEnvironmentStringsW();
  for (const wchar_t* p = env; *p; p += wcslen(p) + 1) {
    std::wstring entry = p;
    if (::_wcsnicmp(entry.c_str(), L"TEMP=", 5) == 0 || ::_wcsnicmp(entry.c_str(), L"TMP=", 4) == 0) continue;
    block += entry + L'\0';
  }
  ::FreeEnvironmentStringsW(env);
  block += L"TEMP=" + temp + L'\0' + L"TMP=" + temp + L'\0';
  return block + L'\0';
}

class PelvaneRun : public ::testing::Test {
 protected:
  base::ComInit com_;
};

TEST_F(PelvaneRun, ShellFolderShortcutKinds) {
  SKIP_OUTSIDE_SCRATCH_PREFIX();
  base::CreateFolderTree(base::ShellFolderValue(L"AppData") + L"\\Microsoft\\Internet Explorer\\Quick Launch");
  for (BYTE kind = 0; kind <= 5; ++kind) {
    SCOPED_TRACE("kind " + std::to_string(kind));
    const std::wstring folder = setup::ShellFolderOfKind(kind);
    EXPECT_EQ(setup::CreateShellFolderShortcut(BuiltReclume(), L"屏幕录像", kind, L""), kind <= 4);
    if (kind > 4) continue;
    const std::wstring link = folder + L"\\屏幕录像.lnk";
    EXPECT_EQ(Narrow(ReadLink(link).target), Narrow(BuiltReclume()));
    EXPECT_EQ(Narrow(ReadLink(link).description), Narrow(L"屏幕录像"));
    ::DeleteFileW(link.c_str());
  }
  // The names: the target's file name with ".lnk", and "我的电脑" for an empty target.
  const std::wstring programs = base::ShellFolderValue(L"Programs");
  EXPECT_TRUE(setup::CreateShellFolderShortcut(BuiltReclume(), L"", 2, L"QIV软件"));
  EXPECT_TRUE(FileExists(programs + L"\\QIV软件\\Reclume.lnk"));
  EXPECT_TRUE(setup::CreateShellFolderShortcut(L"", L"", 2, L""));
  EXPECT_TRUE(FileExists(programs + L"\\我的电脑.lnk"));
  ::DeleteFileW((programs + L"\\QIV软件\\Reclume.lnk").c_str());
  ::DeleteFileW((programs + L"\\我的电脑.lnk").c_str());
  // Without the Programs value nothing is made.
  base::UniqueRegKey folders;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, base::kShellFoldersKey, 0, KEY_ALL_ACCESS, folders.put()), ERROR_SUCCESS);
  ASSERT_EQ(::RegDeleteValueW(folders.get(), L"Programs"), ERROR_SUCCESS);
  EXPECT_FALSE(setup::CreateShellFolderShortcut(BuiltReclume(), L"无值", 2, L"无值组"));
  EXPECT_FALSE(base::FolderExists(programs + L"\\无值组"));
  ::RegSetValueExW(folders.get(), L"Programs", 0, REG_SZ, reinterpret_cast<const BYTE*>(programs.c_str()),
                   static_cast<DWORD>((programs.size() + 1) * sizeof(wchar_t)));
}

TEST_F(PelvaneRun, InstallWritesTheProgramKeysEntryAndLinksThenStartsIt) {
  SKIP_OUTSIDE_SCRATCH_PREFIX();
  RunningProgram run(Pelvane(), L"", testsupport::BinFolder());
  HWND form = run.WaitForVisible(L"TForm1");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(Narrow(testsupport::WindowText(form)), Narrow(L"屏幕录像安装包 v3.6"));
  const std::wstring target = std::wstring(kInstallDir) + L"Reclume.exe";
  ASSERT_EQ(Narrow(Install(kInstallDir, {.runNow = true, .desktop = true}, &run)), "");

  EXPECT_EQ(ReadAll(target), ReadAll(BuiltReclume())) << "the installed program differs from the built one";
  EXPECT_EQ(Narrow(Value(HKEY_CURRENT_USER, kProductKey, L"name")), Narrow(L"屏幕录像"));
  EXPECT_EQ(Narrow(Value(HKEY_CURRENT_USER, kProductKey, L"app")), Narrow(target));
  for (const auto& [path, working] : {std::pair{DesktopLink(), std::wstring(kInstallDir)}, {ProgramsLink(), L""}}) {
    const Link link = ReadLink(path);
    EXPECT_EQ(Narrow(link.target), Narrow(target)) << Narrow(path);
    EXPECT_EQ(Narrow(link.description), Narrow(L"屏幕录像")) << Narrow(path);
    if (!working.empty()) {
      EXPECT_EQ(Narrow(link.workingDir), Narrow(working)) << Narrow(path);
    }
  }
  EXPECT_TRUE(PollFor([] { return OpenedPages().find(L"http://www.qivsoft.example/") != std::wstring::npos; }, 20000))
      << "opened: " << Narrow(OpenedPages());
  EXPECT_TRUE(PollFor([&] { return !Processes(L"Reclume.exe", target).empty(); }, 30000)) << "Reclume did not start";
  CloseProgramsFrom(target);
}

TEST_F(PelvaneRun, ASecondInstallClosesOnlyTheCopyRunningFromTheTarget) {
  SKIP_OUTSIDE_SCRATCH_PREFIX();
  const std::wstring target = std::wstring(kInstallDir) + L"Reclume.exe";
  ASSERT_TRUE(FileExists(target)) << "needs the first install";
  const std::wstring elsewhere = L"C:\\elsewhere\\";
  base::CreateFolderTree(elsewhere);
  ::CopyFileW(BuiltReclume().c_str(), (elsewhere + L"Reclume.exe").c_str(), FALSE);
  ::DeleteFileW((std::wstring(kInstallDir) + L"defualt.ini").c_str());
  RunningProgram fromTarget(target, L"", kInstallDir);
  RunningProgram other(elsewhere + L"Reclume.exe", L"", elsewhere);
  ASSERT_NE(fromTarget.WaitForVisible(L"TFrmMain", true), nullptr);
  ASSERT_NE(other.WaitForVisible(L"TFrmMain", true), nullptr);
  // Something for the second install to rewrite.
  base::WriteRegStrings(HKEY_CURRENT_USER, kProductKey, {{L"name", L"old"}});
  ::DeleteFileW(DesktopLink().c_str());

  ASSERT_EQ(Narrow(Install(kInstallDir, {.runNow = false, .desktop = true})), "");
  EXPECT_FALSE(fromTarget.Running()) << "the copy running from the target still runs";
  EXPECT_TRUE(FileExists(std::wstring(kInstallDir) + L"defualt.ini")) << "the copy was not closed the way a user closes it";
  EXPECT_TRUE(other.Running()) << "a copy elsewhere was closed";
  std::vector<std::wstring> files = FilesIn(kInstallDir);
  EXPECT_EQ(files.size(), 2u) << "expected Reclume.exe and defualt.ini only";
  EXPECT_EQ(ReadAll(target), ReadAll(BuiltReclume()));
  EXPECT_EQ(Narrow(Value(HKEY_CURRENT_USER, kProductKey, L"name")), Narrow(L"屏幕录像"));
  EXPECT_EQ(Narrow(ReadLink(DesktopLink()).target), Narrow(target));
}

TEST_F(PelvaneRun, FailuresShowTheirMessageAndWriteNothingMore) {
  SKIP_OUTSIDE_SCRATCH_PREFIX();
  // A folder where the program file should go.
  base::CreateFolderTree(L"C:\\blocked\\Reclume.exe\\");
  {
    RunningProgram run(Pelvane(), L"", testsupport::BinFolder());
    const std::wstring message = Install(L"C:\\blocked", {}, &run);
    EXPECT_EQ(Narrow(message).rfind(Narrow(L"未知错误，请重新安装，或联系"), 0), 0u) << Narrow(message);
    HWND form = run.WaitForVisible(L"TForm1", false, 5000);
    ASSERT_NE(form, nullptr) << "the window closed after the failure";
    EXPECT_FALSE(::IsWindowEnabled(RunningProgram::Control(form, setup::id::BtnNext)));
    // Only leaving is possible.
    ASSERT_TRUE(PollFor([&] { return ::IsWindowEnabled(RunningProgram::Control(form, setup::id::BtnClose)) != FALSE; }, 5000));
    RunningProgram::Click(form, setup::id::BtnClose);
    EXPECT_TRUE(run.WaitForExit(10000));
  }
  // Empty and relative folders: a message, the window stays usable, nothing is written.
  const std::wstring app = Value(HKEY_CURRENT_USER, kProductKey, L"app");
  for (const wchar_t* folder : {L"", L"  ", L"relative\\folder"}) {
    SCOPED_TRACE("folder [" + Narrow(folder) + "]");
    RunningProgram run(Pelvane(), L"", testsupport::BinFolder());
    const std::wstring message = Install(folder, {}, &run);
    EXPECT_NE(message.find(L"请输入完整的安装路径"), std::wstring::npos) << Narrow(message);
    HWND form = run.WaitForVisible(L"TForm1", false, 5000);
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(PollFor([&] { return ::IsWindowEnabled(RunningProgram::Control(form, setup::id::BtnNext)) != FALSE; }, 5000));
    EXPECT_TRUE(run.CloseAndWait(form, 10000));
  }
  EXPECT_FALSE(base::FolderExists(testsupport::BinFolder() + L"relative"));
  EXPECT_EQ(Narrow(Value(HKEY_CURRENT_USER, kProductKey, L"app")), Narrow(app));
}

// The platform here lets anyone write HKEY_LOCAL_MACHINE; this registry refuses it as a user's
// registry would.
class RefusingMachineKeys : public base::Registry {
 public:
  LSTATUS CreateKey(HKEY root, const std::wstring& path, REGSAM access, base::UniqueRegKey& key) override {
    return root == HKEY_LOCAL_MACHINE ? ERROR_ACCESS_DENIED : Registry::CreateKey(root, path, access, key);
  }
  LSTATUS DeleteTree(HKEY root, const std::wstring& path) override {
    return root == HKEY_LOCAL_MACHINE ? ERROR_ACCESS_DENIED : Registry::DeleteTree(root, path);
  }
};

TEST_F(PelvaneRun, ARefusedEntryIsReportedAfterFileKeyAndLinksWithoutRunningAnything) {
  SKIP_OUTSIDE_SCRATCH_PREFIX();
  const std::wstring folder = L"C:\\refused 拒绝\\";
  const std::wstring target = folder + L"Reclume.exe";
  ::DeleteFileW(DesktopLink().c_str());
  ::DeleteFileW(ProgramsLink().c_str());
  const std::wstring opened = OpenedPages();
  RefusingMachineKeys registry;
  base::ScopedRegistry useRegistry(registry);
  testsupport::ScriptedPrompter prompter;
  base::ScopedPrompter usePrompter(prompter);
  const std::string program = "MZ a small program";
  setup::TForm1 form({reinterpret_cast<const uint8_t*>(program.data()), program.size()}, false);
  ASSERT_TRUE(form.Create());
  ::SetWindowTextW(::GetDlgItem(form.hwnd(), setup::id::EdtPicPath), folder.c_str());
  EXPECT_FALSE(form.BtnNextClick());
  ASSERT_EQ(prompter.asked().size(), 1u);
  EXPECT_EQ(Narrow(prompter.asked()[0].text), Narrow(setup::FailureMessage()));
  EXPECT_EQ(ReadAll(target), program);
  EXPECT_EQ(Narrow(Value(HKEY_CURRENT_USER, kProductKey, L"app")), Narrow(target));
  EXPECT_EQ(Narrow(ReadLink(DesktopLink()).target), Narrow(target));
  EXPECT_EQ(Narrow(ReadLink(ProgramsLink()).target), Narrow(target));
  EXPECT_NE(Narrow(Value(HKEY_LOCAL_MACHINE, kEntryKey, L"InstallLocation")), Narrow(folder));
  ::Sleep(2000);  // what a run or the home page would have needed to show up
  EXPECT_EQ(Narrow(OpenedPages()), Narrow(opened)) << "the home page was opened";
  EXPECT_TRUE(Processes(L"Reclume.exe", target).empty()) << "the program was started";
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(form.hwnd(), setup::id::BtnClose)));
  form.Destroy();
}

TEST_F(PelvaneRun, UpdateModeReplacesOnlyTheProgramFile) {
  SKIP_OUTSIDE_SCRATCH_PREFIX();
  const std::wstring programFiles = L"C:\\Program Files\\Ombrix\\QIVKV\\";
  const std::wstring aside = L"C:\\aside only\\";
  const std::wstring held = L"C:\\held\\";
  for (const auto& dir : {programFiles, aside, held, std::wstring(L"C:\\no program\\")}) base::CreateFolderTree(dir);
  testsupport::WriteBytes(programFiles + L"Reclume.exe", "old program");
  testsupport::WriteBytes(aside + L"qivupdatetmp.exe", "moved aside");
  testsupport::WriteBytes(held + L"Reclume.exe", "old program");
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey);
  ::DeleteFileW(DesktopLink().c_str());

  struct Case {
    const wchar_t* argument;
    std::wstring written;  // the folder that gets the program file
  } updates[] = {{L"C:\\Program?Files\\Ombrix\\QIVKV\\", programFiles}, {L"\"C:\\aside only\"", aside}};
  for (const auto& c : updates) {
    SCOPED_TRACE(Narrow(c.argument));
    RunningProgram run(Pelvane(), c.argument, testsupport::BinFolder());
    bool windowSeen = false;
    const DWORD start = ::GetTickCount();
    while (!run.WaitForExit(20) && ::GetTickCount() - start < 20000) windowSeen = windowSeen || run.Find(L"TForm1");
    ASSERT_FALSE(run.Running()) << "the update did not end within 20 s";
    EXPECT_FALSE(windowSeen);
    EXPECT_EQ(run.ExitCode(), 0u);
    EXPECT_EQ(ReadAll(c.written + L"Reclume.exe"), ReadAll(BuiltReclume()));
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProductKey));
  EXPECT_FALSE(FileExists(DesktopLink()));

  // Arguments that are no update folder open the window.
  for (const wchar_t* argument : {L"C:\\missing?folder\\", L"C:\\no?program\\", L"relative\\folder", L""}) {
    SCOPED_TRACE("argument [" + Narrow(argument) + "]");
    RunningProgram run(Pelvane(), argument, testsupport::BinFolder());
    HWND form = run.WaitForVisible(L"TForm1");
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(run.CloseAndWait(form, 10000));
  }

  // A program file held by a running program: the message, a failing exit, the old file.
  base::UniqueFile locked(::CreateFileW((held + L"Reclume.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(locked);
  RunningProgram run(Pelvane(), L"C:\\held\\", testsupport::BinFolder());
  HWND box = run.WaitForMessageBox(20000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Narrow(RunningProgram::MessageBoxText(box)), Narrow(setup::FailureMessage()));
  RunningProgram::CloseMessageBox(box);
  ASSERT_TRUE(run.WaitForExit(10000));
  EXPECT_NE(run.ExitCode(), 0u);
  locked.reset();
  EXPECT_EQ(ReadAll(held + L"Reclume.exe"), "old program");
}

struct Uninstalled {
  std::wstring message;
  bool ended = false;
};

// Runs folder's Reclume.exe with "uninstall" and TEMP = temp, presses start and answers the
// message box, then waits up to exitWaitMs for the program to end.
Uninstalled Uninstall(const std::wstring& exe, const std::wstring& temp, int button, DWORD exitWaitMs = 15000) {
  Uninstalled result;
  const std::wstring env = EnvironmentWithTemp(temp);
  RunningProgram run(exe, L"uninstall", testsupport::BinFolder(), env.c_str());
  HWND form = run.WaitForVisible(L"TFrmUninstall");
  if (!form) return result;
  RunningProgram::Click(form, button);
  if (button == app::id::BtnStartUnstall) {
    HWND box = run.WaitForMessageBox(20000);
    if (box) {
      result.message = RunningProgram::MessageBoxText(box);
      RunningProgram::CloseMessageBox(box);
    }
  }
  result.ended = run.WaitForExit(exitWaitMs);
  return result;
}

bool NoBatchLeft(const std::wstring& temp) {
  for (const auto& name : FilesIn(temp))
    if (name.rfind(L"uis", 0) == 0) return false;
  return true;
}

TEST_F(PelvaneRun, UninstallRemovesExactlyWhatSetupWrote) {
  SKIP_OUTSIDE_SCRATCH_PREFIX();
  const std::wstring folder = L"C:\\QIV 卸载\\屏幕录像\\";
  const std::wstring exe = folder + L"Reclume.exe";
  const std::wstring temp = L"C:\\temp 临时\\";
  base::CreateFolderTree(temp);
  // The desktop box unticked; a folder of the link's name where no link was made.
  ::DeleteFileW(DesktopLink().c_str());
  ASSERT_EQ(Narrow(Install(folder, {.runNow = false, .desktop = false})), "");
  EXPECT_FALSE(FileExists(DesktopLink())) << "a desktop link was made with the box unticked";
  const std::wstring desktopGroup = base::SpecialFolderPath(CSIDL_DESKTOPDIRECTORY) + L"\\QIV软件\\";
  base::CreateFolderTree(desktopGroup + L"屏幕录像");
  const std::wstring programsGroup = base::ShellFolderValue(L"Programs") + L"\\QIV软件\\";
  ::CopyFileW(ProgramsLink().c_str(), (programsGroup + L"other.lnk").c_str(), FALSE);
  base::WriteRegStrings(HKEY_CURRENT_USER, L"Software\\Ombrix\\OTHER", {{L"name", L"other"}});
  testsupport::WriteBytes(folder + L"defualt.ini", "[default]\r\n");

  // The close button removes nothing.
  Uninstalled closed = Uninstall(exe, temp, app::id::BtnClose);
  EXPECT_TRUE(closed.ended);
  EXPECT_TRUE(FileExists(exe));
  EXPECT_TRUE(FileExists(ProgramsLink()));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kProductKey));

  Uninstalled done = Uninstall(exe, temp, app::id::BtnStartUnstall);
  EXPECT_EQ(Narrow(done.message), Narrow(L"你已成功卸载『屏幕录像』"));
  EXPECT_TRUE(done.ended) << "the program did not end after the message";
  const bool allGone = PollFor([&] {
    return !FileExists(exe) && !base::FolderExists(folder) && NoBatchLeft(temp) && Processes(L"cmd.exe").empty();
  }, 15000);
  EXPECT_TRUE(allGone) << "left: exe " << FileExists(exe) << ", folder " << base::FolderExists(folder) << ", batch "
                       << !NoBatchLeft(temp) << ", cmd " << Processes(L"cmd.exe").size();
  EXPECT_FALSE(FileExists(ProgramsLink()));
  EXPECT_FALSE(FileExists(DesktopLink()));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProductKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntryKey));
  // What setup did not write stays.
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Ombrix\\OTHER"));
  EXPECT_TRUE(FileExists(programsGroup + L"other.lnk"));
  EXPECT_TRUE(base::FolderExists(desktopGroup + L"屏幕录像"));
}

TEST_F(PelvaneRun, UninstallKeepsRecordingsAndTheEntryOfAnotherFolder) {
  SKIP_OUTSIDE_SCRATCH_PREFIX();
  const std::wstring folder = L"C:\\QIV 保留\\";
  const std::wstring temp = L"C:\\temp 临时\\";
  base::CreateFolderTree(temp);
  ASSERT_EQ(Narrow(Install(folder, {.runNow = false, .desktop = true})), "");
  testsupport::WriteBytes(folder + L"1.avi", "a recording");
  // A copy run from another folder: the entry of the installed one stays.
  const std::wstring copy = L"C:\\other copy\\";
  base::CreateFolderTree(copy);
  ::CopyFileW(BuiltReclume().c_str(), (copy + L"Reclume.exe").c_str(), FALSE);
  Uninstalled fromCopy = Uninstall(copy + L"Reclume.exe", temp, app::id::BtnStartUnstall);
  EXPECT_TRUE(fromCopy.ended);
  EXPECT_EQ(Narrow(Value(HKEY_LOCAL_MACHINE, kEntryKey, L"InstallLocation")), Narrow(folder));

  Uninstalled done = Uninstall(folder + L"Reclume.exe", temp, app::id::BtnStartUnstall);
  EXPECT_EQ(Narrow(done.message), Narrow(L"你已成功卸载『屏幕录像』"));
  EXPECT_TRUE(PollFor([&] { return !FileExists(folder + L"Reclume.exe") && NoBatchLeft(temp); }, 15000));
  EXPECT_TRUE(FileExists(folder + L"1.avi"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntryKey));
}

TEST_F(PelvaneRun, ARefusedEntryDeletionIsNamed) {
  SKIP_OUTSIDE_SCRATCH_PREFIX();
  const std::wstring folder = L"C:\\refused entry\\";
  base::CreateFolderTree(folder);
  setup::WriteUninstallInfo(L"x", L"屏幕录像", L"3.6", folder, L"x");
  setup::MySoftReg().WriteSoftInfo(L"QIVKV", L"屏幕录像", folder + L"Reclume.exe");
  app::SetProgramIdentity(true);
  RefusingMachineKeys registry;
  base::ScopedRegistry useRegistry(registry);
  const std::vector<std::wstring> left = app::RemoveInstallation(folder);
  std::string names;
  for (const auto& item : left) names += Narrow(item) + "; ";
  ASSERT_EQ(left.size(), 1u) << names;
  EXPECT_EQ(Narrow(left[0]), Narrow(L"已安装程序列表中的『屏幕录像』"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kEntryKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProductKey));
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kEntryKey.c_str());
  ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEntryKey.c_str());
}

// Uninstalling in the situations a user meets: the program still running, a copy of it run
// from another folder, and folders whose names hold what cmd treats specially. Run by the shell
// test setup.uninstall in a scratch prefix of its own.
class UninstallRun : public PelvaneRun {
 protected:
  void SetUp() override { app::SetProgramIdentity(true); }
};

// What an installation in folder consists of, read back: the program file, the product key's
// "app", the entry's location and the two links' targets ("<missing>" for what is not there).
struct Installation {
  bool program = false;
  std::wstring app, location, desktopLink, programsLink;
};

Installation Installed(const std::wstring& folder) {
  Installation found;
  found.program = FileExists(folder + L"Reclume.exe");
  found.app = Value(HKEY_CURRENT_USER, kProductKey, L"app");
  found.location = Value(HKEY_LOCAL_MACHINE, kEntryKey, L"InstallLocation");
  found.desktopLink = FileExists(DesktopLink()) ? ReadLink(DesktopLink()).target : L"<missing>";
  found.programsLink = FileExists(ProgramsLink()) ? ReadLink(ProgramsLink()).target : L"<missing>";
  return found;
}

void ExpectInstalled(const std::wstring& folder) {
  const Installation found = Installed(folder);
  const std::wstring exe = folder + L"Reclume.exe";
  EXPECT_TRUE(found.program) << "no program file in " << Narrow(folder);
  EXPECT_EQ(Narrow(found.app), Narrow(exe)) << "the product key";
  EXPECT_EQ(Narrow(found.location), Narrow(folder)) << "the installed-programs entry";
  EXPECT_EQ(Narrow(found.desktopLink), Narrow(exe)) << "the desktop link";
  EXPECT_EQ(Narrow(found.programsLink), Narrow(exe)) << "the Programs link";
}

// Uninstalls folder's program and waits until its file, its folder and the batch are gone.
void ExpectUninstalled(const std::wstring& folder, const std::wstring& temp) {
  const std::wstring exe = folder + L"Reclume.exe";
  const Uninstalled done = Uninstall(exe, temp, app::id::BtnStartUnstall);
  EXPECT_EQ(Narrow(done.message), Narrow(L"你已成功卸载『屏幕录像』"));
  EXPECT_TRUE(done.ended) << "the program did not end after the message";
  const bool gone = PollFor([&] { return !FileExists(exe) && !base::FolderExists(folder) && NoBatchLeft(temp); }, 45000);
  EXPECT_TRUE(gone) << "left: program file " << FileExists(exe) << ", folder " << base::FolderExists(folder)
                    << ", batch " << !NoBatchLeft(temp) << " (" << Narrow(folder) << ")";
  const Installation found = Installed(folder);
  EXPECT_EQ(Narrow(found.app), "<missing>");
  EXPECT_EQ(Narrow(found.location), "<missing>");
  EXPECT_EQ(Narrow(found.desktopLink), "<missing>");
  EXPECT_EQ(Narrow(found.programsLink), "<missing>");
}

TEST_F(UninstallRun, WhileTheProgramRunsNothingIsRemovedAndTheUserIsToldWhy) {
  SKIP_OUTSIDE_SCRATCH_PREFIX();
  const std::wstring folder = L"C:\\QIV 运行中\\";
  const std::wstring exe = folder + L"Reclume.exe";
  const std::wstring temp = L"C:\\temp 临时\\";
  base::CreateFolderTree(temp);
  ASSERT_EQ(Narrow(Install(folder, {.runNow = false, .desktop = true})), "");
  {
    RunningProgram program(exe, L"", folder);
    HWND main = program.WaitForVisible(L"TFrmMain", true);
    ASSERT_NE(main, nullptr);
    const Uninstalled refused = Uninstall(exe, temp, app::id::BtnStartUnstall, 3000);
    EXPECT_EQ(Narrow(refused.message), Narrow(app::RunningProgramMessage(exe)));
    EXPECT_FALSE(refused.ended) << "the uninstall window closed although nothing was removed";
    ExpectInstalled(folder);
    EXPECT_TRUE(program.Running());
    // The program ends the way a user ends it (it writes its settings file then).
    EXPECT_TRUE(program.CloseAndWait(main));
  }
  EXPECT_TRUE(FileExists(folder + L"defualt.ini"));
  ExpectUninstalled(folder, temp);
}

TEST_F(UninstallRun, ACopyRunFromAnotherFolderLeavesTheInstallationAlone) {
  SKIP_OUTSIDE_SCRATCH_PREFIX();
  const std::wstring folder = L"C:\\QIV 原装\\";
  const std::wstring copy = L"C:\\QIV 副本\\";
  const std::wstring temp = L"C:\\temp 临时\\";
  base::CreateFolderTree(temp);
  ASSERT_EQ(Narrow(Install(folder, {.runNow = false, .desktop = true})), "");
  base::CreateFolderTree(copy);
  ASSERT_TRUE(::CopyFileW(BuiltReclume().c_str(), (copy + L"Reclume.exe").c_str(), FALSE));
  const Uninstalled fromCopy = Uninstall(copy + L"Reclume.exe", temp, app::id::BtnStartUnstall);
  EXPECT_EQ(Narrow(fromCopy.message), Narrow(L"你已成功卸载『屏幕录像』"));
  EXPECT_TRUE(fromCopy.ended);
  EXPECT_TRUE(PollFor([&] { return !base::FolderExists(copy) && NoBatchLeft(temp); }, 45000)) << "the copy stayed";
  ExpectInstalled(folder);
  ExpectUninstalled(folder, temp);
}

TEST_F(UninstallRun, FoldersWithWhatCmdTreatsSpeciallyGoWhole) {
  SKIP_OUTSIDE_SCRATCH_PREFIX();
  // The batch's own folder holds a "%" and Chinese too.
  const std::wstring temp = L"C:\\tmp %TMP% 临时\\";
  base::CreateFolderTree(temp);
  for (const wchar_t* folder : {L"C:\\pct %TEMP% x\\", L"C:\\and & caret ^ (paren) !bang! %PATH%\\",
                                L"C:\\中文 %TEMP% 目录\\"}) {
    SCOPED_TRACE(Narrow(folder));
    ASSERT_EQ(Narrow(Install(folder, {.runNow = false, .desktop = true})), "");
    ExpectInstalled(folder);
    ExpectUninstalled(folder, temp);
  }
}

// cmd as the registry sets it up for the user: delayed expansion on (so "!b!" would be read as
// a variable, empty here) and a command that runs first in every cmd.
class CmdRegistrySettings {
 public:
  CmdRegistrySettings(const std::wstring& autoRun) {
    ::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key_.put(), nullptr);
    const DWORD on = 1;
    ::RegSetValueExW(key_.get(), L"DelayedExpansion", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
    ::RegSetValueExW(key_.get(), L"AutoRun", 0, REG_SZ, reinterpret_cast<const BYTE*>(autoRun.c_str()),
                     static_cast<DWORD>((autoRun.size() + 1) * sizeof(wchar_t)));
  }
  ~CmdRegistrySettings() {
    ::RegDeleteValueW(key_.get(), L"DelayedExpansion");
    ::RegDeleteValueW(key_.get(), L"AutoRun");
  }
  bool set() const { return static_cast<bool>(key_); }

 private:
  static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Command Processor";
  base::UniqueRegKey key_;
};

TEST_F(UninstallRun, WithDelayedExpansionOnTheBangFolderGoesAndNoOther) {
  SKIP_OUTSIDE_SCRATCH_PREFIX();
  const std::wstring folder = L"C:\\a!b!c\\";
  // What "C:\a!b!c\" reads as with delayed expansion: an empty folder that rmdir would take.
  const std::wstring lookalike = L"C:\\ac\\";
  const std::wstring marker = L"C:\\autorun ran.txt";
  const std::wstring temp = L"C:\\temp 临时\\";
  base::CreateFolderTree(temp);
  ASSERT_TRUE(base::CreateFolderTree(lookalike));
  ::DeleteFileW(marker.c_str());
  ASSERT_EQ(Narrow(Install(folder, {.runNow = false, .desktop = true})), "");
  {
    CmdRegistrySettings settings(L"echo ran>>\"" + marker + L"\"");
    ASSERT_TRUE(settings.set());
    ExpectUninstalled(folder, temp);
  }
  EXPECT_TRUE(base::FolderExists(lookalike)) << "the batch removed C:\\ac\\";
  EXPECT_FALSE(FileExists(marker)) << "the registry's AutoRun command ran in the batch's cmd";
  ::RemoveDirectoryW(lookalike.c_str());
  ::DeleteFileW(marker.c_str());
}

}  // namespace
