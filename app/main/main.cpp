// Reclume's entry point: opens the main window and runs the message loop.
#include <windows.h>

#include "base/dispatch.h"
#include "base/window.h"

namespace {

class MainWindow : public base::Window {
 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_DESTROY) {
      ::PostQuitMessage(0);
      return 0;
    }
    return Default(msg, wp, lp);
  }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  base::StartMainDispatcher();
  base::WindowClass cls;
  cls.name = L"TFrmMain";
  cls.background = ::CreateSolidBrush(RGB(0xF5, 0xFA, 0xFE));
  base::WindowSpec spec;
  spec.title = L"Reclume";
  MainWindow main;
  if (!main.Create(cls, spec)) return 1;
  ::ShowWindow(main.hwnd(), show);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  base::StopMainDispatcher();
  return static_cast<int>(msg.wParam);
}
