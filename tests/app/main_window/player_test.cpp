// The embedded player against real MRLE recordings under Wine's MCI: the display rectangle and
// the surface take the video's size, the video reaches the surface's pixels, the full-screen
// stretch and its undo, pause and restart, and that no device keeps a recording locked once it
// is closed or replaced.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/main_window/player.h"
#include "base/dispatch.h"
#include "base/thread.h"
#include "base/unique.h"
#include "base/window.h"
#include "tests/app/mrle_fixture.h"
#include "tests/app/scratch.h"

namespace {

constexpr COLORREF kBackground = RGB(128, 128, 128);

// The playback area (a top-level popup) with the video surface as its child.
class AreaWindow : public base::Window {
 public:
  bool Make(int width, int height) {
    static base::UniqueBrush brush(::CreateSolidBrush(kBackground));
    base::WindowClass cls;
    cls.name = L"ReclumePlayerTestArea";
    cls.background = brush.get();
    base::WindowSpec spec;
    spec.style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
    spec.exStyle = WS_EX_TOPMOST;
    spec.x = 40;
    spec.y = 40;
    spec.width = width;
    spec.height = height;
    if (!Create(cls, spec)) return false;
    surface_.reset(::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BLACKRECT, 0, 0, 10, 10,
                                     hwnd(), nullptr, ::GetModuleHandleW(nullptr), nullptr));
    return static_cast<bool>(surface_);
  }
  HWND surface() const { return surface_.get(); }

 private:
  base::UniqueWindow surface_;
};

RECT ChildRect(HWND child) {
  RECT r{};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

::testing::AssertionResult RectIs(const RECT& got, int left, int top, int right, int bottom) {
  if (got.left == left && got.top == top && got.right == right && got.bottom == bottom)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got (" << got.left << ", " << got.top << ", " << got.right << ", "
                                       << got.bottom << "), expected (" << left << ", " << top << ", " << right
                                       << ", " << bottom << ")";
}

bool IsFixtureColour(COLORREF c) {
  return c == RGB(255, 0, 0) || c == RGB(0, 255, 0) || c == RGB(0, 0, 255) || c == RGB(255, 255, 255);
}

// The screen colour at (x, y) of a window's client area.
COLORREF ScreenColourAt(HWND wnd, int x, int y) {
  POINT p{x, y};
  ::ClientToScreen(wnd, &p);
  base::WindowDC screen(nullptr);
  return ::GetPixel(screen.get(), p.x, p.y);
}

bool WaitForMode(const app::MciPlayer& player, DWORD mode, DWORD timeoutMs = 15000) {
  return base::PumpUntil([&] { return player.Mode() == mode; }, timeoutMs);
}

// True when the file can be renamed (nobody holds it open); renames it back.
bool IsReleased(const std::wstring& path) {
  const std::wstring moved = path + L".moved";
  if (!::MoveFileW(path.c_str(), moved.c_str())) return false;
  return ::MoveFileW(moved.c_str(), path.c_str()) != 0;
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(area_.Make(400, 300));
    playback_.Attach(area_.surface(), area_.hwnd());
    first_ = folder_.path() + L"first clip.avi";
    second_ = folder_.path() + L"2.avi";
    ASSERT_TRUE(apptest::WriteMrleAvi(first_, 96, 64, 40, 10));
    ASSERT_TRUE(apptest::WriteMrleAvi(second_, 120, 80, 40, 10));
  }
  void TearDown() override { playback_.ReleasePlayer(); }

  apptest::ScratchFolder folder_;
  AreaWindow area_;
  app::Playback playback_;
  std::wstring first_, second_;
};

TEST_F(PlayerTest, PlayFileShowsTheVideoAtItsOwnSizeInTheTopLeftCorner) {
  ASSERT_TRUE(playback_.PlayFile(first_));
  EXPECT_EQ(playback_.VideoSize().cx, 96);
  EXPECT_EQ(playback_.VideoSize().cy, 64);
  EXPECT_TRUE(RectIs(ChildRect(area_.surface()), 0, 0, 96, 64));
  auto shown = playback_.player().DisplayRect();
  ASSERT_TRUE(shown.has_value());
  EXPECT_TRUE(RectIs(*shown, 0, 0, 96, 64));
  EXPECT_TRUE(WaitForMode(playback_.player(), MCI_MODE_PLAY)) << "mode " << playback_.player().Mode().value_or(0);

  // The device draws into the surface: its pixels take the recording's colours.
  EXPECT_TRUE(base::PumpUntil([&] { return IsFixtureColour(ScreenColourAt(area_.surface(), 20, 10)); }, 15000))
      << std::hex << "colour 0x" << ScreenColourAt(area_.surface(), 20, 10);
}

// Recordings of the machine's MS Video 1 driver (the default compressor) play the same way, in
// its 8-bit and 16-bit forms, with delta frames between the key frames.
TEST_F(PlayerTest, PlaysMsVideo1Recordings) {
  for (int bits : {8, 32}) {
    SCOPED_TRACE(testing::Message() << bits << "-bit frames");
    const std::wstring path = folder_.path() + L"msvc" + std::to_wstring(bits) + L".avi";
    ASSERT_TRUE(apptest::WriteFixtureAvi(path, 96, 64, 40, 10, mmioFOURCC('M', 'S', 'V', 'C'), 5, bits));
    ASSERT_TRUE(playback_.PlayFile(path));
    EXPECT_EQ(playback_.VideoSize().cx, 96);
    EXPECT_EQ(playback_.VideoSize().cy, 64);
    EXPECT_TRUE(WaitForMode(playback_.player(), MCI_MODE_PLAY)) << "mode " << playback_.player().Mode().value_or(0);
    EXPECT_TRUE(base::PumpUntil([&] { return IsFixtureColour(ScreenColourAt(area_.surface(), 20, 50)); }, 15000))
        << std::hex << "colour 0x" << ScreenColourAt(area_.surface(), 20, 50);
    playback_.ReleasePlayer();
  }
}

TEST_F(PlayerTest, FullScreenStretchesOverTheAreaAndComesBackToTheVideoSize) {
  ASSERT_TRUE(playback_.PlayFile(second_));
  playback_.SetStretched(true);
  EXPECT_TRUE(RectIs(ChildRect(area_.surface()), 0, 0, 400, 300));
  EXPECT_TRUE(RectIs(playback_.player().DisplayRect().value_or(RECT{}), 0, 0, 400, 300));
  // The far corner of the area shows the video too.
  EXPECT_TRUE(base::PumpUntil([&] { return IsFixtureColour(ScreenColourAt(area_.surface(), 390, 290)); }, 15000));

  playback_.SetStretched(false);
  EXPECT_TRUE(RectIs(ChildRect(area_.surface()), 0, 0, 120, 80));
  EXPECT_TRUE(RectIs(playback_.player().DisplayRect().value_or(RECT{}), 0, 0, 120, 80));
}

TEST_F(PlayerTest, PauseResumeAndAPlayAfterTheEndStartsOver) {
  const std::wstring shortClip = folder_.path() + L"short.avi";
  ASSERT_TRUE(apptest::WriteMrleAvi(shortClip, 32, 32, 4, 10));
  ASSERT_TRUE(playback_.PlayFile(shortClip));
  app::MciPlayer& player = playback_.player();
  ASSERT_TRUE(WaitForMode(player, MCI_MODE_STOP)) << "the clip did not end";
  EXPECT_EQ(player.Position().value_or(0) + 1 >= player.Length().value_or(0), true);

  ASSERT_TRUE(player.Play());
  EXPECT_TRUE(WaitForMode(player, MCI_MODE_PLAY, 5000) || player.Position() < player.Length())
      << "a play at the end did not start over";

  ASSERT_TRUE(playback_.PlayFile(first_));
  ASSERT_TRUE(player.Pause());
  EXPECT_EQ(player.Mode(), std::optional<DWORD>(MCI_MODE_PAUSE));
  ASSERT_TRUE(player.Play());
  EXPECT_TRUE(WaitForMode(player, MCI_MODE_PLAY));
}

TEST_F(PlayerTest, NoClosedOrReplacedDeviceKeepsARecordingLocked) {
  ASSERT_TRUE(playback_.PlayFile(first_));
  EXPECT_FALSE(IsReleased(first_)) << "an open device should hold its file";

  // Playing the next recording releases the previous one.
  ASSERT_TRUE(playback_.PlayFile(second_));
  EXPECT_TRUE(IsReleased(first_));
  EXPECT_FALSE(IsReleased(second_));

  playback_.ClosePlayer();
  EXPECT_FALSE(playback_.player().Mode().has_value());
  EXPECT_TRUE(IsReleased(second_));

  ASSERT_TRUE(playback_.PlayFile(first_));
  ASSERT_TRUE(playback_.player().Pause());
  playback_.ReleasePlayer();
  EXPECT_FALSE(playback_.player().IsOpen());
  EXPECT_TRUE(IsReleased(first_));
}

TEST_F(PlayerTest, MissingAndBrokenFilesPlayNothing) {
  ASSERT_TRUE(playback_.PlayFile(first_));
  // A missing file changes nothing: the current recording keeps playing.
  EXPECT_FALSE(playback_.PlayFile(folder_.path() + L"gone.avi"));
  EXPECT_EQ(playback_.player().FileName(), first_);

  // A file the device refuses leaves the player closed and the file free.
  const std::wstring broken = folder_.path() + L"broken.avi";
  ASSERT_TRUE(apptest::TouchFile(broken));
  EXPECT_FALSE(playback_.PlayFile(broken));
  EXPECT_FALSE(playback_.player().IsOpen());
  EXPECT_TRUE(IsReleased(broken));
  EXPECT_TRUE(IsReleased(first_));
  EXPECT_FALSE(playback_.player().Play());
}

// Threads of ours started while a play starts (a recorder's, a timer's) are no play thread:
// Stop waits for the device's own thread only, so it returns at once.
TEST_F(PlayerTest, OnlyTheDevicesOwnThreadIsWaitedFor) {
  base::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::atomic<bool> spawning{true};
  std::vector<std::unique_ptr<base::Thread>> ours;
  std::atomic<int> started{0};
  std::vector<DWORD> ourIds;
  std::mutex idsLock;
  HANDLE h = release.get();
  // Keeps starting threads that outlive the play (they wait for the release) while the play
  // command runs.
  std::thread spawner([&] {
    while (spawning && started < 300) {
      auto t = std::make_unique<base::Thread>();
      if (!t->Start("player test thread", [h] { ::WaitForSingleObject(h, 20000); })) break;
      {
        std::lock_guard<std::mutex> lock(idsLock);
        ourIds.push_back(t->id());
      }
      ours.push_back(std::move(t));
      ++started;
    }
  });
  while (started < 3) ::Sleep(1);
  const bool played = playback_.PlayFile(first_);
  spawning = false;
  spawner.join();
  ASSERT_TRUE(played);
  app::MciPlayer& player = playback_.player();
  const DWORD found = player.PlayThreadId();
  EXPECT_NE(found, 0u) << "the device's play thread was not found";
  EXPECT_TRUE(app::IsAviDevicePlayThread(found));
  EXPECT_EQ(std::count(ourIds.begin(), ourIds.end(), found), 0) << "one of our threads was taken for it";
  for (DWORD id : ourIds) EXPECT_FALSE(app::IsAviDevicePlayThread(id));

  const DWORD start = ::GetTickCount();
  player.Stop();  // right after the start the device may answer with an error; it stops all the same
  playback_.ClosePlayer();
  EXPECT_LT(::GetTickCount() - start, 1500u) << "stop and close waited for a thread of ours";
  ::SetEvent(h);
  ours.clear();  // joined
}

// A recording with a Chinese name in a Chinese folder plays (through its short name), and the
// player reports and releases it under its own name.
TEST_F(PlayerTest, PlaysARecordingWithAChineseNameInAChineseFolder) {
  const std::wstring folder = folder_.path() + L"录像文件夹\\";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring path = folder + L"录像测试.avi";
  ASSERT_TRUE(::MoveFileW(first_.c_str(), path.c_str()));
  ASSERT_TRUE(playback_.PlayFile(path));
  EXPECT_EQ(playback_.player().FileName(), path);
  EXPECT_EQ(playback_.VideoSize().cx, 96);
  EXPECT_TRUE(WaitForMode(playback_.player(), MCI_MODE_PLAY));
  playback_.ClosePlayer();
  EXPECT_TRUE(IsReleased(path));
}

}  // namespace
