// The message box placed at a screen point: a real box, found and answered from another thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/message_at.h"
#include "base/seams.h"
#include "base/text.h"

namespace {

struct Seen {
  RECT rect{};
  std::atomic<bool> found{false};
};

// Waits (up to 20 s) for this process's box with caption, notes where it stands and presses OK.
void AnswerBox(const wchar_t* caption, Seen& seen) {
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < 20000) {
    HWND box = ::FindWindowW(L"#32770", caption);
    if (box && ::IsWindowVisible(box)) {
      ::GetWindowRect(box, &seen.rect);
      seen.found = true;
      ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      return;
    }
    ::Sleep(20);
  }
}

TEST(MessageAt, TheBoxStandsAtThePointAndStaysOnTheScreen) {
  struct Case {
    POINT at;
    const wchar_t* caption;
    bool clamped;
  } cases[] = {{{120, 140}, L"at a point", false}, {{100000, 100000}, L"past the corner", true}};
  for (const auto& c : cases) {
    Seen seen;
    std::thread answer([&] { AnswerBox(c.caption, seen); });
    const int result = base::ShowMessageAt(c.at, nullptr, L"text", c.caption, MB_OK);
    answer.join();
    ASSERT_TRUE(seen.found) << "no box " << base::WideToUtf8(c.caption);
    EXPECT_EQ(result, IDOK);
    if (!c.clamped) {
      EXPECT_EQ(seen.rect.left, c.at.x);
      EXPECT_EQ(seen.rect.top, c.at.y);
    } else {
      // Pushed back into the corner of the work area.
      RECT work{};
      ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
      EXPECT_EQ(seen.rect.right, work.right);
      EXPECT_EQ(seen.rect.bottom, work.bottom);
    }
  }
}

}  // namespace

namespace {

// A box asked for with an owner that is off the screen (hidden or minimised) opens without an
// owner, but that window is disabled while the box waits and enabled again afterwards; one that
// was disabled already (a modal dialog over it) stays disabled.
TEST(MessageOwner, AnOwnerOffTheScreenIsDisabledForTheBoxsLife) {
  struct Case {
    const char* name;
    int show;
    bool enabledBefore;
  } cases[] = {{"hidden", SW_HIDE, true}, {"minimised", SW_SHOWMINNOACTIVE, true}, {"disabled already", SW_HIDE, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                   nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    ::ShowWindow(owner, c.show);
    ::EnableWindow(owner, c.enabledBefore);
    std::atomic<bool> found{false}, enabledMeanwhile{true};
    std::thread answer([&] {
      const DWORD start = ::GetTickCount();
      while (::GetTickCount() - start < 20000) {
        HWND box = ::FindWindowW(L"#32770", L"owner test");
        if (box && ::IsWindowVisible(box)) {
          enabledMeanwhile = ::IsWindowEnabled(owner) != FALSE;
          found = true;
          ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
          return;
        }
        ::Sleep(20);
      }
    });
    base::ShowMessage(owner, L"waiting", L"owner test", MB_OK);
    answer.join();
    EXPECT_TRUE(found);
    EXPECT_FALSE(enabledMeanwhile) << "enabled while the box waited";
    EXPECT_EQ(::IsWindowEnabled(owner) != FALSE, c.enabledBefore) << "afterwards";
    ::DestroyWindow(owner);
  }
}

}  // namespace
