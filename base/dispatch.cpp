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

namespace {
MessageHook gMessageHook;  // main thread only
// How many messages this thread's loops are dispatching now: above 0, a wait runs inside a
// handler, in the middle of its work.
thread_local int tDispatching = 0;

void Dispatch(const MSG& msg) {
  ++tDispatching;
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
  --tDispatching;
}
}  // namespace

MessageHook SetMessageHook(MessageHook hook) {
  MessageHook previous = std::move(gMessageHook);
  gMessageHook = std::move(hook);
  return previous;
}

bool OfferToMessageHook(MSG& msg) {
  if (!gMessageHook || !IsMainThread()) return false;
  // A copy: the hook may replace itself while it runs.
  const MessageHook hook = gMessageHook;
  return Guard("message hook", [&] { return hook(msg); }, false);
}

namespace {

bool IsInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

// The state every pumping wait shares: the pump in force, and a WM_QUIT it has taken, which
// goes back into the queue when the wait ends. Held until then, the quit neither stops the
// pumping (what the wait is for may need a posted message) nor wakes the wait again at once.
class PumpState {
 public:
  explicit PumpState(Pump pump) : pump_(pump) {}
  ~PumpState() {
    if (quit_) ::PostQuitMessage(static_cast<int>(quitCode_));
  }
  PumpState(const PumpState&) = delete;
  PumpState& operator=(const PumpState&) = delete;

  DWORD WakeMask() const { return pump_ == Pump::SentOnly ? QS_SENDMESSAGE : QS_ALLINPUT; }

  // Serves what is queued now.
  void Serve() {
    MSG msg;
    if (pump_ == Pump::SentOnly) {
      // Peeking runs the messages other threads sent; nothing posted is removed.
      ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      return;
    }
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit_ = true;
        quitCode_ = msg.wParam;
        continue;
      }
      if (pump_ == Pump::NoInput && IsInput(msg.message)) continue;
      // A wait inside a handler runs in the middle of that handler's work: the hook (the
      // window's key check, which changes the window) does not run then.
      if (tDispatching == 0 && OfferToMessageHook(msg)) continue;
      Dispatch(msg);
    }
  }

 private:
  Pump pump_;
  bool quit_ = false;
  WPARAM quitCode_ = 0;
};

DWORD Remaining(DWORD start, DWORD timeoutMs) {
  if (timeoutMs == INFINITE) return INFINITE;
  const DWORD elapsed = ::GetTickCount() - start;
  return elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
}

}  // namespace

WaitResult WaitPumping(HANDLE h, DWORD timeoutMs, Pump pump) {
  const DWORD start = ::GetTickCount();
  PumpState state(pump);
  // Messages already queued do not wake MsgWaitForMultipleObjects: serve them first.
  if (::WaitForSingleObject(h, 0) != WAIT_OBJECT_0) state.Serve();
  for (;;) {
    const DWORD r = ::MsgWaitForMultipleObjects(1, &h, FALSE, Remaining(start, timeoutMs), state.WakeMask());
    if (r == WAIT_OBJECT_0) return WaitResult::Signalled;
    if (r == WAIT_TIMEOUT) return WaitResult::Timeout;
    if (r != WAIT_OBJECT_0 + 1) return WaitResult::Failed;
    state.Serve();
  }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs, Pump pump) {
  const DWORD start = ::GetTickCount();
  PumpState state(pump);
  for (;;) {
    state.Serve();
    if (done()) return true;
    const DWORD left = Remaining(start, timeoutMs);
    if (left == 0) return done();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(10, left), state.WakeMask());
  }
}

void PumpPending() {
  PumpState state(Pump::All);
  state.Serve();
}

bool RunModalLoop(const std::function<bool()>& ended, const std::function<bool(MSG&)>& take) {
  MSG msg;
  while (!ended()) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    if (got == -1) return false;
    if (OfferToMessageHook(msg)) continue;
    if (take && take(msg)) continue;
    Dispatch(msg);
  }
  return true;
}

int RunMessageLoop() {
  MSG msg{};
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (OfferToMessageHook(msg)) continue;
    Dispatch(msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace base
