// The UI driver: a program started for real and the windows it shows, found by process and
// class; every wait has a deadline.
#include "tests/support/program_driver.h"

namespace testsupport {

namespace {

struct FindData {
  DWORD pid;
  const wchar_t* cls;
  HWND found;
};

BOOL CALLBACK FindTopLevel(HWND wnd, LPARAM lp) {
  auto* data = reinterpret_cast<FindData*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(wnd, &pid);
  wchar_t cls[64] = {};
  ::GetClassNameW(wnd, cls, 64);
  if (pid == data->pid && std::wstring(cls) == data->cls) {
    data->found = wnd;
    return FALSE;
  }
  return TRUE;
}

struct ControlSearch {
  int id;
  HWND found;
};

BOOL CALLBACK FindControl(HWND wnd, LPARAM lp) {
  auto* search = reinterpret_cast<ControlSearch*>(lp);
  if (::GetDlgCtrlID(wnd) == search->id) {
    search->found = wnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::wstring BinFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L'\\') + 1);
}

std::wstring WindowText(HWND wnd) {
  wchar_t text[2048] = {};
  ::GetWindowTextW(wnd, text, 2048);
  return text;
}

RunningProgram::RunningProgram(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workDir,
                               const wchar_t* environment) {
  std::wstring line = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, environment ? CREATE_UNICODE_ENVIRONMENT : 0,
                        const_cast<wchar_t*>(environment), workDir.empty() ? nullptr : workDir.c_str(), &si, &pi))
    return;
  process_.reset(pi.hProcess);
  ::CloseHandle(pi.hThread);
  pid_ = pi.dwProcessId;
}

RunningProgram::~RunningProgram() {
  if (Running()) {
    ::TerminateProcess(process_.get(), 99);
    ::WaitForSingleObject(process_.get(), 10000);
  }
}

HWND RunningProgram::Find(const wchar_t* cls) const {
  FindData data{pid_, cls, nullptr};
  ::EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&data));
  return data.found;
}

HWND RunningProgram::WaitForVisible(const wchar_t* cls, bool maximised, DWORD timeoutMs) const {
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < timeoutMs) {
    HWND wnd = Find(cls);
    if (wnd && ::IsWindowVisible(wnd) && (!maximised || ::IsZoomed(wnd))) return wnd;
    if (!process_ || ::WaitForSingleObject(process_.get(), 50) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

HWND RunningProgram::WaitForMessageBox(DWORD timeoutMs) const { return WaitForVisible(L"#32770", false, timeoutMs); }

std::wstring RunningProgram::MessageBoxText(HWND box) { return WindowText(::GetDlgItem(box, 0xFFFF)); }

void RunningProgram::CloseMessageBox(HWND box) { ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

HWND RunningProgram::Control(HWND top, int id) {
  ControlSearch search{id, nullptr};
  ::EnumChildWindows(top, &FindControl, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool RunningProgram::Click(HWND top, int id) {
  HWND control = Control(top, id);
  return control && ::PostMessageW(control, BM_CLICK, 0, 0);
}

bool RunningProgram::CloseAndWait(HWND wnd, DWORD timeoutMs) {
  ::PostMessageW(wnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  return WaitForExit(timeoutMs);
}

bool RunningProgram::WaitForExit(DWORD timeoutMs) const {
  return process_ && ::WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
}

bool RunningProgram::Running() const { return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

DWORD RunningProgram::ExitCode() const {
  DWORD code = 0;
  ::GetExitCodeProcess(process_.get(), &code);
  return code;
}

}  // namespace testsupport
