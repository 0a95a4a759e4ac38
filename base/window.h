// The window base class every window of the program derives from.
//
// `this` travels in lpCreateParams, is stored in GWLP_USERDATA at WM_NCCREATE and cleared at
// WM_NCDESTROY; messages before WM_NCCREATE go to DefWindowProcW. OnMessage runs behind the
// exception barrier: an exception thrown by a handler ends as DefWindowProcW's answer.
#pragma once

#include <windows.h>

#include <string>

namespace base {

struct WindowClass {
  const wchar_t* name = nullptr;
  UINT style = CS_DBLCLKS;
  HBRUSH background = nullptr;  // nullptr: the window paints its own background
  HICON icon = nullptr;
  HICON smallIcon = nullptr;
  const wchar_t* cursor = IDC_ARROW;
};

struct WindowSpec {
  const wchar_t* title = L"";
  DWORD style = WS_OVERLAPPEDWINDOW;
  DWORD exStyle = 0;
  int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
  HWND parent = nullptr;  // owner for top-level windows, parent for WS_CHILD
  UINT_PTR id = 0;        // control id for WS_CHILD, else a menu handle (or 0)
};

// Registers the class with this module once; later calls with the same name do nothing.
bool RegisterWindowClass(const WindowClass& cls);

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Registers cls (once) and creates the window; false when CreateWindowExW failed.
  bool Create(const WindowClass& cls, const WindowSpec& spec);
  // Destroys the window if it still exists.
  void Destroy();

  HWND hwnd() const noexcept { return hwnd_; }
  explicit operator bool() const noexcept { return hwnd_ != nullptr; }

  // The Window object behind a handle created by this class, or nullptr for any other window
  // (another process's, or one whose class this base did not register), whatever its user
  // data holds.
  static Window* FromHandle(HWND wnd) noexcept;

 protected:
  // Handles one message; the default passes it to DefWindowProcW.
  virtual LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcW(hwnd_, msg, wp, lp); }
  // Called after WM_NCDESTROY, when hwnd() is already null.
  virtual void OnDestroyed() {}

 public:
  // The window procedure of every class registered through RegisterWindowClass.
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  HWND hwnd_ = nullptr;
};

// Creates window as a message-only window of a plain class named className (no style, no
// cursor): it receives posted and sent messages and is never shown. False when it could not.
bool CreateMessageOnly(Window& window, const wchar_t* className);

}  // namespace base
