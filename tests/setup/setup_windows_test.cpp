// The setup window and the uninstall window as they reach the screen: their labels drawn as
// real glyphs (not boxes), nothing left unpainted around the agreement, the hand cursor over
// the link labels only, and the balloon's close mark among the setup program's resources.
// tests/setup/windows_displays.test.sh runs these on a 1024 x 768 display too.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>

#include "app/texts/allparam.h"
#include "app/forms/control_ids.h"
#include "app/program.h"
#include "app/uninstall/uninstall_form.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "setup/setup_form.h"
#include "setup/setup_ids.h"
#include "tests/app/glyphs.h"
#include "tests/support/program_driver.h"

namespace {

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

HFONT FontOf(HWND wnd) { return reinterpret_cast<HFONT>(::SendMessageW(wnd, WM_GETFONT, 0, 0)); }

RECT ScreenRect(HWND wnd) {
  RECT r{};
  ::GetWindowRect(wnd, &r);
  return r;
}

// Redraws top with every child and waits until done() holds for what the screen shows.
bool RedrawUntil(HWND top, const std::function<bool()>& done) {
  ::RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  return base::PumpUntil(done, 3000);
}

// The glyphs of a label's text on the screen: as many distinct shapes as distinct characters.
struct Label {
  int id;
  const wchar_t* text;
};

testapp::ShapeCount LabelShapes(HWND label) {
  const RECT r = ScreenRect(label);
  return testapp::CountCjkShapes(testapp::CaptureScreen(r), FontOf(label), testsupport::WindowText(label));
}

int InkIn(const RECT& r) {
  if (r.right <= r.left || r.bottom <= r.top) return 0;
  int ink = 0;
  for (uint8_t dot : testapp::CaptureScreen(r).ink) ink += dot;
  return ink;
}

class SetupWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(form_.Create());
    RECT r{};
    ::GetWindowRect(form_.hwnd(), &r);
    // Where the program block puts it; the top-left corner when the screen is smaller.
    const int width = static_cast<int>(r.right - r.left), height = static_cast<int>(r.bottom - r.top);
    const int x = std::max(0, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    const int y = std::min(81, std::max(0, ::GetSystemMetrics(SM_CYSCREEN) - height));
    ::SetWindowPos(form_.hwnd(), HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  }
  void TearDown() override { form_.Destroy(); }
  HWND Item(int id) const { return ::GetDlgItem(form_.hwnd(), id); }

  const std::string program_ = "MZ";
  setup::TForm1 form_{{reinterpret_cast<const uint8_t*>(program_.data()), program_.size()}, false};
};

TEST_F(SetupWindow, TheAgreementBoxIsPaintedAroundTheAgreementAndTheLabelsShowTheirGlyphs) {
  const RECT group = ScreenRect(Item(setup::id::GbSoftAgreement));
  const RECT memo = ScreenRect(Item(setup::id::Memo1));
  // The box's inside between its frame and the agreement, on three sides (the caption row
  // above holds ink of its own).
  const RECT strips[] = {{group.left + 3, memo.top, memo.left, memo.bottom},
                         {memo.right, memo.top, group.right - 3, memo.bottom},
                         {group.left + 3, memo.bottom, group.right - 3, group.bottom - 3}};
  const Label labels[] = {{setup::id::Label2, L"如果你同意以下协议，请选择[开始安装]"},
                          {setup::id::Label1, L"目标文件夹"},
                          {setup::id::Label4, L"更多软件..."}};
  int dark[3] = {0, 0, 0};
  testapp::ShapeCount shapes[3];
  const bool settled = RedrawUntil(form_.hwnd(), [&] {
    bool all = true;
    for (int i = 0; i < 3; ++i) {
      dark[i] = InkIn(strips[i]);
      shapes[i] = LabelShapes(Item(labels[i].id));
      all = all && dark[i] == 0 && shapes[i].shapes == shapes[i].characters;
    }
    return all;
  });
  EXPECT_TRUE(settled);
  const char* sides[] = {"left", "right", "bottom"};
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(dark[i], 0) << "dark pixels between the box's frame and the agreement, " << sides[i];
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Narrow(testsupport::WindowText(Item(labels[i].id))), Narrow(labels[i].text));
    EXPECT_GT(shapes[i].characters, 0);
    EXPECT_EQ(shapes[i].shapes, shapes[i].characters) << Narrow(labels[i].text);
  }
}

TEST_F(SetupWindow, RepaintingOnlyTheAgreementBoxLeavesTheAgreementShown) {
  HWND memo = Item(setup::id::Memo1);
  RECT inside = ScreenRect(memo);
  ::InflateRect(&inside, -4, -4);
  int shown = 0;
  ASSERT_TRUE(RedrawUntil(form_.hwnd(), [&] { return (shown = InkIn(inside)) > 0; })) << "the agreement shows no text";
  // The box alone is repainted, its inside erased with the form's colour: the agreement above
  // it in the window's order is not painted over.
  ::RedrawWindow(Item(setup::id::GbSoftAgreement), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  ::GdiFlush();
  EXPECT_EQ(InkIn(inside), shown) << "the agreement's text was painted over";
  EXPECT_FALSE(::GetUpdateRect(memo, nullptr, FALSE)) << "the agreement needs repainting";
}

// What a window shows for the mouse at a control: its answer to WM_SETCURSOR, as the system
// asks for it when the mouse moves there.
HCURSOR CursorOver(HWND control) {
  ::SetCursor(nullptr);
  ::SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  return ::GetCursor();
}

TEST_F(SetupWindow, OnlyTheLinkShowsTheHand) {
  const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND), arrow = ::LoadCursorW(nullptr, IDC_ARROW);
  EXPECT_EQ(CursorOver(Item(setup::id::Label4)), hand) << "the link label";
  // A label of the same class elsewhere in the process keeps the class's arrow.
  HWND plain = ::CreateWindowExW(0, L"STATIC", L"标签", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, 0, 40, 16, form_.hwnd(),
                                 nullptr, ::GetModuleHandleW(nullptr), nullptr);
  EXPECT_EQ(CursorOver(plain), arrow) << "a plain label";
  EXPECT_EQ(reinterpret_cast<HCURSOR>(::GetClassLongPtrW(plain, GCLP_HCURSOR)), arrow) << "the STATIC class's cursor";
  ::DestroyWindow(plain);
}

class UninstallWindowOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    app::SetProgramIdentity(true);
    ASSERT_TRUE(form_.Create());
    ::ShowWindow(form_.hwnd(), SW_SHOWNA);
    panel_ = ::GetDlgItem(form_.hwnd(), app::id::UninstallPanel1);
    ASSERT_NE(panel_, nullptr);
  }
  void TearDown() override { form_.Destroy(); }

  app::TFrmUninstall form_;
  HWND panel_ = nullptr;
};

TEST_F(UninstallWindowOnScreen, TheLinkShowsItsGlyphsAndTheButtonsTheirPictures) {
  HWND link = ::GetDlgItem(panel_, app::id::Label2);
  testapp::ShapeCount shapes;
  int buttonInk[2] = {0, 0};
  const int buttons[2] = {app::id::BtnStartUnstall, app::id::BtnClose};
  const bool settled = RedrawUntil(form_.hwnd(), [&] {
    shapes = LabelShapes(link);
    for (int i = 0; i < 2; ++i) buttonInk[i] = InkIn(ScreenRect(::GetDlgItem(panel_, buttons[i])));
    return shapes.shapes == shapes.characters && buttonInk[0] > 0 && buttonInk[1] > 0;
  });
  EXPECT_TRUE(settled);
  EXPECT_EQ(shapes.characters, 6);
  EXPECT_EQ(shapes.shapes, shapes.characters) << "the link's words on the screen";
  EXPECT_GT(buttonInk[0], 0) << "the start button shows nothing";
  EXPECT_GT(buttonInk[1], 0) << "the close button shows nothing";
}

TEST_F(UninstallWindowOnScreen, OnlyTheLinkShowsTheHand) {
  const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND), arrow = ::LoadCursorW(nullptr, IDC_ARROW);
  HWND link = ::GetDlgItem(panel_, app::id::Label2);
  EXPECT_EQ(CursorOver(link), hand) << "the link label";
  HWND icon = ::GetDlgItem(panel_, app::id::UninstallImage1);
  EXPECT_EQ(reinterpret_cast<HCURSOR>(::GetClassLongPtrW(icon, GCLP_HCURSOR)), arrow)
      << "the STATIC class's cursor (the warning icon is a STATIC too)";
  HWND plain = ::CreateWindowExW(0, L"STATIC", L"标签", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, 0, 40, 16, panel_,
                                 nullptr, ::GetModuleHandleW(nullptr), nullptr);
  EXPECT_EQ(CursorOver(plain), arrow) << "a plain label";
  ::DestroyWindow(plain);
}

TEST(PelvaneResources, HoldTheBalloonsPicturesAndCloseMark) {
  const std::wstring pelvane = testsupport::BinFolder() + L"Pelvane.exe";
  HMODULE module = ::LoadLibraryExW(pelvane.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << "cannot read " << Narrow(pelvane);
  EXPECT_NE(::FindResourceW(module, L"BClose", L"bmp"), nullptr) << "no close mark";
  for (const wchar_t* icon : {L"INFO", L"ERROR", L"WARNING"})
    EXPECT_NE(::FindResourceW(module, icon, RT_BITMAP), nullptr) << Narrow(icon);
  ::FreeLibrary(module);
}

// The executable a resource of Pelvane's holds, its bytes.
std::string ResourceBytes(HMODULE module, const wchar_t* name) {
  HRSRC found = ::FindResourceW(module, name, L"EXEFILE");
  if (!found) return {};
  const void* data = ::LockResource(::LoadResource(module, found));
  return data ? std::string(static_cast<const char*>(data), ::SizeofResource(module, found)) : std::string();
}

TEST(PelvaneResources, CarryTheProgramAndASecondExecutableThatNothingStarts) {
  const std::wstring pelvane = testsupport::BinFolder() + L"Pelvane.exe";
  HMODULE module = ::LoadLibraryExW(pelvane.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << "cannot read " << Narrow(pelvane);
  const std::string program = ResourceBytes(module, L"OMBRIX"), unused = ResourceBytes(module, L"UNINSTALL");
  ::FreeLibrary(module);
  ASSERT_GT(unused.size(), sizeof(IMAGE_DOS_HEADER)) << "no resource UNINSTALL";
  // A whole 32-bit Windows program, and not the one setup installs.
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(unused.data());
  ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
  ASSERT_LT(static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32), unused.size());
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(unused.data() + dos->e_lfanew);
  EXPECT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_FALSE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
  EXPECT_NE(unused, program);
  EXPECT_GT(program.size(), unused.size());
}

}  // namespace
