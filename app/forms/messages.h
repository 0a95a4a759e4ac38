// Every private window message of the main window, with its payload.
//
// The values are fixed: the notification-area icon's callback and the web pop-up panel's
// notices are part of the program's outside face, and other processes' tools (and the tests)
// send them by number.
#pragma once

#include <windows.h>

namespace app {

// The notification-area icon's callback (WM_USER + 1), sent by the shell to the main window.
// wParam: the icon's uID (always 0). lParam: the mouse message over the icon (WM_LBUTTONDOWN,
// WM_RBUTTONDOWN, WM_MOUSEMOVE, ...). Nothing to free.
inline constexpr UINT WM_TRAYICON = 0x401;

// The web pop-up panel's notices, sent (SendMessage) by the panel to the main window on the
// main thread: the window has handled one when the panel goes on. wParam: 0. lParam: 0, except
// WM_POPWIN_CLOSED from the panel's own close, 2 (any other value only shows the
// demonstration page). Nothing to free.
inline constexpr UINT WM_POPWIN_SHOW = 0x464;    // the recommendation tab was shown
inline constexpr UINT WM_POPWIN_CLOSED = 0x465;  // the recommendation tab was closed
inline constexpr UINT WM_POPWIN_LOADED = 0x466;  // a demonstration page has loaded

// The end of a sound-less recording: posted by the recorder's thread to the main window when
// the frame loop has ended or the recording failed. wParam and lParam: unused (0). Nothing to
// free. The file is complete once the recorder's thread has gone; the window checks for that.
inline constexpr UINT WM_RECORDING_ENDED = WM_APP + 0x100;

// A balloon waits for the main window to be on the screen: posted by the window to itself when
// it is shown or restored, so the balloon is placed after the window has its final size.
// wParam and lParam: unused (0). Nothing to free; the balloon's texts stay with the window.
inline constexpr UINT WM_SHOW_PENDING_BALLOON = WM_APP + 0x101;

// An edit of the area window was left for another control of that window: posted by the edit
// to the area window once the focus has moved. wParam: the edit's control id. lParam: unused
// (0). Nothing to free.
inline constexpr UINT WM_AREA_EDIT_EXIT = WM_APP + 0x102;

// A second start of the same program file asks the running copy to show itself: posted by
// that other process to the main window, which comes to the front (restored when it was
// minimised or hidden). wParam and lParam: unused (0). Nothing to free.
inline constexpr UINT WM_SHOW_RUNNING_COPY = WM_APP + 0x110;

}  // namespace app
