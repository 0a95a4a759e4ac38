// The default prompter and clock, and the scoped installers tests use to replace them.
#include "base/seams.h"

#include <mmsystem.h>

#include <atomic>

namespace base {
namespace {

// Wine's message box does not apply MB_TOPMOST: a CBT hook on the calling thread makes the box
// topmost as it is first activated. One hook per box; a box shown from inside another's loop
// gets its own.
thread_local HHOOK tTopmostHook = nullptr;

LRESULT CALLBACK TopmostOnActivate(int code, WPARAM wp, LPARAM lp) {
  HHOOK hook = tTopmostHook;
  if (code == HCBT_ACTIVATE && hook) {
    ::SetWindowPos(reinterpret_cast<HWND>(wp), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    tTopmostHook = nullptr;
    ::UnhookWindowsHookEx(hook);
    return 0;
  }
  return ::CallNextHookEx(hook, code, wp, lp);
}

class MessageBoxPrompter : public Prompter {
 public:
  int Show(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) override {
    owner = MessageBoxOwner(owner, flags);
    HHOOK previous = tTopmostHook;
    tTopmostHook = (flags & MB_TOPMOST)
                       ? ::SetWindowsHookExW(WH_CBT, &TopmostOnActivate, nullptr, ::GetCurrentThreadId())
                       : nullptr;
    const int answer = ::MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
    if (tTopmostHook) ::UnhookWindowsHookEx(tTopmostHook);
    tTopmostHook = previous;
    return answer;
  }
};

class MultimediaClock : public Clock {
 public:
  uint32_t NowMs() override { return ::timeGetTime(); }
};

MessageBoxPrompter gDefaultPrompter;
MultimediaClock gDefaultClock;
std::atomic<Prompter*> gPrompter{&gDefaultPrompter};
std::atomic<Clock*> gClock{&gDefaultClock};

}  // namespace

HWND MessageBoxOwner(HWND requested, UINT& flags) {
  HWND owner = requested && ::IsWindow(requested) ? requested : nullptr;
  // A hidden or minimised owner would take the box off the screen with it: its own owner
  // serves, or none.
  while (owner && (!::IsWindowVisible(owner) || ::IsIconic(owner))) owner = ::GetWindow(owner, GW_OWNER);
  // Asked for from a thread that is not in front, a box would open behind the active window.
  flags |= MB_SETFOREGROUND;
  // Without an owner nothing keeps the box above the program's windows (one restored after
  // it, a modal dialog that disables them): it stays on top, with its own taskbar button.
  if (!owner) flags |= MB_TOPMOST;
  return owner;
}

Prompter& CurrentPrompter() { return *gPrompter.load(); }
Clock& CurrentClock() { return *gClock.load(); }

int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
  return CurrentPrompter().Show(owner, text, caption, flags);
}

ScopedPrompter::ScopedPrompter(Prompter& p) : previous_(gPrompter.exchange(&p)) {}
ScopedPrompter::~ScopedPrompter() { gPrompter.store(previous_); }
ScopedClock::ScopedClock(Clock& c) : previous_(gClock.exchange(&c)) {}
ScopedClock::~ScopedClock() { gClock.store(previous_); }

}  // namespace base
