// The one way the program makes a thread: a body that runs under the exception barrier, and a
// join that keeps this thread's messages flowing while it waits.
//
// A Thread belongs to the thread that started it (the main thread, as a rule): Start, Resume,
// Join and the destructor are called there. The body owns what it captures; it is destroyed on
// the new thread when it returns.
#pragma once

#include <windows.h>

#include <functional>

#include "base/dispatch.h"
#include "base/unique.h"

namespace base {

class Thread {
 public:
  enum class Begin { Now, Suspended };

  Thread() = default;
  // A thread still running is joined here, serving only sent messages (no handler of ours
  // runs inside a destructor); join it before when it needs more. Destroyed on its own thread
  // (the body held the last owner), it only lets go of the handle.
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Runs body on a new thread. where names the thread for the exception barrier (a string
  // literal). With Begin::Suspended nothing runs until Resume. False (and body destroyed)
  // when no thread could be made, or one was started before and has not been joined.
  bool Start(const char* where, std::function<void()> body, Begin begin = Begin::Now);
  void Resume() noexcept;
  bool SetPriority(int priority) noexcept;

  // Waits for the thread to end, serving messages as pump says (see WaitPumping); once it has
  // ended the handle is closed and the object can start another. Signalled also when no
  // thread was started.
  WaitResult Join(DWORD timeoutMs = INFINITE, Pump pump = Pump::All);

  bool Started() const noexcept { return static_cast<bool>(handle_); }
  // True when a started thread has returned (its body is done).
  bool Ended() const noexcept;
  HANDLE handle() const noexcept { return handle_.get(); }
  DWORD id() const noexcept { return id_; }

 private:
  UniqueHandle handle_;
  DWORD id_ = 0;
};

}  // namespace base
