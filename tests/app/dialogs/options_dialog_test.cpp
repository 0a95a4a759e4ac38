// The sound-less recorder's options dialog over a recorder double: the scales, what OK stores
// and Cancel keeps, the compressor buttons, a key-frame period that is not a number, and its
// Chinese labels as they appear on the screen.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/forms/dialog_ids.h"
#include "app/dialogs/optdlg.h"
#include "app/forms/flat_button.h"
#include "app/forms/picture_box.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/glyphs.h"
#include "tests/support/doubles.h"

namespace {

namespace id = app::id;

struct FakeCamera : app::CameraOptionsTarget {
  std::vector<std::wstring> names{L"Alpha codec", L"Beta codec"};
  int index = -1, quality = 6550, keyFrames = 5, interval = 100, rate = 10;
  int writes = 0;
  std::vector<int> aboutCalls;

  int CompressorCount() override { return static_cast<int>(names.size()); }
  std::wstring CompressorDescription(int i) override { return names[static_cast<size_t>(i)]; }
  void CompressorAbout(BYTE i, HWND) override { aboutCalls.push_back(i); }
  void CompressorConfigure(BYTE, HWND) override {}
  void CompressorFeatures(BYTE i, bool& hasAbout, bool& hasConfigure) override {
    hasAbout = i < names.size() && i == 0;
    hasConfigure = i < names.size() && i == 1;
  }
  int CompressorIndex() override { return index; }
  void SetCompressorIndex(int v) override { index = v, ++writes; }
  int Quality() override { return quality; }
  void SetQuality(int v) override { quality = v, ++writes; }
  int KeyFrameEvery() override { return keyFrames; }
  void SetKeyFrameEvery(int v) override { keyFrames = v, ++writes; }
  int CaptureInterval() override { return interval; }
  void SetCaptureInterval(int v) override { interval = v, ++writes; }
  int FrameRate() override { return rate; }
  void SetFrameRate(int v) override { rate = v, ++writes; }
};

int Pos(HWND dlg, int bar) { return static_cast<int>(::SendMessageW(::GetDlgItem(dlg, bar), TBM_GETPOS, 0, 0)); }
void SetPos(HWND dlg, int bar, int pos) { ::SendMessageW(::GetDlgItem(dlg, bar), TBM_SETPOS, TRUE, pos); }
int Selected(HWND dlg) {
  return static_cast<int>(::SendMessageW(::GetDlgItem(dlg, id::ComboBoxCompressor), CB_GETCURSEL, 0, 0));
}

TEST(OptionScales, Table) {
  EXPECT_EQ(419, app::IntervalToPosition(100));
  EXPECT_EQ(100, app::PositionToInterval(419));
  EXPECT_EQ(1, app::PositionToInterval(1));
  EXPECT_EQ(60000, app::PositionToInterval(1000));
  EXPECT_EQ(628, app::IntervalToPosition(1000));
  EXPECT_EQ(997, app::PositionToInterval(628));
  EXPECT_EQ(1, app::IntervalToPosition(0));
  EXPECT_EQ(1000, app::IntervalToPosition(10000000));
  EXPECT_EQ(183, app::RateToPosition(10));
  EXPECT_EQ(10, app::PositionToRate(183));
  EXPECT_EQ(1, app::PositionToRate(1));
  EXPECT_EQ(50, app::PositionToRate(1000));
  EXPECT_EQ(999, app::RateToPosition(50));
  EXPECT_EQ(50, app::PositionToRate(999));
  EXPECT_EQ(1, app::RateToPosition(1));
  EXPECT_EQ(66, app::QualityToPosition(6550));  // 65.5 goes to the even 66
  EXPECT_EQ(6600, app::PositionToQuality(66));
  EXPECT_EQ(100, app::QualityToPosition(2000000000));
}

TEST(OptionDialog, OpensOnTheRecorderValuesAndOkStoresThemBack) {
  FakeCamera camera;
  int positions[3] = {};
  std::wstring labels[3];
  int selected = -2;
  bool aboutEnabled = false, configEnabled = true;
  testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) {
    positions[0] = Pos(dlg, id::TrackBarRecord);
    positions[1] = Pos(dlg, id::TrackBarPlayback);
    positions[2] = Pos(dlg, id::TrackBarQuality);
    labels[0] = testapp::ItemTextOf(dlg, id::LabelmspFrecord);
    labels[1] = testapp::ItemTextOf(dlg, id::LabelFPSPlayback);
    labels[2] = testapp::ItemTextOf(dlg, id::LabelQuality);
    selected = Selected(dlg);
    aboutEnabled = ::IsWindowEnabled(::GetDlgItem(dlg, id::ButtonAbout));
    configEnabled = ::IsWindowEnabled(::GetDlgItem(dlg, id::ButtonConfig));
    testapp::Press(dlg, id::BitBtn1);
  });
  EXPECT_EQ(IDOK, app::EditCameraOptions(camera, nullptr));
  EXPECT_EQ(419, positions[0]);
  EXPECT_EQ(183, positions[1]);
  EXPECT_EQ(66, positions[2]);
  EXPECT_EQ(L"100 ms", labels[0]);
  EXPECT_EQ(L"10 fps", labels[1]);
  EXPECT_EQ(L"66", labels[2]);
  EXPECT_EQ(0, selected);
  EXPECT_TRUE(aboutEnabled);
  EXPECT_FALSE(configEnabled);
  EXPECT_EQ(0, camera.index);
  EXPECT_EQ(6600, camera.quality);
  EXPECT_EQ(5, camera.keyFrames);
  EXPECT_EQ(100, camera.interval);
  EXPECT_EQ(10, camera.rate);
}

TEST(OptionDialog, EditedValuesReachTheRecorderOnlyOnOk) {
  FakeCamera camera;
  camera.index = 1;
  int selected = -2;
  auto edit = [&](HWND dlg) {
    selected = Selected(dlg);
    ::SendMessageW(::GetDlgItem(dlg, id::ComboBoxCompressor), CB_SETCURSEL, 0, 0);
    SetPos(dlg, id::TrackBarRecord, 1000);
    SetPos(dlg, id::TrackBarPlayback, 1);
    SetPos(dlg, id::TrackBarQuality, 100);
    testapp::SetText(dlg, id::EditKeyFrames, L"1");
  };
  testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) {
    edit(dlg);
    testapp::Press(dlg, id::BitBtn2);
  });
  EXPECT_EQ(IDCANCEL, app::EditCameraOptions(camera, nullptr));
  EXPECT_EQ(0, camera.writes) << "cancel writes nothing";
  EXPECT_EQ(1, selected) << "the compressor in use stays chosen";

  testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) { ::PostMessageW(dlg, WM_CLOSE, 0, 0); });
  EXPECT_EQ(IDCANCEL, app::EditCameraOptions(camera, nullptr));
  EXPECT_EQ(0, camera.writes) << "the close box writes nothing";

  testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) {
    edit(dlg);
    testapp::Press(dlg, id::BitBtn1);
  });
  EXPECT_EQ(IDOK, app::EditCameraOptions(camera, nullptr));
  EXPECT_EQ(0, camera.index);
  EXPECT_EQ(60000, camera.interval);
  EXPECT_EQ(1, camera.rate);
  EXPECT_EQ(10000, camera.quality);
  EXPECT_EQ(1, camera.keyFrames);
}

// The interval and the rate a user moves the bars to with the keys: what OK stores is the
// number the labels showed, and the next show shows it again.
TEST(OptionDialog, WhatOkStoresIsWhatTheLabelsShowed) {
  struct Keys {
    int bar;
    WPARAM key;
    int times;
  };
  struct Case {
    const char* name;
    std::vector<Keys> keys;  // from 100 ms at 10 fps
    int interval, rate;      // what the labels are to show
  } cases[] = {
      {"40 ms at 25 fps", {{id::TrackBarRecord, VK_LEFT, 83}, {id::TrackBarPlayback, VK_RIGHT, 306}}, 40, 25},
      {"the shortest interval", {{id::TrackBarRecord, VK_HOME, 1}, {id::TrackBarPlayback, VK_END, 1}}, 1, 50},
      {"the longest interval", {{id::TrackBarRecord, VK_END, 1}, {id::TrackBarPlayback, VK_HOME, 1}}, 60000, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeCamera camera;
    std::wstring shown[2], reopened[2];
    testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) {
      for (const Keys& k : c.keys) {
        HWND bar = ::GetDlgItem(dlg, k.bar);
        ::SetFocus(bar);
        for (int i = 0; i < k.times; ++i) {
          ::SendMessageW(bar, WM_KEYDOWN, k.key, 0);
          ::SendMessageW(bar, WM_KEYUP, k.key, 0);
        }
      }
      shown[0] = testapp::ItemTextOf(dlg, id::LabelmspFrecord);
      shown[1] = testapp::ItemTextOf(dlg, id::LabelFPSPlayback);
      testapp::Press(dlg, id::BitBtn1);
    });
    ASSERT_EQ(IDOK, app::EditCameraOptions(camera, nullptr));
    EXPECT_EQ(shown[0], base::Format(L"%d ms", c.interval));
    EXPECT_EQ(shown[1], base::Format(L"%d fps", c.rate));
    EXPECT_EQ(camera.interval, c.interval);
    EXPECT_EQ(camera.rate, c.rate);
    testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) {
      reopened[0] = testapp::ItemTextOf(dlg, id::LabelmspFrecord);
      reopened[1] = testapp::ItemTextOf(dlg, id::LabelFPSPlayback);
      testapp::Press(dlg, id::BitBtn2);
    });
    ASSERT_EQ(IDCANCEL, app::EditCameraOptions(camera, nullptr));
    EXPECT_EQ(reopened[0], shown[0]);
    EXPECT_EQ(reopened[1], shown[1]);
  }
}

TEST(OptionDialog, KeyFramesThatAreNoNumberKeepTheDialogOpen) {
  FakeCamera camera;
  testsupport::ScriptedPrompter prompter;
  base::ScopedPrompter installed(prompter);
  bool stillOpen = false;
  testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) {
    testapp::SetText(dlg, id::EditKeyFrames, L"5x");
    SetPos(dlg, id::TrackBarQuality, 10);
    testapp::Press(dlg, id::BitBtn1);
    stillOpen = ::IsWindowVisible(dlg) != FALSE;
    testapp::SetText(dlg, id::EditKeyFrames, L"-2");
    testapp::Press(dlg, id::BitBtn1);
    testapp::SetText(dlg, id::EditKeyFrames, L" 12 ");
    testapp::Press(dlg, id::BitBtn1);
  });
  EXPECT_EQ(IDOK, app::EditCameraOptions(camera, nullptr));
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(2u, prompter.asked().size());
  EXPECT_EQ(12, camera.keyFrames);
  EXPECT_EQ(1000, camera.quality);
}

TEST(OptionDialog, CompressorButtonsFollowTheChoiceAndAnEmptyListStoresNone) {
  FakeCamera camera;
  bool about = true, config = false;
  testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) {
    HWND combo = ::GetDlgItem(dlg, id::ComboBoxCompressor);
    ::SendMessageW(combo, CB_SETCURSEL, 1, 0);
    ::SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id::ComboBoxCompressor, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    about = ::IsWindowEnabled(::GetDlgItem(dlg, id::ButtonAbout));
    config = ::IsWindowEnabled(::GetDlgItem(dlg, id::ButtonConfig));
    testapp::Press(dlg, id::BitBtn2);
  });
  app::EditCameraOptions(camera, nullptr);
  EXPECT_FALSE(about);
  EXPECT_TRUE(config);

  camera.names.clear();
  camera.index = 3;
  testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) {
    about = ::IsWindowEnabled(::GetDlgItem(dlg, id::ButtonAbout));
    testapp::Press(dlg, id::BitBtn1);
  });
  EXPECT_EQ(IDOK, app::EditCameraOptions(camera, nullptr));
  EXPECT_FALSE(about);
  EXPECT_EQ(-1, camera.index);
}

// Cut out of the screen at the advances of their font, the characters of each Chinese label
// have as many distinct shapes as the label has distinct characters: a face without Chinese
// draws the same box for every one of them.
TEST(OptionDialog, ChineseLabelsShowAsTextOnTheScreen) {
  FakeCamera camera;
  int labels = 0;
  std::string boxed;
  testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) {
    ::RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // The screen shows the drawing once Wine has flushed it: poll.
    base::PumpUntil(
        [&] {
          labels = 0;
          boxed.clear();
          for (HWND child = ::GetWindow(dlg, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            wchar_t cls[32] = {};
            ::GetClassNameW(child, cls, 32);
            const std::wstring text = testapp::TextOf(child);
            if (::lstrcmpiW(cls, L"Static") != 0 || !::IsWindowVisible(child)) continue;
            HFONT font = reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0));
            RECT r{};
            ::GetWindowRect(child, &r);
            const testapp::ShapeCount got = testapp::CountCjkShapes(testapp::CaptureScreen(r), font, text);
            if (got.characters == 0) continue;
            ++labels;
            if (got.shapes != got.characters)
              boxed += "\"" + base::WideToUtf8(text) + "\": " + std::to_string(got.shapes) + " shapes for " +
                       std::to_string(got.characters) + " characters; ";
          }
          return boxed.empty();
        },
        3000);
    RECT window{};
    ::GetWindowRect(dlg, &window);
    testapp::SaveScreenshot(L"options-dialog", window);
    testapp::Press(dlg, id::BitBtn2);
  });
  app::EditCameraOptions(camera, nullptr);
  EXPECT_GE(labels, 5) << "Chinese labels found in the dialog";
  EXPECT_EQ("", boxed) << "labels drawn as boxes";
}

// Its font is 宋体 15 pixels high in the GB2312 character set, in every control.
TEST(OptionDialog, ItsFontIsSongTi15PixelsInTheGb2312CharacterSet) {
  FakeCamera camera;
  std::string wrong = "not shown";
  testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) {
    wrong.clear();
    for (int control : {id::GrpCompressor, id::ComboBoxCompressor, id::LabelQuality, id::EditKeyFrames,
                        id::ButtonAbout, id::BitBtn1}) {
      HFONT font = reinterpret_cast<HFONT>(::SendMessageW(::GetDlgItem(dlg, control), WM_GETFONT, 0, 0));
      LOGFONTW lf{};
      if (!font || !::GetObjectW(font, sizeof lf, &lf)) {
        wrong += "control " + std::to_string(control) + " has no font; ";
        continue;
      }
      if (lf.lfCharSet != GB2312_CHARSET || std::wstring(lf.lfFaceName) != L"宋体" || lf.lfHeight != -15)
        wrong += "control " + std::to_string(control) + ": charset " + std::to_string(lf.lfCharSet) + ", face " +
                 base::WideToUtf8(lf.lfFaceName) + ", height " + std::to_string(lf.lfHeight) + "; ";
    }
    testapp::Press(dlg, id::BitBtn2);
  });
  app::EditCameraOptions(camera, nullptr);
  EXPECT_EQ("", wrong);
}

// About and Configure are flat picture buttons, OK and Cancel picture buttons: each shows its
// picture at its left and its caption as text, and a press still does what it did.
TEST(OptionDialog, ItsFourButtonsShowTheirPicturesAndCaptions) {
  struct EveryFeature : FakeCamera {
    void CompressorFeatures(BYTE, bool& hasAbout, bool& hasConfigure) override { hasAbout = hasConfigure = true; }
  } camera;
  std::string wrong = "not shown";
  testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) {
    ::RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    base::PumpUntil(
        [&] {
          wrong.clear();
          for (int button : {id::ButtonAbout, id::ButtonConfig, id::BitBtn1, id::BitBtn2}) {
            HWND wnd = ::GetDlgItem(dlg, button);
            auto* flat = dynamic_cast<app::FlatButton*>(base::Window::FromHandle(wnd));
            const std::string name = "button " + std::to_string(button);
            if (!flat || !flat->HasGlyph()) {
              wrong += name + " is no picture button; ";
              continue;
            }
            const testapp::ButtonLook look = testapp::LookOfFlatButton(wnd);
            if (look.glyphInk < 8) wrong += name + ": no picture on the screen; ";
            if (look.caption.characters != 2 || look.caption.shapes != 2)
              wrong += name + ": " + std::to_string(look.caption.shapes) + " shapes for " +
                       std::to_string(look.caption.characters) + " characters; ";
          }
          return wrong.empty();
        },
        3000);
    RECT window{};
    ::GetWindowRect(dlg, &window);
    testapp::SaveScreenshot(L"options-dialog-buttons", window);
    testapp::Press(dlg, id::ButtonAbout);
    testapp::Press(dlg, id::BitBtn1);
  });
  EXPECT_EQ(IDOK, app::EditCameraOptions(camera, nullptr));
  EXPECT_EQ("", wrong);
  EXPECT_EQ(camera.aboutCalls, std::vector<int>{0});
}

// The dialog opens at its designed place and outer size with a sizeable border whose only
// border icon is the close box; its picture frame runs round the edges and follows a resize,
// and every control lies inside it.
TEST(OptionDialog, SizeablePictureFrameAtItsDesignedPlace) {
  FakeCamera camera;
  RECT window{}, client{};
  LONG style = 0;
  std::string wrong;
  testapp::WhenShown(app::OptionDialogWindow, [&](HWND dlg) {
    ::GetWindowRect(dlg, &window);
    ::GetClientRect(dlg, &client);
    style = ::GetWindowLongW(dlg, GWL_STYLE);
    auto pieceRect = [&](int piece) {
      RECT r{};
      ::GetWindowRect(::GetDlgItem(dlg, id::OptFrameFirst + piece), &r);
      ::MapWindowPoints(HWND_DESKTOP, dlg, reinterpret_cast<POINT*>(&r), 2);
      return r;
    };
    for (int piece = 0; piece < 8; ++piece) {
      auto* picture = dynamic_cast<app::PictureBox*>(base::Window::FromHandle(::GetDlgItem(dlg, id::OptFrameFirst + piece)));
      if (!picture || !picture->HasPicture()) wrong += "piece " + std::to_string(piece) + " has no picture; ";
    }
    // The top band, the left and right sides and the bottom band.
    const RECT top = pieceRect(1), left = pieceRect(6), right = pieceRect(7), bottom = pieceRect(5);
    if (top.top != 0 || top.bottom != 15) wrong += "top band; ";
    if (left.left != 0 || left.right != 10) wrong += "left side; ";
    if (right.right != client.right || right.right - right.left != 14) wrong += "right side; ";
    if (bottom.bottom != client.bottom || bottom.bottom - bottom.top != 11) wrong += "bottom band; ";
    for (HWND child = ::GetWindow(dlg, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
      const int childId = ::GetDlgCtrlID(child);
      if (childId >= id::OptFrameFirst && childId < id::OptFrameFirst + 8) continue;
      if (!::IsWindowVisible(child)) continue;
      RECT r{};
      ::GetWindowRect(child, &r);
      ::MapWindowPoints(HWND_DESKTOP, dlg, reinterpret_cast<POINT*>(&r), 2);
      wchar_t cls[16] = {};
      ::GetClassNameW(child, cls, 16);
      // A drop-down list's window is as tall as its open list.
      if (::lstrcmpiW(cls, L"ComboBox") == 0) r.bottom = r.top + 24;
      if (r.left < 10 || r.top < 15 || r.right > client.right - 14 || r.bottom > client.bottom - 11)
        wrong += "control " + std::to_string(childId) + " overlaps the frame; ";
    }
    // Sized larger, the frame follows the edges.
    ::SetWindowPos(dlg, nullptr, 0, 0, 600, 500, SWP_NOMOVE | SWP_NOZORDER);
    RECT bigger{};
    ::GetClientRect(dlg, &bigger);
    const RECT movedRight = pieceRect(7), movedBottom = pieceRect(5);
    if (movedRight.right != bigger.right || movedBottom.bottom != bigger.bottom) wrong += "the frame stayed behind; ";
    ::SetWindowPos(dlg, nullptr, 0, 0, window.right - window.left, window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER);
    testapp::Press(dlg, id::BitBtn2);
  });
  app::EditCameraOptions(camera, nullptr);
  EXPECT_EQ(window.left, 199);
  EXPECT_EQ(window.top, 149);
  EXPECT_EQ(window.right - window.left, 474);
  EXPECT_EQ(window.bottom - window.top, 417);
  EXPECT_TRUE(style & WS_THICKFRAME) << "sizeable";
  EXPECT_TRUE(style & WS_SYSMENU) << "the close box";
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_EQ("", wrong);
}

}  // namespace
