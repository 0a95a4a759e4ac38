// The main-thread dispatcher: a message-only window on the main thread runs closures that
// other threads queue, and the waits that keep the main thread's messages flowing.
#include "base/dispatch.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>

#include "base/barrier.h"

namespace base {
namespace {

constexpr UINT kRunQueued = WM_APP + 1;  // wParam, lParam unused: drain the queue
constexpr wchar_t kClassName[] = L"ReclumeMainDispatcher";

std::mutex gMutex;
std::deque<std::function<void()>> gQueue;  // guarded by gMutex
HWND gWindow = nullptr;                     // guarded by gMutex
std::atomic<DWORD> gMainThread{0};

void RunQueued() {
  for (;;) {
    std::function<void()> fn;
    {
      std::lock_guard<std::mutex> lock(gMutex);
      if (gQueue.empty()) return;
      fn = std::move(gQueue.front());
      gQueue.pop_front();
    }
    GuardVoid("main-thread closure", fn);
  }
}

LRESULT CALLBACK DispatcherProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kRunQueued) {
    RunQueued();
    return 0;
  }
  return ::DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace

bool StartMainDispatcher() {
  std::lock_guard<std::mutex> lock(gMutex);
  if (gWindow) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DispatcherProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kClassName;
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  gWindow = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              ::GetModuleHandleW(nullptr), nullptr);
  if (!gWindow) return false;
  gMainThread = ::GetCurrentThreadId();
  return true;
}

void StopMainDispatcher() {
  std::deque<std::function<void()>> dropped;
  HWND wnd = nullptr;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    dropped.swap(gQueue);
    wnd = gWindow;
    gWindow = nullptr;
  }
  if (wnd) ::DestroyWindow(wnd);
  gMainThread = 0;
  // `dropped` is destroyed here, outside the lock: the closures never run.
}

bool PostToMain(std::function<void()> fn) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (!gWindow || !fn) return false;
  gQueue.push_back(std::move(fn));
  // One wake-up per closure, so a closure that pumps messages itself still sees later posts.
  if (!::PostMessageW(gWindow, kRunQueued, 0, 0)) {
    gQueue.pop_back();
    return false;
  }
  return true;
}

bool IsMainThread() noexcept {
  DWORD main = gMainThread.load();
  return main != 0 && main == ::GetCurrentThreadId();
}

WaitResult WaitPumping(HANDLE h, DWORD timeoutMs) {
  DWORD start = ::GetTickCount();
  bool quit = false;
  WPARAM quitCode = 0;
  WaitResult result = WaitResult::Timeout;
  for (;;) {
    DWORD elapsed = ::GetTickCount() - start;
    DWORD left = timeoutMs == INFINITE ? INFINITE : (elapsed >= timeoutMs ? 0 : timeoutMs - elapsed);
    DWORD r = quit ? ::WaitForSingleObject(h, left)
                   : ::MsgWaitForMultipleObjects(1, &h, FALSE, left, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) {
      result = WaitResult::Signalled;
      break;
    }
    if (r == WAIT_TIMEOUT) {
      result = WaitResult::Timeout;
      break;
    }
    if (!quit && r == WAIT_OBJECT_0 + 1) {
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          quit = true;
          quitCode = msg.wParam;
          break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
      continue;
    }
    result = WaitResult::Failed;
    break;
  }
  if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
  return result;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = ::GetTickCount();
  for (;;) {
    PumpPending();
    if (done()) return true;
    DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= timeoutMs) return done();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(10, timeoutMs - elapsed), QS_ALLINPUT);
  }
}

void PumpPending() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace base
