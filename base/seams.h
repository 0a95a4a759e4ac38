// Seams between the code and the user or the clock, so tests can answer and replay.
//
// Production code asks the current prompter for every message box and the current clock for
// the millisecond time; tests install their own for the duration of a test with the scoped
// installers below. Both are process-wide and may be used from any thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace base {

class Prompter {
 public:
  virtual ~Prompter() = default;
  // Shows a message box; returns what MessageBoxW would (IDOK, IDYES, IDNO, ...).
  virtual int Show(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds of the multimedia timer clock (wraps like timeGetTime).
  virtual uint32_t NowMs() = 0;
};

Prompter& CurrentPrompter();  // MessageBoxW unless a test installed another
Clock& CurrentClock();        // timeGetTime unless a test installed another

// The owner and flags a message box is shown with, so that it opens in front of the program's
// windows and can be answered: requested, or the nearest of its owners that is on the screen
// (visible, not minimised); none when there is no such window, and then the box stays on top.
// The box is always brought to the foreground. The default prompter shows every box this way,
// and disables the requested window for the box's life when it is not the box's owner.
HWND MessageBoxOwner(HWND requested, UINT& flags);

// text with a line break put into every line wider than maxWidth pixels in the system's message
// font (after a blank or a path separator where one is near the end of what fits), so a box
// for a long path stays on the screen. Lines that fit are kept as they are.
std::wstring WrapMessageText(const std::wstring& text, int maxWidth);

// Shorthand for CurrentPrompter().Show(...).
int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);
inline uint32_t NowMs() { return CurrentClock().NowMs(); }

// Installs p (or c) while alive; the previous one comes back on destruction.
class ScopedPrompter {
 public:
  explicit ScopedPrompter(Prompter& p);
  ~ScopedPrompter();
  ScopedPrompter(const ScopedPrompter&) = delete;
  ScopedPrompter& operator=(const ScopedPrompter&) = delete;

 private:
  Prompter* previous_;
};

class ScopedClock {
 public:
  explicit ScopedClock(Clock& c);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  Clock* previous_;
};

}  // namespace base
