// The defaults of the audio/video options, as the dialog's own apply would leave them in a
// fresh camera: the dialog lists the compressors and selects the first, shows the quality in
// steps of 1000, ticks "录制声音" and writes everything back. The dialog's frame-rate bars
// hold the camera's own capture interval and playback rate, so those come back unchanged.
#include "app/optdlgws.h"

#include "base/barrier.h"

namespace app {

namespace {

// The sound format the dialog shows when the camera has none chosen yet: the third of the
// listed PCM formats (8000 Hz, mono, 16 bits).
constexpr int kFirstAudioFormat = 2;

}  // namespace

bool AVOptionDefaults::Apply(ScrCam::TScreenCamera& camera) {
  if (applied_) return false;
  return base::GuardVoid("ApplyDefaultAVOptions", [&] {
    const bool anyCompressor = !camera.GetVideoCompressors().empty();
    camera.SelectedCompressor = anyCompressor ? 0 : -1;
    // The quality bar's position 0 writes 0, which the camera's setter refuses.
    camera.SetCompressionQuality(camera.CompressionQuality() / 1000 * 1000);
    camera.UseAudioRecord = true;
    if (camera.SelectedAudioFormat < 0) camera.SelectedAudioFormat = kFirstAudioFormat;
    applied_ = true;
  });
}

AVOptionDefaults& RunAVOptionDefaults() {
  static AVOptionDefaults defaults;
  return defaults;
}

}  // namespace app
