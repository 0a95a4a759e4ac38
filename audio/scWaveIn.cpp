// The wave-in device: opening with the query first, the ring of buffers, each filled buffer's
// way through the level, data and processing steps, and the orderly close.
#include "audio/scWaveIn.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>

namespace audio {

TWaveAudioIn::~TWaveAudioIn() { ShutDown(); }

void TWaveAudioIn::SetPCMFormat(TPCMFormat value) {
  if (value > Stereo16bit48000Hz) throw std::out_of_range("PCM format out of range");
  if (value == pcmFormat_) return;
  if (HasHandle()) throw EWaveAudioInvalidOperation(kFormatChangeWhileOpenText);
  pcmFormat_ = value;
}

// ---- device queries

UINT TWaveAudioIn::GetNumDevs() { return ::waveInGetNumDevs(); }

std::wstring TWaveAudioIn::GetDeviceName() {
  WAVEINCAPSW caps{};
  if (::waveInGetDevCapsW(DeviceID(), &caps, sizeof caps) != MMSYSERR_NOERROR) return L"";
  caps.szPname[MAXPNAMELEN - 1] = 0;
  return caps.szPname;
}

uint32_t TWaveAudioIn::GetDeviceFormats() {
  WAVEINCAPSW caps{};
  if (::waveInGetDevCapsW(DeviceID(), &caps, sizeof caps) != MMSYSERR_NOERROR) return 0;
  // The 8000 Hz formats always; capability bits 0..11 (WAVE_FORMAT_1M08 .. WAVE_FORMAT_4S16)
  // are the ordinals 5..16; the capabilities know nothing of 48000 Hz.
  uint32_t set = 0;
  for (int pcm = Mono8Bit8000Hz; pcm <= Stereo16bit8000Hz; ++pcm) set |= 1u << pcm;
  for (int bit = 0; bit < 12; ++bit)
    if (caps.dwFormats & (1u << bit)) set |= 1u << (Mono8bit11025Hz + bit);
  return set;
}

uint32_t TWaveAudioIn::GetPosition() {
  MMTIME time{};
  time.wType = TIME_MS;
  if (::waveInGetPosition(handle_, &time, sizeof time) != MMSYSERR_NOERROR) return 0;
  return MMTimeToMs(time);
}

std::wstring TWaveAudioIn::GetErrorText(MMRESULT code) {
  wchar_t text[256] = {};
  if (::waveInGetErrorTextW(code, text, 256) != MMSYSERR_NOERROR) return L"";
  return text;
}

MMRESULT TWaveAudioIn::ValidateDeviceID(UINT id) {
  WAVEINCAPSW caps{};
  return ::waveInGetDevCapsW(id, &caps, sizeof caps);
}

bool TWaveAudioIn::IsFormatSupported(const WAVEFORMATEX* format) {
  return DeviceOpen(nullptr, format, 0, WAVE_FORMAT_QUERY) == MMSYSERR_NOERROR;
}

MMRESULT TWaveAudioIn::DeviceOpen(HWAVEIN* handle, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD flags) {
  return ::waveInOpen(handle, DeviceID(), format, callback, 0, flags);
}

MMRESULT TWaveAudioIn::DeviceClose(HWAVEIN handle) { return ::waveInClose(handle); }

MMRESULT TWaveAudioIn::GetWaveFormat(WAVEFORMATEX*& format, bool& freeIt) {
  const TPCMFormat pcm = pcmFormat_;
  if (pcm != nonePCM) {
    freeIt = true;
    format = NewWaveFormat().release();
    MakePCMFormat(*format, pcm);
  } else if (OnFormat) {
    OnFormat(this, format, freeIt);
  }
  // No format at all is refused before any device call: the query would accept a null one.
  return format ? MMSYSERR_NOERROR : MMSYSERR_INVALPARAM;
}

// ---- open and close

bool TWaveAudioIn::Open() {
  if (opening_) return false;
  if (closing_ || !Active()) WaitUntilClosed();  // also joins a callback thread that is ending
  if (Active()) throw EWaveAudioInvalidOperation(kDeviceAlreadyOpenText);

  auto lock = TakeLock();
  opening_ = true;
  WAVEFORMATEX* format = nullptr;
  bool freeIt = true;
  struct Cleanup {  // runs before the lock is let go
    TWaveAudioIn& self;
    WAVEFORMATEX*& format;
    bool& freeIt;
    ~Cleanup() {
      if (freeIt) std::free(format);
      self.opening_ = false;
    }
  } cleanup{*this, format, freeIt};

  if (!CheckMMResult(GetWaveFormat(format, freeIt))) return false;
  if (!CheckMMResult(DeviceOpen(nullptr, format, 0, WAVE_FORMAT_QUERY))) return false;
  std::memcpy(&deviceFormat_, format, 16);
  deviceFormat_.cbSize = 0;
  if (!CreateCallback()) {
    DestroyCallback();
    CheckMMResult(MMSYSERR_ERROR);
    return false;
  }
  HWAVEIN handle = nullptr;
  const MMRESULT opened = DeviceOpen(&handle, format, CallbackHandle(), CallbackKind());
  if (opened != MMSYSERR_NOERROR) {
    DestroyCallback();  // the thread is joined by the next wait; not under this lock
    CheckMMResult(opened);
    return false;
  }
  handle_ = handle;
  return true;
}

bool TWaveAudioIn::Close() {
  if (closing_) return false;
  if (opening_) WaitWhileOpening();
  auto lock = TakeLock();
  if (closing_ || !Active()) return false;
  const HWAVEIN handle = handle_;
  if (!handle) return false;
  closing_ = true;
  try {
    const MMRESULT reset = ::waveInReset(handle);
    if (reset != MMSYSERR_NOERROR) {
      // A device whose server went away answers the reset with an error and gives nothing
      // back, but its close still works and is reported: the closing flag stays set for it.
      try {
        CheckMMResult(reset);
      } catch (const EWaveAudioError&) {
      }
      if (CheckMMResult(DeviceClose(handle))) return true;
      closing_ = false;
      return false;
    }
    CheckMMResult(reset);
    if (!buffers_.empty()) return true;  // the last buffer that comes back closes the device
    if (CheckMMResult(DeviceClose(handle))) return true;
    closing_ = false;
    return false;
  } catch (...) {
    closing_ = false;
    return false;
  }
}

void TWaveAudioIn::ForceDeviceClosed() {
  const HWAVEIN handle = handle_.exchange(nullptr);
  if (!handle) return;
  // Whatever the device still holds stays allocated; its report, if any, is dropped.
  ::waveInReset(handle);
  ::waveInClose(handle);
}

bool TWaveAudioIn::Pause() {
  if (paused_) return false;
  auto lock = TakeLock();
  if (paused_) return false;
  if (HasHandle() && !CheckMMResult(::waveInStop(handle_))) return false;
  paused_ = true;
  DoPause();
  return true;
}

bool TWaveAudioIn::Resume() {
  if (!paused_) return false;
  auto lock = TakeLock();
  if (!paused_) return false;
  const bool open = HasHandle();
  if (open && !CheckMMResult(::waveInStart(handle_))) return false;
  paused_ = false;
  if (open) DeviceStarted();
  DoResume();
  return true;
}

// ---- buffers

bool TWaveAudioIn::AddBuffer(WAVEHDR* header) {
  bool preparedHere = false;
  if (!(header->dwFlags & WHDR_PREPARED)) {
    if (!CheckMMResult(::waveInPrepareHeader(handle_, header, sizeof(WAVEHDR)))) return false;
    preparedHere = true;
  }
  try {
    if (CheckMMResult(::waveInAddBuffer(handle_, header, sizeof(WAVEHDR)))) return true;
  } catch (...) {
    if (preparedHere) ::waveInUnprepareHeader(handle_, header, sizeof(WAVEHDR));
    throw;
  }
  if (preparedHere) ::waveInUnprepareHeader(handle_, header, sizeof(WAVEHDR));
  return false;
}

void TWaveAudioIn::QueueBuffers() {
  while (buffers_.size() < BufferCount() && HasHandle() && !closing_) {
    WAVEHDR* header = nullptr;
    try {
      if (!ResizeBuffer(header, BufferBytes(), nullptr)) return;
      if (!AddBuffer(header)) {
        ResizeBuffer(header, 0, nullptr);
        return;
      }
    } catch (...) {
      ResizeBuffer(header, 0, nullptr);
      return;
    }
  }
}

bool TWaveAudioIn::QueueDataBlock(void* data, uint32_t size, bool ownIt) {
  if (!data || size == 0) return false;
  auto lock = TakeLock();
  WAVEHDR* header = nullptr;
  try {
    if (!ResizeBuffer(header, size, data)) return false;
    if (ownIt) header->dwUser = reinterpret_cast<DWORD_PTR>(this);
    if (AddBuffer(header)) return true;
  } catch (...) {
    if (header) header->dwUser = 0;  // the caller keeps its block
    ResizeBuffer(header, 0, nullptr);
    throw;
  }
  header->dwUser = 0;
  ResizeBuffer(header, 0, nullptr);
  return false;
}

// ---- notifications

void TWaveAudioIn::WaveInOpened() {
  AfterOpen();
  // Opened paused: Resume starts it. A close already under way: nothing to start.
  if (paused_ || closing_) return;
  const HWAVEIN handle = handle_;
  bool started = false;
  try {
    started = CheckMMResult(::waveInStart(handle));
  } catch (...) {
    paused_ = true;
    throw;
  }
  paused_ = !started;
  if (started) DeviceStarted();
}

void TWaveAudioIn::WaveInClosed() {
  handle_ = nullptr;
  AfterClose();
}

void TWaveAudioIn::WaveInData(WAVEHDR* header) {
  if (!header) return;
  // A failing step is reported only after the buffer was dealt with, so one failure neither
  // loses the ring nor stops the close.
  std::exception_ptr failure;
  auto step = [&failure](auto&& body) {
    try {
      body();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  };
  const HWAVEIN handle = handle_;
  try {
    if (CheckMMResult(::waveInUnprepareHeader(handle, header, sizeof(WAVEHDR))) && header->dwBytesRecorded > 0) {
      bool keep = true;
      void* data = header->lpData;
      const uint32_t size = header->dwBytesRecorded;
      step([&] { DoLevel(data, size); });
      step([&] { DoWaveData(data, size); });
      step([&] { ProcessData(data, size, keep); });
      if (!keep) header->dwUser = 0;  // the block is the handler's now
    }
    WAVEHDR* again = header;
    const bool requeued = !closing_ && buffers_.size() <= BufferCount() && ResizeBuffer(again, BufferBytes(), nullptr) &&
                          AddBuffer(again);
    if (!requeued) ResizeBuffer(again, 0, nullptr);
  } catch (...) {
    if (header->dwFlags & WHDR_PREPARED) ::waveInUnprepareHeader(handle, header, sizeof(WAVEHDR));
    if (!(header->dwFlags & WHDR_INQUEUE)) ResizeBuffer(header, 0, nullptr);
    if (!failure) failure = std::current_exception();
  }
  if (closing_ && buffers_.empty()) step([&] { CheckMMResult(DeviceClose(handle)); });
  if (failure) std::rethrow_exception(failure);
}

}  // namespace audio
