// The screen camera's global hotkeys: the ids in their slots (global atoms of the keys'
// texts) after the constructor and after RegisterHotKeys, whether the stop key is held, the
// keys held only while a recording, a selection or the host's recording runs, what each
// WM_HOTKEY does with a stub host, and unregistering from a worker thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/dispatch.h"
#include "engine/camera/ScrCam.h"
#include "engine/overlays/scSelObjWnd.h"
#include "tests/engine/scrcamNS_support.h"
#include "tests/support/doubles.h"
#include "tests/support/pattern_window.h"

namespace {

using ScrCam::TScreenCamera;

class StubHost : public ScrCam::CameraHost {
 public:
  void MinimizeApp() override {}
  void RestoreApp() override {}
  bool RecordWithSound() override { return withSound; }
  bool StopHotKeyRegistered() override { return stopKeyRegistered; }
  void StopRecordingAndRestore() override { ++stopAndRestore; }
  void RefreshRecordingList() override {}
  HWND MessageOwner() override { return nullptr; }
  std::atomic<bool> withSound{false}, stopKeyRegistered{false};
  int stopAndRestore = 0;
};

// A window of the test that tries to hold a key combination itself.
class Holder : public base::Window {
 public:
  Holder() {
    base::WindowClass cls;
    cls.name = L"HotKeyTestHolder";
    base::WindowSpec spec;
    spec.parent = HWND_MESSAGE;
    Create(cls, spec);
  }
  bool Take(UINT modifiers, UINT key) {
    const bool took = ::RegisterHotKey(hwnd(), 0x100 + static_cast<int>(taken_), modifiers, key) != 0;
    if (took) ++taken_;
    return took;
  }
  ~Holder() override {
    for (UINT i = 0; i < taken_; ++i) ::UnregisterHotKey(hwnd(), 0x100 + static_cast<int>(i));
  }

 private:
  UINT taken_ = 0;
};

TEST(ScrCamHotKeys, SlotsAfterTheConstructorAndAfterRegisterHotKeys) {
  StubHost host;
  TScreenCamera cam(&host);
  const wchar_t* defaults[4] = {L"SHIFT + ESCAPE", L"ESCAPE", L"CONTROL + RETURN", L"PAUSE"};
  for (int slot = 0; slot < 4; ++slot) {
    EXPECT_NE(cam.HotKeyId(slot), 0) << defaults[slot];
    EXPECT_EQ(cam.HotKeyId(slot), ::GlobalFindAtomW(defaults[slot])) << defaults[slot];
  }
  HWND first = cam.HotKeyWindow();
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(cam.HoldsDefaultHotKeys()) << "nothing records: the keys are every program's";

  // The host's recording takes the defaults on the first window; the default stop key is one
  // of them, so no new window stays.
  EXPECT_TRUE(cam.RegisterHotKeys(0, VK_ESCAPE, L"Esc"));
  EXPECT_TRUE(cam.HoldsDefaultHotKeys());
  {
    Holder probe;
    EXPECT_FALSE(probe.Take(0, VK_ESCAPE));
    EXPECT_FALSE(probe.Take(MOD_SHIFT, VK_ESCAPE));
    EXPECT_FALSE(probe.Take(MOD_CONTROL, VK_RETURN));
    EXPECT_FALSE(probe.Take(0, VK_PAUSE));
  }
  EXPECT_EQ(cam.HotKeyWindow(), first);
  EXPECT_EQ(cam.HotKeyId(0), ::GlobalFindAtomW(L"Esc"));

  EXPECT_TRUE(cam.RegisterHotKeys(MOD_CONTROL, 'Q', L"Ctrl + Q"));
  EXPECT_NE(cam.HotKeyWindow(), first);
  EXPECT_EQ(cam.HotKeyId(0), ::GlobalFindAtomW(L"Ctrl + Q"));
  for (int slot = 1; slot < 4; ++slot) EXPECT_EQ(cam.HotKeyId(slot), ::GlobalFindAtomW(defaults[slot]));

  // A combination another window holds is not the camera's.
  Holder other;
  ASSERT_TRUE(other.Take(MOD_ALT, 'K'));
  EXPECT_FALSE(cam.RegisterHotKeys(MOD_ALT, 'K', L"Alt + K"));
}

TEST(ScrCamHotKeys, UnregisteringFromAWorkerFreesTheKey) {
  StubHost host;
  TScreenCamera cam(&host);
  ASSERT_TRUE(cam.RegisterHotKeys(MOD_CONTROL, 'Q', L"Ctrl + Q"));

  std::thread([&] { cam.UnregisterHotKeys(); }).join();
  base::PumpUntil([] { return false; }, 100);
  {
    Holder probe;
    EXPECT_FALSE(probe.Take(MOD_CONTROL, 'Q')) << "freed while the main window's key is not registered";
  }

  host.stopKeyRegistered = true;
  std::thread([&] { cam.UnregisterHotKeys(); }).join();
  Holder probe;
  EXPECT_TRUE(base::PumpUntil([&] { return probe.Take(MOD_CONTROL, 'Q'); }, 5000)) << "the key was not freed";
  EXPECT_TRUE(probe.Take(0, VK_ESCAPE)) << "the defaults went with the host's recording";
  EXPECT_TRUE(probe.Take(0, VK_PAUSE));
  cam.UnregisterHotKeys();  // nothing left but the constructor's window
  EXPECT_NE(cam.HotKeyWindow(), nullptr);
}

void CALLBACK EscapeLater(HWND, UINT, UINT_PTR, DWORD);

// The keys are taken from every other program only while they mean something: during the
// camera's own recording (given back at the stop, or when a recording that stopped itself
// ends), during a region selection, and between the host's RegisterHotKeys and its
// UnregisterHotKeys. In between, another window of the system can hold each of them.
TEST(ScrCamHotKeys, HeldOnlyWhileARecordingOrASelectionRuns) {
  testsupport::ScriptedPrompter prompter({}, IDYES);
  base::ScopedPrompter scopedPrompter(prompter);
  scrcamNStest::ScratchFolder folder;
  StubHost host;
  TScreenCamera cam(&host);
  cam.ScreenRegion = ScrCam::TScreenRegion::FixedStable;
  cam.MinimizeAppOnStart = false;
  auto othersCanTake = [] {
    Holder probe;
    return probe.Take(0, VK_ESCAPE) && probe.Take(MOD_SHIFT, VK_ESCAPE) && probe.Take(MOD_CONTROL, VK_RETURN) &&
           probe.Take(0, VK_PAUSE);
  };
  auto heldByTheCamera = [&] {
    Holder probe;
    return cam.HoldsDefaultHotKeys() && !probe.Take(0, VK_ESCAPE) && !probe.Take(MOD_SHIFT, VK_ESCAPE) &&
           !probe.Take(MOD_CONTROL, VK_RETURN) && !probe.Take(0, VK_PAUSE);
  };
  EXPECT_TRUE(othersCanTake()) << "after the constructor";

  // The camera's recording, stopped by the user.
  ASSERT_TRUE(cam.StartRecording(folder.Path(L"a.avi")));
  EXPECT_TRUE(heldByTheCamera()) << "while recording";
  cam.StopRecording();
  EXPECT_TRUE(othersCanTake()) << "right after the stop";
  ASSERT_TRUE(base::PumpUntil([&] { return !cam.HasRecordThread(); }, 10000));

  // A recording that ends without a stop of the main thread (here its target folder is gone):
  // the keys go when its end reaches the main thread.
  ASSERT_TRUE(cam.StartRecording(folder.Path(L"missing\\a.avi")));
  EXPECT_TRUE(heldByTheCamera());
  ASSERT_TRUE(base::PumpUntil([&] { return !cam.HasRecordThread(); }, 10000));
  EXPECT_TRUE(othersCanTake()) << "after a recording that ended by itself";

  // A selection: the picker's CONTROL + RETURN (and the stop keys) while it shows.
  cam.SetScreenWidth(0);  // the confirmation then cancels the picker
  bool heldWhileShown = false;
  base::PostToMain([&] {
    heldWhileShown = heldByTheCamera();
    ::PostMessageW(cam.HotKeyWindow(), WM_HOTKEY, cam.HotKeyId(TScreenCamera::kSlotConfirm), 0);
  });
  const UINT_PTR watchdog = ::SetTimer(nullptr, 0, 4000, EscapeLater);
  EXPECT_FALSE(cam.SelectObjectRegion());
  ::KillTimer(nullptr, watchdog);
  EXPECT_TRUE(heldWhileShown) << "while the picker shows";
  EXPECT_TRUE(othersCanTake()) << "after the selection";

  // The host's recording.
  ASSERT_TRUE(cam.RegisterHotKeys(0, VK_ESCAPE, L"Esc"));
  EXPECT_TRUE(heldByTheCamera());
  cam.UnregisterHotKeys();
  EXPECT_TRUE(othersCanTake()) << "after the host's recording";
}

TEST(ScrCamHotKeys, WhatEachHotKeyDoes) {
  // Question 3 is answered Yes: the default compressor records.
  testsupport::ScriptedPrompter prompter({}, IDYES);
  base::ScopedPrompter scopedPrompter(prompter);
  scrcamNStest::ScratchFolder folder;
  StubHost host;
  TScreenCamera cam(&host);
  cam.ScreenRegion = ScrCam::TScreenRegion::FixedStable;
  cam.MinimizeAppOnStart = false;
  auto send = [&](int slot) {
    const WPARAM id = slot < 0 ? 0x1234 : cam.HotKeyId(slot);
    return ::SendMessageW(cam.HotKeyWindow(), WM_HOTKEY, id, 0);
  };
  auto waitIdle = [&] { return base::PumpUntil([&] { return !cam.HasRecordThread(); }, 5000); };

  // A stop key with sound stops the camera; without sound the host stops its own recording.
  for (int slot : {TScreenCamera::kSlotStop1, TScreenCamera::kSlotStop2}) {
    host.withSound = true;
    ScrCam::StopStatus = ScrCam::kStopNone;
    ASSERT_TRUE(cam.StartRecording(folder.Path(L"a.avi")));
    cam.PauseRecording();
    EXPECT_EQ(send(slot), 0);
    EXPECT_FALSE(cam.Recording) << "slot " << slot;
    EXPECT_FALSE(cam.Paused) << "slot " << slot;
    EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopUser) << "slot " << slot;
    EXPECT_EQ(host.stopAndRestore, 0) << "slot " << slot;
    ASSERT_TRUE(waitIdle());

    host.withSound = false;
    send(slot);
    EXPECT_EQ(host.stopAndRestore, 1) << "slot " << slot << ": no recording runs, and still the host is asked";
    host.stopAndRestore = 0;
  }

  // CONTROL + RETURN during a recording is a user stop.
  ScrCam::StopStatus = ScrCam::kStopError;
  ASSERT_TRUE(cam.StartRecording(folder.Path(L"a.avi")));
  cam.PauseRecording();
  send(TScreenCamera::kSlotConfirm);
  EXPECT_FALSE(cam.Recording);
  EXPECT_FALSE(cam.Paused);
  EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopUser);
  ASSERT_TRUE(waitIdle());

  // PAUSE toggles the pause with no recording running.
  send(TScreenCamera::kSlotPause);
  EXPECT_TRUE(cam.Paused);
  send(TScreenCamera::kSlotPause);
  EXPECT_FALSE(cam.Paused);

  // An id that is no slot's does nothing.
  EXPECT_EQ(send(-1), 0);
  EXPECT_FALSE(cam.Paused || cam.Recording);
  EXPECT_EQ(host.stopAndRestore, 0);
  EXPECT_EQ(::SendMessageW(cam.HotKeyWindow(), WM_USER + 5, 0, 0), 0);
}

void CALLBACK EscapeLater(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  ::PostThreadMessageW(::GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0);
}

// CONTROL + RETURN while the window picker shows: OK when the camera's rectangle has an
// area, Cancel when its width is 0.
TEST(ScrCamHotKeys, ControlReturnConfirmsThePicker) {
  testsupport::PatternWindow pattern;
  ASSERT_TRUE(pattern.Show(RECT{300, 300, 500, 450}));
  ::SetCursorPos(400, 380);
  StubHost host;
  TScreenCamera cam(&host);
  struct Case {
    int width;
    int result;
  } cases[] = {{300, IDOK}, {0, IDCANCEL}};
  for (const Case& c : cases) {
    cam.SetScreenWidth(c.width);
    scSelObjWnd::TSelObjWindow picker;
    scSelObjWnd::SelObjWindow = &picker;  // as the camera's selection shows it
    ::PostMessageW(cam.HotKeyWindow(), WM_HOTKEY, cam.HotKeyId(TScreenCamera::kSlotConfirm), 0);
    // Should the key not reach the picker, Esc ends it after a while, late enough to tell.
    const UINT_PTR watchdog = ::SetTimer(nullptr, 0, 4000, EscapeLater);
    const DWORD start = ::GetTickCount();
    const int result = picker.ShowModal();
    ::KillTimer(nullptr, watchdog);
    scSelObjWnd::SelObjWindow = nullptr;
    EXPECT_EQ(result, c.result) << "width " << c.width;
    EXPECT_LT(::GetTickCount() - start, 3000u) << "width " << c.width << ": the key did not end the picker";
    EXPECT_FALSE(picker.Tracking());
  }
  ::SetCursorPos(1910, 1070);
}

}  // namespace
