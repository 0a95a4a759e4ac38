// THighTimer: a periodic timer with millisecond intervals.
//
// It ticks either from a sleeping thread of its own (thread mode, the default), which can hand
// each tick to the thread that created the timer (Synchronize, the default) or run it on the
// timer thread, or from a periodic multimedia timer whose callback posts WM_TIMER to a hidden
// window of the timer (multimedia mode). The screen camera uses one as its frame clock.
//
// The timer must be created and destroyed on a thread that pumps messages (the main thread),
// and is changed there or from inside its own ticks. Every change of Enabled, Interval, OnTimer, UseThread and (in thread mode)
// ThreadPriority restarts it, so the next tick comes one full interval after the change.
// Destroying it is immediate, and no tick runs after the destructor returns.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>

#include "base/window.h"

namespace scHighTimer {

// In the order of the options dialog's list (its index is the ordinal).
enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The Win32 priority (THREAD_PRIORITY_...) of a thread priority.
int ToWin32Priority(TThreadPriority p) noexcept;

// Raised by a restart in multimedia mode when the system has no timer event left.
class EOutOfResources : public std::runtime_error {
 public:
  EOutOfResources() : std::runtime_error("Not enough timers available") {}
};

class THighTimer;
using TNotifyEvent = std::function<void(THighTimer& sender)>;

// A running timer thread and what it shares with its timer; defined in the .cpp.
struct TimerThreadState;

class THighTimer {
 public:
  // Reads the device's period range and raises the system timer resolution to its minimum for
  // the life of the timer. Nothing runs until Enabled and OnTimer are both set.
  explicit THighTimer(DWORD interval = 1000);
  virtual ~THighTimer();
  THighTimer(const THighTimer&) = delete;
  THighTimer& operator=(const THighTimer&) = delete;

  bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool value);

  DWORD Interval() const noexcept { return interval_; }
  // Clamped to the device's period range (MinPeriod .. MaxPeriod).
  void SetInterval(DWORD value);

  // Always restarts, also when the same handler is set again; an empty function is "none".
  void SetOnTimer(TNotifyEvent handler);
  bool HasOnTimer() const noexcept { return static_cast<bool>(onTimer_); }

  // Read by the timer thread at every tick; changing it restarts nothing.
  bool Synchronize() const noexcept { return synchronize_; }
  void SetSynchronize(bool value) noexcept { synchronize_ = value; }

  bool UseThread() const noexcept { return useThread_; }
  void SetUseThread(bool value);

  TThreadPriority ThreadPriority() const noexcept { return priority_; }
  // Restarts only in thread mode.
  void SetThreadPriority(TThreadPriority value);

  UINT MinPeriod() const noexcept { return minPeriod_; }
  UINT MaxPeriod() const noexcept { return maxPeriod_; }

  // True while a thread or a multimedia event is running.
  bool Running() const noexcept { return thread_ != nullptr || timerId_ != 0; }
  // The running multimedia event (0: none): a restart replaces it.
  UINT TimerId() const noexcept { return timerId_; }

 protected:
  // Raises OnTimer (sender: this timer). Override to tick without a handler object.
  virtual void Timer();

 private:
  class HiddenWindow;

  // Stops what runs, applies the change, starts again: the thread or event never sees a
  // half-made change, and a restart from inside a tick is safe.
  template <class Change>
  void Restart(Change&& change);
  void StopRunning();
  void StartIfWanted();
  void StartThread();
  void StartMultimedia();

  // Handlers of the hidden window's messages (on the creating thread).
  void HandleSynchronizedTick(unsigned generation);
  void HandleMultimediaTick(UINT id);
  friend class HiddenWindow;

  static void RunThread(TimerThreadState& state);
  static void CALLBACK MultimediaCallback(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR);

  std::atomic<bool> enabled_{false};
  std::atomic<bool> synchronize_{true};
  DWORD interval_ = 1000;
  bool useThread_ = true;
  TThreadPriority priority_ = TThreadPriority::tpNormal;
  TNotifyEvent onTimer_;
  bool destroying_ = false;

  UINT minPeriod_ = 1;
  UINT maxPeriod_ = 1000000;
  bool periodBegun_ = false;

  std::unique_ptr<HiddenWindow> window_;
  std::shared_ptr<TimerThreadState> thread_;
  unsigned generation_ = 0;

  UINT timerId_ = 0;
  // Set by the multimedia callback when it posts a tick, cleared when the tick is taken, so
  // at most one tick waits in the queue.
  std::atomic<bool> tickQueued_{false};
  bool busy_ = false;
};

}  // namespace scHighTimer
