// The setup window and the program block of the setup program. The install sequence runs on
// the main thread and keeps the window alive by serving messages between its steps; from the
// moment it starts, every control that could start or end something is disabled, so a second
// click cannot start an install inside the first.
#include "setup/setup_form.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/texts/siteaddresses.h"
#include "base/balloon.h"
#include "base/barrier.h"
#include "base/dispatch.h"
#include "base/files.h"
#include "base/form_style.h"
#include "base/hand_cursor.h"
#include "base/resources.h"
#include "base/seams.h"
#include "base/showform.h"
#include "base/text.h"
#include "setup/install.h"
#include "setup/setup_ids.h"
#include "setup/setup_routines.h"

namespace setup {

namespace {

constexpr int kBannerHeight = 80;
// What the timer adds to the gauge between the steps of the install sequence.
constexpr int kCreep = 3;

// The agreement shown in Memo1.
constexpr const wchar_t* kAgreement =
    L"屏幕录像 软件许可协议\r\n\r\n"
    L"1. 本软件可免费安装和使用，您可以在任意数量的计算机上安装本软件。\r\n"
    L"2. 本软件按现状提供，不附带任何明示或暗示的担保；因使用本软件而造成的任何损失，作者不承担责任。\r\n"
    L"3. 您不得对本软件进行反向工程、反编译或反汇编，也不得出售本软件。\r\n"
    L"4. 使用本软件录制他人的屏幕内容时，请遵守当地法律并尊重他人的隐私。\r\n"
    L"5. 安装程序会在您选择的文件夹中写入程序文件，在桌面和开始菜单的“QIV软件”文件夹中创建快捷方式，"
    L"并在系统的已安装程序列表中登记本软件；您可以随时从该列表中卸载本软件。\r\n\r\n"
    L"单击[开始安装]即表示您同意以上条款。";

std::wstring WindowText(HWND wnd) {
  const int length = ::GetWindowTextLengthW(wnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(wnd, text.data(), length + 1)));
  return text;
}

HWND MakeControl(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id, RECT r, HFONT font,
                 DWORD exStyle = 0) {
  HWND wnd = ::CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_CLIPSIBLINGS | style, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               ::GetModuleHandleW(nullptr), nullptr);
  if (wnd) ::SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return wnd;
}

// A group box paints only its frame and caption; the window clips its children, so nothing
// else paints the box's inside, which stayed black around the agreement. It fills its own
// background with the form's colour.
LRESULT CALLBACK GroupBoxProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT client{};
      ::GetClientRect(wnd, &client);
      ::FillRect(reinterpret_cast<HDC>(wp), &client, base::FormBrush());
      return TRUE;
    }
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(wnd, &GroupBoxProc, id);
      break;
  }
  return ::DefSubclassProc(wnd, msg, wp, lp);
}

}  // namespace

bool TForm1::Create() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);
  base::WindowClass cls;
  cls.name = L"TForm1";
  cls.background = base::FormBrush();
  cls.icon = base::ProgramIcon();
  const std::wstring caption = base::Format(L"%s安装包 v%1.1f", ProductName, SoftVersion);
  base::WindowSpec spec;
  spec.title = caption.c_str();
  spec.style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT r{0, 0, kSetupClientWidth, kSetupClientHeight};
  ::AdjustWindowRectEx(&r, spec.style, FALSE, 0);
  spec.width = r.right - r.left;
  spec.height = r.bottom - r.top;
  spec.x = (::GetSystemMetrics(SM_CXSCREEN) - spec.width) / 2;
  spec.y = -2000;  // off screen until the program block places it
  if (!base::Window::Create(cls, spec)) return false;

  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  LOGFONTW face = metrics.lfMessageFont;
  face.lfHeight = -12;
  wcscpy_s(face.lfFaceName, L"宋体");
  font_.reset(::CreateFontIndirectW(&face));
  face.lfUnderline = TRUE;
  linkFont_.reset(::CreateFontIndirectW(&face));
  face.lfUnderline = FALSE;
  face.lfHeight = -26;
  face.lfWeight = FW_BOLD;
  bannerFont_.reset(::CreateFontIndirectW(&face));
  HFONT font = font_.get();

  const int w = kSetupClientWidth;
  MakeControl(hwnd(), L"STATIC", L"如果你同意以下协议，请选择[开始安装]", WS_VISIBLE, id::Label2,
              {20, kBannerHeight + 12, w - 20, kBannerHeight + 30}, font);
  HWND group = MakeControl(hwnd(), L"BUTTON", L"软件许可协议", WS_VISIBLE | BS_GROUPBOX, id::GbSoftAgreement,
                           {20, kBannerHeight + 36, w - 20, kBannerHeight + 270}, font);
  ::SetWindowSubclass(group, &GroupBoxProc, 1, 0);
  HWND memo = MakeControl(hwnd(), L"EDIT", kAgreement,
                          WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, id::Memo1,
                          {32, kBannerHeight + 56, w - 32, kBannerHeight + 260}, font, WS_EX_CLIENTEDGE);
  ::SetWindowPos(memo, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  MakeControl(hwnd(), L"STATIC", L"目标文件夹", WS_VISIBLE, id::Label1, {20, 374, 100, 392}, font);
  MakeControl(hwnd(), L"EDIT", DefaultInstallDir().c_str(), WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, id::EdtPicPath,
              {100, 370, 580, 394}, font, WS_EX_CLIENTEDGE);
  btnSelectDir_.Create(hwnd(), id::BtnSelectDir, {590, 369, w - 20, 395}, L"浏览...");
  MakeControl(hwnd(), L"BUTTON", L"立即运行软件", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, id::CbRunNow,
              {20, 404, 180, 424}, font);
  MakeControl(hwnd(), L"BUTTON", L"加入桌面快捷方式", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, id::CbAddToDeskTop,
              {200, 404, 380, 424}, font);
  MakeControl(hwnd(), L"BUTTON", L"加入快速启动栏", BS_AUTOCHECKBOX, id::CbQuickStart, {400, 404, 560, 424}, font);
  ::SendMessageW(Item(id::CbRunNow), BM_SETCHECK, BST_CHECKED, 0);
  ::SendMessageW(Item(id::CbAddToDeskTop), BM_SETCHECK, BST_CHECKED, 0);
  MakeControl(hwnd(), L"STATIC", L"", SS_LEFT, id::PnlProgress, {20, 430, w - 20, 466}, font);
  MakeControl(hwnd(), PROGRESS_CLASSW, L"", WS_VISIBLE | PBS_SMOOTH, id::Gauge1, {20, 432, w - 20, 448}, font);
  MakeControl(hwnd(), L"STATIC", L"", WS_VISIBLE, id::LblHint, {20, 450, w - 20, 466}, font);
  ::ShowWindow(Item(id::Gauge1), SW_HIDE);
  ::ShowWindow(Item(id::LblHint), SW_HIDE);
  ::SendMessageW(Item(id::Gauge1), PBM_SETRANGE32, 0, 100);
  HWND link = MakeControl(hwnd(), L"STATIC", L"更多软件...", WS_VISIBLE | SS_NOTIFY, id::Label4, {20, 484, 120, 502},
                          linkFont_.get());
  base::UseHandCursor(link);
  btnNext_.Create(hwnd(), id::BtnNext, {w - 240, 476, w - 130, 506}, L"开始安装");
  btnClose_.Create(hwnd(), id::BtnClose, {w - 120, 476, w - 20, 506}, L"退出");
  for (HWND button : {btnNext_.hwnd(), btnClose_.hwnd(), btnSelectDir_.hwnd()})
    ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  ::SetTimer(hwnd(), id::TimerFirstRun, 200, nullptr);
  return true;
}

bool TForm1::Checked(int id) const { return ::SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TForm1::GaugeStep(int amount, bool pump) {
  HWND gauge = Item(id::Gauge1);
  const int position = static_cast<int>(::SendMessageW(gauge, PBM_GETPOS, 0, 0));
  ::SendMessageW(gauge, PBM_SETPOS, std::min(100, position + amount), 0);
  // A step of the sequence lets the window catch up; the timer's creeping needs no pumping.
  if (pump) base::PumpPending();
}

void TForm1::SetHint(const wchar_t* text) { ::SetWindowTextW(Item(id::LblHint), text); }

void TForm1::LockControls(bool locked) {
  for (int control : {id::Memo1, id::EdtPicPath, id::CbAddToDeskTop, id::CbRunNow, id::CbQuickStart, id::BtnNext,
                      id::BtnSelectDir, id::BtnClose})
    ::EnableWindow(Item(control), !locked);
  ::EnableMenuItem(::GetSystemMenu(hwnd(), FALSE), SC_CLOSE, MF_BYCOMMAND | (locked ? MF_GRAYED : MF_ENABLED));
}

void TForm1::Fail() {
  ::KillTimer(hwnd(), id::Timer1);
  installing_ = false;
  base::ShowMessage(hwnd(), FailureMessage(), kSetupTitle, MB_OK | MB_ICONERROR);
  // What was written stays; the user may only leave now.
  ::EnableWindow(Item(id::BtnClose), TRUE);
  ::EnableMenuItem(::GetSystemMenu(hwnd(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
}

bool TForm1::BtnNextClick() {
  if (installing_) return false;
  std::wstring folder = WindowText(Item(id::EdtPicPath));
  base::NormalizeDirPath(folder);
  if (!IsAbsoluteFolder(folder)) {
    base::ShowMessage(hwnd(), L"请输入完整的安装路径，例如 " + DefaultInstallDir(), kSetupTitle, MB_OK | MB_ICONWARNING);
    return false;
  }
  installing_ = true;
  FreeBalloonHint();
  // 1, 2: the progress shows; nothing can be pressed again from here on.
  for (int control : {id::PnlProgress, id::Gauge1, id::LblHint}) ::ShowWindow(Item(control), SW_SHOW);
  LockControls(true);
  for (int i = 0; i < 2; ++i) base::PumpUntil([] { return false; }, 200);
  ::SetTimer(hwnd(), id::Timer1, 100, nullptr);
  GaugeStep();
  // 3, 4: the carried program and the target.
  if (payload_.empty()) {
    Fail();
    return false;
  }
  GaugeStep();
  const std::wstring target = folder + ExeName;
  // 5, 6: the copies running from the target end; the program file is written.
  CloseRunningCopies(target);
  if (!base::CreateFolderTree(folder) || WriteProgramFile(folder, payload_) != ERROR_SUCCESS) {
    Fail();
    return false;
  }
  SetHint(L"已拷贝所需要文件");
  GaugeStep();
  // 9 to 11: the product key and the links; their failures do not stop the install.
  MySoftReg().WriteSoftInfo(ProductCode, ProductName, target);
  SetHint(L"已注册相关信息");
  CreateShellFolderShortcut(target, ProductName, 2, base::kLinkGroup);
  GaugeStep();
  if (Checked(id::CbAddToDeskTop)) CreateDesktopShortcut(target, ProductName, base::kLinkGroup);
  GaugeStep();
  GaugeStep();
  SetHint(L"已创建快捷方式");
  // 12: the installed-programs entry; its command is quoted, for the blank in "Program Files".
  if (WriteUninstallInfo(target, ProductName, base::Format(L"%1.1f", SoftVersion), folder,
                         L"\"" + target + L"\" uninstall") != ERROR_SUCCESS) {
    Fail();
    return false;
  }
  SetHint(L"已创建软件卸载模块");
  // 13, 14: the program starts, the home page opens, the setup program ends.
  if (Checked(id::CbRunNow))
    ::ShellExecuteW(hwnd(), L"open", target.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
  ::KillTimer(hwnd(), id::Timer1);
  OpenHomePage();
  installing_ = false;
  ::DestroyWindow(hwnd());
  return true;
}

void TForm1::BtnSelectDirClick() {
  FreeBalloonHint();
  const std::wstring current = WindowText(Item(id::EdtPicPath));
  std::wstring chosen = SelectFolderFrom(current, current, hwnd());
  if (chosen.empty()) return;
  base::NormalizeDirPath(chosen);
  ::SetWindowTextW(Item(id::EdtPicPath), chosen.c_str());
}

void TForm1::TimerFirstRunTimer() {
  ::KillTimer(hwnd(), id::TimerFirstRun);
  if (installing_) return;
  base::CreateBalloon();
  RECT button{};
  ::GetWindowRect(btnNext_.hwnd(), &button);
  ShowBalloonHint(button.left + 45, button.top + 45, L"单击此按钮可开始安装软件",
                  L"你也可以先设置安装路径等参数后再单击此按钮安装");
}

void TForm1::Timer1Timer() {
  // The gauge creeps on between the steps, never past its end.
  GaugeStep(kCreep, false);
}

void TForm1::OpenHomePage() {
  ::ShellExecuteW(hwnd(), L"open", app::site::kHomePage, nullptr, nullptr, SW_SHOWNORMAL);
}

void TForm1::Paint() {
  base::PaintDC dc(hwnd());
  RECT banner{0, 0, kSetupClientWidth, kBannerHeight};
  base::UniqueBrush blue(::CreateSolidBrush(RGB(0x2B, 0x5C, 0xA8)));
  ::FillRect(dc.get(), &banner, blue.get());
  base::SelectGuard select(dc.get(), bannerFont_.get());
  ::SetBkMode(dc.get(), TRANSPARENT);
  ::SetTextColor(dc.get(), RGB(0xFF, 0xFF, 0xFF));
  RECT text = banner;
  text.left += 24;
  const std::wstring title = base::Format(L"%s %1.1f", ProductName, SoftVersion);
  ::DrawTextW(dc.get(), title.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

LRESULT TForm1::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case id::BtnNext:
          if (HIWORD(wp) == BN_CLICKED) BtnNextClick();
          return 0;
        case id::BtnSelectDir:
          if (HIWORD(wp) == BN_CLICKED && !installing_) BtnSelectDirClick();
          return 0;
        case id::BtnClose:
          if (HIWORD(wp) == BN_CLICKED && !installing_) ::DestroyWindow(hwnd());
          return 0;
        case id::Label4:
          if (HIWORD(wp) == STN_CLICKED) OpenHomePage();
          return 0;
      }
      break;
    case WM_TIMER:
      if (wp == id::TimerFirstRun) TimerFirstRunTimer();
      if (wp == id::Timer1) Timer1Timer();
      return 0;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wp);
      if (reinterpret_cast<HWND>(lp) == Item(id::Memo1)) {
        // The read-only agreement keeps the look of a page.
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
      }
      ::SetBkColor(dc, base::kFormColor);
      if (reinterpret_cast<HWND>(lp) == Item(id::Label4)) ::SetTextColor(dc, RGB(0, 0, 0xFF));
      return reinterpret_cast<LRESULT>(base::FormBrush());
    }
    case WM_CLOSE:
      if (!installing_) ::DestroyWindow(hwnd());
      return 0;
    case WM_DESTROY:
      ::KillTimer(hwnd(), id::Timer1);
      ::KillTimer(hwnd(), id::TimerFirstRun);
      FreeBalloonHint();
      if (quitOnDestroy_) ::PostQuitMessage(0);
      return 0;
  }
  return Default(msg, wp, lp);
}

int RunSetup(const wchar_t* commandLine) {
  return base::Guard("setup program block", [&]() -> int {
    base::StartMainDispatcher();
    base::ComInit com;
    int code = 0;
    const std::wstring updateDir = UpdateDirFromCommandLine(commandLine);
    if (IsUpdateTarget(updateDir)) {
      // The update mode shows no window: the program file is replaced and the run ends.
      code = RunUpdate(updateDir, CarriedProgram()) ? 0 : 1;
    } else {
      TForm1 form(CarriedProgram(), true);
      if (!form.Create()) return 1;
      RECT r{};
      ::GetWindowRect(form.hwnd(), &r);
      ::SetWindowPos(form.hwnd(), nullptr, r.left, 81, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      base::ShowFormAnimated(form.hwnd());
      code = base::RunMessageLoop();
    }
    base::StopMainDispatcher();
    return code;
  }, 1);
}

}  // namespace setup
