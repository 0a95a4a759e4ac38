// The high-resolution timer: a sleeping thread or a periodic multimedia event that raises
// OnTimer at a millisecond interval.
//
// Thread mode: the thread waits on its stop event for one interval, so a stop ends the wait at
// once. A synchronised tick is posted to the timer's hidden window on the creating thread and
// the thread waits until it was handled (or until it is stopped); the handler runs the tick
// only while the posting thread is still the timer's current one, so a tick of a stopped
// thread is dropped. Stopping joins the thread, so after a restart or the destructor no old
// thread touches the timer.
//
// Multimedia mode: winmm's timer thread only posts WM_TIMER (lParam 0: DispatchMessage would
// call a non-zero lParam as a timer procedure) to the hidden window, and only when no tick is
// already waiting, so a slow main thread does not pile them up. A tick that arrives while the
// previous one is still being handled (its handler pumps messages) is dropped.

#include "engine/camera/scHighTimer.h"

#include <mmsystem.h>

#include <algorithm>
#include <utility>

#include "base/barrier.h"
#include "base/thread.h"
#include "base/unique.h"

namespace scHighTimer {

namespace {

// Posted by a timer thread to the hidden window; wParam: the thread's generation number,
// lParam: 0. Nothing to free.
constexpr UINT kSynchronizedTick = WM_APP + 1;

const base::WindowClass kHiddenClass{.name = L"ReclumeHighTimer", .style = 0};

}  // namespace

int ToWin32Priority(TThreadPriority p) noexcept {
  switch (p) {
    case TThreadPriority::tpIdle: return THREAD_PRIORITY_IDLE;
    case TThreadPriority::tpLowest: return THREAD_PRIORITY_LOWEST;
    case TThreadPriority::tpLower: return THREAD_PRIORITY_BELOW_NORMAL;
    case TThreadPriority::tpNormal: return THREAD_PRIORITY_NORMAL;
    case TThreadPriority::tpHigher: return THREAD_PRIORITY_ABOVE_NORMAL;
    case TThreadPriority::tpHighest: return THREAD_PRIORITY_HIGHEST;
    case TThreadPriority::tpTimeCritical: return THREAD_PRIORITY_TIME_CRITICAL;
  }
  return THREAD_PRIORITY_NORMAL;
}

// Shared by the timer and one thread; the thread holds its own reference, so it can still read
// its stop event after the timer has dropped it.
struct TimerThreadState {
  THighTimer* owner = nullptr;
  HWND window = nullptr;  // the timer's hidden window: target of synchronised ticks
  DWORD interval = 1000;
  unsigned generation = 0;
  base::UniqueHandle stop;      // manual reset: set when the thread must end
  base::UniqueHandle tickDone;  // auto reset: a synchronised tick has been handled
  base::Thread thread;
  std::atomic<bool> failed{false};  // the tick raised: the thread ends
};

class THighTimer::HiddenWindow : public base::Window {
 public:
  explicit HiddenWindow(THighTimer& owner) : owner_(owner) {}

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == kSynchronizedTick) {
      owner_.HandleSynchronizedTick(static_cast<unsigned>(wp));
      return 0;
    }
    if (msg == WM_TIMER && owner_.timerId_ != 0 && wp == owner_.timerId_) {
      owner_.HandleMultimediaTick(static_cast<UINT>(wp));
      return 0;
    }
    return Default(msg, wp, lp);
  }

 private:
  THighTimer& owner_;
};

THighTimer::THighTimer(DWORD interval) : window_(std::make_unique<HiddenWindow>(*this)) {
  TIMECAPS caps{};
  if (::timeGetDevCaps(&caps, sizeof caps) == MMSYSERR_NOERROR && caps.wPeriodMin > 0) {
    minPeriod_ = caps.wPeriodMin;
    maxPeriod_ = std::max(caps.wPeriodMax, caps.wPeriodMin);
  }
  periodBegun_ = ::timeBeginPeriod(minPeriod_) == TIMERR_NOERROR;
  interval_ = std::clamp<DWORD>(interval, minPeriod_, maxPeriod_);
  base::WindowSpec spec;
  spec.style = 0;
  spec.parent = HWND_MESSAGE;
  window_->Create(kHiddenClass, spec);
}

THighTimer::~THighTimer() {
  destroying_ = true;
  StopRunning();
  onTimer_ = nullptr;
  if (periodBegun_) ::timeEndPeriod(minPeriod_);
  enabled_ = false;
  // Destroying the window drops every tick still queued for it.
  window_.reset();
}

void THighTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  Restart([&] { enabled_ = value; });
}

void THighTimer::SetInterval(DWORD value) {
  DWORD clamped = std::clamp<DWORD>(value, minPeriod_, maxPeriod_);
  if (clamped == interval_) return;
  Restart([&] { interval_ = clamped; });
}

void THighTimer::SetOnTimer(TNotifyEvent handler) {
  Restart([&] { onTimer_ = std::move(handler); });
}

void THighTimer::SetUseThread(bool value) {
  if (value == useThread_) return;
  Restart([&] { useThread_ = value; });
}

void THighTimer::SetThreadPriority(TThreadPriority value) {
  if (value == priority_) return;
  if (useThread_) {
    Restart([&] { priority_ = value; });
  } else {
    priority_ = value;
  }
}

void THighTimer::Timer() {
  // A copy, so a handler that replaces OnTimer does not destroy the function it runs in.
  TNotifyEvent handler = onTimer_;
  if (handler) handler(*this);
}

template <class Change>
void THighTimer::Restart(Change&& change) {
  StopRunning();
  change();
  StartIfWanted();
}

void THighTimer::StopRunning() {
  if (timerId_ != 0) {
    // Killed synchronously (see StartMultimedia): no callback runs once this returns.
    ::timeKillEvent(timerId_);
    timerId_ = 0;
  }
  if (thread_) {
    std::shared_ptr<TimerThreadState> old = std::move(thread_);
    ::SetEvent(old->stop.get());
    // A thread stopped from inside its own unsynchronised tick ends when the tick returns; it
    // touches nothing but its own state after that. Otherwise it is joined serving only sent
    // messages: a worker that sends to a window of this thread must not deadlock with us, and
    // posted messages stay queued, so nothing else runs inside a setter.
    if (old->thread.id() != ::GetCurrentThreadId()) old->thread.Join(INFINITE, base::Pump::SentOnly);
  }
}

void THighTimer::StartIfWanted() {
  // A setter called while the join above served a sent message may have started one already.
  if (Running()) StopRunning();
  if (destroying_ || !enabled_ || !onTimer_) return;
  if (useThread_) {
    StartThread();
  } else {
    StartMultimedia();
  }
}

void THighTimer::StartThread() {
  auto state = std::make_shared<TimerThreadState>();
  state->owner = this;
  state->window = window_->hwnd();
  state->interval = std::max<DWORD>(interval_, 1);
  state->generation = ++generation_;
  state->stop.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  state->tickDone.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!state->stop || !state->tickDone) return;
  // The thread owns one reference of its own. It starts suspended, so its priority is set
  // before its first wait.
  if (!state->thread.Start("high timer thread", [state] { RunThread(*state); }, base::Thread::Begin::Suspended))
    return;
  state->thread.SetPriority(ToWin32Priority(priority_));
  thread_ = state;
  state->thread.Resume();
}

void THighTimer::RunThread(TimerThreadState& state) {
  const HANDLE stopAndDone[2] = {state.stop.get(), state.tickDone.get()};
  for (;;) {
    // Until the stop event is set, the timer is alive: stopping joins this thread.
    if (::WaitForSingleObject(state.stop.get(), state.interval) != WAIT_TIMEOUT) return;
    THighTimer& owner = *state.owner;
    if (!owner.enabled_) continue;
    if (owner.synchronize_) {
      if (!::PostMessageW(state.window, kSynchronizedTick, state.generation, 0)) return;
      if (::WaitForMultipleObjects(2, stopAndDone, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
    } else {
      if (!base::GuardVoid("high timer tick", [&] { owner.Timer(); })) return;
    }
    if (state.failed) return;
  }
}

void THighTimer::HandleSynchronizedTick(unsigned generation) {
  std::shared_ptr<TimerThreadState> state = thread_;  // kept while the tick runs
  if (!state || state->generation != generation) return;  // a tick of a stopped thread
  if (enabled_ && !destroying_) {
    // A raising tick ends the thread: the timer stays silent until the next restart.
    if (!base::GuardVoid("high timer tick", [&] { Timer(); })) state->failed = true;
  }
  ::SetEvent(state->tickDone.get());
}

void THighTimer::StartMultimedia() {
  if (interval_ == 0 || !window_->hwnd()) return;
  tickQueued_ = false;
  busy_ = false;
  UINT id = ::timeSetEvent(interval_, interval_, &THighTimer::MultimediaCallback,
                           reinterpret_cast<DWORD_PTR>(this),
                           TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
  if (id == 0) throw EOutOfResources();
  timerId_ = id;
}

void CALLBACK THighTimer::MultimediaCallback(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  // winmm's timer thread. The timer outlives every callback (its event is killed
  // synchronously before it goes), and its window handle never changes.
  auto* timer = reinterpret_cast<THighTimer*>(user);
  if (timer->tickQueued_.exchange(true)) return;
  if (!::PostMessageW(timer->window_->hwnd(), WM_TIMER, id, 0)) timer->tickQueued_ = false;
}

void THighTimer::HandleMultimediaTick(UINT) {
  tickQueued_ = false;
  if (busy_) return;  // the previous tick is still running: drop this one
  busy_ = true;
  base::GuardVoid("high timer tick", [&] { Timer(); });
  busy_ = false;
}

}  // namespace scHighTimer
