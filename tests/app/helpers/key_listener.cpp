// A second program for the hotkey tests: one plain window that counts the Esc presses it
// receives and shows the count in its title ("Esc 0", "Esc 1", ...), so a test in another
// process can tell whether a key pressed while this window is in front reached it.
#include <windows.h>

#include <string>

namespace {

int gEscapes = 0;

void ShowCount(HWND wnd) { ::SetWindowTextW(wnd, (L"Esc " + std::to_wstring(gEscapes)).c_str()); }

LRESULT CALLBACK ListenerProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_KEYDOWN:
      if (wp == VK_ESCAPE) {
        ++gEscapes;
        ShowCount(wnd);
      }
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(wnd, msg, wp, lp);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW cls{};
  cls.lpfnWndProc = ListenerProc;
  cls.hInstance = instance;
  cls.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  cls.lpszClassName = L"ReclumeKeyListener";
  if (!::RegisterClassW(&cls)) return 1;
  HWND wnd = ::CreateWindowExW(0, cls.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 100, 100, 400, 200, nullptr, nullptr,
                               instance, nullptr);
  if (!wnd) return 1;
  ShowCount(wnd);
  ::ShowWindow(wnd, SW_SHOW);
  ::SetForegroundWindow(wnd);
  MSG m;
  while (::GetMessageW(&m, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&m);
    ::DispatchMessageW(&m);
  }
  return 0;
}
