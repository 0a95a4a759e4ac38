// The stock recorder: a wave-in device whose processing step appends each buffer to a wave
// written through TWaveStreamAdapter, and whose close report finishes that wave.
#include "audio/scWaveRecorders.h"

#include <cstdlib>

#include "base/seams.h"

namespace audio {

TStockAudioRecorder::~TStockAudioRecorder() {
  // Here, not in a base: the close steps finish the wave, which goes with this part.
  ShutDown();
  auto lock = TakeLock();
  if (wave_) FinishWave();
}

void TStockAudioRecorder::FinishPrevious() {
  if (Active()) SetActive(false);
  WaitUntilClosed();
}

bool TStockAudioRecorder::RecordToStream(TStream* stream, TStreamOwnership ownership) {
  std::unique_ptr<TStream> owned(ownership == soOwned ? stream : nullptr);
  FinishPrevious();
  {
    auto lock = TakeLock();
    wave_ = std::make_unique<TWaveStreamAdapter>(stream, ownership);
    owned.release();
    writeFailed_ = false;
    started_ = false;
    headGapMs_ = -1;
  }
  bool opened = false;
  try {
    opened = Open();
  } catch (...) {
    auto lock = TakeLock();
    if (wave_) FinishWave();
    recordingStock_.reset();
    throw;
  }
  if (!opened) {
    auto lock = TakeLock();
    if (wave_) FinishWave();
    recordingStock_.reset();
  }
  return opened;
}

bool TStockAudioRecorder::RecordToFile(const std::wstring& fileName) {
  // The previous wave is complete before this file is made (it may be the same file).
  FinishPrevious();
  auto stream = std::make_unique<TFileStream>(fileName, fmCreate);
  return RecordToStream(stream.release(), soOwned);
}

bool TStockAudioRecorder::RecordToStock() {
  std::shared_ptr<TCustomWaveStorage> stock = stock_.lock();
  if (!stock) throw EWaveAudioInvalidOperation(kStockNotAssignedText);
  FinishPrevious();
  recordingStock_ = stock;
  return RecordToStream(stock->GetWaveStream(false), soReference);
}

void TStockAudioRecorder::SetActive(bool value) {
  if (value == Active()) return;
  if (value)
    RecordToStock();
  else
    Stop();
}

MMRESULT TStockAudioRecorder::GetWaveFormat(WAVEFORMATEX*& format, bool& freeIt) {
  const MMRESULT result = TWaveAudioIn::GetWaveFormat(format, freeIt);
  if (result != MMSYSERR_NOERROR || !wave_) return result;
  // The header goes out before the device is opened; a stream that refuses it fails the open.
  if (!wave_->StartWriting(*format)) {
    if (freeIt) std::free(format);
    format = nullptr;
    return MMSYSERR_ERROR;
  }
  return MMSYSERR_NOERROR;
}

void TStockAudioRecorder::DeviceStarted() {
  if (started_) return;
  started_ = true;
  startMs_ = base::NowMs();
}

void TStockAudioRecorder::NoteHeadGap(uint32_t deliveredMs) {
  if (headGapMs_ >= 0 || !started_) return;
  const int32_t elapsed = int32_t(base::NowMs() - startMs_);
  headGapMs_ = elapsed > int32_t(deliveredMs) ? elapsed - int32_t(deliveredMs) : 0;
}

void TStockAudioRecorder::ProcessData(void* buffer, uint32_t size, bool& /*keep*/) {
  NoteHeadGap(BytesToMs(deviceFormat_, size));
  // After one short write nothing more is appended: a hole would put the later sound out of
  // step with the picture. The wave is finished on close with what was written.
  if (!wave_ || writeFailed_) return;
  const int32_t written = wave_->WriteData(buffer, int32_t(size));
  if (written < int32_t(size)) {
    writeFailed_ = true;
    CheckMMResult(MMSYSERR_ERROR);
  }
}

void TStockAudioRecorder::FinishWave() {
  NoteHeadGap(0);
  wave_->FinishWriting();
  wave_.reset();
  recordingStock_.reset();
}

void TStockAudioRecorder::WaveInClosed() {
  if (wave_) FinishWave();
  TWaveAudioIn::WaveInClosed();
}

void TStockAudioRecorder::DoError() {
  // With no callback no close will be reported: the wave is finished here.
  if (!Active() && wave_) FinishWave();
  TWaveAudioIn::DoError();
}

}  // namespace audio
