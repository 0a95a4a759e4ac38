// The pictures of the hotkey, rename and about dialogs as they show on the screen: the picture
// frame round each, and the program's own icon in the about box.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/dialogs/aboutus.h"
#include "app/dialogs/hotkeyset.h"
#include "app/dialogs/rename.h"
#include "app/forms/dialog_ids.h"
#include "app/texts/allparam.h"
#include "app/texts/kv.h"
#include "base/dispatch.h"
#include "base/resources.h"
#include "base/unique.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/frame_look.h"
#include "tests/app/glyphs.h"

namespace {

namespace id = app::id;

void Shoot(HWND window, const std::wstring& name) {
  RECT r{};
  ::GetWindowRect(window, &r);
  testapp::SaveScreenshot(name, r);
}

// Of the icon's opaque pixels (those that come out the same over black and over white), how
// many the screen shows in control, and how many there are.
struct IconMatch {
  int opaque = 0;
  int matching = 0;
};
IconMatch MatchIcon(HWND control, HICON icon) {
  IconMatch match;
  RECT r{};
  ::GetWindowRect(control, &r);
  HDC screen = ::GetDC(nullptr);
  base::UniqueDC black(::CreateCompatibleDC(screen)), white(::CreateCompatibleDC(screen));
  base::UniqueBitmap overBlack(::CreateCompatibleBitmap(screen, 32, 32)), overWhite(::CreateCompatibleBitmap(screen, 32, 32));
  {
    base::SelectGuard b(black.get(), overBlack.get()), w(white.get(), overWhite.get());
    RECT all{0, 0, 32, 32};
    ::FillRect(black.get(), &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::FillRect(white.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::DrawIconEx(black.get(), 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    ::DrawIconEx(white.get(), 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const COLORREF c = ::GetPixel(black.get(), x, y);
        if (c != ::GetPixel(white.get(), x, y)) continue;
        ++match.opaque;
        if (testapp::NearColour(c, ::GetPixel(screen, r.left + x, r.top + y))) ++match.matching;
      }
  }
  ::ReleaseDC(nullptr, screen);
  return match;
}

TEST(DialogPictures, TheFrameRoundTheHotkeyAndRenameDialogs) {
  app::LoadLanguageTexts();
  std::string wrong = "not shown";
  testapp::WhenShown(app::HotkeyDialogWindow, [&](HWND dlg) {
    wrong = testapp::FrameShownWrong(dlg, id::HotkeyFrameFirst);
    Shoot(dlg, L"hotkey-dialog-frame");
    testapp::Press(dlg, id::HotkeyBtnClose);
  });
  app::ShowHotkeySettings(true);
  EXPECT_EQ("", wrong) << "hotkey dialog";

  wrong = "not shown";
  testapp::ScratchFolder folder;
  testapp::WhenShown(app::RenameDialogWindow, [&](HWND dlg) {
    wrong = testapp::FrameShownWrong(dlg, id::RenameFrameFirst);
    Shoot(dlg, L"rename-dialog-frame");
    testapp::Press(dlg, id::RenameBtnClose);
  });
  app::RenameRecording(folder.path(), L"take.avi", L".avi");
  EXPECT_EQ("", wrong) << "rename dialog";
}

TEST(DialogPictures, TheAboutBoxWearsTheFrameAndShowsTheProgramsIcon) {
  app::LoadLanguageTexts();
  app::SoftVersion = 3.6f;
  app::ShowAboutBox(nullptr);
  HWND box = app::AboutBoxWindow();
  ASSERT_TRUE(box);
  ASSERT_TRUE(base::PumpUntil([&] { return ::IsWindowVisible(box) != FALSE; }, 3000));
  EXPECT_EQ("", testapp::FrameShownWrong(box, id::VersionFrameFirst));

  HWND image = ::GetDlgItem(box, id::VersionImage1);
  const HICON programIcon = base::ProgramIcon(32);
  ASSERT_NE(programIcon, nullptr) << "the test program carries the program's icon";
  const HICON shown = reinterpret_cast<HICON>(::SendMessageW(image, STM_GETICON, 0, 0));
  EXPECT_EQ(shown, programIcon) << "Image1 is the program's own icon";
  IconMatch match;
  EXPECT_TRUE(base::PumpUntil(
      [&] {
        match = MatchIcon(image, programIcon);
        return match.opaque > 100 && match.matching * 10 >= match.opaque * 9;
      },
      3000))
      << match.matching << " of " << match.opaque << " opaque pixels of the icon on the screen";
  Shoot(box, L"about-box-frame");
  testapp::Press(box, id::VersionBtnClose);
}

}  // namespace
