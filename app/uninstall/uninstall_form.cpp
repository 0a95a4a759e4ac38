// The uninstall window: a fixed-size window on the forms' background whose panel holds the
// warning icon, the start and close buttons and the link to the maker's newest programs.
#include "app/uninstall/uninstall_form.h"

#include <commctrl.h>

#include "app/texts/allparam.h"
#include "app/forms/control_ids.h"
#include "base/shell_opener.h"
#include "app/texts/siteaddresses.h"
#include "app/uninstall/uninstall.h"
#include "base/files.h"
#include "base/hand_cursor.h"
#include "base/message_at.h"
#include "base/processes.h"
#include "base/resources.h"
#include "base/text.h"

namespace app {

bool TFrmUninstall::Create() {
  base::WindowClass cls;
  cls.name = L"TFrmUninstall";
  cls.background = FormBrush();
  cls.icon = base::ProgramIcon();
  base::WindowSpec spec;
  spec.title = kUninstallTitle;
  spec.style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT r{0, 0, kUninstallClientWidth, kUninstallClientHeight};
  ::AdjustWindowRectEx(&r, spec.style, FALSE, 0);
  spec.width = r.right - r.left;
  spec.height = r.bottom - r.top;
  spec.x = (::GetSystemMetrics(SM_CXSCREEN) - spec.width) / 2 - 50;
  spec.y = (::GetSystemMetrics(SM_CYSCREEN) - spec.height) / 2 - 30;
  if (!base::Window::Create(cls, spec)) return false;
  panel1_.Create(hwnd(), id::UninstallPanel1);
  layout_.Add(panel1_.hwnd(), Dock::Client);
  layout_.Apply(hwnd());
  HWND panel = panel1_.hwnd();
  HINSTANCE instance = ::GetModuleHandleW(nullptr);

  HWND image = ::CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON | SS_REALSIZECONTROL, 16, 16,
                                 39, 39, panel, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id::UninstallImage1)),
                                 instance, nullptr);
  ::SendMessageW(image, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_WARNING)), 0);

  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(panel, WM_GETFONT, 0, 0));
  LOGFONTW face{};
  ::GetObjectW(font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT), sizeof face, &face);
  wcscpy_s(face.lfFaceName, L"宋体");
  face.lfHeight = -12;
  face.lfUnderline = TRUE;
  linkFont_.reset(::CreateFontIndirectW(&face));
  HWND link = ::CreateWindowExW(0, L"STATIC", L"查看QIV最新软件", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 70, 28, 120, 18,
                                panel, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id::Label2)), instance, nullptr);
  ::SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_.get()), FALSE);
  base::UseHandCursor(link);
  tooltip_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, instance, nullptr));
  if (tooltip_) {
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = panel;
    info.uId = reinterpret_cast<UINT_PTR>(link);
    info.lpszText = const_cast<wchar_t*>(L"请你点击此处，查询QIV软件最新版本");
    ::SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  }

  btnStartUnstall_.Create(panel, id::BtnStartUnstall, {kUninstallClientWidth - 190, 64, kUninstallClientWidth - 82, 90});
  base::LoadGraphicFromRes(btnStartUnstall_.glyph(), L"confirm", L"bmp");
  btnStartUnstall_.GlyphChanged();
  btnClose_.Create(panel, id::BtnClose, {kUninstallClientWidth - 72, 64, kUninstallClientWidth - 10, 90});
  base::LoadGraphicFromRes(btnClose_.glyph(), L"BtnClose", L"bmp");
  btnClose_.GlyphChanged();
  return true;
}

bool TFrmUninstall::BtnStartUnstallClick(bool endProcess) {
  const std::wstring exe = ProgramFile();
  const std::wstring folder = base::FolderOf(exe);
  if (!base::ProcessesRunningFrom(exe, base::Unreadable::Count).empty()) {
    // A running program file cannot be deleted, and the program would write its settings
    // file again when it ends: nothing is removed until it has ended. A process of the same
    // name whose image cannot be read (another user's, say) may be this program: it counts,
    // or the batch would give up on the file after the user was told all had gone.
    base::ShowMessageAtCursor(hwnd(), RunningProgramMessage(exe), kUninstallTitle, MB_OK | MB_ICONWARNING);
    return false;
  }
  const std::vector<std::wstring> left = RemoveInstallation(folder);
  if (!left.empty()) {
    // Nothing may point at a removed program: the program file stays, and the user is told
    // what is left.
    std::wstring list;
    for (const auto& item : left) list += L"\n" + item;
    base::ShowMessageAtCursor(hwnd(), base::Format(L"未能完全卸载『%s』，以下项目无法删除：%s", ProductName, list),
                              kUninstallTitle, MB_OK | MB_ICONWARNING);
    return false;
  }
  base::ShowMessageAtCursor(hwnd(), base::Format(L"你已成功卸载『%s』", ProductName), kUninstallTitle,
                            MB_OK | MB_ICONINFORMATION);
  if (endProcess && !RunSelfDeleteBatch())
    base::ShowMessageAtCursor(hwnd(), L"无法删除程序文件，请在程序退出后手动删除：\n" + folder, kUninstallTitle,
                              MB_OK | MB_ICONWARNING);
  return true;
}

std::wstring RunningProgramMessage(const std::wstring& exe) {
  return base::Format(L"『%s』正在运行，程序文件 %s 在它退出之前无法删除。\n请先退出『%s』，再单击本窗口中带对勾（✓）的按钮。现在没有删除任何内容。",
                      ProductName, exe, ProductName);
}

void TFrmUninstall::Label2MouseDown() { base::ShellOpen(hwnd(), L"open", site::kHomePage); }

LRESULT TFrmUninstall::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      layout_.Apply(hwnd());
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case id::BtnStartUnstall:
          if (HIWORD(wp) == BN_CLICKED) BtnStartUnstallClick();
          return 0;
        case id::BtnClose:
          if (HIWORD(wp) == BN_CLICKED) ::DestroyWindow(hwnd());
          return 0;
        case id::Label2:
          if (HIWORD(wp) == STN_CLICKED) Label2MouseDown();
          return 0;
      }
      break;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      ::SetBkColor(dc, kFormColor);
      if (::GetDlgCtrlID(reinterpret_cast<HWND>(lp)) == id::Label2) ::SetTextColor(dc, RGB(0, 0, 0xFF));
      return reinterpret_cast<LRESULT>(FormBrush());
    }
    case WM_DESTROY:
      if (quitOnDestroy_) ::PostQuitMessage(0);
      return 0;
  }
  return Default(msg, wp, lp);
}

}  // namespace app
