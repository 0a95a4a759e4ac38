// The screen camera's life: its defaults and setter rules, the operations that start, stop,
// pause and resume a recording and switch the preview, and the record thread's life.
//
// The record thread is created suspended and runs only once the camera knows it, its
// priority is set and Recording is on. Its end is handled on the main thread through a
// closure that holds a weak reference to the camera and the thread's serial number, so an
// old thread's end never clears a newer recording's state and nothing runs against a camera
// that is gone. The recording routine itself is in ScrCam_record.cpp.
#include "engine/camera/ScrCam.h"

#include <algorithm>

#include "base/barrier.h"
#include "base/dispatch.h"
#include "base/seams.h"
#include "base/thread.h"
#include "engine/camera/ScrCam_hotkeys.h"
#include "engine/camera/ScrCam_record.h"
#include "engine/overlays/scFlashWnd.h"

namespace ScrCam {

std::atomic<TScreenCamera*> CameraInstance{nullptr};
std::atomic<uint8_t> StopStatus{kStopNone};
std::wstring TempVideoFile;
std::wstring TempAudioFile;
std::wstring TempSaveFile;
std::wstring TargetFile;
std::atomic<bool> CaptureFailed{false};
std::atomic<bool> MergeSucceeded{false};
std::atomic<int32_t> SoundStoppedAtMs{-1};
std::atomic<bool> StartPending{false};

namespace {

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM data) {
  reinterpret_cast<std::vector<RECT>*>(data)->push_back(*rect);
  return TRUE;
}

class SystemMonitors : public MonitorLister {
 public:
  std::vector<RECT> Monitors() override {
    std::vector<RECT> found;
    ::EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&found));
    return found;
  }
};

SystemMonitors gSystemMonitors;
std::atomic<MonitorLister*> gMonitorLister{&gSystemMonitors};

}  // namespace

MonitorLister& CurrentMonitorLister() { return *gMonitorLister.load(); }
ScopedMonitorLister::ScopedMonitorLister(MonitorLister& lister) : previous_(gMonitorLister.exchange(&lister)) {}
ScopedMonitorLister::~ScopedMonitorLister() { gMonitorLister.store(previous_); }
int MonitorCount() { return static_cast<int>(CurrentMonitorLister().Monitors().size()); }

TScreenCamera::TScreenCamera(CameraHost* host)
    : host_(host),
      wake_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      alive_(std::make_shared<TScreenCamera*>(this)),
      weakSelf_(alive_) {
  base::GuardVoid("screen camera constructor", [&] {
    std::wstring folder = GetTempFolder();
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    // A set that another running copy holds is never named here; with none free the names
    // stay empty and a recording with sound says why it cannot start.
    tempSet_ = ClaimTempFileSet(folder, tempSetHolder_);
    TempVideoFile = tempSet_ ? TempSetFile(folder, tempSet_, L"tmpVideoStream", L".avi") : std::wstring();
    TempAudioFile = tempSet_ ? TempSetFile(folder, tempSet_, L"tmpAudioStream", L".wav") : std::wstring();
    TempSaveFile = tempSet_ ? TempSetFile(folder, tempSet_, L"qivtmp", L".avi") : std::wstring();
    DesktopWidth = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    DesktopHeight = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    MergeSucceeded = false;
    StartPending = false;
    StopStatus = kStopNone;
    FrameColor = RegionColor1;
    // The options dialog's lists: the formats (SelectedAudioFormat becomes 2) and the
    // recording inputs here, the compressors last, below.
    GetAudioFormats();
    GetAudioInputs();
    CreateFirstHotKeyWindow();
  });
  CameraInstance = this;
  base::GuardVoid("screen camera compressor list", [&] { GetVideoCompressors(); });
}

TScreenCamera::~TScreenCamera() {
  base::GuardVoid("screen camera destructor", [&] {
    if (Recording) {
      StopStatus = kStopError;
      Recording = false;
    }
    ::SetEvent(wake_.get());
    TScreenCamera* self = this;
    CameraInstance.compare_exchange_strong(self, nullptr);
    if (frameTimer_) frameTimer_->SetEnabled(false);
    frameTimer_.reset();
    frameWindow_.reset();
    // From here on the thread's posted end does nothing; it is waited for here instead,
    // pumping, so whatever it still needs from the main thread is served.
    alive_.reset();
    if (thread_) {
      thread_->worker.Join();
      thread_.reset();
    }
    ReleaseHotKeys();
    // No event: CameraInstance is already let go.
    if (recorded_ && tempSet_) {
      DeleteUnlessHeld(TempVideoFile);
      DeleteUnlessHeld(TempAudioFile);
    }
  });
}

// --- setters ---

void TScreenCamera::SetCurrentMonitor(int value) {
  if (value >= 1 && value <= MonitorCount()) currentMonitor_ = value;
}
void TScreenCamera::SetUpdateRate(int value) {
  if (value >= 1 && value <= 500) updateRate_ = value;
}
void TScreenCamera::SetPlayBack_FPS(int value) {
  if (value >= 1 && value <= 1000) playBackFps_ = value;
}
void TScreenCamera::SetRecord_MSPF(int value) {
  if (value >= 1 && value <= 1000) recordMspf_ = value;
}
void TScreenCamera::SetCompressionQuality(int value) {
  if (value >= 1 && value <= 10000) compressionQuality_ = value;
}
void TScreenCamera::SetFilterColor(int value) {
  if (value >= 0 && value <= 1) filterColor_ = value;
}

void TScreenCamera::SetColors(engine::TPixelFormat value) {
  using engine::TPixelFormat;
  switch (value) {
    case TPixelFormat::pf8bit:
      colors_ = TPixelFormat::pf8bit, bitsPerPixel_ = 8;
      break;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit:
      colors_ = TPixelFormat::pf16bit, bitsPerPixel_ = 16;
      break;
    case TPixelFormat::pf24bit:
      colors_ = TPixelFormat::pf24bit, bitsPerPixel_ = 24;
      break;
    default:
      colors_ = TPixelFormat::pf32bit, bitsPerPixel_ = 32;
      break;
  }
}

void TScreenCamera::SetVideoPriority(scHighTimer::TThreadPriority value) {
  videoPriority_ = value;
  if (thread_) thread_->worker.SetPriority(scHighTimer::ToWin32Priority(value));
}

TScreenCamera::Area TScreenCamera::CaptureArea() const {
  std::lock_guard<std::mutex> hold(areaLock_);
  return area_;
}

void TScreenCamera::SetCaptureArea(const Area& area) {
  std::lock_guard<std::mutex> hold(areaLock_);
  area_ = area;
}

void TScreenCamera::SetScreenLeft(int value) {
  std::lock_guard<std::mutex> hold(areaLock_);
  area_.left = value;
}
void TScreenCamera::SetScreenTop(int value) {
  std::lock_guard<std::mutex> hold(areaLock_);
  area_.top = value;
}
void TScreenCamera::SetScreenWidth(int value) {
  std::lock_guard<std::mutex> hold(areaLock_);
  area_.width = value;
}
void TScreenCamera::SetScreenHeight(int value) {
  std::lock_guard<std::mutex> hold(areaLock_);
  area_.height = value;
}

// --- operations ---

void TScreenCamera::ApplyRegionFlags() {
  RegionSelObject = ScreenRegion == TScreenRegion::SelObject;
  RegionFreeHand = ScreenRegion == TScreenRegion::FreeHand;
  RegionFollowsCursor = ScreenRegion == TScreenRegion::FixedMoving;
  RegionFullScreen = ScreenRegion == TScreenRegion::FullScreen;
}

void TScreenCamera::EnsureFrameTimer() {
  if (frameTimer_) return;
  auto timer = std::make_unique<scHighTimer::THighTimer>(static_cast<DWORD>(1000 / playBackFps_));
  timer->SetThreadPriority(videoPriority_);
  timer->SetSynchronize(true);
  timer->SetUseThread(true);
  timer->SetOnTimer([this](scHighTimer::THighTimer&) { TimerTick(); });
  frameTimer_ = std::move(timer);
}

bool TScreenCamera::StartRecording(const std::wstring& fileName) {
  // A thread that has ended but whose posted end has not run yet is reaped here (its end then
  // finds another serial and does nothing). One that is still finishing the last recording
  // keeps the camera: a second thread would share the temporary files with it.
  if (thread_ && thread_->worker.Ended()) {
    thread_->worker.Join(INFINITE, base::Pump::SentOnly);
    thread_.reset();
    Recording = false;
  }
  if (Recording || thread_) return false;
  TargetFile = fileName;
  if (MinimizeAppOnStart && host_) host_->MinimizeApp();
  ApplyRegionFlags();
  EnsureFrameTimer();
  frameTimer_->SetEnabled(true);
  if (RegionFreeHand || RegionSelObject) {
    StartPending = true;
    return false;
  }
  StartPending = false;
  if (RegionFullScreen) SetFullScreenRegion();

  static uint64_t nextSerial = 0;
  auto thread = std::make_unique<TRecordAVIThread>();
  thread->serial = ++nextSerial;
  thread->alive = alive_;
  TakeSettings(*thread);
  // The figures are the new recording's from here on.
  FramesWritten = 0;
  FramesDropped = 0;
  TRecordAVIThread* state = thread.get();
  TScreenCamera* camera = this;
  if (!thread->worker.Start(
          "screen camera record thread", [camera, state] { camera->RunRecordThread(*state); },
          base::Thread::Begin::Suspended)) {
    if (OnError) OnError(*this, L"Can't create the record thread.");
    return false;
  }
  thread_ = std::move(thread);
  thread_->worker.SetPriority(scHighTimer::ToWin32Priority(videoPriority_));
  Recording = true;
  // The stop, pause and confirm keys are the system's from now until the recording ends.
  UpdateDefaultHotKeys();
  thread_->worker.Resume();
  return true;
}

// On the record thread. The camera outlives the thread: its destructor joins it.
void TScreenCamera::RunRecordThread(TRecordAVIThread& thread) {
  base::GuardVoid("screen camera record thread", [&] { Execute(thread); });
  std::weak_ptr<TScreenCamera*> alive = thread.alive;
  const uint64_t serial = thread.serial;
  base::PostToMain([alive, serial] {
    if (auto self = alive.lock()) (*self)->RecordThreadTerminated(serial);
  });
}

void TScreenCamera::RecordThreadTerminated(uint64_t serial) {
  if (!thread_ || thread_->serial != serial) return;
  // The thread posted this as its last act; let it return before its state goes.
  thread_->worker.Join(INFINITE, base::Pump::SentOnly);
  thread_.reset();
  Recording = false;
  UpdateDefaultHotKeys();
}

void TScreenCamera::StopRecording() {
  StopStatus = kStopUser;
  Recording = false;
  Paused = false;
  ::SetEvent(wake_.get());
  UpdateDefaultHotKeys();
  SetPreview(Preview());
}

void TScreenCamera::PauseRecording() {
  Paused = true;
  ::SetEvent(wake_.get());
}

void TScreenCamera::ResumeRecording() {
  Paused = false;
  ::SetEvent(wake_.get());
}

std::wstring TScreenCamera::ElapsedTimeText() const {
  TElapsedTime parts;
  {
    std::lock_guard<std::mutex> hold(areaLock_);
    parts = elapsed_;
  }
  return ScrCam::ElapsedTimeText(parts);
}

void TScreenCamera::SetElapsed(const TElapsedTime& parts) {
  std::lock_guard<std::mutex> hold(areaLock_);
  elapsed_ = parts;
}

void TScreenCamera::HideFrameWindow() {
  if (frameWindow_ && frameWindow_->hwnd()) ::ShowWindow(frameWindow_->hwnd(), SW_HIDE);
}

void TScreenCamera::SetPreview(bool value) {
  base::GuardVoid("screen camera preview", [&] {
    lastUpdateTime_ = 0;
    lastColorSwitchTime_ = 0;
    previewStartTime_ = base::NowMs();
    preview_ = value;
    if (value) {
      EnsureFrameTimer();
      frameTimer_->SetEnabled(false);
      HideFrameWindow();
      frameTimer_->SetEnabled(true);
    } else if (!Recording) {
      if (frameTimer_) frameTimer_->SetEnabled(false);
      HideFrameWindow();
      if (OnPreview) OnPreview(*this, nullptr, false, false);
    }
  });
}

}  // namespace ScrCam
