// The main-thread dispatcher and message-pumping waits.
//
// The main thread owns every window. Other threads hand work to it with PostToMain: the
// closure is queued under a lock and a message-only window on the main thread is woken to run
// it. After StopMainDispatcher every queued closure is destroyed without running and later
// posts are refused, so nothing leaks and nothing runs against freed windows.
#pragma once

#include <windows.h>

#include <functional>

namespace base {

// On the main thread, once, before any PostToMain. False when the window could not be made.
bool StartMainDispatcher();
// On the main thread: drops whatever is queued; later posts return false.
void StopMainDispatcher();
// Any thread. True when queued; false (and fn destroyed) after shutdown or before start.
bool PostToMain(std::function<void()> fn);
// True on the thread that started the dispatcher.
bool IsMainThread() noexcept;

// The program's message hook, on the main thread: every message that one of the loops below
// (the program's loop, the modal loops, the pumping waits that dispatch) takes from the main
// thread's queue is offered to it before it is translated; when it answers true the message
// was handled and is not dispatched. A pumping wait that runs inside a handler (while a loop
// of these dispatches a message) is in the middle of that handler's work: it offers nothing to
// the hook. One hook at a time (null: none); returns the one it
// replaces. A window that installs a hook takes it out before it goes.
using MessageHook = std::function<bool(MSG&)>;
MessageHook SetMessageHook(MessageHook hook);
// Offers msg to the hook (only on the main thread); true when the hook took it. For loops of
// the program's own that pump messages between steps of their work.
bool OfferToMessageHook(MSG& msg);

enum class WaitResult { Signalled, Timeout, Failed };

// What a pumping wait does with this thread's messages while it waits. Whatever the choice,
// messages that other threads send are always served, so a worker that sends to a window of
// this thread never deadlocks with the wait.
enum class Pump {
  All,       // every message is dispatched
  NoInput,   // keyboard and mouse input is thrown away; every other message is dispatched
  SentOnly,  // posted messages and input stay queued: no handler of ours runs meanwhile
};

// The one message-pumping wait of the program: waits for h while serving this thread's
// messages as pump says. A WM_QUIT taken from the queue does not end the wait; it is kept and
// posted again before returning, so the caller's message loop still ends.
WaitResult WaitPumping(HANDLE h, DWORD timeoutMs, Pump pump = Pump::All);

// The same, until done() is true or the time is up (done is polled at least every 10 ms);
// returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs, Pump pump = Pump::All);

// Dispatches whatever is in this thread's queue now, without waiting (a WM_QUIT stays queued).
void PumpPending();

// The program's message loop: runs this thread's messages until WM_QUIT; returns its exit code.
int RunMessageLoop();

// The one modal loop, for dialogs and overlay windows: runs this thread's messages until
// ended() is true (checked before each message). Each message is first offered to take (a
// dialog's IsDialogMessageW, an overlay's Esc key), which returns true when it has handled it;
// the rest are translated and dispatched. A WM_QUIT ends the loop and is posted again for the
// outer loop: the result is then false.
bool RunModalLoop(const std::function<bool()>& ended, const std::function<bool(MSG&)>& take = {});

}  // namespace base
