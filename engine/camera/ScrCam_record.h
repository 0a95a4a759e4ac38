// The screen camera's record thread state, shared by the camera's life (which starts the
// thread and takes the settings) and the recording routine. Internal to the engine.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/scWaveRecorders.h"
#include "base/seams.h"
#include "base/thread.h"
#include "engine/camera/ScrCam.h"

namespace ScrCam {

// The sound recorder of one recording; it also notes when its device first started, which with
// its head gap places the first recorded sound against the frame loop's clock.
class CameraAudioRecorder final : public audio::TStockAudioRecorder {
 public:
  ~CameraAudioRecorder() override { ShutDown(); }
  // False while the device has not started.
  bool StartedAt(uint32_t& at) const {
    at = startedAt_.load();
    return started_.load();
  }

 protected:
  void DeviceStarted() override {
    TStockAudioRecorder::DeviceStarted();
    if (!started_.load()) {
      startedAt_ = base::NowMs();
      started_ = true;
    }
  }

 private:
  std::atomic<bool> started_{false};
  std::atomic<uint32_t> startedAt_{0};
};

// What a recording keeps from the camera's settings when it starts (decided on the main thread,
// read only by the record thread). The rectangle's origin, the effects, the cursor, the
// overlay, FilterColor and AutoStop stay live.
struct RecordSettings {
  std::wstring target;
  HWND messageOwner = nullptr;
  bool useAudio = false;
  audio::TPCMFormat pcmFormat = audio::Mono16bit8000Hz;
  int recordMspf = 5;
  int playBackFps = 200;
  int keyFramesEvery = 20;
  int quality = 10000;
  engine::TPixelFormat colors = engine::TPixelFormat::pf32bit;
  int bits = 32;
  bool hasCompressor = false;  // SelectedCompressor named an entry of Compressors
  ICINFO compressor{};
  DWORD defaultFourCC = kDefaultFourCC;
  bool restoreApp = true;
  RecordProbe* probe = nullptr;
};

// A line for a message about a file at path: "\r\n" and the words that its folder refuses
// writing (read-only, or no rights), when it does; empty otherwise (a full disk included).
std::wstring WriteRefusalLine(const std::wstring& path);

// Moves the wave's start by offsetMs: silence in front when positive, the head cut when
// negative. False when the wave could not be rewritten (it is left as it was).
bool AlignWaveStart(const std::wstring& wavePath, int32_t offsetMs);

struct TScreenCamera::TRecordAVIThread {
  uint64_t serial = 0;
  std::weak_ptr<TScreenCamera*> alive;
  base::Thread worker;
  RecordSettings settings;
  // Record thread: the compressor in use, and whether the user agreed to the default one.
  DWORD fourcc = kDefaultFourCC;
  bool useDefault = false;
};

}  // namespace ScrCam
