// The window base class: one window procedure for every window of the program, dispatching to
// the object stored in GWLP_USERDATA, behind the exception barrier.
#include "base/window.h"

#include <mutex>
#include <set>

#include "base/barrier.h"

namespace base {

bool RegisterWindowClass(const WindowClass& cls) {
  static std::mutex mutex;
  static std::set<std::wstring> registered;
  std::lock_guard<std::mutex> lock(mutex);
  if (!cls.name) return false;
  if (registered.count(cls.name)) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = cls.style;
  wc.lpfnWndProc = &Window::Proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hIcon = cls.icon;
  wc.hIconSm = cls.smallIcon;
  wc.hCursor = cls.cursor ? ::LoadCursorW(nullptr, cls.cursor) : nullptr;
  wc.hbrBackground = cls.background;
  wc.lpszClassName = cls.name;
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  registered.insert(cls.name);
  return true;
}

Window::~Window() { Destroy(); }

bool Window::Create(const WindowClass& cls, const WindowSpec& spec) {
  if (hwnd_) return false;
  if (!RegisterWindowClass(cls)) return false;
  HWND wnd = ::CreateWindowExW(spec.exStyle, cls.name, spec.title, spec.style, spec.x, spec.y, spec.width,
                               spec.height, spec.parent, reinterpret_cast<HMENU>(spec.id),
                               ::GetModuleHandleW(nullptr), this);
  return wnd != nullptr;
}

void Window::Destroy() {
  if (hwnd_) ::DestroyWindow(hwnd_);  // WM_NCDESTROY clears hwnd_
}

Window* Window::FromHandle(HWND wnd) noexcept {
  if (!wnd) return nullptr;
  // Any window's user data can be read, but it is a Window only in windows of this process
  // whose class this base registered. The class's procedure is asked rather than the window's:
  // a subclassed window of ours has another procedure in front, but the same class.
  DWORD process = 0;
  if (!::GetWindowThreadProcessId(wnd, &process) || process != ::GetCurrentProcessId()) return nullptr;
  if (::GetClassLongPtrW(wnd, GCLP_WNDPROC) != reinterpret_cast<ULONG_PTR>(&Window::Proc)) return nullptr;
  return reinterpret_cast<Window*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
}

LRESULT Window::OnMessage(UINT msg, WPARAM wp, LPARAM lp) { return Default(msg, wp, lp); }

LRESULT CALLBACK Window::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  Window* self = nullptr;
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    self = static_cast<Window*>(cs->lpCreateParams);
    if (self) {
      self->hwnd_ = wnd;
      ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  } else {
    // The procedure runs only for windows of our classes: the user data is ours.
    self = reinterpret_cast<Window*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcW(wnd, msg, wp, lp);

  bool failed = false;
  LRESULT result = 0;
  try {
    result = self->OnMessage(msg, wp, lp);
  } catch (const std::exception& e) {
    ReportBarrierException("window procedure", &e);
    failed = true;
  } catch (...) {
    ReportBarrierException("window procedure", nullptr);
    failed = true;
  }
  if (failed) result = ::DefWindowProcW(wnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    GuardVoid("window destroyed", [&] { self->OnDestroyed(); });
  }
  return result;
}

bool CreateMessageOnly(Window& window, const wchar_t* className) {
  WindowClass cls;
  cls.name = className;
  cls.style = 0;
  cls.cursor = nullptr;
  WindowSpec spec;
  spec.style = 0;
  spec.x = spec.y = spec.width = spec.height = 0;
  spec.parent = HWND_MESSAGE;
  return window.Create(cls, spec);
}

}  // namespace base
