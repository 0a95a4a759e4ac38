// Placing a message box at a screen point. MessageBoxW always centres its box, so a CBT hook
// on the calling thread catches the box as it is activated and moves it before it is drawn.
// The hook lives only for the one call and moves only the first window activated.
#include "base/message_at.h"

#include <algorithm>

#include "base/seams.h"

namespace base {

namespace {

// One placement per thread: a box shown from inside another box's loop gets its own.
thread_local HHOOK tHook = nullptr;
thread_local POINT tPoint{};

LRESULT CALLBACK MoveOnActivate(int code, WPARAM wp, LPARAM lp) {
  HHOOK hook = tHook;
  if (code == HCBT_ACTIVATE && hook) {
    HWND box = reinterpret_cast<HWND>(wp);
    RECT r{};
    ::GetWindowRect(box, &r);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromPoint(tPoint, MONITOR_DEFAULTTONEAREST), &monitor);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const RECT& work = monitor.rcWork;
    const int x = std::max(static_cast<int>(work.left), std::min(static_cast<int>(tPoint.x), static_cast<int>(work.right) - w));
    const int y = std::max(static_cast<int>(work.top), std::min(static_cast<int>(tPoint.y), static_cast<int>(work.bottom) - h));
    ::SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    tHook = nullptr;
    ::UnhookWindowsHookEx(hook);
    return 0;
  }
  return ::CallNextHookEx(hook, code, wp, lp);
}

}  // namespace

int ShowMessageAt(POINT at, HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
  HHOOK previous = tHook;
  tPoint = at;
  tHook = ::SetWindowsHookExW(WH_CBT, &MoveOnActivate, nullptr, ::GetCurrentThreadId());
  const int answer = ShowMessage(owner, text, caption, flags);
  if (tHook) ::UnhookWindowsHookEx(tHook);
  tHook = previous;
  return answer;
}

int ShowMessageAtCursor(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  return ShowMessageAt(cursor, owner, text, caption, flags);
}

}  // namespace base
