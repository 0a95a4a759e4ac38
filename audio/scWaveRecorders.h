// TStockAudioRecorder: the wave-in device that records into a RIFF WAVE. RecordToFile or
// RecordToStream writes the header before the device is opened, every filled buffer is
// appended on the callback thread, and the close report finishes the wave (sizes patched,
// stream cut after the data). Destroying the recorder closes the device and waits (bounded)
// until the wave is complete.
//
// The wave holds what the device delivered. Under Wine the first 0.4 to 2 s after the start
// are never delivered; the recorder measures that loss instead of filling it (the caller aligns
// the track): HeadGapMs is the time from the device's start to the first delivered sound.
#pragma once

#include <memory>

#include "audio/scWaveIn.h"
#include "audio/scWaveStorage.h"

namespace audio {

class TStockAudioRecorder : public TWaveAudioIn {
 public:
  TStockAudioRecorder() = default;
  ~TStockAudioRecorder() override;

  // A storage that is gone reads as none; one being recorded into is kept until the close.
  std::shared_ptr<TCustomWaveStorage> Stock() const { return stock_.lock(); }
  void SetStock(std::weak_ptr<TCustomWaveStorage> stock) { stock_ = std::move(stock); }

  // Finishes a recording in progress first. True when the device is being opened; the
  // recording starts when the device reports the open. With soOwned the stream is freed when
  // the recording ends (also when it does not start).
  bool RecordToStream(TStream* stream, TStreamOwnership ownership);
  // Creates (or empties) fileName; EFCreateError when it cannot.
  bool RecordToFile(const std::wstring& fileName);
  // Throws EWaveAudioInvalidOperation when no Stock is assigned.
  bool RecordToStock();
  bool Stop() { return Close(); }
  void SetActive(bool value) override;

  // The head gap of the last recording in ms (elapsed time from the start to the first
  // delivered buffer less that buffer's duration, or to the close when nothing came), once
  // known; -1 before.
  int32_t HeadGapMs() const noexcept { return headGapMs_; }
  // True once a buffer could not be written whole: nothing more is appended.
  bool WriteFailed() const noexcept { return writeFailed_; }

 protected:
  MMRESULT GetWaveFormat(WAVEFORMATEX*& format, bool& freeIt) override;
  void ProcessData(void* buffer, uint32_t size, bool& keep) override;
  void WaveInClosed() override;
  void DoError() override;
  void DeviceStarted() override;

 private:
  // Closes a recording in progress and waits until its wave is complete.
  void FinishPrevious();
  // Finishes and lets go of the wave (under the lock).
  void FinishWave();
  void NoteHeadGap(uint32_t deliveredMs);

  std::unique_ptr<TWaveStreamAdapter> wave_;
  std::weak_ptr<TCustomWaveStorage> stock_;
  std::shared_ptr<TCustomWaveStorage> recordingStock_;
  std::atomic<bool> writeFailed_{false};
  bool started_ = false;  // under the lock
  uint32_t startMs_ = 0;
  std::atomic<int32_t> headGapMs_{-1};
};

}  // namespace audio
