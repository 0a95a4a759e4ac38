// A synchronous call into the main thread from a worker: the closure is posted through the
// main-thread dispatcher and the worker waits until it has run. The wait gives up when the
// worker's cancel event is set (or the time is up), so a main thread that is itself waiting
// for the worker never deadlocks. A closure whose caller gave up is skipped if it has not
// started yet; one that runs late must still be safe (hold weak references, not raw ones).
#pragma once

#include <windows.h>

#include <functional>

namespace base {

enum class MainCallResult { Ran, Cancelled, TimedOut, NotPosted };

// On the main thread fn runs at once. cancel may be nullptr.
MainCallResult CallOnMain(std::function<void()> fn, HANDLE cancel, DWORD timeoutMs);

}  // namespace base
