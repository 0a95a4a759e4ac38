// CallOnMain: a worker's synchronous call into the main thread that can be cancelled. The
// shared state outlives whichever side finishes last: the posted closure and the waiter both
// hold it.
#include "base/main_call.h"

#include <atomic>
#include <memory>

#include "base/dispatch.h"
#include "base/unique.h"

namespace base {

namespace {

struct CallState {
  UniqueHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<bool> abandoned{false};
  std::function<void()> fn;
};

}  // namespace

MainCallResult CallOnMain(std::function<void()> fn, HANDLE cancel, DWORD timeoutMs) {
  if (IsMainThread()) {
    fn();
    return MainCallResult::Ran;
  }
  auto state = std::make_shared<CallState>();
  if (!state->done) return MainCallResult::NotPosted;
  state->fn = std::move(fn);
  bool posted = PostToMain([state] {
    if (!state->abandoned.load()) state->fn();
    ::SetEvent(state->done.get());
  });
  if (!posted) return MainCallResult::NotPosted;
  HANDLE waits[2] = {state->done.get(), cancel};
  DWORD r = ::WaitForMultipleObjects(cancel ? 2 : 1, waits, FALSE, timeoutMs);
  if (r == WAIT_OBJECT_0) return MainCallResult::Ran;
  state->abandoned = true;
  return r == WAIT_OBJECT_0 + 1 ? MainCallResult::Cancelled : MainCallResult::TimedOut;
}

}  // namespace base
