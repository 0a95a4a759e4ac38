// The wave device base: buffer headers, the callback (message-only window or owned thread),
// the dispatcher that runs the notification handlers under the lock, the bounded waits for a
// close, and the error path shared by every device call.
#include "audio/scWaveIO.h"

#include <process.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/dispatch.h"
#include "base/seams.h"
#include "base/text.h"

namespace audio {
namespace {

constexpr wchar_t kCallbackClass[] = L"ReclumeWaveCallback";
constexpr wchar_t kReportCaption[] = L"Reclume";

// Waits for handle while pumping this thread's messages, for at most limitMs. A WM_QUIT met
// on the way ends the pumping (WaitWithMessages puts it back); the rest is a plain wait.
bool WaitBounded(HANDLE handle, DWORD limitMs) {
  const DWORD start = ::GetTickCount();
  const DWORD r = WaitWithMessages(handle, limitMs);
  if (r == WAIT_OBJECT_0) return true;
  if (r != WAIT_OBJECT_0 + 1) return false;
  const DWORD spent = ::GetTickCount() - start;
  return ::WaitForSingleObject(handle, spent >= limitMs ? 0 : limitMs - spent) == WAIT_OBJECT_0;
}

}  // namespace

TWaveAudioIO::TWaveAudioIO() = default;

TWaveAudioIO::~TWaveAudioIO() {
  // The derived destructors have closed the device (ShutDown); what is left are headers the
  // device never gave back, which stay allocated on purpose.
  destroying_ = true;
  if (thread_) JoinThread(kCloseGraceMs);
  window_.reset();
}

// ---- properties

void TWaveAudioIO::SetAsync(bool value) {
  if (!Active()) async_ = value;
}

void TWaveAudioIO::SetBufferLength(uint16_t ms) noexcept { bufferLength_ = ms < kMinBufferLength ? kMinBufferLength : ms; }

void TWaveAudioIO::SetActive(bool value) {
  if (value == Active()) return;
  if (value)
    Open();
  else
    Close();
}

void TWaveAudioIO::SetPaused(bool value) {
  if (value == Paused()) return;
  if (value)
    Pause();
  else
    Resume();
}

bool TWaveAudioIO::IsPCMFormatSupported(TPCMFormat pcm) {
  WAVEFORMATEX format{};
  MakePCMFormat(format, pcm);
  return IsFormatSupported(&format);
}

// ---- errors

bool TWaveAudioIO::CheckMMResult(MMRESULT code) {
  lastError_ = code;
  if (code == MMSYSERR_NOERROR) return true;
  DoError();
  return false;
}

void TWaveAudioIO::DoError() {
  if (!OnError) throw EWaveAudioSysError(LastErrorText());
  OnError(this);
}

void TWaveAudioIO::ReportLater(const std::exception* e) noexcept {
  try {
    std::wstring text;
    if (const auto* own = dynamic_cast<const Exception*>(e))
      text = own->Message();
    else
      text = e ? base::Utf8ToWide(e->what()) : L"Unknown error";
    if (!base::PostToMain([text] { base::ShowMessage(nullptr, text, kReportCaption, MB_OK | MB_ICONERROR); })) {
      ::OutputDebugStringW((L"Reclume: wave device: " + text + L"\n").c_str());
    }
  } catch (...) {
    ::OutputDebugStringW(L"Reclume: wave device: an error could not be reported\n");
  }
}

void TWaveAudioIO::ReportQuietly() noexcept {
  try {
    DoError();
  } catch (const std::exception& e) {
    ReportLater(&e);
  } catch (...) {
    ReportLater(nullptr);
  }
}

// ---- sizes and times

uint32_t TWaveAudioIO::BufferBytes() const { return MsToBufferBytes(deviceFormat_, bufferLength_); }

size_t TWaveAudioIO::BufferListCount() const { return buffers_.size(); }

uint32_t TWaveAudioIO::MMTimeToMs(const MMTIME& time) const {
  switch (time.wType) {
    case TIME_MS:
      return time.u.ms;
    case TIME_SAMPLES:
      return deviceFormat_.nSamplesPerSec ? uint32_t(::MulDiv(1000, int(time.u.sample), int(deviceFormat_.nSamplesPerSec)))
                                          : 0;
    case TIME_BYTES:
      return deviceFormat_.nAvgBytesPerSec ? uint32_t(::MulDiv(1000, int(time.u.cb), int(deviceFormat_.nAvgBytesPerSec)))
                                           : 0;
    case TIME_SMPTE:
      return (uint32_t(time.u.smpte.hour) * 3600 + uint32_t(time.u.smpte.min) * 60 + time.u.smpte.sec) * 1000;
    default:
      return 0;
  }
}

// ---- buffers

void TWaveAudioIO::RemoveFromList(WAVEHDR* header) {
  for (auto it = buffers_.begin(); it != buffers_.end(); ++it) {
    if (*it == header) {
      buffers_.erase(it);
      return;
    }
  }
}

bool TWaveAudioIO::ResizeBuffer(WAVEHDR*& header, uint32_t size, void* data) {
  const auto self = reinterpret_cast<DWORD_PTR>(this);
  if (size == 0) {
    if (header) {
      RemoveFromList(header);
      if (header->dwUser == self) std::free(header->lpData);
      std::free(header);
      header = nullptr;
    }
    return true;
  }
  if (!header) {
    header = static_cast<WAVEHDR*>(std::calloc(1, sizeof(WAVEHDR)));
    if (!header) {
      CheckMMResult(MMSYSERR_NOMEM);
      return false;
    }
    try {
      buffers_.push_back(header);
    } catch (...) {
      std::free(header);
      header = nullptr;
      throw;
    }
  }
  if (header->dwUser != self) {  // the block belongs to someone else: not ours to free
    header->lpData = nullptr;
    header->dwBufferLength = 0;
  }
  char* block = header->lpData;
  if (!data) {
    if (!block || header->dwBufferLength != size) {
      char* grown = static_cast<char*>(std::realloc(block, size));
      if (!grown) {
        ResizeBuffer(header, 0, nullptr);
        CheckMMResult(MMSYSERR_NOMEM);
        return false;
      }
      block = grown;
    }
  } else {
    if (header->dwUser == self) std::free(block);
    block = static_cast<char*>(data);
  }
  std::memset(header, 0, sizeof(WAVEHDR));
  if (!data) header->dwUser = self;
  header->lpData = block;
  header->dwBufferLength = size;
  return true;
}

void TWaveAudioIO::FreeBuffers() {
  while (!buffers_.empty()) {
    WAVEHDR* header = buffers_.back();
    buffers_.pop_back();
    // Still queued at a device that went away without giving it back: the device may yet
    // write into it, so it is left allocated.
    if (header->dwFlags & WHDR_INQUEUE) continue;
    ResizeBuffer(header, 0, nullptr);
  }
}

// ---- callback

LRESULT TWaveAudioIO::CallbackWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (owner_.DispatchWaveMessage(msg, lp)) return 0;
  return Default(msg, wp, lp);
}

unsigned __stdcall TWaveAudioIO::ThreadMain(void* self) {
  static_cast<TWaveAudioIO*>(self)->ThreadLoop();
  return 0;
}

void TWaveAudioIO::ThreadLoop() {
  MSG msg;
  ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue
  ::SetEvent(ready_.get());
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!msg.hwnd) DispatchWaveMessage(msg.message, msg.lParam);
  }
  // Nothing of the component is written from here on: its owner joins this thread.
}

bool TWaveAudioIO::CreateCallback() {
  if (!async_) {
    callbackKind_ = CALLBACK_WINDOW;
    window_ = std::make_unique<CallbackWindow>(*this);
    if (!base::CreateMessageOnly(*window_, kCallbackClass)) {
      window_.reset();
      return false;
    }
    callbackHandle_ = reinterpret_cast<DWORD_PTR>(window_->hwnd());
    callbackAlive_ = true;
    return true;
  }

  callbackKind_ = CALLBACK_THREAD;
  if (!ready_) ready_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!ready_) return false;
  ::ResetEvent(ready_.get());
  unsigned id = 0;
  thread_.reset(reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &ThreadMain, this, 0, &id)));
  if (!thread_) return false;
  threadId_ = id;
  ::SetThreadPriority(thread_.get(), THREAD_PRIORITY_ABOVE_NORMAL);
  // The device is opened with the thread's id only once the thread has a message queue. A
  // thread that ends or does not get there in time is a failure.
  const DWORD start = ::GetTickCount();
  while (::WaitForSingleObject(ready_.get(), 0) != WAIT_OBJECT_0) {
    if (::WaitForSingleObject(thread_.get(), 0) == WAIT_OBJECT_0 || ::GetTickCount() - start > kThreadReadyMs) {
      ::PostThreadMessageW(id, WM_QUIT, 0, 0);
      return false;  // the thread is joined by the next wait for a close
    }
    WaitWithMessages(ready_.get(), 50);
  }
  callbackHandle_ = id;
  callbackAlive_ = true;
  return true;
}

void TWaveAudioIO::DestroyCallback() {
  if (!callbackAlive_) return;
  if (callbackKind_ == CALLBACK_THREAD) {
    const DWORD id = threadId_;
    // The post fails while the queue is full; it stops once the thread has ended anyway.
    while (thread_ && !::PostThreadMessageW(id, WM_QUIT, 0, 0)) {
      if (::WaitForSingleObject(thread_.get(), 0) == WAIT_OBJECT_0) break;
      ::Sleep(0);
    }
  } else if (window_) {
    window_->Destroy();  // the object stays until the next open or the destructor
  }
  callbackHandle_ = 0;
  callbackAlive_ = false;
}

bool TWaveAudioIO::DispatchWaveMessage(UINT msg, LPARAM param) {
  if (msg < MM_WOM_OPEN || msg > MM_WIM_DATA) return false;  // the six wave notifications
  try {
    auto lock = TakeLock();
    // A notification that arrives after the component closed the device itself is dropped.
    if (!callbackAlive_) return true;
    switch (msg) {
      case MM_WIM_OPEN:
        WaveInOpened();
        break;
      case MM_WIM_CLOSE:
        WaveInClosed();
        break;
      case MM_WIM_DATA:
        WaveInData(reinterpret_cast<WAVEHDR*>(param));
        break;
      case MM_WOM_OPEN:
        WaveOutOpened();
        break;
      case MM_WOM_CLOSE:
        WaveOutClosed();
        break;
      default:
        WaveOutDone(reinterpret_cast<WAVEHDR*>(param));
        break;
    }
  } catch (const std::exception& e) {
    ReportLater(&e);
  } catch (...) {
    ReportLater(nullptr);
  }
  return true;
}

// ---- notifications

void TWaveAudioIO::AfterOpen() {
  opening_ = false;
  QueueBuffers();
  DoActivate();
}

void TWaveAudioIO::AfterClose() {
  DoLevel(nullptr, 0);
  closing_ = false;
  DestroyCallback();
  FreeBuffers();
  DoDeactivate();
}

void TWaveAudioIO::DoActivate() {
  if (OnActivate) OnActivate(this);
}

void TWaveAudioIO::DoDeactivate() {
  if (OnDeactivate && !destroying_) OnDeactivate(this);
}

void TWaveAudioIO::DoPause() {
  if (OnPause) OnPause(this);
}

void TWaveAudioIO::DoResume() {
  if (OnResume) OnResume(this);
}

void TWaveAudioIO::DoLevel(const void* buffer, uint32_t size) {
  if (!OnLevel || destroying_ || deviceFormat_.wFormatTag != WAVE_FORMAT_PCM) return;
  int level = buffer ? GetPeakLevel(buffer, size, &deviceFormat_) : 0;
  OnLevel(this, level < 0 ? 0 : level);
}

void TWaveAudioIO::DoWaveData(const void* buffer, uint32_t size) {
  if (OnWaveData && !destroying_) OnWaveData(this, buffer, size);
}

// ---- waits and shutdown

bool TWaveAudioIO::JoinThread(DWORD limitMs) {
  if (!thread_) return true;
  if (!WaitBounded(thread_.get(), limitMs)) return false;
  thread_.reset();
  threadId_ = 0;
  return true;
}

bool TWaveAudioIO::PumpUntilClosed(DWORD limitMs) {
  const DWORD start = ::GetTickCount();
  while (callbackAlive_) {
    const DWORD spent = ::GetTickCount() - start;
    if (spent >= limitMs) return false;
    HWND wnd = window_ ? window_->hwnd() : nullptr;
    MSG msg;
    bool any = false;
    while (wnd && callbackAlive_ && ::PeekMessageW(&msg, wnd, 0, 0, PM_REMOVE)) {
      any = true;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (!any) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(20, limitMs - spent), QS_POSTMESSAGE);
  }
  return true;
}

void TWaveAudioIO::ForceClose() {
  {
    auto lock = TakeLock();
    if (callbackAlive_ || HasHandle()) {
      ForceDeviceClosed();
      try {
        WaveInClosed();
      } catch (const std::exception& e) {
        ReportLater(&e);
      } catch (...) {
        ReportLater(nullptr);
      }
      DestroyCallback();  // in case the close steps stopped early
      closing_ = false;
      opening_ = false;
      lastError_ = MMSYSERR_ERROR;
      ReportQuietly();
    }
  }
  JoinThread(kCloseGraceMs);
}

bool TWaveAudioIO::WaitUntilClosed() {
  const DWORD limit = CloseWaitLimitMs();
  if (thread_) {
    // The thread ends right after it handled the close.
    if (JoinThread(limit) && !callbackAlive_) return true;
    ForceClose();
    return false;
  }
  if (!callbackAlive_) return true;
  if (callbackKind_ == CALLBACK_WINDOW && PumpUntilClosed(limit)) return true;
  ForceClose();
  return false;
}

void TWaveAudioIO::ShutDown() noexcept {
  destroying_ = true;
  try {
    if (Active()) Close();
  } catch (...) {
    // Close reports through OnError or not at all; nothing may leave a destructor.
  }
  try {
    WaitUntilClosed();
  } catch (...) {
  }
}

}  // namespace audio
