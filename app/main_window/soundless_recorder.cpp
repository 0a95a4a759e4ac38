// The bridge between the recording road and TScreenCamNS. The recorder's events run on its
// recording thread: they only set a flag and post a message, and the main thread does the rest.
// They hold the shared state, not this object, so a late event after this bridge is gone is
// harmless (a post to a destroyed window just fails).
#include "app/main_window/soundless_recorder.h"

#include "app/dialogs/optdlg.h"

namespace app {

SoundlessRecorder::SoundlessRecorder(scrcamNS::TScreenCamNS& camera, HWND notify, UINT endMessage)
    : camera_(camera), shared_(std::make_shared<Shared>()) {
  shared_->notify = notify;
  shared_->message = endMessage;
  std::shared_ptr<Shared> shared = shared_;
  camera_.OnStop = [shared](scrcamNS::TScreenCamNS&) { ::PostMessageW(shared->notify, shared->message, 0, 0); };
  camera_.OnError = [shared](scrcamNS::TScreenCamNS&) {
    shared->failed = true;
    ::PostMessageW(shared->notify, shared->message, 0, 0);
  };
}

void SoundlessRecorder::StartFullScreen(HWND window, const std::wstring& path) {
  // The area is read now, while the window still stands where it is shown.
  Start(scrcamNS::MakeWorkAreaSource(window), path);
}

void SoundlessRecorder::StartArea(HWND area, const std::wstring& path) {
  // The area window's rectangle, read at every grab: the recording follows the window.
  Start(scrcamNS::MakeWindowRectSource(area), path);
}

void SoundlessRecorder::Start(std::shared_ptr<scrcamNS::AreaSource> area, const std::wstring& path) {
  shared_->failed = false;
  camera_.SetShowFlashFrame(true);
  camera_.SetFollowAreaControl(true);
  camera_.StartRecording(std::move(area), path);
}

void SoundlessRecorder::Stop() { camera_.StopRecording(); }

bool SoundlessRecorder::Recording() { return camera_.Recording(); }

bool SoundlessRecorder::Finishing() { return camera_.HasRecordThread(); }

bool SoundlessRecorder::Failed() { return shared_->failed.load(); }

void SoundlessRecorder::EditOptions(HWND owner) {
  camera_.RefreshCompressors();
  EditCameraOptions(camera_, owner);
}

}  // namespace app
