// The tool window: one flat stop button on the forms' background inside the picture frame the
// dialogs wear, placed beside the recorded area by ToolWindowLeft.
#include "app/area/toolform.h"

#include "app/forms/control_ids.h"
#include "base/barrier.h"
#include "base/form_style.h"

namespace app {

TFrmTool* FrmTool = nullptr;

namespace {

constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOPMOST | WS_EX_CONTEXTHELP;
constexpr int kButtonWidth = 122, kButtonHeight = 25;

}  // namespace

int ToolWindowLeft(const RECT& area, int toolWidth, int screenWidth) {
  const int right = area.right;
  if (right + kToolGap + toolWidth <= screenWidth) return right + kToolGap;
  if (area.left - kToolGap - toolWidth >= 0) return area.left - kToolGap - toolWidth;
  // No room on either side: inside the screen, on the side with more room.
  const int left = screenWidth - right >= area.left ? screenWidth - toolWidth : 0;
  return left < 0 ? 0 : left;
}

TFrmTool::TFrmTool(std::function<void()> stop) : stop_(std::move(stop)) {}

TFrmTool::~TFrmTool() {
  if (FrmTool == this) FrmTool = nullptr;
}

bool TFrmTool::Create() {
  base::WindowClass cls;
  cls.name = L"TFrmTool";
  cls.background = base::FormBrush();
  base::WindowSpec spec;
  spec.title = kToolTitle;
  spec.style = kStyle;
  spec.exStyle = kExStyle;
  RECT r{0, 0, kToolClientWidth, kToolClientHeight};
  ::AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
  spec.x = spec.y = 0;
  spec.width = r.right - r.left;
  spec.height = r.bottom - r.top;
  if (!base::Window::Create(cls, spec)) return false;
  frame_.Create(hwnd(), id::ToolFrameFirst);
  const int left = (kToolClientWidth - kButtonWidth) / 2, top = (kToolClientHeight - kButtonHeight) / 2;
  if (!btnStopRec_.Create(hwnd(), id::ToolBtnStopRec, {left, top, left + kButtonWidth, top + kButtonHeight},
                          kToolStopHint))
    return false;
  btnStopRec_.SetHint(kToolStopHint);
  return true;
}

void TFrmTool::ShowBeside(const RECT& area) {
  RECT own{};
  ::GetWindowRect(hwnd(), &own);
  const int left = ToolWindowLeft(area, own.right - own.left, ::GetSystemMetrics(SM_CXSCREEN));
  ::SetWindowPos(hwnd(), HWND_TOPMOST, left, area.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void TFrmTool::Hide() {
  if (hwnd()) ::ShowWindow(hwnd(), SW_HIDE);
}

void TFrmTool::BtnStopRecClick() {
  base::GuardVoid("TFrmTool.BtnStopRecClick", [&] {
    if (stop_) stop_();
  });
  Hide();
}

void TFrmTool::FormCloseQuery() { BtnStopRecClick(); }

LRESULT TFrmTool::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      FormCloseQuery();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == id::ToolBtnStopRec && HIWORD(wp) == BN_CLICKED) {
        BtnStopRecClick();
        return 0;
      }
      break;
  }
  return Default(msg, wp, lp);
}

}  // namespace app
