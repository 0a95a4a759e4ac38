// The area window: its panel of edits and buttons, the window region that makes everything
// around the panel see-through, the edits that follow the window and move or size it, and the
// two ways out (confirm, close). The edits are subclassed for Enter, Tab and for telling a
// focus that moves inside this window from one that leaves it.
#include "app/area/areaselect.h"

#include <commctrl.h>

#include <string>

#include "app/forms/control_ids.h"
#include "app/forms/messages.h"
#include "app/dialogs/optdlg.h"
#include "base/barrier.h"
#include "base/form_style.h"
#include "base/resources.h"
#include "base/seams.h"
#include "base/unique.h"

namespace app {

TFrmAreaSelect* FrmAreaSelect = nullptr;

namespace {

constexpr int kAreaEdits[] = {id::EdtLeft, id::EdtTop, id::EdtWidth, id::EdtHeight};
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
// The panel's layout: the four rows of a label and an edit, the two buttons below them.
constexpr int kRowTop = 48, kRowStep = 36, kLabelLeft = 32, kEditLeft = 104, kEditWidth = 120, kEditHeight = 20;
constexpr int kButtonTop = 204, kButtonWidth = 80, kButtonHeight = 28;
// The decoration's bands and side borders; the window's own border inside its frame.
constexpr int kBandTop = 30, kBandBottom = 20, kSideBorder = 3;
constexpr int kBorderWidth = 1;

std::wstring WindowText(HWND wnd) {
  const int length = ::GetWindowTextLengthW(wnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(wnd, text.data(), length + 1)));
  return text;
}

}  // namespace

TFrmAreaSelect::TFrmAreaSelect(std::function<void()> confirmed, std::function<void()> closed)
    : confirmed_(std::move(confirmed)), closed_(std::move(closed)) {}

TFrmAreaSelect::~TFrmAreaSelect() {
  if (FrmAreaSelect == this) FrmAreaSelect = nullptr;
}

bool TFrmAreaSelect::Create() {
  base::WindowClass cls;
  cls.name = L"TFrmAreaSelect";
  cls.background = base::FormBrush();
  cls.icon = base::ProgramIcon();
  base::WindowSpec spec;
  spec.title = kAreaSelectTitle;
  spec.style = kStyle;
  spec.exStyle = WS_EX_TOPMOST;
  spec.x = (::GetSystemMetrics(SM_CXSCREEN) - kAreaPanelSize) / 2;
  spec.y = (::GetSystemMetrics(SM_CYSCREEN) - kAreaPanelSize) / 2;
  spec.width = spec.height = kAreaPanelSize;
  if (!base::Window::Create(cls, spec)) return false;
  if (!pnlMain_.Create(hwnd(), id::AreaPnlMain)) return false;
  HWND panel = pnlMain_.hwnd();
  ::SendMessageW(panel, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  // The decoration: a band at the top and at the bottom, a thin border down each side, and the
  // edits' labels, which are one picture; each picture fills a panel of its own.
  const struct {
    app::Panel& panel;
    int panelId;
    RECT bounds;
    PictureBox& box;
    int boxId;
    const wchar_t* picture;
    bool stretch;
  } decoration[] = {
      {pnlTop_, id::AreaPnlTop, {0, 0, kAreaPanelSize, kBandTop}, image1_, id::AreaImage1, L"areatop", false},
      {pnlBottom_, id::AreaPnlBottom, {0, kAreaPanelSize - kBandBottom, kAreaPanelSize, kAreaPanelSize}, image2_,
       id::AreaImage2, L"areabottom", false},
      {panel1_, id::AreaPanel1, {0, kBandTop, kSideBorder, kAreaPanelSize - kBandBottom}, borderLeft_,
       id::AreaBorderLeft, L"frameleft", true},
      {panel2_, id::AreaPanel2, {kAreaPanelSize - kSideBorder, kBandTop, kAreaPanelSize, kAreaPanelSize - kBandBottom},
       borderRight_, id::AreaBorderRight, L"frameright", true},
      {panel3_, id::AreaPanel3, {kLabelLeft, kRowTop, kEditLeft - 2, kRowTop + 4 * kRowStep}, labels_, id::AreaLabels,
       L"arealabels", false},
  };
  for (const auto& d : decoration) {
    if (!d.panel.Create(panel, d.panelId)) return false;
    d.box.Create(d.panel.hwnd(), d.boxId, {0, 0, 0, 0});
    d.panel.layout().Add(d.box.hwnd(), Dock::Client);
    ::SetWindowPos(d.panel.hwnd(), nullptr, d.bounds.left, d.bounds.top, d.bounds.right - d.bounds.left,
                   d.bounds.bottom - d.bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
    d.panel.Relayout();
    d.box.SetStretch(d.stretch);
    base::LoadGraphicFromRes(d.box.picture(), d.picture, L"bmp");
    d.box.PictureChanged();
  }
  for (int i = 0; i < 4; ++i) {
    const int top = kRowTop + i * kRowStep;
    // Borderless, on a white field of their own.
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, kEditLeft,
                                  top, kEditWidth, kEditHeight, panel,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kAreaEdits[i])),
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (!edit) return false;
    ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    ::SetWindowSubclass(edit, EditSubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  const int gap = (kAreaPanelSize - 2 * kButtonWidth) / 3;
  btnConfirm_.Create(panel, id::BtnConfirm, {gap, kButtonTop, gap + kButtonWidth, kButtonTop + kButtonHeight},
                     L"确定");
  base::LoadGraphicFromRes(btnConfirm_.glyph(), L"confirm", L"bmp");
  btnConfirm_.GlyphChanged();
  btnClose_.Create(panel, id::AreaBtnClose,
                   {2 * gap + kButtonWidth, kButtonTop, 2 * gap + 2 * kButtonWidth, kButtonTop + kButtonHeight},
                   L"关闭");
  base::LoadGraphicFromRes(btnClose_.glyph(), L"BtnClose", L"bmp");
  btnClose_.GlyphChanged();
  created_ = true;
  FormCreate();
  return true;
}

HWND TFrmAreaSelect::Edit(int editId) const {
  return pnlMain_.hwnd() ? ::GetDlgItem(pnlMain_.hwnd(), editId) : nullptr;
}

RECT TFrmAreaSelect::Bounds() const {
  RECT r{};
  if (hwnd()) ::GetWindowRect(hwnd(), &r);
  return r;
}

void TFrmAreaSelect::ShowArea() {
  ::ShowWindow(hwnd(), SW_SHOW);
  ::SetForegroundWindow(hwnd());
  ::SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TFrmAreaSelect::FormCreate() {
  doubleBuffered_ = true;
  for (app::Panel* panel : {&pnlMain_, &pnlTop_, &pnlBottom_}) panel->SetDoubleBuffered(true);
  ::SetWindowPos(pnlMain_.hwnd(), nullptr, 0, 0, kAreaPanelSize, kAreaPanelSize, SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowPos(hwnd(), nullptr, 0, 0, kAreaPanelSize, kAreaPanelSize, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  FormResize();
}

// Everything of the client area but the panel is cut out of the window: the title bar, the
// borders and the panel are all that is left of it.
void TFrmAreaSelect::FormResize() {
  if (!created_) return;
  RECT window{}, client{};
  ::GetWindowRect(hwnd(), &window);
  ::GetClientRect(hwnd(), &client);
  const int width = window.right - window.left, height = window.bottom - window.top;
  const int clientWidth = client.right, clientHeight = client.bottom;
  const int panelLeft = (width - kAreaPanelSize) / 2, panelTop = (height - kAreaPanelSize) / 2;
  ::SetWindowPos(pnlMain_.hwnd(), nullptr, panelLeft, panelTop, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  const int b = (width - clientWidth) / 2;
  const int c = height - clientHeight - b;
  base::UniqueRegion region(::CreateRectRgn(0, 0, width, height));
  base::UniqueRegion hole(::CreateRectRgn(b, c, b + clientWidth, c + clientHeight));
  base::UniqueRegion panel(
      ::CreateRectRgn(b + panelLeft, c + panelTop, b + panelLeft + kAreaPanelSize, c + panelTop + kAreaPanelSize));
  if (region && hole && panel) {
    ::CombineRgn(region.get(), region.get(), hole.get(), RGN_XOR);
    ::CombineRgn(region.get(), region.get(), panel.get(), RGN_OR);
    // The window owns the region from here on.
    if (::SetWindowRgn(hwnd(), region.get(), TRUE)) region.release();
  }
  UpdateBoundsEdits();
}

void TFrmAreaSelect::WMMove() { UpdateBoundsEdits(); }

void TFrmAreaSelect::PaintBorder() {
  struct WholeWindowDC {
    HWND wnd;
    HDC dc;
    ~WholeWindowDC() {
      if (dc) ::ReleaseDC(wnd, dc);
    }
    HDC get() const { return dc; }
  } dc{hwnd(), ::GetWindowDC(hwnd())};
  if (!dc.get()) return;
  RECT window{}, client{};
  ::GetWindowRect(hwnd(), &window);
  ::GetClientRect(hwnd(), &client);
  POINT origin{0, 0};
  ::ClientToScreen(hwnd(), &origin);
  RECT border{origin.x - window.left - kBorderWidth, origin.y - window.top - kBorderWidth, 0, 0};
  border.right = border.left + client.right + 2 * kBorderWidth;
  border.bottom = border.top + client.bottom + 2 * kBorderWidth;
  ::FrameRect(dc.get(), &border, base::FormBrush());
}

// What the region leaves of the client area is the panel's, which paints itself; the window's
// own background goes on the screen in one copy, so a resize does not flicker.
void TFrmAreaSelect::PaintBuffered() {
  base::PaintDC dc(hwnd());
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  if (client.right <= 0 || client.bottom <= 0) return;
  base::UniqueDC memory(doubleBuffered_ ? ::CreateCompatibleDC(dc.get()) : nullptr);
  base::UniqueBitmap buffer(memory ? ::CreateCompatibleBitmap(dc.get(), client.right, client.bottom) : nullptr);
  if (!memory || !buffer) {
    ::FillRect(dc.get(), &client, base::FormBrush());
    return;
  }
  base::SelectGuard select(memory.get(), buffer.get());
  ::FillRect(memory.get(), &client, base::FormBrush());
  ::BitBlt(dc.get(), 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
}

void TFrmAreaSelect::UpdateBoundsEdits() {
  if (!created_) return;
  const RECT r = Bounds();
  const int values[] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
  for (int i = 0; i < 4; ++i) ::SetWindowTextW(Edit(kAreaEdits[i]), std::to_wstring(values[i]).c_str());
}

void TFrmAreaSelect::ApplyBound(int editId, int value) {
  RECT r = Bounds();
  int x = r.left, y = r.top, cx = r.right - r.left, cy = r.bottom - r.top;
  switch (editId) {
    case id::EdtLeft:
      x = value;
      break;
    case id::EdtTop:
      y = value;
      break;
    case id::EdtWidth:
      cx = value;
      break;
    case id::EdtHeight:
      cy = value;
      break;
    default:
      return;
  }
  ::SetWindowPos(hwnd(), nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFrmAreaSelect::EdtExit(int editId) {
  base::GuardVoid("TFrmAreaSelect.EdtExit", [&] {
    HWND edit = Edit(editId);
    int value = 0;
    if (ParseWholeNumber(WindowText(edit), value)) {
      ApplyBound(editId, value);
      return;
    }
    base::ShowMessage(hwnd(), kEnterInteger, L"", MB_OK);
    ::SetFocus(edit);
  });
}

void TFrmAreaSelect::EdtKeyDown(int editId, WPARAM key) {
  base::GuardVoid("TFrmAreaSelect.EdtKeyDown", [&] {
    int value = 0;
    if (key == VK_RETURN && ParseWholeNumber(WindowText(Edit(editId)), value)) ApplyBound(editId, value);
  });
}

void TFrmAreaSelect::BtnConfirmClick() {
  base::GuardVoid("TFrmAreaSelect.BtnConfirmClick", [&] {
    ::ShowWindow(hwnd(), SW_HIDE);
    if (confirmed_) confirmed_();
  });
}

void TFrmAreaSelect::BtnCloseClick() { ::SendMessageW(hwnd(), WM_CLOSE, 0, 0); }

void TFrmAreaSelect::FormCloseQuery() {
  base::GuardVoid("TFrmAreaSelect.FormCloseQuery", [&] { ::ShowWindow(hwnd(), SW_HIDE); });
  base::GuardVoid("TFrmAreaSelect.FormCloseQuery closed", [&] {
    if (closed_) closed_();
  });
}

LRESULT CALLBACK TFrmAreaSelect::EditSubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                                  DWORD_PTR self) {
  auto* form = reinterpret_cast<TFrmAreaSelect*>(self);
  const int editId = ::GetDlgCtrlID(wnd);
  switch (msg) {
    case WM_KEYDOWN:
      if (wp == VK_RETURN) {
        form->EdtKeyDown(editId, wp);
        return 0;
      }
      // The window is no dialog: Tab moves on to the next edit here.
      if (wp == VK_TAB) {
        const bool back = ::GetKeyState(VK_SHIFT) < 0;
        if (HWND next = ::GetNextDlgTabItem(::GetParent(wnd), wnd, back)) ::SetFocus(next);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wp == L'\r' || wp == L'\t') return 0;
      break;
    case WM_KILLFOCUS: {
      // Left for another control of this window: the edit's value is taken (or refused) once
      // the focus has moved. Another program, or the message box itself, is no leaving.
      const LRESULT r = ::DefSubclassProc(wnd, msg, wp, lp);
      HWND next = reinterpret_cast<HWND>(wp);
      if (next && next != wnd && ::IsChild(form->hwnd(), next))
        ::PostMessageW(form->hwnd(), WM_AREA_EDIT_EXIT, static_cast<WPARAM>(editId), 0);
      return r;
    }
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(wnd, EditSubclassProc, 1);
      break;
  }
  return ::DefSubclassProc(wnd, msg, wp, lp);
}

LRESULT TFrmAreaSelect::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    // A border of its own, 1 pixel wide, between the frame and the client area; it is part of
    // what the window region keeps.
    case WM_NCCALCSIZE: {
      const LRESULT r = Default(msg, wp, lp);
      RECT& client = wp ? reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0] : *reinterpret_cast<RECT*>(lp);
      ::InflateRect(&client, -kBorderWidth, -kBorderWidth);
      return r;
    }
    case WM_NCPAINT: {
      Default(msg, wp, lp);
      PaintBorder();
      return 0;
    }
    case WM_NCACTIVATE: {
      const LRESULT r = Default(msg, wp, lp);
      PaintBorder();
      return r;
    }
    case WM_ERASEBKGND:
      if (doubleBuffered_) return 1;  // the buffered paint draws the background
      break;
    case WM_PAINT:
      PaintBuffered();
      return 0;
    case WM_SIZE:
      FormResize();
      return 0;
    case WM_MOVE:
      Default(msg, wp, lp);
      WMMove();
      return 0;
    case WM_CLOSE:
      FormCloseQuery();
      return 0;
    case WM_AREA_EDIT_EXIT:
      EdtExit(static_cast<int>(wp));
      return 0;
    case WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED && LOWORD(wp) == id::BtnConfirm) {
        BtnConfirmClick();
        return 0;
      }
      if (HIWORD(wp) == BN_CLICKED && LOWORD(wp) == id::AreaBtnClose) {
        BtnCloseClick();
        return 0;
      }
      break;
    case WM_CTLCOLOREDIT:
      return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      ::SetBkColor(dc, base::kFormColor);
      return reinterpret_cast<LRESULT>(base::FormBrush());
    }
  }
  return Default(msg, wp, lp);
}

}  // namespace app
