// The main window's start-up sequence and web tabs: the mirror probe and the web pop-up panel
// started 200 ms after creation, the demonstration page loaded once a mirror answered, the
// owner-drawn tabs with the recommendation tab's close mark, and the panel's notices.
//
// The tab control cannot hide a tab: the window keeps its pages in order and inserts or
// deletes the recommendation tab's item; each item carries its page's window in lParam.
#include <windowsx.h>

#include "app/texts/allparam.h"
#include "app/forms/control_ids.h"
#include "app/main_window/main_form.h"
#include "app/forms/messages.h"
#include "base/barrier.h"

namespace app {

namespace {

constexpr int kPages[] = {id::TabSheet1, id::TbDemo, id::TsHot};
constexpr const wchar_t* kHotCaption = L" QIV软件向你推荐  ";
constexpr int kCloseMarkWidth = 20;

}  // namespace

void TFrmMain::BuildWebPages(HWND tabs) {
  Panel& demoSheet = AddPanel(tabs, id::TbDemo, false);
  Panel& demo = AddPanel(demoSheet.hwnd(), id::PnlDemo);
  demoSheet.layout().Add(demo.hwnd(), Dock::Client);
  Panel& hotSheet = AddPanel(tabs, id::TsHot, false);
  Panel& hot = AddPanel(hotSheet.hwnd(), id::PnlHot);
  hotSheet.layout().Add(hot.hwnd(), Dock::Client);
  // Each item knows its page.
  for (int tab = 0; tab < 2; ++tab) {
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    item.lParam = reinterpret_cast<LPARAM>(Control(kPages[tab]));
    ::SendMessageW(tabs, TCM_SETITEMW, tab, reinterpret_cast<LPARAM>(&item));
  }
  // The tab control's own font (which sizes the tabs) is "新宋体"; the window draws the captions
  // in "宋体" of the same height, the face they are written for.
  ::SetWindowLongW(tabs, GWL_STYLE, ::GetWindowLongW(tabs, GWL_STYLE) | TCS_OWNERDRAWFIXED);
  pageFont_.reset(::CreateFontW(-15, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"新宋体"));
  tabFont_.reset(::CreateFontW(-15, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体"));
  // The demonstration tab is the active page at creation.
  ::SendMessageW(tabs, TCM_SETCURSEL, 1, 0);
  ShowSelectedPage();
}

int TFrmMain::TabIndexOf(int pageId) const {
  HWND tabs = Control(id::PageControl1);
  HWND page = Control(pageId);
  const int count = static_cast<int>(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    if (::SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item)) && reinterpret_cast<HWND>(item.lParam) == page)
      return i;
  }
  return -1;
}

void TFrmMain::SetTabVisible(int pageId, bool visible) {
  HWND tabs = Control(id::PageControl1);
  const int index = TabIndexOf(pageId);
  if (visible == (index >= 0)) return;
  if (!visible) {
    const bool wasSelected = ::SendMessageW(tabs, TCM_GETCURSEL, 0, 0) == index;
    ::SendMessageW(tabs, TCM_DELETEITEM, index, 0);
    SetControlVisible(pageId, false);
    // The shown recommendation tab gone: the demonstration page takes its place.
    if (wasSelected) SelectPage(id::TbDemo);
    return;
  }
  // In page order: after every shown page that comes before it.
  int position = 0;
  for (int page : kPages) {
    if (page == pageId) break;
    if (TabIndexOf(page) >= 0) ++position;
  }
  TCITEMW item{};
  item.mask = TCIF_TEXT | TCIF_PARAM;
  item.pszText = const_cast<wchar_t*>(pageId == id::TsHot ? kHotCaption : L"");
  item.lParam = reinterpret_cast<LPARAM>(Control(pageId));
  ::SendMessageW(tabs, TCM_INSERTITEMW, position, reinterpret_cast<LPARAM>(&item));
  PlacePages();
}

void TFrmMain::SelectPage(int pageId) {
  const int index = TabIndexOf(pageId);
  if (index < 0) return;
  ::SendMessageW(Control(id::PageControl1), TCM_SETCURSEL, index, 0);
  ShowSelectedPage();
}

void TFrmMain::ShowSelectedPage() {
  HWND tabs = Control(id::PageControl1);
  const int selected = static_cast<int>(::SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
  for (int page : kPages) SetControlVisible(page, selected >= 0 && TabIndexOf(page) == selected);
}

void TFrmMain::PlacePages() {
  HWND tabs = Control(id::PageControl1);
  RECT page{};
  ::GetClientRect(tabs, &page);
  ::SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
  for (int pageId : kPages)
    if (HWND sheet = Control(pageId))
      ::SetWindowPos(sheet, HWND_TOP, page.left, page.top, page.right - page.left, page.bottom - page.top,
                     SWP_NOACTIVATE);
}

void TFrmMain::CreatePopWin() {
  if (myPopWin_ || !options_.createPopWin) return;
  WebPanelArgs args;
  args.demoPanel = Control(id::PnlDemo);
  args.firstWebTab = 1;
  args.tempExeName = programFolder_ + L"qivupdatetmp.exe";
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  args.exeName = self;
  args.setupFileName = programFolder_ + L"setupKV.exe";
  args.updateUrlPath = L"update/kv/setupKV.exe";
  args.curVersion = SoftVersion;
  args.mainWnd = hwnd();
  args.hotPanel = Control(id::PnlHot);
  myPopWin_ = options_.createPopWin(args);
}

void TFrmMain::TimerRefreshWBTimer() {
  if (!ServerReady.load(std::memory_order_acquire)) return;  // polls again in a second
  ServerReady = false;
  const bool loaded = base::Guard("TFrmMain.TimerRefreshWBTimer", [&] {
    if (!myPopWin_) return false;
    myPopWin_->NavigateDemo(ServerBaseUrl() + DemoPath);
    SelectPage(id::TbDemo);
    return true;
  }, false);
  // Loaded or failed, the page is not asked for again.
  (void)loaded;
  EnableTimer(id::TimerRefreshWB, false);
}

void TFrmMain::PageControl1DrawTab(const DRAWITEMSTRUCT& item) {
  HWND tabs = item.hwndItem;
  wchar_t caption[128] = {};
  TCITEMW tab{};
  tab.mask = TCIF_TEXT;
  tab.pszText = caption;
  tab.cchTextMax = static_cast<int>(std::size(caption));
  ::SendMessageW(tabs, TCM_GETITEMW, item.itemID, reinterpret_cast<LPARAM>(&tab));
  RECT r = item.rcItem;
  HDC dc = item.hDC;
  ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
  const HGDIOBJ oldFont = ::SelectObject(dc, tabFont_ ? tabFont_.get() : ::GetStockObject(DEFAULT_GUI_FONT));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
  ::DrawTextW(dc, caption, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  ::SelectObject(dc, oldFont);
  // Active and inactive tabs alike; the recommendation tab carries its close mark.
  if (static_cast<int>(item.itemID) == 2 && imageList1_)
    ::ImageList_Draw(imageList1_.get(), 1, dc, r.right - kCloseMarkWidth, r.top + 3, ILD_TRANSPARENT);
}

void TFrmMain::PageControl1Change() {
  ShowSelectedPage();
  base::GuardVoid("TFrmMain.PageControl1Change", [&] {
    const int index = static_cast<int>(::SendMessageW(Control(id::PageControl1), TCM_GETCURSEL, 0, 0));
    if (index == 1) CreatePopWin();
    if (!myPopWin_) return;
    if (index == 2) myPopWin_->ShowHotPanel();
    myPopWin_->TabChanged(index);
  });
}

void TFrmMain::PageControl1MouseDown(int x, int y) {
  base::GuardVoid("TFrmMain.PageControl1MouseDown", [&] {
    HWND tabs = Control(id::PageControl1);
    TCHITTESTINFO hit{{x, y}, 0};
    const int index = static_cast<int>(::SendMessageW(tabs, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (index != 2 || !myPopWin_) return;
    // The tab under the cursor, whatever button pressed it (a right click selects nothing).
    RECT r{};
    ::SendMessageW(tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    if (x > r.right - kCloseMarkWidth)
      myPopWin_->CloseHotTab();
    else
      myPopWin_->ShowHotPanel();
  });
}

void TFrmMain::WMPopWinShow() {
  SetTabVisible(id::TsHot, true);
  SetControlVisible(id::SbLeft, true);
}

void TFrmMain::WMPopWinClosed(LPARAM reason) {
  if (reason == 2)
    SetTabVisible(id::TsHot, false);
  else
    SelectPage(id::TbDemo);
  SetControlVisible(id::SbCenter, true);
  SetControlVisible(id::SbMain, true);
}

}  // namespace app
