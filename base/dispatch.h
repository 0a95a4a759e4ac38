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

enum class WaitResult { Signalled, Timeout, Failed };

// Waits for h while dispatching this thread's messages. A WM_QUIT taken from the queue stops
// the pumping (the rest is a plain wait) and is posted again before returning, so the caller's
// message loop still ends.
WaitResult WaitPumping(HANDLE h, DWORD timeoutMs);

// Pumps messages until done() is true or the time is up; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Dispatches whatever is in this thread's queue now, without waiting.
void PumpPending();

}  // namespace base
