// The mark of the running copy of one program file: a named shared block, made by the first
// start and kept until its process ends (the system takes it away with a crashed process
// too). The block's creation is what decides who runs, so two starts at the same moment
// never both stay. The running copy writes its main window's handle and process id into the
// block; a second start reads them, lets that process take the foreground and posts it
// WM_SHOW_RUNNING_COPY.
#include "app/running_copy.h"

#include "app/forms/messages.h"
#include "base/files.h"

namespace app {

namespace {

struct Shared {
  volatile LONG window;  // the main window's handle, 0 until it is shown
};

// The platform's own mapping views: unmapped when the view goes.
struct View {
  Shared* shared;
  explicit View(HANDLE mapping)
      : shared(static_cast<Shared*>(::MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(Shared)))) {}
  ~View() {
    if (shared) ::UnmapViewOfFile(shared);
  }
  View(const View&) = delete;
  View& operator=(const View&) = delete;
};

}  // namespace

std::wstring RunningCopyName(const std::wstring& exePath) {
  return base::PathObjectName(L"Local\\Reclume.RunningCopy.", exePath);
}

RunningCopy::RunningCopy(const std::wstring& exePath) {
  const std::wstring name = RunningCopyName(exePath);
  mapping_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Shared), name.c_str()));
  first_ = !mapping_ || ::GetLastError() != ERROR_ALREADY_EXISTS;
}

void RunningCopy::Publish(HWND mainWindow) {
  if (!first_ || !mapping_) return;
  View view(mapping_.get());
  if (!view.shared) return;
  ::InterlockedExchange(&view.shared->window, static_cast<LONG>(reinterpret_cast<intptr_t>(mainWindow)));
}

bool RunningCopy::BringRunningCopyForward(DWORD timeoutMs) {
  if (first_ || !mapping_) return false;
  View view(mapping_.get());
  if (!view.shared) return false;
  // The running copy may still be building its window.
  const DWORD start = ::GetTickCount();
  for (;;) {
    HWND wnd = reinterpret_cast<HWND>(static_cast<intptr_t>(::InterlockedCompareExchange(&view.shared->window, 0, 0)));
    if (wnd && ::IsWindow(wnd)) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(wnd, &owner);
      ::AllowSetForegroundWindow(owner);
      return ::PostMessageW(wnd, WM_SHOW_RUNNING_COPY, 0, 0) != FALSE;
    }
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(50);
  }
}

}  // namespace app
