// TWaveAudioIn: the wave-in device on top of TWaveAudioIO. It opens the input in a PCM format
// (or one that OnFormat hands in), keeps a ring of BufferCount buffers of BufferLength ms
// queued, hands every filled buffer to OnLevel, OnWaveData and ProcessData, and closes the
// device in order: a reset returns every buffer, the last one that comes back closes the
// device, and the close report ends the recording.
#pragma once

#include "audio/scWaveIO.h"

namespace audio {

class TWaveAudioIn : public TWaveAudioIO {
 public:
  // format: a record the handler fills in; freeIt True: the record is freed with std::free
  // once the device is open (or refused).
  using TWaveAudioGetFormatEvent = std::function<void(TWaveAudioIO* sender, WAVEFORMATEX*& format, bool& freeIt)>;

  TWaveAudioIn() = default;
  ~TWaveAudioIn() override;

  TPCMFormat PCMFormat() const noexcept { return pcmFormat_; }
  // Throws EWaveAudioInvalidOperation for a change while the device is open and
  // std::out_of_range for a value outside the list.
  void SetPCMFormat(TPCMFormat value);
  TWaveAudioGetFormatEvent OnFormat;

  HWAVEIN Handle() const noexcept { return handle_; }
  bool Paused() const override { return paused_; }

  UINT GetNumDevs() override;
  std::wstring GetDeviceName() override;
  uint32_t GetDeviceFormats() override;
  uint32_t GetPosition() override;
  std::wstring GetErrorText(MMRESULT code) override;
  MMRESULT ValidateDeviceID(UINT id) override;
  bool IsFormatSupported(const WAVEFORMATEX* format) override;
  bool Open() override;
  bool Close() override;
  bool Pause() override;
  bool Resume() override;

  // Queues a caller's block; ownIt: the block is freed (std::free) with its header.
  bool QueueDataBlock(void* data, uint32_t size, bool ownIt);

 protected:
  void WaveInOpened() override;
  void WaveInClosed() override;
  void WaveInData(WAVEHDR* header) override;
  bool HasHandle() const override { return handle_ != nullptr; }
  void QueueBuffers() override;
  MMRESULT GetWaveFormat(WAVEFORMATEX*& format, bool& freeIt) override;
  void ForceDeviceClosed() override;

  virtual bool AddBuffer(WAVEHDR* header);
  // Each filled buffer, on the callback thread under the lock. Clearing keep hands the block
  // to the handler: it is then neither reused nor freed by the component.
  virtual void ProcessData(void* /*buffer*/, uint32_t /*size*/, bool& /*keep*/) {}
  // The device was started (at the open report, or by Resume when it was opened paused).
  virtual void DeviceStarted() {}

  // The two device calls a test can stand in for; everything else goes to the platform.
  virtual MMRESULT DeviceOpen(HWAVEIN* handle, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD flags);
  virtual MMRESULT DeviceClose(HWAVEIN handle);

 private:
  std::atomic<HWAVEIN> handle_{nullptr};
  std::atomic<bool> paused_{false};
  std::atomic<TPCMFormat> pcmFormat_{Mono16bit8000Hz};
};

}  // namespace audio
