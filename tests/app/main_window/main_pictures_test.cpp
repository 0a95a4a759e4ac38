// The main window's picture panel, driven the way the user drives it: the "split into
// pictures" command with the system open dialog, the list's buttons, clicks and menu, the
// create command, the full-screen view, and a split that a recording start, a second split
// command or the window's closing meets while it runs.
#include <gtest/gtest.h>

#include <windows.h>
#include <dlgs.h>
#include <psapi.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/split/avi_split.h"
#include "app/forms/control_ids.h"
#include "app/texts/kv.h"
#include "app/main_window/main_form.h"
#include "app/forms/picture_box.h"
#include "app/program.h"
#include "base/shell_opener.h"
#include "app/main_window/tray_icon.h"
#include "base/dispatch.h"
#include "base/seams.h"
#include "base/text.h"
#include "tests/app/glyphs.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/form_doubles.h"
#include "tests/app/mrle_fixture.h"
#include "tests/app/picture_files.h"
#include "tests/app/scratch.h"
#include "tests/support/doubles.h"

namespace {

namespace id = app::id;
using Names = std::vector<std::wstring>;
using testapp::FilesIn;
using testapp::FrameNames;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

using testapp::IgnoreTrayCall;
using testapp::RecordingShellOpener;

using testapp::ChooseFile;
using testapp::OpenDialog;

SIZE_T PagefileBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
  return counters.PagefileUsage;
}

class MainPicturesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::SetProgramIdentity(false);
    previousTray_ = app::SetNotifyIconFunction(&IgnoreTrayCall);
    app::MainFormOptions options;
    options.programFolder = folder_.path();
    form_ = std::make_unique<app::TFrmMain>(options);
    ASSERT_TRUE(form_->Create());
    ::ShowWindow(form_->hwnd(), SW_SHOWNORMAL);
    base::PumpPending();
    ASSERT_TRUE(::CreateDirectoryW(Recs().c_str(), nullptr));
  }
  void TearDown() override {
    form_.reset();
    app::SetNotifyIconFunction(previousTray_);
  }
  // The recordings split here live in a sub-folder of the window's recording folder.
  std::wstring Recs() const { return folder_ / L"recs"; }
  std::wstring Rec(const std::wstring& name) const { return Recs() + L"\\" + name; }
  std::wstring Img() const { return Recs() + L"\\img"; }
  void Command(int commandId, int code = 0) {
    ::SendMessageW(form_->hwnd(), WM_COMMAND, MAKEWPARAM(commandId, code),
                   reinterpret_cast<LPARAM>(form_->Control(commandId)));
  }
  HWND List() const { return form_->Control(id::BitmapListBox); }
  // Selects exactly the entries at indexes, the last one current, and clicks the list.
  void SelectAndClick(const std::vector<int>& indexes) {
    ::SendMessageW(List(), LB_SETSEL, FALSE, -1);
    for (int i : indexes) ::SendMessageW(List(), LB_SETSEL, TRUE, i);
    if (!indexes.empty()) ::SendMessageW(List(), LB_SETCARETINDEX, indexes.back(), FALSE);
    Command(id::BitmapListBox, LBN_SELCHANGE);
  }
  // The preview is sized to its picture: empty, it has no area.
  bool PreviewShown() const {
    RECT r{};
    ::GetClientRect(form_->Control(id::BitmapImage), &r);
    return r.right > 0 && r.bottom > 0;
  }
  int PanelTag() const { return form_->Button(id::BtnClosePICPan)->tag(); }
  bool PanelShown() const { return form_->ControlVisible(id::PnlPic); }

  apptest::ScratchFolder folder_;
  std::unique_ptr<app::TFrmMain> form_;
  app::NotifyIconFunction previousTray_ = nullptr;
  testsupport::ScriptedPrompter prompter_;
  base::ScopedPrompter scopedPrompter_{prompter_};
};

TEST_F(MainPicturesTest, TheMenuCommandOpensTheSystemDialogAndSplitsTheChosenRecording) {
  ASSERT_FALSE(PanelShown());
  ASSERT_TRUE(apptest::WriteMrleAvi(Rec(L"rec.avi"), 32, 24, 3, 10));
  testapp::WhenShown(&OpenDialog, [&](HWND dialog) { ChooseFile(dialog, Rec(L"rec.avi")); });
  Command(id::MnAVIToPIC);

  EXPECT_TRUE(prompter_.asked().empty());
  EXPECT_TRUE(PanelShown());
  EXPECT_EQ(PanelTag(), 2);
  EXPECT_EQ(form_->PicFolder(), Recs() + L"\\");
  EXPECT_EQ(form_->ControlText(id::EdtRECPath), Recs() + L"\\");
  EXPECT_EQ(form_->PictureEntries(), FrameNames(1, 3));
  EXPECT_EQ(form_->PicturePathAt(0), Img() + L"\\Frame01.BMP");
  EXPECT_EQ(form_->Status(), L"已生成Frame03.BMP");
  EXPECT_EQ(FilesIn(Img()), FrameNames(1, 3));
  EXPECT_TRUE(PreviewShown());

  // A file that is no AVI: its message in words, no picture, the panel stays open.
  ASSERT_TRUE(apptest::WriteBytes(Rec(L"text.avi"), "not a video"));
  testapp::WhenShown(&OpenDialog, [&](HWND dialog) { ChooseFile(dialog, Rec(L"text.avi")); });
  Command(id::MnAVIToPIC);
  ASSERT_EQ(prompter_.asked().size(), 1u);
  EXPECT_EQ(prompter_.asked()[0].text, L"FILEREAD\n不是可以读取的录像文件：" + Rec(L"text.avi"));
  EXPECT_TRUE(PanelShown());
  EXPECT_EQ(form_->PictureEntries(), FrameNames(1, 3));
  EXPECT_EQ(FilesIn(Img()), FrameNames(1, 3));
}

TEST_F(MainPicturesTest, ASecondSplitAppendsItsEntriesAfterTheExistingOnesAndOverwritesThePictures) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Rec(L"rec.avi"), 24, 16, 120, 10));
  ASSERT_TRUE(apptest::WriteMrleAvi(Rec(L"other.avi"), 8, 8, 1, 10));
  form_->AviToPictures(Rec(L"other.avi"), true);
  ASSERT_EQ(form_->PictureEntries(), (Names{L"Frame01.BMP"}));

  form_->AviToPictures(Rec(L"rec.avi"), true);
  Names expected{L"Frame01.BMP"};
  for (const auto& n : FrameNames(1, 120)) expected.push_back(n);
  EXPECT_EQ(form_->PictureEntries(), expected);
  EXPECT_EQ(form_->Status(), L"已生成Frame120.BMP");

  ASSERT_TRUE(apptest::WriteBytes(Img() + L"\\Frame05.BMP", "spoilt"));
  form_->AviToPictures(Rec(L"rec.avi"), true);
  EXPECT_EQ(form_->PictureEntries().size(), 241u);
  EXPECT_EQ(form_->PictureEntries().back(), L"Frame120.BMP");
  EXPECT_EQ(apptest::ReadBytes(Img() + L"\\Frame05.BMP").substr(0, 2), "BM");
  EXPECT_EQ(FilesIn(Img()).size(), 120u);
}

TEST_F(MainPicturesTest, ARecordingStartOrACloseEndsTheSplitAndASecondSplitIsIgnored) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Rec(L"rec.avi"), 16, 16, 8, 10));
  ASSERT_TRUE(apptest::WriteMrleAvi(Rec(L"other.avi"), 16, 16, 2, 10));

  // A request left by an earlier start does not end the next split.
  form_->RaiseSplitCancel();
  form_->AviToPictures(Rec(L"rec.avi"), true);
  EXPECT_EQ(form_->PictureEntries().size(), 8u);
  EXPECT_FALSE(form_->SplitCancel());

  // A start raises the request from the split's pump; a second split command meanwhile does
  // nothing.
  ::SendMessageW(List(), LB_RESETCONTENT, 0, 0);
  bool sawSplit = false;
  ASSERT_TRUE(base::PostToMain([&] {
    sawSplit = form_->Splitting();
    form_->AviToPictures(Rec(L"other.avi"), true);
    form_->RaiseSplitCancel();
  }));
  form_->AviToPictures(Rec(L"rec.avi"), true);
  EXPECT_TRUE(sawSplit);
  EXPECT_EQ(form_->PictureEntries(), (Names{L"Frame01.BMP"}));
  EXPECT_FALSE(form_->SplitCancel());
  EXPECT_FALSE(form_->Splitting());

  // Closing the window mid-split: the split ends, and the window goes once it has returned.
  HWND window = form_->hwnd();
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  form_->AviToPictures(Rec(L"rec.avi"), true);
  EXPECT_TRUE(::IsWindow(window));
  EXPECT_TRUE(base::PumpUntil([&] { return !::IsWindow(window); }, 5000));
  EXPECT_EQ(FilesIn(Img()), FrameNames(1, 8));
}

// The preview draws the split's own picture of each frame while the split runs, and owns the
// last frame once the split has ended; a later split of another size is shown at its size.
TEST_F(MainPicturesTest, ThePreviewShowsEachFrameDuringTheSplitAndKeepsTheLastOne) {
  auto* box = dynamic_cast<app::PictureBox*>(base::Window::FromHandle(form_->Control(id::BitmapImage)));
  ASSERT_NE(box, nullptr);
  // Frame f of the fixture: its bottom half (the first rows of a bottom-up picture) in the
  // f-th of its four pure colours.
  const COLORREF kColours[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)};
  struct Shown {
    bool drawn = false;
    int width = 0, height = 0;
    COLORREF bottom = CLR_INVALID;  // the bitmap's
    COLORREF screen = CLR_INVALID;  // the screen's, where the box paints that pixel
  };
  auto shownNow = [&] {
    Shown shown;
    HBITMAP bitmap = box->Shown();
    BITMAP bm{};
    if (!bitmap || !::GetObjectW(bitmap, sizeof bm, &bm)) return shown;
    shown.drawn = true;
    shown.width = bm.bmWidth;
    shown.height = bm.bmHeight;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    if (old) {
      shown.bottom = ::GetPixel(dc, bm.bmWidth / 2, bm.bmHeight - 1);
      ::SelectObject(dc, old);
    }
    ::DeleteDC(dc);
    ::UpdateWindow(box->hwnd());
    POINT at{bm.bmWidth / 2, bm.bmHeight - 1};
    ::ClientToScreen(box->hwnd(), &at);
    base::WindowDC screen(nullptr);
    shown.screen = ::GetPixel(screen.get(), at.x, at.y);
    return shown;
  };
  // The panel is open, as the menu command opens it.
  ASSERT_TRUE(apptest::WriteMrleAvi(Rec(L"first.avi"), 8, 8, 1, 10));
  testapp::WhenShown(&OpenDialog, [&](HWND dialog) { ChooseFile(dialog, Rec(L"first.avi")); });
  Command(id::MnAVIToPIC);
  ASSERT_TRUE(PanelShown());
  const struct {
    bool save;
    int width, height, frames;
  } cases[] = {{true, 40, 30, 6}, {false, 40, 30, 5}, {true, 24, 16, 3}, {false, 30, 20, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.save ? "saving, " : "not saving, ") + std::to_string(c.width) + "x" +
                 std::to_string(c.height));
    ASSERT_TRUE(apptest::WriteMrleAvi(Rec(L"rec.avi"), c.width, c.height, c.frames, 10));
    // Runs from the split's pump after its first frame.
    Shown during;
    bool borrowed = false;
    ASSERT_TRUE(base::PostToMain([&] {
      borrowed = box->Borrowed() != nullptr;
      // The screen follows a box that was just placed once the display has taken the move.
      base::PumpUntil([&] { return (during = shownNow()).screen == kColours[0]; }, 3000);
    }));
    form_->AviToPictures(Rec(L"rec.avi"), c.save);
    EXPECT_TRUE(borrowed) << "the preview drew no picture of the split's during the split";
    EXPECT_TRUE(during.drawn);
    EXPECT_EQ(during.width, c.width);
    EXPECT_EQ(during.bottom, kColours[0]) << "got " << std::hex << during.bottom;
    EXPECT_EQ(during.screen, kColours[0]) << "on the screen, got " << std::hex << during.screen;

    EXPECT_EQ(box->Borrowed(), nullptr) << "the preview still draws a picture the split owned";
    const COLORREF last = kColours[(c.frames - 1) % 4];
    Shown after;
    base::PumpUntil([&] { return (after = shownNow()).screen == last; }, 3000);
    EXPECT_TRUE(after.drawn);
    EXPECT_EQ(after.width, c.width);
    EXPECT_EQ(after.height, c.height);
    EXPECT_EQ(after.bottom, last) << "got " << std::hex << after.bottom;
    EXPECT_EQ(after.screen, last) << "on the screen, got " << std::hex << after.screen;
    RECT r{};
    ::GetClientRect(form_->Control(id::BitmapImage), &r);
    EXPECT_EQ(r.right, c.width);
    EXPECT_EQ(r.bottom, c.height);
  }
}

TEST_F(MainPicturesTest, ThreeHundredVgaPicturesRaisePrivateBytesFarLessThanABitmapPerEntry) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Rec(L"rec.avi"), 640, 480, 300, 25));
  // A bitmap per entry would hold 300 x 640 x 480 x 3 bytes, about 270 MB.
  const SIZE_T before = PagefileBytes();
  form_->AviToPictures(Rec(L"rec.avi"), true);
  const SIZE_T after = PagefileBytes();
  EXPECT_EQ(form_->PictureEntries().size(), 300u);
  const double grownMb = (static_cast<double>(after) - static_cast<double>(before)) / (1024.0 * 1024.0);
  EXPECT_LT(grownMb, 40.0) << "private bytes grew by " << grownMb << " MB";
}

TEST_F(MainPicturesTest, TheListRemovesPreviewsAddsAndOpensItsFolder) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Rec(L"rec.avi"), 32, 24, 3, 10));
  form_->AviToPictures(Rec(L"rec.avi"), true);
  ASSERT_EQ(form_->PictureEntries(), FrameNames(1, 3));

  // Remove with nothing selected does nothing.
  ::SendMessageW(List(), LB_SETSEL, FALSE, -1);
  form_->Button(id::SpeedButton13)->Click();
  EXPECT_EQ(form_->PictureEntries(), FrameNames(1, 3));

  // One selected: its picture, loaded from its file; two: an empty preview.
  SelectAndClick({1});
  EXPECT_EQ(form_->Status(), L"当前图片 ：Frame02.BMP");
  EXPECT_TRUE(PreviewShown());
  SelectAndClick({0, 1});
  EXPECT_FALSE(PreviewShown());
  // An entry whose file is gone previews nothing and says so.
  ASSERT_TRUE(::DeleteFileW((Img() + L"\\Frame03.BMP").c_str()));
  SelectAndClick({2});
  EXPECT_FALSE(PreviewShown());
  EXPECT_NE(form_->Status().find(Img() + L"\\Frame03.BMP"), std::wstring::npos) << Narrow(form_->Status());

  // The hidden buttons move the current entry.
  SelectAndClick({1});
  form_->Button(id::SpeedButton14)->Click();
  EXPECT_EQ(form_->PictureEntries(), (Names{L"Frame02.BMP", L"Frame01.BMP", L"Frame03.BMP"}));
  form_->Button(id::BtnPicMoveDown)->Click();
  EXPECT_EQ(form_->PictureEntries(), FrameNames(1, 3));

  // Remove the selected entries; their files stay.
  SelectAndClick({0, 2});
  form_->Button(id::SpeedButton13)->Click();
  EXPECT_EQ(form_->PictureEntries(), (Names{L"Frame02.BMP"}));
  EXPECT_EQ(FilesIn(Img()), (Names{L"Frame01.BMP", L"Frame02.BMP"}));

  // Adding stops at a file that is no bitmap, keeping the ones before it.
  ASSERT_TRUE(apptest::WriteBytes(Rec(L"icon.ico"), std::string("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0", 14)));
  EXPECT_EQ(form_->AddPictureFiles({Img() + L"\\Frame01.BMP", Rec(L"icon.ico"), Img() + L"\\Frame02.BMP"}), 1);
  EXPECT_EQ(form_->PictureEntries(), (Names{L"Frame02.BMP", L"Frame01.BMP"}));
  EXPECT_EQ(form_->PicturePathAt(1), Img() + L"\\Frame01.BMP");

  RecordingShellOpener opener;
  base::ScopedShellOpener scopedOpener(opener);
  Command(id::MnOpenPicPath);
  Command(id::BitmapListBox, LBN_DBLCLK);
  EXPECT_EQ(opener.calls, (Names{L"open " + Img(), L"open " + Img()}));
}

// Dragged with the mouse onto another entry, an entry takes that one's place, the entries
// between moving by one; it is then the selected and previewed one. A drag that ends outside
// the list changes nothing; one dropped below the last entry goes to the end.
TEST_F(MainPicturesTest, AnEntryDraggedOntoAnotherTakesItsPlace) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Rec(L"rec.avi"), 32, 24, 4, 10));
  form_->AviToPictures(Rec(L"rec.avi"), true);
  ASSERT_EQ(form_->PictureEntries(), FrameNames(1, 4));
  form_->SetControlVisible(id::PnlPic, true);
  ::SetForegroundWindow(form_->hwnd());
  base::PumpPending();
  auto centreOf = [&](int entry) {
    RECT r{};
    ::SendMessageW(List(), LB_GETITEMRECT, static_cast<WPARAM>(entry), reinterpret_cast<LPARAM>(&r));
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ::ClientToScreen(List(), &p);
    return p;
  };
  auto drag = [&](POINT from, POINT to, const std::function<void()>& beforeDrop = {}) {
    ::SetCursorPos(from.x, from.y);
    base::PumpPending();
    INPUT down{};
    down.type = INPUT_MOUSE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    ::SendInput(1, &down, sizeof down);
    for (int step = 1; step <= 8; ++step) {
      ::SetCursorPos(from.x + (to.x - from.x) * step / 8, from.y + (to.y - from.y) * step / 8);
      INPUT move{};
      move.type = INPUT_MOUSE;
      move.mi.dwFlags = MOUSEEVENTF_MOVE;
      ::SendInput(1, &move, sizeof move);
      base::PumpUntil([] { return false; }, 20);
    }
    if (beforeDrop) beforeDrop();
    INPUT up{};
    up.type = INPUT_MOUSE;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(1, &up, sizeof up);
    base::PumpUntil([] { return false; }, 200);
  };
  drag(centreOf(0), centreOf(2));
  EXPECT_EQ(form_->PictureEntries(), (Names{L"Frame02.BMP", L"Frame03.BMP", L"Frame01.BMP", L"Frame04.BMP"}));
  EXPECT_EQ(::SendMessageW(List(), LB_GETCARETINDEX, 0, 0), 2);
  EXPECT_EQ(form_->Status(), L"当前图片 ：Frame01.BMP");
  EXPECT_EQ(form_->PicturePathAt(2), Img() + L"\\Frame01.BMP") << "the entry's picture goes with it";

  drag(centreOf(3), centreOf(1));
  EXPECT_EQ(form_->PictureEntries(), (Names{L"Frame02.BMP", L"Frame04.BMP", L"Frame03.BMP", L"Frame01.BMP"}));

  RECT list{};
  ::GetWindowRect(List(), &list);
  drag(centreOf(0), POINT{list.right + 60, list.top + 10});
  EXPECT_EQ(form_->PictureEntries(), (Names{L"Frame02.BMP", L"Frame04.BMP", L"Frame03.BMP", L"Frame01.BMP"}));

  // Dropped below the last entry, inside the list, the entry goes to the end; while it is
  // dragged there, the insert mark shows on the list under the last entry, across its width.
  RECT last{}, client{};
  ::SendMessageW(List(), LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&last));
  ::GetClientRect(List(), &client);
  ASSERT_GT(client.bottom, last.bottom + 20) << "room below the last entry";
  POINT below{(client.left + client.right) / 2, last.bottom + 15};
  ::ClientToScreen(List(), &below);
  int marked = 0, columns = 0;
  drag(centreOf(1), below, [&] {
    base::WindowDC screen(nullptr);
    POINT edge{0, last.bottom};
    ::ClientToScreen(List(), &edge);
    RECT inList{};
    ::GetWindowRect(List(), &inList);
    for (int x = inList.left + 8; x < inList.right - 8; x += 8, ++columns)
      if (::GetPixel(screen.get(), x, edge.y) == ::GetSysColor(COLOR_WINDOWTEXT)) ++marked;
    RECT panel{};
    ::GetWindowRect(form_->Control(id::PnlPic), &panel);
    testapp::SaveScreenshot(L"picture-drag-mark", panel);
  });
  EXPECT_TRUE(columns > 0 && marked == columns) << marked << " of " << columns << " columns show the insert mark";
  EXPECT_EQ(form_->PictureEntries(), (Names{L"Frame02.BMP", L"Frame03.BMP", L"Frame01.BMP", L"Frame04.BMP"}));
  EXPECT_EQ(::SendMessageW(List(), LB_GETCARETINDEX, 0, 0), 3);
  // Dropped, the mark is gone.
  POINT edge{(client.left + client.right) / 2 + 30, last.bottom};
  ::ClientToScreen(List(), &edge);
  base::WindowDC screen(nullptr);
  EXPECT_NE(::GetPixel(screen.get(), edge.x, edge.y), ::GetSysColor(COLOR_WINDOWTEXT));
}

TEST_F(MainPicturesTest, CreateWritesNoFileAndSaysSoOrAsksForPictures) {
  const Names before = FilesIn(folder_.path());
  Command(id::MnCreateAVI);
  EXPECT_TRUE(PanelShown());
  EXPECT_EQ(PanelTag(), 2);
  ASSERT_EQ(prompter_.asked().size(), 1u);
  EXPECT_EQ(prompter_.asked()[0].text, L"请加入一个以上的图片");

  ASSERT_TRUE(apptest::WriteMrleAvi(Rec(L"rec.avi"), 16, 16, 2, 10));
  form_->AviToPictures(Rec(L"rec.avi"), true);
  form_->Button(id::BtnCreateAVI)->Click();
  ASSERT_EQ(prompter_.asked().size(), 2u);
  EXPECT_NE(prompter_.asked()[1].text.find(L"没有生成"), std::wstring::npos) << Narrow(prompter_.asked()[1].text);
  EXPECT_EQ(FilesIn(folder_.path()), before);
  EXPECT_EQ(FilesIn(Recs()), (Names{L"rec.avi"}));
}

TEST_F(MainPicturesTest, TheFullScreenViewBringsTheOpenPanelBackAndLeavesAClosedOneClosed) {
  Command(id::MnCreateAVI);  // opens the panel (with its message)
  ASSERT_TRUE(PanelShown());
  form_->BtnFullScreenClick();
  EXPECT_FALSE(PanelShown());
  form_->BtnFullScreenClick();
  EXPECT_TRUE(PanelShown());

  form_->Button(id::BtnClosePICPan)->Click();
  EXPECT_FALSE(PanelShown());
  EXPECT_EQ(PanelTag(), 0);
  form_->BtnFullScreenClick();
  form_->BtnFullScreenClick();
  EXPECT_FALSE(PanelShown());
}

}  // namespace
