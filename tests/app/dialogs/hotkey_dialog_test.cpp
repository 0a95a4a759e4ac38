// The hotkey dialog: what confirm, default and close store, typed texts matched without
// regard to case, a key that is never stored empty, and the conflict hint.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/forms/dialog_ids.h"
#include "app/dialogs/hotkeyset.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/glyphs.h"

namespace {

using app::HotkeyText1;
using app::HotkeyText2;
using app::HotkeyText3;
namespace id = app::id;

class HotkeyDialog : public testing::Test {
 protected:
  void SetUp() override {
    HotkeyText1.clear();
    HotkeyText2.clear();
    HotkeyText3 = L"Esc";
  }
  // Opens the dialog and runs step inside it.
  static void Run(bool hint, std::function<void(HWND)> step) {
    testapp::WhenShown(app::HotkeyDialogWindow, std::move(step));
    app::ShowHotkeySettings(hint);
  }
  static void Choose(HWND dlg, int box, int entry) {
    ::SendMessageW(::GetDlgItem(dlg, box), CB_SETCURSEL, entry, 0);
  }
};

TEST_F(HotkeyDialog, ConfirmStoresTheChosenEntries) {
  Run(false, [](HWND dlg) {
    Choose(dlg, id::CbHotkey1, 1);   // Ctrl
    Choose(dlg, id::CbHotkey2, 3);   // Shift
    Choose(dlg, id::CbHotkey3, 27);  // "1"
    testapp::Press(dlg, id::HotkeyBtnConfirm);
  });
  EXPECT_EQ(L"Ctrl", HotkeyText1);
  EXPECT_EQ(L"Shift", HotkeyText2);
  EXPECT_EQ(L"1", HotkeyText3);

  // It reopens with what was stored.
  std::wstring shown[3];
  Run(false, [&](HWND dlg) {
    shown[0] = testapp::ItemTextOf(dlg, id::CbHotkey1);
    shown[1] = testapp::ItemTextOf(dlg, id::CbHotkey2);
    shown[2] = testapp::ItemTextOf(dlg, id::CbHotkey3);
    testapp::Press(dlg, id::HotkeyBtnClose);
  });
  EXPECT_EQ(L"Ctrl", shown[0]);
  EXPECT_EQ(L"Shift", shown[1]);
  EXPECT_EQ(L"1", shown[2]);
}

TEST_F(HotkeyDialog, DefaultThenConfirmStoresNoneNoneEsc) {
  HotkeyText1 = L"Alt";
  HotkeyText3 = L"B";
  Run(false, [](HWND dlg) {
    Choose(dlg, id::CbHotkey1, 2);
    Choose(dlg, id::CbHotkey3, 5);
    testapp::Press(dlg, id::BtnDefaultSet);
    testapp::Press(dlg, id::HotkeyBtnConfirm);
  });
  EXPECT_EQ(L"", HotkeyText1);
  EXPECT_EQ(L"", HotkeyText2);
  EXPECT_EQ(L"Esc", HotkeyText3);
}

TEST_F(HotkeyDialog, CloseStoresNothing) {
  HotkeyText1 = L"Alt";
  HotkeyText3 = L"Q";
  Run(false, [](HWND dlg) {
    Choose(dlg, id::CbHotkey1, 1);
    Choose(dlg, id::CbHotkey3, 4);
    testapp::Press(dlg, id::HotkeyBtnClose);
  });
  EXPECT_EQ(L"Alt", HotkeyText1);
  EXPECT_EQ(L"Q", HotkeyText3);
  // The close box too.
  Run(false, [](HWND dlg) {
    Choose(dlg, id::CbHotkey3, 6);
    ::PostMessageW(dlg, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(L"Q", HotkeyText3);
}

TEST_F(HotkeyDialog, TypedTextsMatchTheirEntriesAndTheKeyIsNeverEmpty) {
  struct Case {
    std::wstring typed[3];
    std::wstring expected[3];
  } cases[] = {
      {{L"ctrl", L" SHIFT ", L"b"}, {L"Ctrl", L"Shift", L"B"}},
      {{L"alt", L"", L"esc"}, {L"Alt", L"", L"Esc"}},
      {{L"Win", L"Ctrl", L"F13"}, {L"", L"Ctrl", L"Esc"}},
      {{L"", L"", L"7"}, {L"", L"", L"7"}},
      {{L"", L"", L""}, {L"", L"", L"7"}},
  };
  int round = 0;
  for (const auto& c : cases) {
    Run(false, [&](HWND dlg) {
      testapp::SetText(dlg, id::CbHotkey1, c.typed[0]);
      testapp::SetText(dlg, id::CbHotkey2, c.typed[1]);
      testapp::SetText(dlg, id::CbHotkey3, c.typed[2]);
      testapp::Press(dlg, id::HotkeyBtnConfirm);
    });
    EXPECT_EQ(c.expected[0], HotkeyText1) << "case " << round;
    EXPECT_EQ(c.expected[1], HotkeyText2) << "case " << round;
    EXPECT_EQ(c.expected[2], HotkeyText3) << "case " << round;
    ++round;
  }
}

TEST_F(HotkeyDialog, ConflictHintFollowsTheCall) {
  bool shown[2] = {false, true};
  Run(true, [&](HWND dlg) {
    shown[0] = ::IsWindowVisible(::GetDlgItem(dlg, id::LnlHint1));
    testapp::Press(dlg, id::HotkeyBtnClose);
  });
  Run(false, [&](HWND dlg) {
    shown[1] = ::IsWindowVisible(::GetDlgItem(dlg, id::LnlHint1));
    testapp::Press(dlg, id::HotkeyBtnClose);
  });
  EXPECT_TRUE(shown[0]);
  EXPECT_FALSE(shown[1]);
  EXPECT_EQ(L"热键设置", testapp::TextOf(app::HotkeyDialogWindow()));
}

TEST_F(HotkeyDialog, OutlivesAWindowThatOpenedIt) {
  HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(owner);
  testapp::WhenShown(app::HotkeyDialogWindow, [](HWND dlg) {
    Choose(dlg, id::CbHotkey1, 2);
    testapp::Press(dlg, id::HotkeyBtnConfirm);
  });
  app::ShowHotkeySettings(false, owner);
  EXPECT_TRUE(::IsWindowEnabled(owner)) << "the owner is enabled again";
  HWND dialog = app::HotkeyDialogWindow();
  ::DestroyWindow(owner);
  EXPECT_TRUE(::IsWindow(dialog));
  std::wstring shown;
  Run(false, [&](HWND dlg) {
    shown = testapp::ItemTextOf(dlg, id::CbHotkey1);
    testapp::Press(dlg, id::HotkeyBtnClose);
  });
  EXPECT_EQ(L"Alt", shown);
}

TEST(HotkeyEntries, ListsAndMatching) {
  EXPECT_EQ(4u, app::HotkeyModifierEntries().size());
  ASSERT_EQ(37u, app::HotkeyKeyEntries().size());
  EXPECT_EQ(L"Esc", app::HotkeyKeyEntries().front());
  EXPECT_EQ(L"0", app::HotkeyKeyEntries().back());
  EXPECT_EQ(3, app::FindHotkeyEntry(app::HotkeyModifierEntries(), L"sHiFt"));
  EXPECT_EQ(-1, app::FindHotkeyEntry(app::HotkeyKeyEntries(), L"AB"));
}

TEST(StopHotkey, TextsMakeTheKeyItsNameAndModifiers) {
  struct Case {
    std::wstring t1, t2, t3, text;
    UINT modifiers, key;
  } cases[] = {
      {L"", L"", L"Esc", L"Esc", 0, 0x1B},
      {L"Ctrl", L"Shift", L"1", L"Ctrl + Shift + 1", MOD_CONTROL | MOD_SHIFT, 0x31},
      {L"", L"Alt", L"B", L"+ Alt + B", MOD_ALT, 0x42},
      {L"Shift", L"", L"A", L"Shift + A", MOD_SHIFT, 0x41},
      {L" Alt ", L"", L"", L"Alt + Esc", MOD_ALT, 0x1B},
  };
  for (const auto& c : cases) {
    const app::StopHotkey hotkey = app::ComposeStopHotkey(c.t1, c.t2, c.t3);
    EXPECT_EQ(c.text, hotkey.text);
    EXPECT_EQ(c.modifiers, hotkey.modifiers) << "for " << base::WideToUtf8(c.text);
    EXPECT_EQ(c.key, hotkey.key) << "for " << base::WideToUtf8(c.text);
  }
}

// The three boxes stand apart inside the dialog, and on the screen the label's words show
// before the first box and a plus sign between each two boxes.
TEST_F(HotkeyDialog, BoxesStandApartWithTheLabelsPlusSignsBetween) {
  RECT box[3]{}, client{}, label{};
  std::wstring words;
  testapp::ShapeCount wordShapes;
  int plusInk[2] = {0, 0};
  Run(true, [&](HWND dlg) {
    ::GetClientRect(dlg, &client);
    ::MapWindowPoints(dlg, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    const int ids[3] = {id::CbHotkey1, id::CbHotkey2, id::CbHotkey3};
    for (int i = 0; i < 3; ++i) ::GetWindowRect(::GetDlgItem(dlg, ids[i]), &box[i]);
    HWND labelWnd = ::GetDlgItem(dlg, id::HotkeyLabel1);
    ::GetWindowRect(labelWnd, &label);
    const std::wstring text = testapp::TextOf(labelWnd);
    words = text.substr(0, text.find(L' '));
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(labelWnd, WM_GETFONT, 0, 0));
    ::RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    base::PumpUntil(
        [&] {
          wordShapes = testapp::CountCjkShapes(
              testapp::CaptureScreen(RECT{label.left, label.top, box[0].left, label.bottom}), font, words);
          for (int i = 0; i < 2; ++i) {
            const testapp::InkPicture gap = testapp::CaptureScreen(RECT{box[i].right, label.top, box[i + 1].left, label.bottom});
            plusInk[i] = 0;
            for (uint8_t ink : gap.ink) plusInk[i] += ink;
          }
          return wordShapes.shapes == wordShapes.characters && plusInk[0] > 0 && plusInk[1] > 0;
        },
        3000);
    testapp::Press(dlg, id::HotkeyBtnClose);
  });
  EXPECT_EQ(L"屏幕录像退回键", words);
  for (int i = 0; i < 3; ++i) {
    RECT inside{};
    EXPECT_TRUE(::IntersectRect(&inside, &box[i], &client) && ::EqualRect(&inside, &box[i])) << "box " << i;
    if (i > 0) {
      EXPECT_GT(box[i].left, box[i - 1].right) << "box " << i << " stands clear of box " << i - 1;
    }
  }
  EXPECT_EQ(wordShapes.characters, 7);
  EXPECT_EQ(wordShapes.shapes, wordShapes.characters) << "the label's words on the screen";
  EXPECT_GT(plusInk[0], 0) << "the first plus sign shows between the first two boxes";
  EXPECT_GT(plusInk[1], 0) << "the second plus sign shows between the last two boxes";
}

}  // namespace
