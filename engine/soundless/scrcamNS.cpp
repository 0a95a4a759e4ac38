// TScreenCamNS, the sound-less recorder: its compressor list and dialogs, its recording
// thread and the routine that writes one AVI file directly (no temporary file, no merge).
//
// Ownership and threads: the recorder lives on the main thread and owns the corner-bracket
// window and the record-thread state. The record thread reads its own snapshot of the
// settings, writes the figures through atomics, and reaches the bracket window in two ways:
// once per recording (placing and showing it) through a main-thread call that gives up once
// the recording is being stopped, so a main thread that waits for the thread (the destructor)
// never deadlocks; and on every grab through the window's posted requests, which never wait.
// Closures posted to the main thread hold the weak token the thread took when its recording
// started, and do nothing once the recorder is gone.
//
// The frame loop makes nothing: the grab's contexts, bitmap and frame, the bracket painter
// and the loop's steps are all made before it starts.
#include "engine/soundless/scrcamNS.h"

#include <cwctype>
#include <optional>
#include <stdexcept>

#include "base/barrier.h"
#include "base/dispatch.h"
#include "base/main_call.h"
#include "base/seams.h"
#include "base/thread.h"
#include "base/short_names.h"
#include "base/text.h"
#include "base/unique.h"
#include "engine/capture/avi_headers.h"
#include "engine/capture/compressed_writer.h"
#include "engine/capture/compressors.h"
#include "engine/capture/disk_budget.h"
#include "engine/capture/kept_files.h"
#include "engine/overlays/flashwnd.h"
#include "engine/soundless/scrcamNS_capture.h"
#include "engine/capture/scrcamNS_rules.h"
#include "engine/capture/vfw_handles.h"

namespace scrcamNS {

namespace {

constexpr DWORD kIV50 = mmioFOURCC('I', 'V', '5', '0');
// A bracket-window call that the main thread has not run by then is given up.
constexpr DWORD kMainCallTimeoutMs = 5000;

const wchar_t kVersionTooOld[] = L"失败: 视频版本太久!";
const wchar_t kCaptionError[] = L"出错";
const wchar_t kAskDefaultCodec[] = L"用当前压缩器记录视频文件时出错，要用默认压缩器吗? ";
const wchar_t kCaptionNotice[] = L"注意";
const wchar_t kCreateFailed[] = L"创建视频文件时出错";
// The line under it when the volume of a folder ran low: the folder in its %s.
const wchar_t kDiskLowFmt[] = L"磁盘空间不足：%s";
// ... and when the target's folder takes no files (read-only, or no rights): the folder.
const wchar_t kFolderRefusesFmt[] = L"文件夹不能写入（只读或没有写入权限）：%s";
const wchar_t kSizeLimitStop[] =
    L"录像文件即将超过 AVI 文件 2 GB 的大小上限，录像已自动停止，已录制的内容已完整保存。";
const wchar_t kBitsFailed[] = L"Error retrieving bitmap bits";
// The recording could not be copied to its target: where it is kept instead (the target, then
// the kept file).
const wchar_t kKeptFmt[] = L"录像未能保存为 %s，已保存在：%s";
const wchar_t kLeftFmt[] = L"录像未能保存为 %s，它仍在：%s（无法移走，请自行复制出来）";
const wchar_t kCaptionErrorEn[] = L"Error";
// Written in the temporary folder when the target's path cannot be handed to AVIFile.
const wchar_t kTemporaryName[] = L"qivnstmp.avi";

using engine::UniqueAviFile;
using engine::UniqueAviStream;
using engine::SameFourCC;
using engine::UniqueHic;
using engine::AviLibrary;
using engine::TimerPeriod;

// How an attempt failed: a compressor failure leads to the default-compressor question and its
// retry; any other failure is an error stop.
enum class Failure { None, Compressor, Stop };

class WorkAreaSource : public AreaSource {
 public:
  explicit WorkAreaSource(HWND wnd) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = ::MonitorFromWindow(wnd, MONITOR_DEFAULTTONEAREST);
    ok_ = monitor && ::GetMonitorInfoW(monitor, &info);
    area_ = info.rcWork;
  }
  bool CurrentArea(RECT& area) override {
    if (ok_) area = area_;
    return ok_;
  }

 private:
  bool ok_ = false;
  RECT area_{};
};

class WindowRectSource : public AreaSource {
 public:
  explicit WindowRectSource(HWND wnd) : wnd_(wnd) {}
  bool CurrentArea(RECT& area) override {
    if (!::IsWindow(wnd_) || ::IsIconic(wnd_)) return false;
    return ::GetWindowRect(wnd_, &area) != FALSE;
  }

 private:
  HWND wnd_;
};

// The folder of a file path, with its last "\".
std::wstring FolderOf(const std::wstring& path) {
  const size_t at = path.find_last_of(L"\\/");
  return at == std::wstring::npos ? std::wstring() : path.substr(0, at + 1);
}

// True when (left, top, width, height) covers every pixel of the virtual screen.
bool CoversVirtualScreen(const RECT& placement) {
  const int x = ::GetSystemMetrics(SM_XVIRTUALSCREEN), y = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int w = ::GetSystemMetrics(SM_CXVIRTUALSCREEN), h = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
  return placement.left <= x && placement.top <= y && placement.left + placement.right >= x + w &&
         placement.top + placement.bottom >= y + h;
}

}  // namespace

std::shared_ptr<AreaSource> MakeWorkAreaSource(HWND wnd) { return std::make_shared<WorkAreaSource>(wnd); }
std::shared_ptr<AreaSource> MakeWindowRectSource(HWND wnd) { return std::make_shared<WindowRectSource>(wnd); }
std::shared_ptr<AreaSource> MakeAreaSourceFor(HWND wnd) {
  if (::IsZoomed(wnd)) return MakeWorkAreaSource(wnd);
  return MakeWindowRectSource(wnd);
}

// The state of one recording thread. Created and freed on the main thread; between the two
// the thread reads it and only it writes flashColor and placement.
struct TScreenCamNS::TRecordAVIThread {
  TScreenCamNS* camera = nullptr;
  // The recorder's liveness token, taken on the main thread when the recording starts: the
  // thread never reads the recorder's own token, which its destructor resets.
  std::weak_ptr<TScreenCamNS*> alive;
  flashwnd::TFlashingWnd* brackets = nullptr;  // the recorder's; outlives the thread
  PassProbe* probe = nullptr;
  std::shared_ptr<AreaSource> area;
  std::wstring fileName;
  uint64_t serial = 0;

  // The settings this recording uses, taken when it started.
  int bitsPerPixel = 32;
  int frameRate = 10;
  int captureInterval = 100;
  int keyFrameEvery = 5;
  int quality = 6550;
  bool drawCursor = true;
  bool showFlashFrame = true;
  bool followAreaControl = false;
  bool hasCompressor = false;
  ICINFO compressor{};

  base::UniqueHandle stop{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};  // set by a stop
  base::Thread worker;

  RECT placement{};                // left, top, width, height of the last bracket placement
  bool bracketsShown = false;      // the bracket window was set up by this thread
  bool bracketsVisible = false;    // ... and is on screen, so grabs repaint it
  bool defaultAgreed = false;      // the user agreed to retry with the default compressor
  bool bitsErrorShown = false;     // the GetDIBits message was shown in this recording
  BracketPainter painter;          // posts the grabs' bracket paints while they are visible
};

TScreenCamNS::TScreenCamNS(HWND owner) : owner_(owner), alive_(std::make_shared<TScreenCamNS*>(this)) {
  base::WindowDC screen(nullptr);
  if (screen) {
    bitsPerPixel_ = ::GetDeviceCaps(screen.get(), BITSPIXEL) * ::GetDeviceCaps(screen.get(), PLANES);
    displayWidth_ = ::GetDeviceCaps(screen.get(), HORZRES);
    displayHeight_ = ::GetDeviceCaps(screen.get(), VERTRES);
  }
  if (!engine::PackedFrameFits(1, 1, bitsPerPixel_)) bitsPerPixel_ = 32;
  arrowCursor_ = ::LoadCursorW(nullptr, IDC_ARROW);  // shared: never destroyed
  arrowHotspot_ = CursorHotspot(arrowCursor_);
  flashWindow_ = std::make_shared<flashwnd::TFlashingWnd>();
  flashWindow_->Create(nullptr);
}

TScreenCamNS::~TScreenCamNS() {
  StopRecording();
  // From here on closures posted by the thread do nothing, so none of them frees the thread
  // state while it is waited for below.
  alive_.reset();
  if (thread_) {
    // Pumping, so the thread's last main-thread calls are not left waiting; they give up
    // anyway because the stop event is set.
    thread_->worker.Join();
    thread_.reset();
  }
  flashWindow_.reset();
}

void TScreenCamNS::SetBitsPerPixel(int bits) {
  if (engine::PackedFrameFits(1, 1, bits)) bitsPerPixel_ = bits;
}

void TScreenCamNS::SetDisplaySize(int width, int height) {
  displayWidth_ = width;
  displayHeight_ = height;
}

void TScreenCamNS::SetFrameRate(int fps) { frameRate_ = fps < 1 ? 1 : fps; }
void TScreenCamNS::SetCaptureInterval(int ms) { captureInterval_ = ms < 1 ? 1 : ms; }
void TScreenCamNS::SetQuality(int quality) { quality_ = quality < 0 ? 0 : (quality > 10000 ? 10000 : quality); }

// --- compressors ---

void TScreenCamNS::RefreshCompressors() {
  CaptureSettings settings{bitsPerPixel_, drawCursor_, arrowCursor_, arrowHotspot_};
  engine::PackResult test = CaptureScreenFrame(0, 0, 320, 200, settings, nullptr);
  compressorCount_ = engine::ListVideoCompressors(test.frame.get(), compressors_.data(), kMaxCompressors);
}

void TScreenCamNS::CompressorAbout(BYTE index, HWND parentWnd) {
  if (index < compressorCount_) engine::ShowCompressorAbout(compressors_[index], parentWnd);
}

void TScreenCamNS::CompressorConfigure(BYTE index, HWND parentWnd) {
  if (index < compressorCount_) engine::ShowCompressorConfigure(compressors_[index], parentWnd);
}

void TScreenCamNS::CompressorFeatures(BYTE index, bool& hasAbout, bool& hasConfigure) {
  hasAbout = false;
  hasConfigure = false;
  if (index < compressorCount_) engine::QueryCompressorDialogs(compressors_[index], hasAbout, hasConfigure);
}

// --- starting and stopping ---

void TScreenCamNS::StartRecording(std::shared_ptr<AreaSource> area, const std::wstring& fileName) {
  if (recording_.load()) return;
  if (thread_) {
    // A previous thread that is still finishing its file keeps the recorder; one that has
    // ended but whose end was not handled yet is reaped here.
    if (!thread_->worker.Ended()) return;
    thread_.reset();
  }
  static uint64_t nextSerial = 0;
  auto thread = std::make_unique<TRecordAVIThread>();
  thread->camera = this;
  thread->alive = alive_;
  thread->brackets = flashWindow_.get();
  thread->probe = passProbe_;
  thread->area = std::move(area);
  thread->fileName = fileName;
  thread->serial = ++nextSerial;
  thread->bitsPerPixel = bitsPerPixel_;
  thread->frameRate = frameRate_;
  thread->captureInterval = captureInterval_;
  thread->keyFrameEvery = keyFrameEvery_;
  thread->quality = quality_;
  thread->drawCursor = drawCursor_;
  thread->showFlashFrame = showFlashFrame_;
  thread->followAreaControl = followAreaControl_;
  thread->hasCompressor = compressorIndex_ >= 0 && compressorIndex_ < compressorCount_;
  if (thread->hasCompressor) thread->compressor = compressors_[compressorIndex_];
  if (!thread->stop) {
    Raise(OnError);
    return;
  }
  // Created suspended, so the recorder's fields are all in place before the thread runs.
  TRecordAVIThread* state = thread.get();
  if (!thread->worker.Start("sound-less record thread", [state] { ThreadEntry(state); },
                            base::Thread::Begin::Suspended)) {
    Raise(OnError);
    return;
  }
  thread_ = std::move(thread);
  fileSaved_ = false;
  // The figures are the new recording's from here on (also when it fails before its loop).
  framesWritten_ = 0;
  recording_ = true;
  thread_->worker.Resume();
}

void TScreenCamNS::StopRecording() {
  recording_ = false;
  if (thread_) ::SetEvent(thread_->stop.get());
}

void TScreenCamNS::ThreadEntry(TRecordAVIThread* thread) {
  TScreenCamNS* camera = thread->camera;
  base::GuardVoid("sound-less record thread", [&] { camera->Execute(*thread); });
  // The end is handled on the main thread; the closure checks that the recorder still exists.
  std::weak_ptr<TScreenCamNS*> alive = thread->alive;
  uint64_t serial = thread->serial;
  base::PostToMain([alive, serial] {
    if (auto self = alive.lock()) {
      TScreenCamNS* cam = *self;
      if (cam->thread_ && cam->thread_->serial == serial) cam->RecordThreadTerminated(cam->thread_.get());
    }
  });
}

void TScreenCamNS::RecordThreadTerminated(TRecordAVIThread* ended) {
  if (thread_.get() != ended) return;
  // The thread posted this as its last act; let it return before its state goes.
  thread_->worker.Join(INFINITE, base::Pump::SentOnly);
  recording_ = false;
  thread_.reset();
}

void TScreenCamNS::Execute(TRecordAVIThread& thread) {
  while (RecordToFile(thread) == -1) {
  }
}

void TScreenCamNS::Raise(const TNotifyEvent& event) {
  if (event) base::GuardVoid("sound-less recorder event", [&] { event(*this); });
}

// --- one grab ---

bool TScreenCamNS::GrabInto(TRecordAVIThread& thread, std::optional<ScreenGrabber>& grabber, int left, int top,
                            int width, int height) {
  if (!grabber || grabber->width() != width || grabber->height() != height || !grabber->ok()) {
    grabber.reset();
    grabber.emplace(width, height, CaptureSettings{thread.bitsPerPixel, thread.drawCursor, arrowCursor_, arrowHotspot_});
  }
  if (!grabber->ok()) return false;
  GrabOnce(thread, *grabber, left, top);
  return true;
}

void TScreenCamNS::GrabOnce(TRecordAVIThread& thread, ScreenGrabber& grabber, int left, int top) {
  if (!grabber.Grab(left, top, thread.painter) && !thread.bitsErrorShown) {
    // Shown once per recording: on every frame it would stop the recording dead.
    thread.bitsErrorShown = true;
    base::ShowMessage(nullptr, kBitsFailed, kCaptionErrorEn, MB_OK);
  }
}

// --- the recording routine ---

std::wstring TScreenCamNS::KeepDetourFile(const base::MultimediaTarget& target) {
  const std::wstring& file = target.Name();
  const std::vector<engine::KeptFile> kept = engine::KeepUnderRecordingNames({file}, FolderOf(file));
  if (kept.empty()) return kCreateFailed;
  if (kept[0].copied) ::DeleteFileW(file.c_str());
  const wchar_t* format = kept[0].inPlace ? kLeftFmt : kKeptFmt;
  return std::wstring(kCreateFailed) + L"\r\n" + base::Format(format, target.Path(), kept[0].kept);
}

// Returns 1 (done), 0 (failed) or -1 (run again with the default compressor).
int TScreenCamNS::RecordToFile(TRecordAVIThread& thread) {
  bool fileCreated = false;
  int written = 0;  // frames written by this attempt
  try {
    // 1. The rectangle as it is now.
    RECT area{};
    if (!thread.area || !thread.area->CurrentArea(area) || area.right <= area.left || area.bottom <= area.top) {
      Raise(OnError);
      return 0;
    }
    int left = area.left, top = area.top;
    int width = area.right - area.left, height = area.bottom - area.top;
    frameWidth_ = width;
    frameHeight_ = height;

    // 2. Version check.
    if (HIWORD(::VideoForWindowsVersion()) < 0x010A) {
      base::ShowMessage(nullptr, kVersionTooOld, kCaptionError, MB_ICONHAND);
      Raise(OnError);
      return 0;
    }

    // 3. Test frame. The grabber made for it serves the whole recording when the size holds.
    std::optional<ScreenGrabber> grabber;
    bool grabFailed = !GrabInto(thread, grabber, left, top, width, height);

    // 4. Compressor fit: the rectangle is fitted to an opened compressor and the test frame
    // grabbed again at the size that holds; true when some alignment was accepted.
    auto fitTo = [&](HIC ic) {
      FitResult fit = FitToCompressor(width, height, displayWidth_, displayHeight_, [&](int w, int h) {
        if ((w != grabber->width() || h != grabber->height()) && !GrabInto(thread, grabber, left, top, w, h))
          return false;
        return ::ICCompressQuery(ic, grabber->frame().get(), nullptr) == ICERR_OK;
      });
      if (fit.accepted) {
        width = fit.width;
        height = fit.height;
      }
      if (!grabber->ok() || grabber->width() != width || grabber->height() != height)
        grabFailed = !GrabInto(thread, grabber, left, top, width, height);
      return fit.accepted;
    };
    DWORD codec = kDefaultCodec;
    if (!grabFailed && thread.hasCompressor && !thread.defaultAgreed) {
      UniqueHic ic(::ICOpen(thread.compressor.fccType, thread.compressor.fccHandler, ICMODE_QUERY));
      if (ic && fitTo(ic.get())) codec = thread.compressor.fccHandler;
    }
    // 5. This compressor is known to fail here; the default one is used instead.
    if (SameFourCC(codec, kIV50)) codec = kDefaultCodec;
    // The default compressor takes only some sizes too (MS Video 1 codes whole 4 x 4 blocks),
    // so the rectangle is fitted to it in the same way, without a question; a size it refuses
    // at every alignment is kept, and the stream set-up below then fails as it did.
    if (!grabFailed && SameFourCC(codec, kDefaultCodec)) {
      UniqueHic ic(::ICOpen(ICTYPE_VIDEO, kDefaultCodec, ICMODE_QUERY));
      if (ic) fitTo(ic.get());
    }
    frameWidth_ = width;
    frameHeight_ = height;
    codecFourCC_ = codec;

    // 6. The brackets, shown until the end of this attempt.
    struct BracketsHider {
      TRecordAVIThread& thread;
      ~BracketsHider() { Hide(); }
      void Hide() {
        thread.painter = nullptr;
        if (!thread.bracketsShown) return;
        thread.bracketsShown = false;
        thread.bracketsVisible = false;
        // Not waited for: the hide runs after every request this thread posted before.
        std::weak_ptr<TScreenCamNS*> alive = thread.alive;
        base::PostToMain([alive] {
          if (auto self = alive.lock()) ::ShowWindow((*self)->flashWindow_->hwnd(), SW_HIDE);
        });
      }
    } hider{thread};
    if (!grabFailed && thread.showFlashFrame) {
      std::weak_ptr<TScreenCamNS*> alive = thread.alive;
      RECT placement{left, top, width, height};
      // Around the whole screen every bracket is off screen: nothing to show, nothing to paint.
      // (Wine also treats a popup that covers the screen as a managed window, and hiding it
      // then blocks the main thread for 2 s.)
      const bool visible = !CoversVirtualScreen(placement);
      thread.placement = placement;
      base::CallOnMain(
          [alive, placement, visible] {
            if (auto self = alive.lock()) {
              flashwnd::TFlashingWnd& wnd = *(*self)->flashWindow_;
              wnd.SetUpRegion(placement.left, placement.top, placement.right, placement.bottom);
              if (visible) ::ShowWindow(wnd.hwnd(), SW_SHOWNOACTIVATE);
              wnd.PaintFrame(kIdleColor);
            }
          },
          thread.stop.get(), kMainCallTimeoutMs);
      thread.bracketsShown = true;
      thread.bracketsVisible = visible;
      if (visible) {
        // Made once: a grab posts its two paints through it without waiting.
        flashwnd::TFlashingWnd* brackets = thread.brackets;
        thread.painter = [brackets](COLORREF color) { brackets->PostPaint(color); };
      }
    }

    // 7. The file and its streams, released (compressed stream first) before any question.
    // Only the compressor's own steps (making the compressed stream, its format, the first
    // frame) count as its failures and lead to the question; any other failure ends the
    // recording and keeps what was written.
    Failure failure = grabFailed ? Failure::Stop : Failure::None;
    bool sizeLimit = false;  // the loop ended before the file would outgrow an AVI file
    std::wstring lowFolder;  // the folder whose volume ran low, when that ended the loop
    const auto failIf = [&failure](bool bad, Failure kind) {
      if (bad && failure == Failure::None) failure = kind;
    };
    base::MultimediaTarget target(thread.fileName, kTemporaryName);
    {
      AviLibrary library;
      UniqueAviFile file;
      UniqueAviStream stream;
      // The compressor is driven directly into the plain stream (see compressed_writer.h).
      engine::CompressedWriter compressed;
      const BITMAPINFOHEADER* format = grabFailed ? nullptr : grabber->frame().get();
      if (failure == Failure::None) {
        failIf(target.Name().empty() ||
                   ::AVIFileOpenW(file.put(), target.Name().c_str(), OF_WRITE | OF_CREATE, nullptr) != AVIERR_OK,
               Failure::Stop);
        fileCreated = failure == Failure::None;
      }
      if (failure == Failure::None) {
        AVISTREAMINFOW info{};
        info.fccType = streamtypeVIDEO;
        info.dwScale = 1;
        info.dwRate = static_cast<DWORD>(thread.frameRate);
        info.dwSuggestedBufferSize = format->biSizeImage;
        info.rcFrame = RECT{0, 0, format->biWidth, format->biHeight};
        failIf(::AVIFileCreateStream(file.get(), stream.put(), &info) != AVIERR_OK, Failure::Stop);
      }
      if (failure == Failure::None) {
        AVICOMPRESSOPTIONS options{};
        options.fccType = streamtypeVIDEO;
        options.fccHandler = codec;
        options.dwKeyFrameEvery = static_cast<DWORD>(thread.keyFrameEvery);
        options.dwQuality = static_cast<DWORD>(thread.quality);
        options.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
        failIf(compressed.Open(stream.get(), options) != AVIERR_OK, Failure::Compressor);
      }
      if (failure == Failure::None)
        failIf(compressed.SetFormat(format, static_cast<LONG>(grabber->frame().formatSize())) != AVIERR_OK,
               Failure::Compressor);

      if (failure == Failure::None) {
        // 8. The frame loop's start.
        Raise(OnStart);
        framesWritten_ = 0;
        lastFrameSpan_ = 0;
        framesDropped_ = 0;
        frameIndex_ = 0;
        FrameSchedule schedule(thread.captureInterval);
        // The writes' results cannot be trusted with the disk (on a full one this platform's
        // writes still succeed, and an AVI 1.0 file stops growing at 2 GiB): the file's
        // volume and size are watched instead, about once a second. When the file was
        // detoured through the temporary folder, the target's folder must take it too.
        engine::DiskBudget budget;
        budget.WatchWriter(target.Name());
        budget.SetFrameMargin(compressed.WorstFrameBytes());
        if (target.ViaTemporaryFile()) budget.WatchTarget(FolderOf(target.Path()));
        TimerPeriod period;
        const DWORD start = base::NowMs();
        startTime_ = start;

        // 9. The passes, on their slots' deadlines (see RunFrameLoop). Everything a pass uses
        // was made above: the grabber's contexts, bitmap and frame, the bracket painter.
        struct Steps : FrameLoopSteps {
          TScreenCamNS& cam;
          TRecordAVIThread& thread;
          ScreenGrabber& grabber;
          engine::CompressedWriter& compressed;
          const FrameSchedule& schedule;
          engine::DiskBudget& budget;
          DWORD start;
          int left, top;
          int& written;  // the attempt's own count, so an exception still knows it
          DWORD lastWrite = 0, lastProgress = 0;
          engine::DiskVerdict disk = engine::DiskVerdict::Ok;  // what ended the loop, if the disk did
          std::wstring lowPath;                                // the path whose volume ran low

          Steps(TScreenCamNS& c, TRecordAVIThread& th, ScreenGrabber& g, engine::CompressedWriter& s,
                const FrameSchedule& sc, engine::DiskBudget& b, DWORD st, int l, int t, int& w)
              : cam(c),
                thread(th),
                grabber(g),
                compressed(s),
                schedule(sc),
                budget(b),
                start(st),
                left(l),
                top(t),
                written(w) {}
          uint32_t Elapsed() override { return base::NowMs() - start; }
          bool Running() override { return disk == engine::DiskVerdict::Ok && cam.recording_.load(); }
          bool Grab() override {
            if (thread.followAreaControl) {
              RECT now{};
              if (thread.area->CurrentArea(now) && (now.left != left || now.top != top)) {
                left = now.left;
                top = now.top;
                thread.placement.left = left;
                thread.placement.top = top;
                // Moved: the brackets follow; a fixed area is never placed again.
                if (thread.bracketsVisible)
                  thread.brackets->PostPlacement(left, top, grabber.width(), grabber.height());
              }
            }
            cam.GrabOnce(thread, grabber, left, top);
            if (thread.probe) thread.probe->GrabEnded();
            return true;
          }
          bool Write(int slot, uint32_t t) override {
            const engine::PackedFrame& frame = grabber.frame();
            if (compressed.Write(slot, frame.pixels(), static_cast<LONG>(frame->biSizeImage)) != AVIERR_OK) return false;
            budget.Handed(compressed.LastFrameBytes());
            cam.framesWritten_ = ++written;
            cam.lastFrameSpan_ = static_cast<double>(t - lastWrite);
            lastWrite = t;
            return true;
          }
          void Passed(uint32_t t, int slot, bool wrote) override {
            cam.frameIndex_ = slot;
            if (wrote) cam.framesDropped_ = schedule.dropped();
            if (thread.probe) thread.probe->Grabbed(t, slot, wrote);
            if (wrote) budget.SetChunks(static_cast<uint64_t>(written));
            const engine::DiskCheck check = budget.Poll();
            disk = check.verdict;
            if (disk == engine::DiskVerdict::DiskLow) lowPath = check.path;
            if (t > lastProgress + 500) {
              lastProgress = t;
              cam.Raise(cam.OnProgress);
            }
          }
          bool Wait(uint32_t ms) override { return ::WaitForSingleObject(thread.stop.get(), ms) == WAIT_TIMEOUT; }
        } steps(*this, thread, *grabber, compressed, schedule, budget, start, left, top, written);
        // A failed first frame is the compressor's; a later one ends the recording with what
        // it holds. A volume running low ends it so too, before its writes fail; the size
        // limit ends it as a stop, and what it holds is saved.
        if (!RunFrameLoop(steps, schedule, thread.captureInterval))
          failIf(true, steps.written == 0 ? Failure::Compressor : Failure::Stop);
        failIf(steps.disk == engine::DiskVerdict::DiskLow, Failure::Stop);
        if (steps.disk == engine::DiskVerdict::DiskLow) lowFolder = FolderOf(steps.lowPath);
        sizeLimit = steps.disk == engine::DiskVerdict::SizeLimit;
        // 10.
        Raise(OnStop);
      }
    }  // 11. Streams, file and library released here.
    hider.Hide();
    // The closed file's frame period in its main header, as the platform writes it wrong.
    if (fileCreated && written > 0) engine::CorrectAviHeaders(target.Name());

    // A file that never received a frame cannot be played: it goes, however the recording
    // ended (a stop before the first frame too).
    const bool failed = failure != Failure::None;
    if (fileCreated && written == 0) {
      target.Discard();
    } else if (fileCreated && !target.Commit()) {
      // The recording is whole in the temporary file; only its copy into place failed. It is
      // kept under a name that no recording writes over, and the user is told where. No retry
      // may write over it.
      Raise(OnError);
      base::ShowMessage(nullptr, KeepDetourFile(target), kCaptionErrorEn, MB_ICONEXCLAMATION);
      return 0;
    } else if (fileCreated) {
      fileSaved_ = true;
    }

    // 12. Failure questions, for the compressor's failures only.
    if (!failed) {
      if (sizeLimit) base::ShowMessage(nullptr, kSizeLimitStop, kCaptionNotice, MB_ICONINFORMATION);
      return 1;
    }
    Raise(OnError);
    if (failure == Failure::Compressor && !SameFourCC(codec, kDefaultCodec)) {
      if (base::ShowMessage(nullptr, kAskDefaultCodec, kCaptionNotice, MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
        thread.defaultAgreed = true;
        return -1;
      }
      return 0;
    }
    // As the camera does, a full disk is named (the recording up to it was saved above), and
    // a folder that takes no files is told from a full one.
    std::wstring told = kCreateFailed;
    const std::wstring writtenTo = lowFolder.empty() ? thread.fileName : lowFolder;
    if (engine::FolderRefusesWriting(writtenTo))
      told += L"\r\n" + base::Format(kFolderRefusesFmt, FolderOf(writtenTo));
    else if (!lowFolder.empty())
      told += L"\r\n" + base::Format(kDiskLowFmt, lowFolder);
    base::ShowMessage(nullptr, told, kCaptionErrorEn, MB_ICONEXCLAMATION);
    return 0;
  } catch (const std::exception& e) {
    base::ReportBarrierException("sound-less recording", &e);
  } catch (...) {
    base::ReportBarrierException("sound-less recording", nullptr);
  }
  // Every stream, file, frame and the brackets were released while unwinding; a detour file
  // that holds frames was moved into place then. One without a frame goes.
  if (fileCreated && written == 0) ::DeleteFileW(thread.fileName.c_str());
  Raise(OnError);
  return 0;
}

}  // namespace scrcamNS
