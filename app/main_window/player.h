// The embedded media player: one MCI "avivideo" device that draws a recording into a window of
// the main window's playback tab, and the playback surface built on it.
//
// Main thread only: the device is opened, driven and closed by the thread that owns the display
// window. Every MCI call goes through command structures (mciSendCommandW), never command strings,
// so a path with blanks or quotes needs no quoting.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <optional>
#include <string>

#include "base/unique.h"

namespace app {

// The module of the "avivideo" device.
inline constexpr wchar_t kAviDeviceModule[] = L"mciavi32.dll";

// The workaround for Wine's AVI device crash: the device plays on a thread it makes inside the
// play command, and that thread still draws for a moment after a stop has returned; a close at
// that moment frees what it draws with, and the process crashes. So the player finds that
// thread when it starts a play, and Stop and Close wait for it to end (at most 3 s) before they
// go on. The thread is known by two marks: it appeared during the play command, and it
// started in the device's own module. (A waiting play on a thread of the player's own is no
// way out: a device answers only the thread that opened it.)
//
// True when the thread of this process with this id started in the AVI device's module.
bool IsAviDevicePlayThread(DWORD threadId);

// One open-or-closed MCI digital-video device. The device holds its file open (it cannot be
// renamed or deleted meanwhile) until Close or destruction. A path with characters outside
// ASCII is opened by its short name.
class MciPlayer {
 public:
  MciPlayer() = default;
  ~MciPlayer();
  MciPlayer(const MciPlayer&) = delete;
  MciPlayer& operator=(const MciPlayer&) = delete;

  // Closes the current device, then opens path as an "avivideo" device that draws into display
  // (nullptr: the device's own window). False (and closed) when the device refuses the file.
  bool Open(const std::wstring& path, HWND display);
  // Closes the device, if one is open. Safe to call at any time.
  void Close() noexcept;
  bool IsOpen() const noexcept { return device_ != 0; }
  const std::wstring& FileName() const noexcept { return fileName_; }

  // MCI_MODE_PLAY, MCI_MODE_PAUSE, MCI_MODE_STOP ... of the open device; nothing without one.
  std::optional<DWORD> Mode() const noexcept;
  bool IsPlaying() const noexcept;

  // Plays from the current position; at the end of the recording, from its start again.
  bool Play() noexcept;
  bool Pause() noexcept;
  bool Stop() noexcept;

  // The rectangle of the display window that the video is drawn into (left, top, right,
  // bottom). Right after opening it is (0, 0, frame width, frame height).
  std::optional<RECT> DisplayRect() const noexcept;
  bool SetDisplayRect(const RECT& r) noexcept;

  // Position and length in the device's time format (frames).
  std::optional<DWORD> Position() const noexcept;
  std::optional<DWORD> Length() const noexcept;

  // The device's play thread found by the last Play while it has not been waited for (0: none).
  DWORD PlayThreadId() const noexcept { return playThreadId_; }

 private:
  std::optional<DWORD> Status(DWORD item) const noexcept;
  // Waits for the play thread to end (the device has stopped, paused or reached its end).
  void JoinPlayThread() noexcept;

  MCIDEVICEID device_ = 0;
  base::UniqueHandle playThread_;
  DWORD playThreadId_ = 0;
  std::wstring fileName_;
};

// The playback surface: the player, the window it draws into (the video surface, a child of
// the playback area) and the playback area itself. The surface is sized to the video on every
// PlayFile and stretched over the area for the full-screen view.
class Playback {
 public:
  Playback() = default;
  // surface: the window the video is drawn into; area: its parent, the playback area.
  void Attach(HWND surface, HWND area) noexcept;

  // Plays the recording at path from its start, shown at its own size at the top-left corner of
  // the area. Nothing when the file does not exist; a device that refuses the file leaves the
  // player closed. The previous device is always closed first, so no earlier recording stays
  // locked. True when the recording plays.
  bool PlayFile(const std::wstring& path);

  // With an open device: stop it, then close it (also when the stop fails: an open device
  // keeps the file locked).
  void ClosePlayer() noexcept;
  // Stops the device when it plays, then closes it, whatever the stop gave.
  void ReleasePlayer() noexcept;

  // The frame size of the recording last opened (0 x 0 before any).
  SIZE VideoSize() const noexcept { return videoSize_; }

  // Full-screen view on: the surface covers the whole area and the video is stretched over it.
  // Off: the surface and the video go back to the video's own size at the top-left corner.
  void SetStretched(bool on) noexcept;

  MciPlayer& player() noexcept { return player_; }
  const MciPlayer& player() const noexcept { return player_; }
  HWND surface() const noexcept { return surface_; }
  HWND area() const noexcept { return area_; }

 private:
  void PlaceSurface(int width, int height) noexcept;
  void ShowVideoOverSurface() noexcept;

  MciPlayer player_;
  HWND surface_ = nullptr;
  HWND area_ = nullptr;
  SIZE videoSize_{};
};

}  // namespace app
