// The hotkey dialog: three editable drop-down boxes between the plus signs of its label, a
// default button, confirm and close. The boxes keep what the user last chose, so the dialog
// reopens with it. A typed text is matched to its entry without regard to case; a key box
// whose text names no key keeps the key stored before, so the stop key is never empty.
#include "app/dialogs/hotkeyset.h"

#include <memory>

#include "app/forms/dialog_ids.h"
#include "app/forms/flat_button.h"
#include "app/forms/frame_pictures.h"
#include "app/forms/modal_dialog.h"
#include "base/barrier.h"
#include "base/text.h"

namespace app {

std::wstring HotkeyText1;
std::wstring HotkeyText2;
std::wstring HotkeyText3;

const std::vector<std::wstring>& HotkeyModifierEntries() {
  static const std::vector<std::wstring> entries{L"", L"Ctrl", L"Alt", L"Shift"};
  return entries;
}

const std::vector<std::wstring>& HotkeyKeyEntries() {
  static const std::vector<std::wstring> entries = [] {
    std::vector<std::wstring> keys{L"Esc"};
    for (wchar_t c = L'A'; c <= L'Z'; ++c) keys.push_back(std::wstring(1, c));
    for (wchar_t c = L'1'; c <= L'9'; ++c) keys.push_back(std::wstring(1, c));
    keys.push_back(L"0");
    return keys;
  }();
  return entries;
}

int FindHotkeyEntry(const std::vector<std::wstring>& entries, const std::wstring& text) {
  const std::wstring wanted = base::Trim(text);
  for (size_t i = 0; i < entries.size(); ++i)
    if (::CompareStringOrdinal(entries[i].c_str(), -1, wanted.c_str(), -1, TRUE) == CSTR_EQUAL)
      return static_cast<int>(i);
  return -1;
}

StopHotkey ComposeStopHotkey(const std::wstring& text1, const std::wstring& text2, const std::wstring& text3) {
  auto flagOf = [](const std::wstring& name) -> UINT {
    if (name == L"Ctrl") return MOD_CONTROL;
    if (name == L"Alt") return MOD_ALT;
    if (name == L"Shift") return MOD_SHIFT;
    return 0;
  };
  const std::wstring first = base::Trim(text1), second = base::Trim(text2);
  StopHotkey hotkey;
  std::wstring text = first;
  if (!second.empty()) text += L" + ";
  text = base::Trim(text + second);
  // The key is never empty: the stop key falls back to Esc.
  const std::wstring key = text3.empty() ? std::wstring(L"Esc") : text3;
  hotkey.text = text.empty() ? key : text + L" + " + key;
  hotkey.modifiers = flagOf(first) | flagOf(second);
  hotkey.key = key == L"Esc" ? VK_ESCAPE : static_cast<UINT>(key[0]);
  return hotkey;
}

namespace {

constexpr int kLabelLeft = 16;
constexpr int kLabelTop = 24;
constexpr int kBoxWidth = 64;  // the longest entry ("Shift") and the drop-down arrow
constexpr int kPlusRoom = 20;  // between two boxes, for a plus sign

class TFrmHotkeySet : public ModalDialog {
 public:
  bool Build() {
    if (!CreateDialogWindow(L"TFrmHotkeySet", L"热键设置", 440, 130, nullptr)) return false;
    frame_.Create(hwnd(), id::HotkeyFrameFirst);
    // The label lies behind the boxes, which stand between its plus signs. Its blanks are
    // narrower than a box in most fonts, so it is drawn here: its words at its left, each plus
    // sign centred in the room left for it between two boxes.
    label_ = AddControl(L"STATIC", kLabel, SS_OWNERDRAW, kLabelLeft, kLabelTop, 400, 20, id::HotkeyLabel1);
    hint_ = AddControl(L"STATIC", L"此快捷键冲突，请修改", SS_LEFT, kLabelLeft, 56, 300, 18, id::LnlHint1);
    ::ShowWindow(hint_, SW_HIDE);
    const DWORD box = CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
    const int ids[3] = {id::CbHotkey1, id::CbHotkey2, id::CbHotkey3};
    int x = kLabelLeft + TextWidth(LabelWords()) + 8;
    for (int i = 0; i < 3; ++i) {
      boxes_[i] = AddControl(L"COMBOBOX", L"", box, x, kLabelTop - 4, kBoxWidth, 300, ids[i]);
      x += kBoxWidth + kPlusRoom;
    }
    for (int i = 0; i < 3; ++i) {
      for (const auto& entry : EntriesOf(i))
        ::SendMessageW(boxes_[i], CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    }
    // Flat buttons take no focus: Enter and Esc reach confirm and close as IDOK and IDCANCEL.
    AddFlatButton(defaultSet_, id::BtnDefaultSet, {150, 90, 226, 116}, L"默认", nullptr);
    AddFlatButton(confirm_, id::HotkeyBtnConfirm, {236, 90, 312, 116}, L"确定", L"confirm");
    AddFlatButton(close_, id::HotkeyBtnClose, {322, 90, 398, 116}, L"关闭", L"BtnClose");
    SelectDefaults();
    return true;
  }

  void SetConflictHint(bool shown) { ::ShowWindow(hint_, shown ? SW_SHOW : SW_HIDE); }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_DRAWITEM && wp == static_cast<WPARAM>(id::HotkeyLabel1)) {
      DrawLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
      return TRUE;
    }
    return ModalDialog::OnMessage(msg, wp, lp);
  }

  void OnCommand(int id, int code, HWND control) override {
    if (code != BN_CLICKED) return;
    if (id == id::BtnDefaultSet) {
      SelectDefaults();
    } else if (id == id::HotkeyBtnConfirm) {
      base::GuardVoid("hotkey confirm", [&] { StoreTexts(); });
      EndModal(IDOK);
    } else {
      ModalDialog::OnCommand(id, code, control);
    }
  }

 private:
  static constexpr const wchar_t* kLabel = L"屏幕录像退回键                 +         +";
  static std::wstring LabelWords() {
    const std::wstring label = kLabel;
    return label.substr(0, label.find(L' '));
  }

  // The label's words, and a plus sign centred between each two boxes; the boxes' own places
  // are left alone.
  void DrawLabel(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const int saved = ::SaveDC(dc);
    RECT boxInLabel[3]{};
    for (int i = 0; i < 3; ++i) {
      ::GetWindowRect(boxes_[i], &boxInLabel[i]);
      ::MapWindowPoints(HWND_DESKTOP, label_, reinterpret_cast<POINT*>(&boxInLabel[i]), 2);
      ::ExcludeClipRect(dc, boxInLabel[i].left, boxInLabel[i].top, boxInLabel[i].right, boxInLabel[i].bottom);
    }
    ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
    if (HFONT font = DialogFont()) ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    const std::wstring words = LabelWords();
    RECT r = item.rcItem;
    ::DrawTextW(dc, words.c_str(), static_cast<int>(words.size()), &r, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    for (int i = 0; i < 2; ++i) {
      RECT room{boxInLabel[i].right, item.rcItem.top, boxInLabel[i + 1].left, item.rcItem.bottom};
      ::DrawTextW(dc, L"+", 1, &room, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    ::RestoreDC(dc, saved);
  }

  static const std::vector<std::wstring>& EntriesOf(int box) {
    return box < 2 ? HotkeyModifierEntries() : HotkeyKeyEntries();
  }

  // Every box opens on its first entry: none, none, "Esc". Nothing is stored.
  void SelectDefaults() {
    for (HWND box : boxes_) ::SendMessageW(box, CB_SETCURSEL, 0, 0);
  }

  // The entry a box names now: its text (selected or typed) matched without regard to case.
  int ChosenEntry(int box) const {
    static constexpr int kIds[3] = {id::CbHotkey1, id::CbHotkey2, id::CbHotkey3};
    return FindHotkeyEntry(EntriesOf(box), ItemText(kIds[box]));
  }

  void StoreTexts() {
    std::wstring* targets[3] = {&HotkeyText1, &HotkeyText2, &HotkeyText3};
    for (int box = 0; box < 3; ++box) {
      int entry = ChosenEntry(box);
      if (box == 2 && entry < 0) {
        // A key that names nothing keeps the stop key as it was (Esc when there was none).
        entry = FindHotkeyEntry(HotkeyKeyEntries(), HotkeyText3);
        if (entry < 0) entry = 0;
      }
      *targets[box] = entry >= 0 ? EntriesOf(box)[static_cast<size_t>(entry)] : std::wstring();
      // The box shows what was stored, so the dialog reopens with it.
      ::SendMessageW(boxes_[box], CB_SETCURSEL, entry >= 0 ? entry : 0, 0);
    }
  }

  HWND label_ = nullptr;
  HWND hint_ = nullptr;
  HWND boxes_[3]{};
  PictureFrame frame_;
  FlatButton defaultSet_, confirm_, close_;
};

std::unique_ptr<TFrmHotkeySet> gFrmHotkeySet;

}  // namespace

void ShowHotkeySettings(bool showConflictHint, HWND owner) {
  base::GuardVoid("ShowHotkeySettings", [&] {
    // Made again when its window went with a window that owned it.
    if (!gFrmHotkeySet || !gFrmHotkeySet->hwnd()) {
      auto dialog = std::make_unique<TFrmHotkeySet>();
      if (!dialog->Build()) return;
      gFrmHotkeySet = std::move(dialog);
    }
    gFrmHotkeySet->SetConflictHint(showConflictHint);
    gFrmHotkeySet->RunModal(owner);
  });
}

HWND HotkeyDialogWindow() { return gFrmHotkeySet ? gFrmHotkeySet->hwnd() : nullptr; }

void ReleaseHotkeySettings() {
  gFrmHotkeySet.reset();
  HotkeyText1.clear();
  HotkeyText2.clear();
  HotkeyText3.clear();
}

}  // namespace app
