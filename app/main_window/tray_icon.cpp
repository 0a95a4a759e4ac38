// The notification-area icon: the first-version record (icon, tip, callback message), which
// every shell understands; the results of the shell calls are ignored on purpose.
#include "app/main_window/tray_icon.h"

namespace app {

namespace {

BOOL ShellNotifyIcon(DWORD message, NOTIFYICONDATAW* data) { return ::Shell_NotifyIconW(message, data); }
NotifyIconFunction gNotifyIcon = &ShellNotifyIcon;

}  // namespace

NotifyIconFunction SetNotifyIconFunction(NotifyIconFunction function) {
  NotifyIconFunction previous = gNotifyIcon;
  gNotifyIcon = function ? function : &ShellNotifyIcon;
  return previous;
}

void TrayIcon::Add(HWND owner, UINT callbackMessage, HICON icon, const std::wstring& tip) {
  Remove();
  data_ = NOTIFYICONDATAW{};
  data_.cbSize = NOTIFYICONDATAW_V1_SIZE;
  data_.hWnd = owner;
  data_.uID = 0;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = callbackMessage;
  data_.hIcon = icon;
  tip.copy(data_.szTip, 63);
  gNotifyIcon(NIM_ADD, &data_);
  added_ = true;
}

void TrayIcon::SetIcon(HICON icon) {
  data_.hIcon = icon;
  if (added_) gNotifyIcon(NIM_MODIFY, &data_);
}

void TrayIcon::Remove() {
  if (!added_) return;
  gNotifyIcon(NIM_DELETE, &data_);
  added_ = false;
}

}  // namespace app
