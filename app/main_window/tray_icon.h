// The program's icon in the notification area. The shell sends the icon's mouse messages to
// the owner window as callbackMessage (lParam: the mouse message). Added once, its picture
// swapped while a recording runs, removed when the owner goes away. A failed shell call leaves
// the program without an icon; nothing reports it.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace app {

// The shell call behind every tray icon (Shell_NotifyIconW). Tests put their own in its place:
// under Wine the icon cannot be seen and each call waits about 2 s for a tray that never
// answers. Returns the previous function. Main thread only.
using NotifyIconFunction = BOOL (*)(DWORD message, NOTIFYICONDATAW* data);
NotifyIconFunction SetNotifyIconFunction(NotifyIconFunction function);

class TrayIcon {
 public:
  TrayIcon() = default;
  ~TrayIcon() { Remove(); }
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // The tip is cut to the shell's 63 characters.
  void Add(HWND owner, UINT callbackMessage, HICON icon, const std::wstring& tip);
  void SetIcon(HICON icon);
  HICON icon() const { return data_.hIcon; }
  void Remove();
  bool added() const { return added_; }
  const NOTIFYICONDATAW& data() const { return data_; }

 private:
  NOTIFYICONDATAW data_{};
  bool added_ = false;
};

}  // namespace app
