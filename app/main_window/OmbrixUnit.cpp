// The branded panel: two panels on PnlOmbrixParent (the buttons on top, the banner below), the
// help menu, and the web and shell openers. Every opening goes through the shell-opener seam.
#include "app/main_window/OmbrixUnit.h"

#include "app/dialogs/aboutus.h"
#include "app/texts/allparam.h"
#include "app/forms/control_ids.h"
#include "base/barrier.h"
#include "base/resources.h"
#include "base/shell_opener.h"

namespace app {

std::unique_ptr<TPnlOmbrix> PnlOmbrix;

namespace {

constexpr int kButtonsPanelHeight = 93;
constexpr int kBannerHeight = 50;

// The owner of every opening: the program's main window.
HWND MainFormWindow() { return FrmMain ? FrmMain->hwnd() : nullptr; }

}  // namespace

BrowserPanelFit& BrowserPanel() {
  static BrowserPanelFit fit;
  return fit;
}

void FitBrowserPanel() {
  base::GuardVoid("FitBrowserPanel", [] {
    const BrowserPanelFit& fit = BrowserPanel();
    if (!fit.enabled || !fit.panel || !fit.browser) return;
    if (fit.marker && ::IsWindowVisible(fit.marker)) return;
    RECT r{};
    ::GetClientRect(fit.panel, &r);
    ::SetWindowPos(fit.browser, nullptr, -4, -4, r.right + 8, r.bottom + 8, SWP_NOZORDER | SWP_NOACTIVATE);
  });
}

void HandleBrowserPanelRightClick(const MSG& msg, bool& handled) {
  const BrowserPanelFit& fit = BrowserPanel();
  if (!fit.panel || !fit.browser) return;
  if (msg.message != WM_RBUTTONDOWN || !msg.hwnd || (msg.hwnd != fit.browser && !::IsChild(fit.browser, msg.hwnd)))
    return;
  base::GuardVoid("HandleBrowserPanelRightClick", [&] {
    POINT cursor{};
    ::GetCursorPos(&cursor);
    if (fit.popupMenu)
      ::TrackPopupMenu(fit.popupMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, fit.panel,
                       nullptr);
  });
  handled = true;
}

void OpenWebPage(const std::wstring& address) {
  base::GuardVoid("OpenWebPage", [&] {
    const std::wstring url = address.find(L"://") == std::wstring::npos ? L"http://" + address : address;
    // Quoted, so an address with a blank stays one argument. Without Internet Explorer (a user
    // may remove it) the default browser opens the page instead.
    if (!base::ShellOpen(MainFormWindow(), L"open", L"IExplore", SW_SHOWNORMAL, L"\"" + url + L"\""))
      base::ShellOpen(MainFormWindow(), L"open", url, SW_SHOWNORMAL);
  });
}

void ShellOpen(const std::wstring& path) {
  base::GuardVoid("ShellOpen", [&] { base::ShellOpen(MainFormWindow(), L"open", path, SW_SHOWNORMAL); });
}

// The buttons' panel answers its buttons and the help menu itself; everything else goes on to
// the form as from any panel.
class TPnlOmbrix::ButtonsPanel : public Panel {
 public:
  explicit ButtonsPanel(TPnlOmbrix& ombrix) : ombrix_(ombrix) {}

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_COMMAND && HIWORD(wp) == 0 /* BN_CLICKED or a menu item */) {
      const int command = LOWORD(wp);
      base::GuardVoid("TPnlOmbrix click", [&] {
        switch (command) {
          case id::BtnOrder: ombrix_.OrderClick(); break;
          case id::BtnHelp: ombrix_.HelpClick(); break;
          case id::BtnExit: ombrix_.ExitClick(); break;
          default: ombrix_.HelpMenuClick(command); break;
        }
      });
      return 0;
    }
    return Panel::OnMessage(msg, wp, lp);
  }

 private:
  TPnlOmbrix& ombrix_;
};

// The banner picture; a click (press and release on it) opens the home page.
class TPnlOmbrix::Banner : public PictureBox {
 public:
  explicit Banner(TPnlOmbrix& ombrix) : ombrix_(ombrix) {}

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_LBUTTONDOWN:
        ::SetCapture(hwnd());
        return 0;
      case WM_LBUTTONUP: {
        if (::GetCapture() == hwnd()) ::ReleaseCapture();
        RECT r{};
        ::GetClientRect(hwnd(), &r);
        const POINT at{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        if (::PtInRect(&r, at)) base::GuardVoid("TPnlOmbrix.BannerClick", [&] { ombrix_.BannerClick(); });
        return 0;
      }
      default:
        return PictureBox::OnMessage(msg, wp, lp);
    }
  }

 private:
  TPnlOmbrix& ombrix_;
};

TPnlOmbrix::TPnlOmbrix(Panel& owner)
    : owner_(owner), pnlButtons_(std::make_unique<ButtonsPanel>(*this)), pnlBanner_(std::make_unique<Panel>()),
      imgBanner_(std::make_unique<Banner>(*this)) {
  pnlButtons_->Create(owner.hwnd(), id::PnlButtons, false);
  owner.layout().Add(pnlButtons_->hwnd(), Dock::Top, kButtonsPanelHeight);
  pnlBanner_->Create(owner.hwnd(), id::PnlBanner, false);
  owner.layout().Add(pnlBanner_->hwnd(), Dock::Client);

  RECT area{};
  ::GetClientRect(owner.hwnd(), &area);
  const int width = area.right - area.left;
  struct Spec {
    FlatButton& button;
    int id;
    const wchar_t* glyph;
  } const buttons[] = {{btnOrder_, id::BtnOrder, L"BtnOrder"},
                       {btnHelp_, id::BtnHelp, L"BtnHelp"},
                       {btnExit_, id::BtnExit, L"BtnExit"}};
  for (const Spec& b : buttons) {
    b.button.Create(pnlButtons_->hwnd(), b.id, {10, 0, 10 + width, PanelButtonHeight});
    if (base::LoadGraphicFromRes(b.button.glyph(), b.glyph, L"bmp")) b.button.GlyphChanged();
  }
  LayoutButtons(1, 0, 3);

  pmHelp_.reset(::CreatePopupMenu());
  struct Item {
    int id;
    const wchar_t* caption;
    int tag;
  } const items[] = {{id::MnHelpDemo, L"实例说明(&D)", 1},
                     {id::MnHelpHomePage, L"官方主页(&H)", 2},
                     {0, nullptr, 0},
                     {id::MnHelpAbout, L"关于(&A)...", 4}};
  for (const Item& item : items) {
    if (!item.caption) {
      ::AppendMenuW(pmHelp_.get(), MF_SEPARATOR, 0, nullptr);
      continue;
    }
    ::AppendMenuW(pmHelp_.get(), MF_STRING, item.id, item.caption);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_DATA;
    info.dwItemData = static_cast<ULONG_PTR>(item.tag);
    ::SetMenuItemInfoW(pmHelp_.get(), item.id, FALSE, &info);
  }

  imgBanner_->Create(pnlBanner_->hwnd(), id::ImgBanner, {0, 0, width, kBannerHeight});
  pnlBanner_->layout().Add(imgBanner_->hwnd(), Dock::Top, kBannerHeight);
  if (base::LoadJpegFromRes(imgBanner_->picture(), L"Ombrix", L"jpg")) imgBanner_->PictureChanged();
}

TPnlOmbrix::~TPnlOmbrix() = default;

HWND TPnlOmbrix::PnlButtons() const { return pnlButtons_->hwnd(); }

void TPnlOmbrix::Show() {
  ::ShowWindow(pnlButtons_->hwnd(), SW_SHOWNA);
  ::ShowWindow(pnlBanner_->hwnd(), SW_SHOWNA);
  owner_.Relayout();
  pnlBanner_->Relayout();
}

void TPnlOmbrix::LayoutButtons(int left, int top, int gap) {
  owner_.layout().SetSize(pnlButtons_->hwnd(), kButtonsPanelHeight);
  owner_.Relayout();
  auto place = [&](FlatButton& button, int y) {
    ::SetWindowPos(button.hwnd(), nullptr, left, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  };
  auto height = [](const FlatButton& button) {
    RECT r{};
    ::GetWindowRect(button.hwnd(), &r);
    return r.bottom - r.top;
  };
  int next = top;
  if (::GetWindowLongW(btnOrder_.hwnd(), GWL_STYLE) & WS_VISIBLE) {
    place(btnOrder_, top);
    next = top + height(btnOrder_) + gap;
  }
  place(btnHelp_, next);
  place(btnExit_, next + height(btnHelp_) + gap);
}

void TPnlOmbrix::OrderClick() { OpenWebPage(WebAddress(OrderPath)); }

void TPnlOmbrix::HelpClick() {
  POINT at{};
  ::GetCursorPos(&at);
  ::TrackPopupMenu(pmHelp_.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, at.x, at.y, 0, pnlButtons_->hwnd(),
                   nullptr);
}

// Posted: the button is a child of the window it closes.
void TPnlOmbrix::ExitClick() {
  if (HWND form = Form()) ::PostMessageW(form, WM_CLOSE, 0, 0);
}

HWND TPnlOmbrix::Form() const { return ::GetAncestor(owner_.hwnd(), GA_ROOT); }

void TPnlOmbrix::BannerClick() { ShellOpen(HomePageURL); }

void TPnlOmbrix::HelpMenuClick(int commandId) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_DATA;
  if (!::GetMenuItemInfoW(pmHelp_.get(), static_cast<UINT>(commandId), FALSE, &info)) return;
  switch (info.dwItemData) {
    case 1: ShellOpen(WebAddress(DemoPath) + L"#detail"); break;
    case 2: ShellOpen(HomePageURL); break;
    case 4: ShowAboutBox(Form()); break;
    default: break;
  }
}

}  // namespace app
