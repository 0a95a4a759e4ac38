// The uninstall window: a fixed-size window on the forms' background whose panel fills it.
#include "app/uninstall_form.h"

#include "app/control_ids.h"

namespace app {

bool TFrmUninstall::Create() {
  base::WindowClass cls;
  cls.name = L"TFrmUninstall";
  cls.background = FormBrush();
  cls.icon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, 32, 32, LR_SHARED));
  base::WindowSpec spec;
  spec.title = kUninstallTitle;
  spec.style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT r{0, 0, kUninstallClientWidth, kUninstallClientHeight};
  ::AdjustWindowRectEx(&r, spec.style, FALSE, 0);
  spec.width = r.right - r.left;
  spec.height = r.bottom - r.top;
  spec.x = (::GetSystemMetrics(SM_CXSCREEN) - spec.width) / 2;
  spec.y = (::GetSystemMetrics(SM_CYSCREEN) - spec.height) / 2;
  if (!base::Window::Create(cls, spec)) return false;
  panel1_.Create(hwnd(), id::UninstallPanel1);
  layout_.Add(panel1_.hwnd(), Dock::Client);
  layout_.Apply(hwnd());
  return true;
}

LRESULT TFrmUninstall::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      layout_.Apply(hwnd());
      return 0;
    case WM_DESTROY:
      if (quitOnDestroy_) ::PostQuitMessage(0);
      return 0;
  }
  return Default(msg, wp, lp);
}

}  // namespace app
