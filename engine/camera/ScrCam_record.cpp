// The screen camera's recording routine, on its record thread: the compressor check (with the
// size fitting and the three questions), the temporary AVI file with its compressed stream,
// the sound recorder, the frame loop, the end, the merge and the error endings.
//
// Threads: everything here runs on the record thread. It changes only flags and atomics of the
// camera; whatever belongs to the main thread (the application's restore, the frame timer and
// frame window, the list refresh, the hotkeys, CompressorName) is posted to it through closures
// that do nothing once the camera is gone.
//
// The frame loop makes nothing per frame: the capturer's grab objects, effects bitmaps and
// packed frame, and the preview bitmap are made once for the recording's fixed size; the loop
// waits on the camera's wake event for its next slot instead of spinning.
#include <algorithm>
#include <optional>
#include <vector>

#include "audio/scWaveUtils.h"
#include "base/barrier.h"
#include "base/dispatch.h"
#include "base/seams.h"
#include "engine/camera/ScrCam_record.h"
#include "engine/camera/avi_contents.h"
#include "engine/capture/avi_headers.h"
#include "engine/capture/compressed_writer.h"
#include "engine/capture/compressors.h"
#include "engine/capture/disk_budget.h"
#include "engine/capture/scrcamNS_rules.h"
#include "engine/capture/vfw_handles.h"

namespace ScrCam {

namespace {

const wchar_t kNotice[] = L"Notice";
const wchar_t kAskFitted[] =
    L"Error: This compressor cann`t work if the dimensions is adjusted slightly\r\nUse default compressor?";
const wchar_t kAskFailed[] = L"Error: Not recording AVI file using current compressor.\r\nUse default compressor?";
const wchar_t kAskNone[] = L"You no selected compressor, use default compressor?";
const wchar_t kDefaultName[] = L"MS Video Codec";
const wchar_t kCaptureError[] = L"Error capturing a frame from screen.";
const wchar_t kWriteError[] = L"Error on write data to AVI stream.";
const wchar_t kSizeLimit[] =
    L"Recording stopped: the AVI file would pass its 2 GB size limit. What was recorded is saved.";

// How far ahead the free space and the size limit must last at the rate being written.
constexpr double kBudgetSeconds = 5.0;
// A sound track this much shorter than the picture stopped early (a whole one ends within a
// wave buffer of the picture's end).
constexpr uint64_t kSoundShortMs = 1000;

// How a failure stop before the AVI stage treats the preview while it is off.
enum PreviewRow { kFrameOnly = 1, kNothing = 2, kFull = 3 };

// How the AVI stage or the loop failed: a compressor failure before the first frame leads to
// question 2 and its retry; any other failure is an error stop without a question.
enum class Failure { None, Compressor, Stop };

std::wstring FolderOf(const std::wstring& file) {
  const size_t at = file.find_last_of(L"\\:");
  return at == std::wstring::npos ? std::wstring() : file.substr(0, at + 1);
}

bool IsFolder(const std::wstring& path) {
  if (path.empty()) return false;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

template <class Event, class... Args>
void Fire(const Event& event, Args&&... args) {
  if (event) base::GuardVoid("screen camera event", [&] { event(std::forward<Args>(args)...); });
}

}  // namespace

// The objects of one RecordAVI call, released in the order of the end (step 8): streams and
// file, then the sound recorder; the AVI library last, after the merge.
struct TScreenCamera::RecordState {
  std::optional<engine::AviLibrary> library1, library2;
  FrameCapturer capturer;
  engine::TBitmap preview;
  engine::UniqueAviFile file;
  engine::UniqueAviStream stream;
  // The compressor driven directly into the plain stream (see compressed_writer.h).
  engine::CompressedWriter compressed;
  std::unique_ptr<CameraAudioRecorder> audio;
  bool audioStarted = false;  // RecordToFile was accepted
  Failure failure = Failure::None;
  int width = 0, height = 0;  // the frame size, fixed with the stream format
  int written = 0;
  bool captureFailed = false;
  bool writeFailed = false;
  // The loop ended on a failure of its own (a capture, the packer, an exception): an error
  // stop, which still saves what was recorded.
  bool faultStop = false;
  // The loop clock: real time at the loop's start, paused time so far, the pauses themselves.
  uint32_t loopStart = 0;
  uint32_t pausedTotal = 0;
  std::vector<std::pair<uint32_t, uint32_t>> pauses;
  // What the sound recorder told at its end.
  bool soundPlaced = false;
  uint32_t soundStartedAt = 0;
  int32_t headGapMs = -1;
  // The temporary files' volumes, the target's, and the AVI size limit (polled by the loop).
  engine::DiskBudget budget{kBudgetSeconds};
  // The temporary video's size on its disk when the loop ended with that disk full to its last
  // byte: what the writer held then may have been refused without a word (see Merge).
  std::optional<uint64_t> videoReached;
};

void TScreenCamera::TakeSettings(TRecordAVIThread& thread) {
  RecordSettings& s = thread.settings;
  s.target = TargetFile;
  s.messageOwner = host_ ? host_->MessageOwner() : nullptr;
  s.useAudio = UseAudioRecord;
  s.pcmFormat = SelectedAudioFormat >= 0 && SelectedAudioFormat <= 19
                    ? static_cast<audio::TPCMFormat>(SelectedAudioFormat + 1)
                    : static_cast<audio::TPCMFormat>(3);
  s.recordMspf = recordMspf_.load();
  s.playBackFps = playBackFps_;
  s.keyFramesEvery = KeyFramesEvery;
  s.quality = compressionQuality_;
  s.colors = colors_;
  s.bits = bitsPerPixel_;
  s.hasCompressor = SelectedCompressor >= 0 && SelectedCompressor < CompressorCount;
  if (s.hasCompressor) s.compressor = Compressors[SelectedCompressor];
  s.defaultFourCC = DefaultFourCC;
  s.restoreApp = RestoreAppOnStop;
  s.probe = probe_;
  // Agreed before this recording (the host may set it): the first attempt asks nothing.
  thread.useDefault = UseDefaultCompressor;
  UseDefaultCompressor = false;
}

void TScreenCamera::RaiseError(const std::wstring& text) { Fire(OnError, *this, text); }

void TScreenCamera::PostToHost(void (CameraHost::*call)()) {
  std::weak_ptr<TScreenCamera*> alive = weakSelf_;
  base::PostToMain([alive, call] {
    if (auto self = alive.lock())
      if (CameraHost* host = (*self)->host_) (host->*call)();
  });
}

void TScreenCamera::PostPreviewOff(bool report) {
  std::weak_ptr<TScreenCamera*> alive = weakSelf_;
  base::PostToMain([alive, report] {
    auto self = alive.lock();
    if (!self) return;
    TScreenCamera& cam = **self;
    if (cam.Preview() || cam.Recording) return;
    if (cam.frameTimer_) cam.frameTimer_->SetEnabled(false);
    cam.HideFrameWindow();
    if (report && cam.OnPreview) cam.OnPreview(cam, nullptr, false, false);
  });
}

void TScreenCamera::StopFromRecordThread() {
  StopStatus = kStopUser;
  Recording = false;
  Paused = false;
  ::SetEvent(wake_.get());
  std::weak_ptr<TScreenCamera*> alive = weakSelf_;
  base::PostToMain([alive] {
    if (auto self = alive.lock()) (*self)->SetPreview((*self)->Preview());
  });
}

bool TScreenCamera::Ask(TRecordAVIThread& thread, const wchar_t* text) {
  struct Asking {
    std::atomic<bool>& flag;
    explicit Asking(std::atomic<bool>& f) : flag(f) { flag = true; }
    ~Asking() { flag = false; }
  } asking(asking_);
  return base::ShowMessage(thread.settings.messageOwner, text, kNotice, MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

void TScreenCamera::UseDefault(TRecordAVIThread& thread) {
  thread.fourcc = thread.settings.defaultFourCC;
  thread.useDefault = true;
  std::weak_ptr<TScreenCamera*> alive = weakSelf_;
  base::PostToMain([alive] {
    if (auto self = alive.lock()) (*self)->CompressorName = kDefaultName;
  });
}

// --- Execute ---

void TScreenCamera::Execute(TRecordAVIThread& thread) {
  MergeSucceeded = false;
  SoundStoppedAtMs = -1;
  recorded_ = true;
  // Before anything here deletes a temporary file (the end below does on every path).
  base::GuardVoid("earlier temporary files", [&] { KeepLeftovers(thread.settings.target); });
  if (!IsFolder(FolderOf(thread.settings.target))) {
    RaiseError(L"Not exist file path.");
  } else {
    while (RecordAVI(thread) == -1) {
    }
  }
  if (MergeSucceeded) {
    bool cont = true;
    Fire(OnSaving, *this, 100, std::wstring(L"Saving Success..."), cont);
  }
  DeleteUnlessHeld(TempVideoFile);
  DeleteUnlessHeld(TempAudioFile);
}

int TScreenCamera::FailureStop(TRecordAVIThread& thread, const std::wstring& text, int previewRow) {
  RaiseError(text);
  StopStatus = kStopError;
  Recording = false;
  Fire(OnStop, *this);
  if (previewRow != kNothing) PostPreviewOff(previewRow == kFull);
  if (thread.settings.restoreApp) PostToHost(&CameraHost::RestoreApp);
  return 0;
}

int TScreenCamera::ErrorEnding(TRecordAVIThread& thread) {
  PostPreviewOff(true);
  StopStatus = kStopError;
  Recording = false;
  Fire(OnStop, *this);
  if (thread.settings.restoreApp) PostToHost(&CameraHost::RestoreApp);
  return 0;
}

// --- RecordAVI ---

int TScreenCamera::RecordAVI(TRecordAVIThread& thread) {
  const RecordSettings& s = thread.settings;
  RecordState state;
  state.capturer.PinColors(s.colors, s.bits);
  state.capturer.MarkRecording();

  // 1. The platform's video version.
  if (HIWORD(::VideoForWindowsVersion()) < 0x010A)
    return FailureStop(thread, L"Failure: Video for windows version too old!", kFrameOnly);

  // 2. A test frame of the rectangle.
  Area area = CaptureArea();
  if (!CaptureFrame(state.capturer, 1, nullptr, area.left, area.top, area.width, area.height, FilterColor()))
    return FailureStop(thread, kCaptureError, kNothing);

  // 3 and 4. The compressor, with the size fitting.
  bool captureFailed = false;
  if (!ChooseCompressor(thread, state, captureFailed))
    return captureFailed ? FailureStop(thread, kCaptureError, kNothing)
                         : FailureStop(thread, L"User aborted!", kFull);

  // The frame size is fixed here, with the stream format; the tick moves only the origin.
  area = CaptureArea();
  state.width = area.width;
  state.height = area.height;
  const BITMAPINFOHEADER* test =
      CaptureFrame(state.capturer, 1, nullptr, area.left, area.top, state.width, state.height, FilterColor());
  if (!test) return FailureStop(thread, kCaptureError, kNothing);

  // 5 to 7, then the end (8) on every path.
  try {
    SetUpAndRecord(thread, state, test);
  } catch (const std::exception& e) {
    base::ReportBarrierException("screen camera recording", &e);
    if (state.failure == Failure::None) state.failure = Failure::Stop;
    state.faultStop = true;
  } catch (...) {
    base::ReportBarrierException("screen camera recording", nullptr);
    if (state.failure == Failure::None) state.failure = Failure::Stop;
    state.faultStop = true;
  }
  EndRecording(thread, state);
  // 9. The merge, after a user stop, and after the loop's own failures too: the frames written
  // are the user's recording. A recording without a frame has nothing to save: no target is
  // written for it.
  const bool userStop = state.failure == Failure::None && StopStatus == kStopUser;
  if (state.written > 0 && (userStop || state.faultStop))
    base::GuardVoid("screen camera merge", [&] { Merge(thread, state); });
  // 10. The AVI library goes with the state; 11 and 12.
  return AfterRecording(thread, state);
}

bool TScreenCamera::ChooseCompressor(TRecordAVIThread& thread, RecordState& state, bool& captureFailed) {
  const RecordSettings& s = thread.settings;
  // Fits the rectangle to an opened compressor: its size becomes the first one accepted.
  auto fitTo = [&](HIC ic) {
    const Area start = CaptureArea();
    const scrcamNS::FitResult fit =
        scrcamNS::FitToCompressor(start.width, start.height, DesktopWidth, DesktopHeight, [&](int w, int h) {
          if (captureFailed) return false;
          BITMAPINFOHEADER* frame =
              CaptureFrame(state.capturer, 1, nullptr, start.left, start.top, w, h, FilterColor());
          if (!frame) {
            captureFailed = true;
            return false;
          }
          return ::ICCompressQuery(ic, frame, nullptr) == ICERR_OK;
        });
    if (fit.accepted && !captureFailed) {
      SetScreenWidth(fit.width);
      SetScreenHeight(fit.height);
    }
    return fit.accepted && !captureFailed;
  };
  // The default compressor takes only some sizes too (MS Video 1 codes whole 4 x 4 blocks): the
  // rectangle is fitted to it in the same way, without a question. A size it refuses at every
  // alignment is kept, and the stream set-up then fails as it did.
  auto useDefault = [&] {
    UseDefault(thread);
    engine::UniqueHic ic(::ICOpen(ICTYPE_VIDEO, s.defaultFourCC, ICMODE_QUERY));
    if (ic) fitTo(ic.get());
    return !captureFailed;
  };
  if (thread.useDefault) return useDefault();  // the retry after the user agreed: no question
  if (!s.hasCompressor) return Ask(thread, kAskNone) && useDefault();
  engine::UniqueHic ic(::ICOpen(s.compressor.fccType, s.compressor.fccHandler, ICMODE_QUERY));
  if (!ic) return Ask(thread, kAskFailed) && useDefault();
  if (fitTo(ic.get())) {
    thread.fourcc = s.compressor.fccHandler;
    std::wstring name(s.compressor.szName, std::find(s.compressor.szName, s.compressor.szName + 16, L'\0'));
    std::weak_ptr<TScreenCamera*> alive = weakSelf_;
    base::PostToMain([alive, name] {
      if (auto self = alive.lock()) (*self)->CompressorName = name;
    });
    return true;
  }
  if (captureFailed) return false;
  ic.reset();
  return Ask(thread, kAskFitted) && useDefault();
}

// Steps 5 to 7: the temporary AVI file and its compressed stream, the sound recorder, the loop.
void TScreenCamera::SetUpAndRecord(TRecordAVIThread& thread, RecordState& state, const BITMAPINFOHEADER* test) {
  const RecordSettings& s = thread.settings;
  state.library1.emplace();
  if (!tempSet_) {
    RaiseError(L"Can not record with sound: every set of temporary files in " + GetTempFolder() +
               L" is in use by other running copies of the program.");
    state.failure = Failure::Stop;
    return;
  }
  // A recording that is only in the temporary file (it could not be kept elsewhere) stays.
  if (HeldInPlace(TempVideoFile) || !DeleteTempFile(TempVideoFile)) {
    RaiseError(L"Can not delete video temp file.");
    state.failure = Failure::Stop;
    return;
  }
  if (::AVIFileOpenW(state.file.put(), TempVideoFile.c_str(), OF_WRITE | OF_CREATE, nullptr) != AVIERR_OK) {
    RaiseError(L"Error on create AVI file.");
    state.failure = Failure::Stop;
    return;
  }
  AVISTREAMINFOW info{};
  info.fccType = streamtypeVIDEO;
  info.fccHandler = thread.fourcc;
  info.dwFlags = 12;
  info.dwScale = 1;
  info.dwRate = static_cast<DWORD>(s.playBackFps);
  info.dwSuggestedBufferSize = test->biSizeImage;
  info.dwQuality = static_cast<DWORD>(s.quality);
  info.rcFrame = RECT{0, 0, test->biWidth, test->biHeight};
  // The selected entry's short name, also after a fall-back to the default compressor.
  if (s.hasCompressor)
    for (int i = 0; i < 16 && s.compressor.szName[i]; ++i) info.szName[i] = s.compressor.szName[i] & 0xFF;
  state.library2.emplace();
  if (::AVIFileCreateStream(state.file.get(), state.stream.put(), &info) != AVIERR_OK) {
    RaiseError(L"Error on create AVI stream.");
    state.failure = Failure::Stop;
    return;
  }
  AVICOMPRESSOPTIONS options{};
  options.fccType = streamtypeVIDEO;
  options.fccHandler = thread.fourcc;
  options.dwKeyFrameEvery = static_cast<DWORD>(s.keyFramesEvery);
  options.dwQuality = static_cast<DWORD>(s.quality);
  options.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
  if (state.compressed.Open(state.stream.get(), options) != AVIERR_OK) {
    RaiseError(L"Error on compress AVI stream.");
    state.failure = Failure::Compressor;
    return;
  }
  if (state.compressed.SetFormat(test, static_cast<LONG>(engine::PackedFormatSize(test))) != AVIERR_OK) {
    RaiseError(L"Error on set AVI stream format.");
    state.failure = Failure::Compressor;
    return;
  }
  CompressorFourCC = thread.fourcc;

  // 6. The sound recorder.
  Fire(OnStart, *this);
  if (s.useAudio) {
    state.audio = std::make_unique<CameraAudioRecorder>();
    // A device failure during the recording (its sound server gone, a wave write refused by
    // a full disk) is told once, with the recording's end: by where the wave stops (Merge).
    // Without a handler the device would show a box of its own on the main thread.
    state.audio->OnError = [](audio::TWaveAudioIO*) {};
    state.audio->SetPCMFormat(s.pcmFormat);
    // The record thread has no message loop.
    state.audio->SetAsync(true);
    if (HeldInPlace(TempAudioFile) || !DeleteTempFile(TempAudioFile)) {
      RaiseError(L"Can not delete audio temp file.");
      state.failure = Failure::Stop;
      return;
    }
    try {
      state.audioStarted = state.audio->RecordToFile(TempAudioFile);
    } catch (...) {
      state.audioStarted = false;
    }
    if (!state.audioStarted) {
      RaiseError(L"Error on start audio recording.");
      state.failure = Failure::Stop;
      return;
    }
  }

  // 7. The frame loop, with the disk budget: the temporary files are parts of the target that
  // the merge writes into the target's folder (through the temporary folder when the target's
  // path is not ASCII).
  state.budget.WatchWriter(TempVideoFile);
  state.budget.SetFrameMargin(state.compressed.WorstFrameBytes());
  if (s.useAudio) {
    WAVEFORMATEX sound{};
    audio::MakePCMFormat(sound, s.pcmFormat);
    state.budget.WatchFile(TempAudioFile, sound.nAvgBytesPerSec, true);
  }
  state.budget.WatchTarget(FolderOf(s.target));
  if (HasNonAsciiChar(s.target)) state.budget.WatchTarget(GetTempFolder());
  RunLoop(thread, state);
}

void TScreenCamera::WaitOutPause(RecordState& state) {
  // The sound first: once OnPause is raised nothing more is recorded.
  if (state.audio) base::GuardVoid("sound pause", [&] { state.audio->Pause(); });
  Fire(OnPause, *this);
  const uint32_t begin = base::NowMs();
  // Woken by ResumeRecording and every stop; a flag written directly is seen within 20 ms.
  while (Paused && Recording) ::WaitForSingleObject(wake_.get(), 20);
  const uint32_t end = base::NowMs();
  state.pausedTotal += end - begin;
  state.pauses.emplace_back(begin, end);
  if (state.audio) base::GuardVoid("sound resume", [&] { state.audio->Resume(); });
  Fire(OnResume, *this);
}

void TScreenCamera::RunLoop(TRecordAVIThread& thread, RecordState& state) {
  const RecordSettings& s = thread.settings;
  CaptureFrameRate = 0;
  LoopFrameRate = 0;
  FramesWritten = 0;
  FramesDropped = 0;
  frameIndex_ = 0;
  SetElapsed(TElapsedTime{});
  state.pauses.reserve(64);
  state.capturer.PinColors(s.colors, s.bits);
  if (PreviewWhileRecording) state.preview.Reset(state.width, state.height, s.colors);

  struct Steps : scrcamNS::FrameLoopSteps {
    TScreenCamera& cam;
    RecordState& st;
    const RecordSettings& s;
    const scrcamNS::FrameSchedule& schedule;
    double rate = 0, prevWrite = 0, prevPass = 0, writeDuration = 10;
    uint32_t lastUpdate = 0;

    Steps(TScreenCamera& c, RecordState& state, const RecordSettings& settings, const scrcamNS::FrameSchedule& sc)
        : cam(c), st(state), s(settings), schedule(sc) {}
    uint32_t Elapsed() override { return base::NowMs() - st.loopStart - st.pausedTotal; }
    bool Running() override {
      if (cam.Paused && cam.Recording) cam.WaitOutPause(st);
      return cam.Recording;
    }
    bool Grab() override {
      if (s.probe) {
        st.capturer.fault_ = s.probe->NextPackFault();
        s.probe->Capturing();
      }
      const Area area = cam.CaptureArea();
      const bool preview = cam.PreviewWhileRecording.load();
      // A frame whose packing failed (its bits unread: black) is not written; the failure has
      // stopped the recording.
      if (!cam.CaptureFrame(st.capturer, preview ? 2 : 1, preview ? &st.preview : nullptr, area.left, area.top,
                            st.width, st.height, cam.FilterColor()) ||
          st.capturer.packFailed_) {
        st.captureFailed = true;
        return false;
      }
      if (s.probe) s.probe->Captured();
      return true;
    }
    bool Write(int slot, uint32_t) override {
      const uint32_t noted = base::NowMs();
      const engine::PackedFrame& frame = st.capturer.frame_;
      // Only the frames the compressor was asked to make key frames are indexed as such.
      if (st.compressed.Write(slot, frame.pixels(), static_cast<LONG>(frame->biSizeImage)) != AVIERR_OK) {
        st.writeFailed = true;
        return false;
      }
      st.budget.Handed(st.compressed.LastFrameBytes());
      if (s.probe) s.probe->Wrote(slot);
      cam.FramesWritten = ++st.written;
      const double t = Elapsed();
      if (t - prevWrite > 0) rate = 1000.0 / (t - prevWrite);
      cam.CaptureFrameRate = std::min(rate, static_cast<double>(s.playBackFps));
      prevWrite = t;
      writeDuration = static_cast<double>(base::NowMs() - noted);
      return true;
    }
    void Passed(uint32_t t, int slot, bool wrote) override {
      cam.frameIndex_ = slot;
      cam.FramesDropped = schedule.dropped();
      if (wrote && cam.PreviewWhileRecording && !st.preview.Empty()) Fire(cam.OnPreview, cam, &st.preview, true, true);
      cam.SetElapsed(SplitElapsedTime(t));
      // Once the elapsed time reaches the set time: a pass over a second long could step
      // over an exact match.
      const TAutoStopTime stop = cam.AutoStop.load();
      const uint32_t limit = (stop.Hours * 3600u + stop.Minutes * 60u + stop.Seconds) * 1000u;
      if (stop.Enabled && limit > 0 && t >= limit && cam.Recording) cam.StopFromRecordThread();
      const double t2 = Elapsed();
      if (t2 - prevPass > 0)
        cam.LoopFrameRate = wrote ? 1000.0 / (t2 - prevPass) : 1000.0 / (t2 - prevPass + writeDuration);
      prevPass = t2;
      if (t > lastUpdate + static_cast<uint32_t>(cam.UpdateRate())) {
        lastUpdate = t;
        Fire(cam.OnUpdate, cam);
      }
      if (s.probe) s.probe->Passed(t, slot, wrote);
      // Every position is a chunk of the temporary stream; the merge adds about one sound
      // chunk to each.
      st.budget.SetChunks(2 * static_cast<uint64_t>(std::max(slot, 0) + 1));
      const engine::DiskCheck disk = st.budget.Poll();
      if (!disk && cam.Recording) {
        // Both end the recording as a stop that saves what was recorded: a full disk would
        // only have lost it (this Wine's writes do not fail when the disk is full).
        if (disk.verdict == engine::DiskVerdict::SizeLimit)
          cam.RaiseError(kSizeLimit);
        else if (const std::wstring refused = WriteRefusalLine(disk.path); !refused.empty())
          cam.RaiseError(std::wstring(kWriteError) + refused);  // a read-only volume is no full one
        else
          cam.RaiseError(std::wstring(kWriteError) + L"\r\nNot enough free disk space in " + FolderOf(disk.path));
        cam.StopFromRecordThread();
      }
    }
    bool Wait(uint32_t ms) override { return ::WaitForSingleObject(cam.wake_.get(), ms) == WAIT_TIMEOUT; }
  };

  scrcamNS::FrameSchedule schedule(s.recordMspf);
  engine::TimerPeriod period;
  state.loopStart = base::NowMs();
  Steps steps(*this, state, s, schedule);
  const bool ok = scrcamNS::RunFrameLoop(steps, schedule, s.recordMspf);
  if (!ok) {
    RaiseError(kWriteError);
    if (state.written > 0)
      StopFromRecordThread();  // what was recorded is saved
    else
      state.failure = Failure::Compressor;
  }
  if (state.captureFailed) {
    RaiseError(kCaptureError);
    state.failure = Failure::Stop;
    state.faultStop = true;
  }
}

// Step 8: every path after the AVI stage ends here.
void TScreenCamera::EndRecording(TRecordAVIThread& thread, RecordState& state) {
  // Nothing more is handed to the writer. Another writer may have filled the temporary disk
  // between the budget's looks: the frames the writer flushed onto it then were cut.
  if (state.written > 0 && engine::FreeBytesOfVolume(TempVideoFile) == std::optional<uint64_t>(0))
    state.videoReached = engine::FileSizeOf(TempVideoFile);
  Fire(OnStop, *this);
  state.compressed.Close();
  state.stream.reset();
  state.file.reset();
  if (state.audio) {
    base::GuardVoid("sound recorder stop", [&] {
      if (state.audio->Active()) state.audio->SetActive(false);
      state.audio->Stop();
    });
    // Once the device has reported its close the wave is complete and the head gap known.
    base::GuardVoid("sound recorder end", [&] {
      state.audio->WaitUntilClosed();
      state.soundPlaced = state.audioStarted && state.audio->StartedAt(state.soundStartedAt);
      state.headGapMs = state.audio->HeadGapMs();
      state.audio.reset();
    });
  }
  if (thread.settings.restoreApp) PostToHost(&CameraHost::RestoreApp);
}

namespace {
// Where the wave's first sample lies against frame 0, on the loop clock (pauses excluded):
// the device's start plus the head gap it measured, less the pauses before that moment.
int32_t SoundOffsetMs(uint32_t loopStart, uint32_t soundStartedAt, int32_t headGapMs,
                      const std::vector<std::pair<uint32_t, uint32_t>>& pauses) {
  const int64_t first = static_cast<int32_t>(soundStartedAt - loopStart) + static_cast<int64_t>(headGapMs);
  int64_t paused = 0;
  for (const auto& [begin, end] : pauses) {
    const int64_t b = static_cast<int32_t>(begin - loopStart), e = static_cast<int32_t>(end - loopStart);
    paused += std::max<int64_t>(0, std::min(e, first) - std::max<int64_t>(b, 0));
  }
  return static_cast<int32_t>(first - paused);
}
}  // namespace

// Step 9. A failed merge never loses the recording: what could not be saved is kept. The
// merge is trusted only once checked: the target's volume must have room for the temporary
// files before it starts, and the file written must hold every frame of the temporary stream
// and the whole wave (within a frame) before it replaces the target.
void TScreenCamera::Merge(TRecordAVIThread& thread, RecordState& state) {
  const RecordSettings& s = thread.settings;
  if (s.useAudio && state.soundPlaced && state.headGapMs >= 0)
    AlignWaveStart(TempAudioFile, SoundOffsetMs(state.loopStart, state.soundStartedAt, state.headGapMs, state.pauses));
  std::vector<std::wstring> unsaved;
  const auto keepBoth = [&] {
    unsaved.push_back(TempVideoFile);
    if (s.useAudio) unsaved.push_back(TempAudioFile);
    KeepRecording(unsaved);
  };
  // Only the frames known to have reached a disk that filled are merged (whole frames, each
  // decoding as it was recorded).
  if (state.videoReached) engine::KeepWholeFrames(TempVideoFile, *state.videoReached);
  // avifil32 ends the process reading a stream whose header claims more frames than the file
  // holds (its disk filled): such a file is never opened, only kept.
  const engine::AviContents held = engine::ReadAviContents(TempVideoFile);
  if (::GetFileAttributesW(TempVideoFile.c_str()) != INVALID_FILE_ATTRIBUTES && (!held.whole || held.videoChunks < held.videoLength)) {
    RaiseError(SaveErrorText(AVIERR_FILEREAD));
    if (state.written > 0) keepBoth();
    return;
  }
  const engine::WaveContents wave = s.useAudio ? engine::ReadWaveContents(TempAudioFile) : engine::WaveContents{};
  // The wave starts at frame 0 now: one that ends over a second before the picture lost its
  // device (or its disk) there.
  if (s.useAudio && state.soundPlaced && state.headGapMs >= 0 && wave.readable && wave.bytesPerSecond > 0) {
    const uint64_t soundMs = wave.dataBytes * 1000 / wave.bytesPerSecond;
    const uint64_t pictureMs = static_cast<uint64_t>(held.videoLength) * static_cast<uint64_t>(std::max(s.recordMspf, 1));
    if (soundMs + kSoundShortMs < pictureMs) SoundStoppedAtMs = static_cast<int32_t>(soundMs);
  }
  if (state.written > 0) {
    const uint64_t needed = engine::FileSizeOf(TempVideoFile) + (s.useAudio ? engine::FileSizeOf(TempAudioFile) : 0) +
                            engine::kAviCloseReserve + 2 * held.videoChunks * engine::kAviBytesPerChunk;
    std::vector<std::wstring> volumes{FolderOf(s.target)};
    if (HasNonAsciiChar(s.target)) volumes.push_back(GetTempFolder());
    for (const std::wstring& volume : volumes) {
      const std::optional<uint64_t> free = engine::FreeBytesOfVolume(volume);
      if (free && *free < needed) {
        const std::wstring refused = WriteRefusalLine(s.target);
        // A volume that takes no files may answer with no free space: it is said as it is.
        RaiseError(refused.empty() ? L"Not enough free disk space to save " + s.target
                                   : SaveErrorText(AVIERR_FILEOPEN) + refused);
        keepBoth();
        return;
      }
    }
  }
  engine::UniqueAviStream video(OpenStreamFromFile(TempVideoFile));
  engine::UniqueAviStream sound;
  if (s.useAudio) sound.reset(OpenStreamFromFile(TempAudioFile));
  if (!video) {
    // No merge without the video.
    sound.reset();
    keepBoth();
    return;
  }
  PAVISTREAM streams[2] = {video.get(), sound.get()};
  const bool withSound = static_cast<bool>(sound);
  // Within a frame: the sound of one frame slot (and one block) either way.
  const uint64_t slotMs = static_cast<uint64_t>(std::max(s.recordMspf, 1000 / std::max(s.playBackFps, 1)));
  const uint64_t tolerance = wave.bytesPerSecond * slotMs / 1000 + wave.blockAlign;
  const auto verify = [&](const std::wstring& path) {
    const engine::AviContents made = engine::ReadAviContents(path);
    if (!made.whole || made.videoFrames != held.videoFrames) return false;
    const uint64_t got = made.audioBytes, expected = wave.dataBytes;
    if (withSound && (got > expected ? got - expected : expected - got) > tolerance) return false;
    // Whole: the two header fields the merge writes wrong are put right before it is kept.
    return engine::CorrectAviHeaders(path);
  };
  bool cancelled = false;
  const bool saved = SaveAVI(s.target, withSound ? 2 : 1, streams, cancelled, verify);
  // Released before the files are moved: a file open in AVIFile cannot be renamed.
  video.reset();
  sound.reset();
  MergeSucceeded = saved;
  // A recording stopped before its first frame has nothing worth keeping.
  const bool keep = !saved && !cancelled && state.written > 0;
  if (keep) unsaved.push_back(TempVideoFile);
  if (s.useAudio && state.written > 0 && (!withSound || keep)) unsaved.push_back(TempAudioFile);
  if (!unsaved.empty()) KeepRecording(unsaved);
}

// Steps 11 and 12.
int TScreenCamera::AfterRecording(TRecordAVIThread& thread, RecordState& state) {
  if (state.failure == Failure::Compressor) {
    if (!engine::SameFourCC(thread.fourcc, thread.settings.defaultFourCC)) {
      if (Ask(thread, kAskFailed)) {
        UseDefault(thread);
        StopStatus = kStopError;  // the retried recording is merged only after a user stop
        return -1;
      }
      RaiseError(L"User aborted!");
    } else {
      RaiseError(L"Error creating AVI file with \"MS Video Codec\".");
    }
    return ErrorEnding(thread);
  }
  if (state.failure == Failure::Stop) return ErrorEnding(thread);
  UnregisterHotKeys();
  PostToHost(&CameraHost::RefreshRecordingList);
  return 1;
}

}  // namespace ScrCam
