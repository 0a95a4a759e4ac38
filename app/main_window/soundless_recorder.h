// The sound-less recorder as the recording road sees it: full-screen starts over the work
// area of the main window's monitor, the stop, the options dialog, and the end of a recording
// reported to the main window as a posted message.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "app/main_window/recording_road.h"
#include "engine/soundless/scrcamNS.h"

namespace app {

class SoundlessRecorder : public RoadRecorder {
 public:
  // notify receives endMessage (wParam, lParam 0; nothing to free), posted from the recording
  // thread when a recording's frame loop has ended or the recording failed.
  SoundlessRecorder(scrcamNS::TScreenCamNS& camera, HWND notify, UINT endMessage);

  void StartFullScreen(HWND window, const std::wstring& path) override;
  void StartArea(HWND area, const std::wstring& path) override;
  void Stop() override;
  bool Recording() override;
  bool Finishing() override;
  bool Failed() override;
  // The current or last recording's file is saved (also after an error stop that kept its
  // frames); false after a failure that left no file. What the status line and the saved
  // balloon may name.
  bool Saved() override { return camera_.FileSaved(); }
  bool NothingRecorded() override { return camera_.FramesWritten() == 0; }
  void EditOptions(HWND owner) override;

  scrcamNS::TScreenCamNS& camera() { return camera_; }

 private:
  void Start(std::shared_ptr<scrcamNS::AreaSource> area, const std::wstring& path);

  scrcamNS::TScreenCamNS& camera_;
  // Shared with the event handlers, which run on the recording thread.
  struct Shared {
    HWND notify;
    UINT message;
    std::atomic<bool> failed{false};
  };
  std::shared_ptr<Shared> shared_;
};

}  // namespace app
