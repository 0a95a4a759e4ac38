// The default prompter and clock, and the scoped installers tests use to replace them.
#include "base/seams.h"

#include <mmsystem.h>

#include <algorithm>
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
    // Hooks of the same box further down the chain (placing it at a point) see it too.
    const LRESULT next = ::CallNextHookEx(hook, code, wp, lp);
    ::SetWindowPos(reinterpret_cast<HWND>(wp), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    tTopmostHook = nullptr;
    ::UnhookWindowsHookEx(hook);
    return next;
  }
  return ::CallNextHookEx(hook, code, wp, lp);
}

// The widest a line of a box may be: well inside the work area of the owner's monitor (or the
// primary one), so the box with its icon, margins and frame stays on the screen.
int MaxLineWidth(HWND owner) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  HMONITOR m = owner ? ::MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY)
                     : ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  if (!::GetMonitorInfoW(m, &monitor)) return 1000;
  return std::max(200, static_cast<int>(monitor.rcWork.right - monitor.rcWork.left) / 2);
}

// Disables a window that is enabled for its own life, and enables it again afterwards. From
// another thread than the window's the change is sent to that thread, as a box's own owner is
// disabled.
class OwnerDisabled {
 public:
  explicit OwnerDisabled(HWND wnd) : wnd_(wnd && ::IsWindow(wnd) && ::IsWindowEnabled(wnd) ? wnd : nullptr) {
    if (wnd_) ::EnableWindow(wnd_, FALSE);
  }
  ~OwnerDisabled() {
    if (wnd_ && ::IsWindow(wnd_)) ::EnableWindow(wnd_, TRUE);
  }
  OwnerDisabled(const OwnerDisabled&) = delete;
  OwnerDisabled& operator=(const OwnerDisabled&) = delete;

 private:
  HWND wnd_;
};

class MessageBoxPrompter : public Prompter {
 public:
  int Show(HWND requested, const std::wstring& given, const std::wstring& caption, UINT flags) override {
    HWND owner = MessageBoxOwner(requested, flags);
    // The box disables only its own owner. A requested window that is hidden or minimised (the
    // main window during a recording) could be restored meanwhile and clicked again: it is
    // disabled for the box's life as an owner would be.
    const OwnerDisabled disabled(requested != owner ? requested : nullptr);
    const std::wstring text = WrapMessageText(given, MaxLineWidth(owner));
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

std::wstring WrapMessageText(const std::wstring& text, int maxWidth) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return text;
  HFONT font = ::CreateFontIndirectW(&metrics.lfMessageFont);
  HDC dc = ::GetDC(nullptr);
  if (!font || !dc) {
    if (font) ::DeleteObject(font);
    if (dc) ::ReleaseDC(nullptr, dc);
    return text;
  }
  HGDIOBJ old = ::SelectObject(dc, font);
  auto width = [&](const wchar_t* s, size_t n) {
    SIZE size{};
    ::GetTextExtentPoint32W(dc, s, static_cast<int>(n), &size);
    return static_cast<int>(size.cx);
  };
  std::wstring out;
  size_t lineStart = 0;
  while (lineStart <= text.size()) {
    size_t lineEnd = text.find(L'\n', lineStart);
    if (lineEnd == std::wstring::npos) lineEnd = text.size();
    // Pieces of the line that fit, each as long as it can be; a break after a blank or a
    // path separator is preferred to one inside a word.
    size_t pos = lineStart;
    while (lineEnd - pos > 1 && width(text.data() + pos, lineEnd - pos) > maxWidth) {
      size_t fit = 1;
      while (pos + fit < lineEnd && width(text.data() + pos, fit + 1) <= maxWidth) ++fit;
      size_t cut = fit;
      for (size_t i = fit; i > fit / 2; --i) {
        const wchar_t c = text[pos + i - 1];
        if (c == L' ' || c == L'\\' || c == L'/') {
          cut = i;
          break;
        }
      }
      out.append(text, pos, cut);
      out += L'\n';
      pos += cut;
    }
    out.append(text, pos, lineEnd - pos);
    if (lineEnd == text.size()) break;
    out += L'\n';
    lineStart = lineEnd + 1;
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  ::DeleteObject(font);
  return out;
}

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
