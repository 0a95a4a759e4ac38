// The options dialog of the sound-less recorder: the compressor with its About and Configure
// dialogs, the compression quality, the key-frame period, the capture interval and the
// playback frame rate. EditCameraOptions loads the dialog from the recorder, shows it modally
// and writes the values back only when the user confirms.
#pragma once

#include <windows.h>

#include <string>
#include <type_traits>

namespace app {

// A whole number written in decimal (blanks around it allowed); false for anything else.
bool ParseWholeNumber(const std::wstring& text, int& value);

// The track bar scales: the record bar spans 1 ms (position 1) to 60000 ms (position 1000)
// logarithmically, the playback bar 1 to 50 frames per second linearly (positions 1 to 1000),
// the quality bar 0 to 100 for qualities 0 to 10000. Positions are clamped to the bars.
inline constexpr int kFrameBarMax = 1000;
inline constexpr int kQualityBarMax = 100;
int IntervalToPosition(int intervalMs);
int PositionToInterval(int position);
int RateToPosition(int fps);
int PositionToRate(int position);
int QualityToPosition(int quality);
int PositionToQuality(int position);

// The key-frame period typed into edit: true with frames set for a whole number >= 0; for
// anything else "请输入一个整数" is shown over dialog, the edit gets the focus and frames stays.
bool ReadKeyFramePeriod(HWND dialog, HWND edit, int& frames);

// What the dialog reads and writes; CameraOptionsOf adapts the sound-less recorder to it.
class CameraOptionsTarget {
 public:
  virtual ~CameraOptionsTarget() = default;
  virtual int CompressorCount() = 0;
  virtual std::wstring CompressorDescription(int index) = 0;
  virtual void CompressorAbout(BYTE index, HWND parent) = 0;
  virtual void CompressorConfigure(BYTE index, HWND parent) = 0;
  virtual void CompressorFeatures(BYTE index, bool& hasAbout, bool& hasConfigure) = 0;
  virtual int CompressorIndex() = 0;
  virtual void SetCompressorIndex(int index) = 0;
  virtual int Quality() = 0;
  virtual void SetQuality(int quality) = 0;
  virtual int KeyFrameEvery() = 0;
  virtual void SetKeyFrameEvery(int frames) = 0;
  virtual int CaptureInterval() = 0;
  virtual void SetCaptureInterval(int ms) = 0;
  virtual int FrameRate() = 0;
  virtual void SetFrameRate(int fps) = 0;
};

template <class Camera>
class CameraOptionsOf : public CameraOptionsTarget {
 public:
  explicit CameraOptionsOf(Camera& camera) : camera_(camera) {}
  int CompressorCount() override { return camera_.CompressorCount(); }
  std::wstring CompressorDescription(int index) override {
    const auto& info = camera_.Compressor(index);
    // The description is a fixed field of at most 128 characters; read it with that bound.
    size_t length = 0;
    while (length < sizeof info.szDescription / sizeof info.szDescription[0] && info.szDescription[length])
      ++length;
    return std::wstring(info.szDescription, length);
  }
  void CompressorAbout(BYTE index, HWND parent) override { camera_.CompressorAbout(index, parent); }
  void CompressorConfigure(BYTE index, HWND parent) override { camera_.CompressorConfigure(index, parent); }
  void CompressorFeatures(BYTE index, bool& hasAbout, bool& hasConfigure) override {
    camera_.CompressorFeatures(index, hasAbout, hasConfigure);
  }
  int CompressorIndex() override { return camera_.CompressorIndex(); }
  void SetCompressorIndex(int index) override { camera_.SetCompressorIndex(index); }
  int Quality() override { return camera_.Quality(); }
  void SetQuality(int quality) override { camera_.SetQuality(quality); }
  int KeyFrameEvery() override { return camera_.KeyFrameEvery(); }
  void SetKeyFrameEvery(int frames) override { camera_.SetKeyFrameEvery(frames); }
  int CaptureInterval() override { return camera_.CaptureInterval(); }
  void SetCaptureInterval(int ms) override { camera_.SetCaptureInterval(ms); }
  int FrameRate() override { return camera_.FrameRate(); }
  void SetFrameRate(int fps) override { camera_.SetFrameRate(fps); }

 private:
  Camera& camera_;
};

// Shows the options dialog (created on first use, owned by owner) over target; IDOK when the
// values were written back, IDCANCEL when nothing changed.
int EditCameraOptions(CameraOptionsTarget& target, HWND owner);

template <class Camera>
  requires(!std::is_base_of_v<CameraOptionsTarget, Camera>)
int EditCameraOptions(Camera& camera, HWND owner) {
  CameraOptionsOf<Camera> target(camera);
  return EditCameraOptions(static_cast<CameraOptionsTarget&>(target), owner);
}

// The dialog, once it exists (for tests).
HWND OptionDialogWindow();

}  // namespace app
