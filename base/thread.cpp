// Threads made with the C run-time's _beginthreadex (its per-thread data is set up and freed
// with the thread), whose entry runs the body under the exception barrier.
#include "base/thread.h"

#include <process.h>

#include <memory>

#include "base/barrier.h"

namespace base {

namespace {

struct Entry {
  const char* where;
  std::function<void()> body;
};

unsigned __stdcall ThreadEntry(void* param) {
  std::unique_ptr<Entry> entry(static_cast<Entry*>(param));
  GuardVoid(entry->where, [&] { entry->body(); });
  // The body and what it captured are destroyed here, on this thread, inside the barrier.
  GuardVoid(entry->where, [&] { entry.reset(); });
  return 0;
}

}  // namespace

Thread::~Thread() {
  // The last owner of a Thread may be its own body (state shared with it): that thread is
  // ending and must not wait for itself.
  if (handle_ && id_ != ::GetCurrentThreadId()) Join(INFINITE, Pump::SentOnly);
}

bool Thread::Start(const char* where, std::function<void()> body, Begin begin) {
  if (handle_ || !body) return false;
  auto entry = std::make_unique<Entry>(Entry{where ? where : "thread", std::move(body)});
  unsigned id = 0;
  const auto h = reinterpret_cast<HANDLE>(::_beginthreadex(
      nullptr, 0, &ThreadEntry, entry.get(), begin == Begin::Suspended ? CREATE_SUSPENDED : 0, &id));
  if (!h) return false;  // entry (and the body) go here
  entry.release();       // now the thread's
  handle_.reset(h);
  id_ = id;
  return true;
}

void Thread::Resume() noexcept {
  if (handle_) ::ResumeThread(handle_.get());
}

bool Thread::SetPriority(int priority) noexcept {
  return handle_ && ::SetThreadPriority(handle_.get(), priority);
}

WaitResult Thread::Join(DWORD timeoutMs, Pump pump) {
  if (!handle_) return WaitResult::Signalled;
  const WaitResult result = WaitPumping(handle_.get(), timeoutMs, pump);
  if (result == WaitResult::Signalled) {
    handle_.reset();
    id_ = 0;
  }
  return result;
}

bool Thread::Ended() const noexcept {
  return handle_ && ::WaitForSingleObject(handle_.get(), 0) == WAIT_OBJECT_0;
}

}  // namespace base
