// TWaveAudioIO: the base of a waveform-audio device component. It owns what every device needs
// whatever its direction: the device id, the buffer length and count, the buffer headers, the
// way the device's notifications reach the component (a message-only window on the thread that
// opens it, or, with Async, a callback thread of its own), the lock under which every
// notification is handled and every state change is made, the events, and the error path.
//
// Threads and the lock. Open, Close, Pause and Resume hold the lock for their whole work; the
// notification handlers (and so OnActivate, OnLevel, OnWaveData, OnDeactivate and the
// recorder's writes) run under it on the callback thread (Async) or on the opening thread while
// it dispatches messages (window mode). The rule for every handler: it never waits for, or
// sends to, a thread that may call Stop, Pause, Resume or destroy the component; it may post.
// In window mode the component is opened, closed and destroyed on one thread, the one that
// owns its window; its notifications run only while that thread dispatches messages.
//
// Errors. A failed device call goes through CheckMMResult: OnError when assigned, else an
// EWaveAudioSysError with the platform's text. An exception that leaves a notification handler
// is caught by the dispatcher after the buffer was dealt with and shown through the prompter on
// the main thread (posted; the callback thread never blocks on a report).
//
// Waits for a close end after 2 x BufferLength + 5 s: then the component closes the device
// itself, ends its thread, runs the close steps and reports MMSYSERR_ERROR. A buffer header the
// device has not given back is never freed or queued again.
//
// The most-derived destructor must call ShutDown() first: the close steps call overridden
// operations, which are gone once the derived part is.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/scWaveUtils.h"
#include "base/unique.h"
#include "base/window.h"

namespace audio {

class TWaveAudioIO;

using TWaveAudioEvent = std::function<void(TWaveAudioIO* sender)>;
using TWaveAudioLevelEvent = std::function<void(TWaveAudioIO* sender, int level)>;
using TWaveAudioDataEvent = std::function<void(TWaveAudioIO* sender, const void* buffer, uint32_t size)>;

constexpr uint16_t kMinBufferLength = 10;  // milliseconds
// Added to twice the buffer length for the longest wait for a close.
constexpr DWORD kCloseGraceMs = 5000;
// The longest wait for a new callback thread to make its message queue.
constexpr DWORD kThreadReadyMs = 5000;

class TWaveAudioIO {
 public:
  TWaveAudioIO();
  virtual ~TWaveAudioIO();
  TWaveAudioIO(const TWaveAudioIO&) = delete;
  TWaveAudioIO& operator=(const TWaveAudioIO&) = delete;

  // ---- properties
  bool Async() const noexcept { return async_; }
  void SetAsync(bool value);  // ignored while Active
  UINT DeviceID() const noexcept { return deviceId_; }
  void SetDeviceID(UINT id) noexcept { deviceId_ = id; }
  uint16_t BufferLength() const noexcept { return bufferLength_; }
  void SetBufferLength(uint16_t ms) noexcept;  // below 10 becomes 10
  uint16_t BufferCount() const noexcept { return bufferCount_; }
  void SetBufferCount(uint16_t count) noexcept { bufferCount_ = count; }
  MMRESULT LastError() const noexcept { return lastError_; }
  // True from the moment Open makes the callback until the close has been handled.
  bool Active() const noexcept { return callbackAlive_; }
  virtual void SetActive(bool value);
  virtual bool Paused() const = 0;
  void SetPaused(bool value);

  // ---- events
  TWaveAudioEvent OnActivate, OnDeactivate, OnPause, OnResume, OnError;
  TWaveAudioLevelEvent OnLevel;
  TWaveAudioDataEvent OnWaveData;

  // ---- device operations
  virtual UINT GetNumDevs() = 0;
  virtual std::wstring GetDeviceName() = 0;
  virtual uint32_t GetDeviceFormats() = 0;  // bit n: TPCMFormat n
  virtual uint32_t GetPosition() = 0;       // milliseconds
  virtual std::wstring GetErrorText(MMRESULT code) = 0;
  virtual MMRESULT ValidateDeviceID(UINT id) = 0;
  virtual bool IsFormatSupported(const WAVEFORMATEX* format) = 0;
  bool IsPCMFormatSupported(TPCMFormat pcm);
  virtual bool Open() = 0;
  virtual bool Close() = 0;
  virtual bool Pause() = 0;
  virtual bool Resume() = 0;

  bool CheckMMResult(MMRESULT code);
  std::wstring LastErrorText() { return GetErrorText(lastError_); }
  uint32_t BufferBytes() const;
  size_t BufferListCount() const;
  uint32_t MMTimeToMs(const MMTIME& time) const;

  // Waits (bounded) until a close in progress has been handled and the callback thread ended;
  // past the bound the component closes the device itself. True when nothing had to be forced.
  bool WaitUntilClosed();
  // The bound of the wait for a close.
  DWORD CloseWaitLimitMs() const noexcept { return 2u * bufferLength_ + kCloseGraceMs; }

 protected:
  // The destructors' first step: no more level, data or deactivation events; the device is
  // closed and the close waited for (bounded). Safe to call again.
  void ShutDown() noexcept;

  using Lock = std::unique_lock<std::recursive_mutex>;
  Lock TakeLock() { return Lock(lock_); }

  // Notification handlers, called by DispatchWaveMessage under the lock.
  virtual void WaveInOpened() { AfterOpen(); }
  virtual void WaveInClosed() { AfterClose(); }
  virtual void WaveInData(WAVEHDR* /*header*/) {}
  // The wave-out side of the same table: the open and close reports end as for wave-in; a
  // played buffer needs nothing here (no component of this library plays sound).
  virtual void WaveOutOpened() { AfterOpen(); }
  virtual void WaveOutClosed() { AfterClose(); }
  virtual void WaveOutDone(WAVEHDR* /*header*/) {}

  virtual bool HasHandle() const = 0;
  virtual void QueueBuffers() = 0;
  // The format to open with; the result is 0 or the code to report. freeIt: the caller frees
  // format with std::free.
  virtual MMRESULT GetWaveFormat(WAVEFORMATEX*& format, bool& freeIt) = 0;
  // Closes the device handle without waiting for anything; the component's own close path
  // after the wait for the device's report ran out.
  virtual void ForceDeviceClosed() = 0;

  // Grows, shrinks or frees a header (size 0) and its block; data nullptr: the component's
  // own block. The header is added to the buffer list when made.
  bool ResizeBuffer(WAVEHDR*& header, uint32_t size, void* data);
  // Frees every header the device has given back; one still queued at the device is only
  // forgotten (left allocated), since the device may still write into it.
  void FreeBuffers();
  void RemoveFromList(WAVEHDR* header);

  // Open holds the lock for its whole work: taking it waits until the open is done, with no
  // spinning and no wait on another thread while holding anything.
  void WaitWhileOpening() { TakeLock(); }
  bool CreateCallback();
  void DestroyCallback();
  bool DispatchWaveMessage(UINT msg, LPARAM param);

  void AfterOpen();
  void AfterClose();
  virtual void DoActivate();
  virtual void DoDeactivate();
  virtual void DoPause();
  virtual void DoResume();
  virtual void DoError();
  virtual void DoLevel(const void* buffer, uint32_t size);
  virtual void DoWaveData(const void* buffer, uint32_t size);

  // Reports an exception that cannot travel further: posted to the main thread's prompter,
  // else written to the debug output. Never throws, never blocks.
  static void ReportLater(const std::exception* e) noexcept;
  // OnError when assigned, else ReportLater with LastErrorText. For paths that must not throw.
  void ReportQuietly() noexcept;

  DWORD_PTR CallbackHandle() const noexcept { return callbackHandle_; }
  DWORD CallbackKind() const noexcept { return callbackKind_; }
  bool Destroying() const noexcept { return destroying_; }
  void SetDestroying() noexcept { destroying_ = true; }

  std::atomic<bool> opening_{false};
  std::atomic<bool> closing_{false};
  WAVEFORMATEX deviceFormat_{};  // the first 16 bytes of the format the device was opened with
  std::vector<WAVEHDR*> buffers_;

 private:
  class CallbackWindow : public base::Window {
   public:
    explicit CallbackWindow(TWaveAudioIO& owner) : owner_(owner) {}

   protected:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

   private:
    TWaveAudioIO& owner_;
  };
  static unsigned __stdcall ThreadMain(void* self);
  void ThreadLoop();
  // Pumps this thread's messages (window mode) until the close was handled or the time is up.
  bool PumpUntilClosed(DWORD limitMs);
  // The close steps the device did not report: device closed, WaveInClosed run, thread ended.
  void ForceClose();
  // Waits for the callback thread to end and lets go of its handle.
  bool JoinThread(DWORD limitMs);

  std::atomic<bool> async_{false};
  UINT deviceId_ = WAVE_MAPPER;
  std::atomic<MMRESULT> lastError_{MMSYSERR_NOERROR};
  uint16_t bufferLength_ = 1000;
  uint16_t bufferCount_ = 2;
  std::atomic<bool> destroying_{false};
  std::atomic<bool> callbackAlive_{false};
  DWORD_PTR callbackHandle_ = 0;  // the window or the thread id
  DWORD callbackKind_ = CALLBACK_WINDOW;
  std::unique_ptr<CallbackWindow> window_;
  base::UniqueHandle thread_;  // joined by WaitUntilClosed / ShutDown
  std::atomic<DWORD> threadId_{0};
  base::UniqueHandle ready_;  // set by the thread once its message queue exists
  std::recursive_mutex lock_;
};

}  // namespace audio
