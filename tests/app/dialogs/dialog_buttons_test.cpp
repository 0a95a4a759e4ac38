// The flat buttons of the hotkey, rename and about dialogs as they show on the screen: the
// confirm and close pictures drawn at their left, and their Chinese captions as text, not boxes.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/dialogs/aboutus.h"
#include "app/texts/allparam.h"
#include "app/forms/dialog_ids.h"
#include "app/forms/flat_button.h"
#include "app/dialogs/hotkeyset.h"
#include "app/texts/kv.h"
#include "app/dialogs/rename.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/glyphs.h"

namespace {

namespace id = app::id;

struct Button {
  int id;
  bool glyph;  // a picture at its left
};

// Checks every button of dlg on the screen (polling until Wine has drawn them) and writes a
// screenshot of the dialog.
std::string CheckButtons(HWND dlg, const std::vector<Button>& buttons, const std::wstring& shot) {
  ::RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  std::string wrong;
  base::PumpUntil(
      [&] {
        wrong.clear();
        for (const Button& b : buttons) {
          HWND button = ::GetDlgItem(dlg, b.id);
          auto* flat = dynamic_cast<app::FlatButton*>(base::Window::FromHandle(button));
          if (!flat) {
            wrong += "button " + std::to_string(b.id) + " is no flat button; ";
            continue;
          }
          if (flat->HasGlyph() != b.glyph) wrong += "button " + std::to_string(b.id) + ": glyph; ";
          if (!b.glyph) continue;
          const testapp::ButtonLook look = testapp::LookOfFlatButton(button);
          if (look.glyphInk < 8) wrong += "button " + std::to_string(b.id) + ": no picture on the screen; ";
          if (look.caption.characters == 0 || look.caption.shapes != look.caption.characters)
            wrong += "button " + std::to_string(b.id) + ": " + std::to_string(look.caption.shapes) + " shapes for " +
                     std::to_string(look.caption.characters) + " characters; ";
        }
        return wrong.empty();
      },
      3000);
  RECT r{};
  ::GetWindowRect(dlg, &r);
  testapp::SaveScreenshot(shot, r);
  return wrong;
}

TEST(DialogButtons, GlyphsAndCaptionsShowOnTheScreen) {
  // As the program sets them before any dialog is made (the about box is filled only once).
  app::LoadLanguageTexts();
  app::SoftVersion = 3.6f;
  std::string wrong;
  // The hotkey dialog: default (a caption only), confirm and close.
  testapp::WhenShown(app::HotkeyDialogWindow, [&](HWND dlg) {
    wrong = CheckButtons(dlg, {{id::BtnDefaultSet, false}, {id::HotkeyBtnConfirm, true}, {id::HotkeyBtnClose, true}},
                         L"hotkey-dialog");
    testapp::Press(dlg, id::HotkeyBtnClose);
  });
  app::ShowHotkeySettings(false);
  EXPECT_EQ("", wrong) << "hotkey dialog";

  testapp::ScratchFolder folder;
  testapp::WhenShown(app::RenameDialogWindow, [&](HWND dlg) {
    wrong = CheckButtons(dlg, {{id::RenameBtnConfirm, true}, {id::RenameBtnClose, true}}, L"rename-dialog");
    testapp::Press(dlg, id::RenameBtnClose);
  });
  app::RenameRecording(folder.path(), L"take.avi", L".avi");
  EXPECT_EQ("", wrong) << "rename dialog";

  app::ShowAboutBox(nullptr);
  HWND box = app::AboutBoxWindow();
  ASSERT_TRUE(box);
  ASSERT_TRUE(base::PumpUntil([&] { return ::IsWindowVisible(box) != FALSE; }, 3000));
  EXPECT_EQ("", CheckButtons(box, {{id::VersionBtnClose, true}}, L"about-box")) << "about box";
  testapp::Press(box, id::VersionBtnClose);
  EXPECT_FALSE(::IsWindowVisible(box));
}

}  // namespace
