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

#include "base/barrier.h"
#include "base/dispatch.h"
#include "base/seams.h"
#include "engine/ScrCam_record.h"
#include "engine/compressors.h"
#include "engine/scrcamNS_rules.h"
#include "engine/vfw_handles.h"

namespace ScrCam {

namespace {

const wchar_t kNotice[] = L"Notice";
const wchar_t kAskFitted[] =
    L"Error: This compressor cann`t work if the dimensions is adjusted slightly\r\nUse default compressor?";
const wchar_t kAskFailed[] = L"Error: Not recording AVI file using current compressor.\r\nUse default compressor?";
const wchar_t kAskNone[] = L"You no selected compressor, use default compressor?";
const wchar_t kDefaultName[] = L"MS Video Codec";
const wchar_t kCaptureError[] = L"Error capturing a frame from screen.";

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
  engine::UniqueAviStream compressed;
  std::unique_ptr<CameraAudioRecorder> audio;
  bool audioStarted = false;  // RecordToFile was accepted
  Failure failure = Failure::None;
  int width = 0, height = 0;  // the frame size, fixed with the stream format
  int written = 0;
  bool captureFailed = false;
  bool writeFailed = false;
  // The loop clock: real time at the loop's start, paused time so far, the pauses themselves.
  uint32_t loopStart = 0;
  uint32_t pausedTotal = 0;
  std::vector<std::pair<uint32_t, uint32_t>> pauses;
  // What the sound recorder told at its end.
  bool soundPlaced = false;
  uint32_t soundStartedAt = 0;
  int32_t headGapMs = -1;
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
  DeleteTempFile(TempVideoFile);
  DeleteTempFile(TempAudioFile);
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
  } catch (...) {
    base::ReportBarrierException("screen camera recording", nullptr);
    if (state.failure == Failure::None) state.failure = Failure::Stop;
  }
  EndRecording(thread, state);
  // 9. The merge, after a user stop only.
  if (state.failure == Failure::None && StopStatus == kStopUser)
    base::GuardVoid("screen camera merge", [&] { Merge(thread, state); });
  // 10. The AVI library goes with the state; 11 and 12.
  return AfterRecording(thread, state);
}

bool TScreenCamera::ChooseCompressor(TRecordAVIThread& thread, RecordState& state, bool& captureFailed) {
  const RecordSettings& s = thread.settings;
  if (thread.useDefault) return true;  // the retry after the user agreed: no check
  if (!s.hasCompressor) {
    if (!Ask(thread, kAskNone)) return false;
    UseDefault(thread);
    return true;
  }
  engine::UniqueHic ic(::ICOpen(s.compressor.fccType, s.compressor.fccHandler, ICMODE_QUERY));
  if (!ic) {
    if (!Ask(thread, kAskFailed)) return false;
    UseDefault(thread);
    return true;
  }
  const Area start = CaptureArea();
  const scrcamNS::FitResult fit =
      scrcamNS::FitToCompressor(start.width, start.height, DesktopWidth, DesktopHeight, [&](int w, int h) {
        if (captureFailed) return false;
        BITMAPINFOHEADER* frame = CaptureFrame(state.capturer, 1, nullptr, start.left, start.top, w, h, FilterColor());
        if (!frame) {
          captureFailed = true;
          return false;
        }
        return ::ICCompressQuery(ic.get(), frame, nullptr) == ICERR_OK;
      });
  if (captureFailed) return false;
  if (fit.accepted) {
    SetScreenWidth(fit.width);
    SetScreenHeight(fit.height);
    thread.fourcc = s.compressor.fccHandler;
    std::wstring name(s.compressor.szName, std::find(s.compressor.szName, s.compressor.szName + 16, L'\0'));
    std::weak_ptr<TScreenCamera*> alive = weakSelf_;
    base::PostToMain([alive, name] {
      if (auto self = alive.lock()) (*self)->CompressorName = name;
    });
    return true;
  }
  ic.reset();
  if (!Ask(thread, kAskFitted)) return false;
  UseDefault(thread);
  return true;
}

// Steps 5 to 7: the temporary AVI file and its compressed stream, the sound recorder, the loop.
void TScreenCamera::SetUpAndRecord(TRecordAVIThread& thread, RecordState& state, const BITMAPINFOHEADER* test) {
  const RecordSettings& s = thread.settings;
  state.library1.emplace();
  if (!DeleteTempFile(TempVideoFile)) {
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
  if (::AVIMakeCompressedStream(state.compressed.put(), state.stream.get(), &options, nullptr) != AVIERR_OK) {
    RaiseError(L"Error on compress AVI stream.");
    state.failure = Failure::Compressor;
    return;
  }
  if (::AVIStreamSetFormat(state.compressed.get(), 0, const_cast<BITMAPINFOHEADER*>(test),
                           static_cast<LONG>(engine::PackedFormatSize(test))) != AVIERR_OK) {
    RaiseError(L"Error on set AVI stream format.");
    state.failure = Failure::Compressor;
    return;
  }
  CompressorFourCC = thread.fourcc;

  // 6. The sound recorder.
  Fire(OnStart, *this);
  if (s.useAudio) {
    state.audio = std::make_unique<CameraAudioRecorder>();
    state.audio->SetPCMFormat(s.pcmFormat);
    // The record thread has no message loop.
    state.audio->SetAsync(true);
    if (!DeleteTempFile(TempAudioFile)) {
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

  // 7. The frame loop.
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
      const Area area = cam.CaptureArea();
      const bool preview = cam.PreviewWhileRecording.load();
      if (!cam.CaptureFrame(st.capturer, preview ? 2 : 1, preview ? &st.preview : nullptr, area.left, area.top,
                            st.width, st.height, cam.FilterColor())) {
        st.captureFailed = true;
        return false;
      }
      return true;
    }
    bool Write(int slot, uint32_t) override {
      const uint32_t noted = base::NowMs();
      const engine::PackedFrame& frame = st.capturer.frame_;
      // Flags 0: with AVIIF_KEYFRAME a temporal compressor's delta frames would be indexed as
      // key frames.
      if (::AVIStreamWrite(st.compressed.get(), slot, 1, frame.pixels(), static_cast<LONG>(frame->biSizeImage), 0,
                           nullptr, nullptr) != AVIERR_OK) {
        st.writeFailed = true;
        return false;
      }
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
      if (wrote && cam.PreviewWhileRecording && cam.OnPreview && !st.preview.Empty())
        Fire(cam.OnPreview, cam, &st.preview, true, true);
      cam.SetElapsed(SplitElapsedTime(t));
      // Once the elapsed time reaches the set time: a pass over a second long could step
      // over an exact match.
      const TAutoStopTime stop = cam.AutoStop;
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
    }
    bool Wait(uint32_t ms) override { return ::WaitForSingleObject(cam.wake_.get(), ms) == WAIT_TIMEOUT; }
  };

  scrcamNS::FrameSchedule schedule(s.recordMspf);
  engine::TimerPeriod period;
  state.loopStart = base::NowMs();
  Steps steps(*this, state, s, schedule);
  const bool ok = scrcamNS::RunFrameLoop(steps, schedule, s.recordMspf);
  if (!ok) {
    RaiseError(L"Error on write data to AVI stream.");
    if (state.written > 0)
      StopFromRecordThread();  // what was recorded is saved
    else
      state.failure = Failure::Compressor;
  }
  if (state.captureFailed) {
    RaiseError(kCaptureError);
    state.failure = Failure::Stop;
  }
}

// Step 8: every path after the AVI stage ends here.
void TScreenCamera::EndRecording(TRecordAVIThread& thread, RecordState& state) {
  Fire(OnStop, *this);
  state.compressed.reset();
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

// Step 9. A failed merge never loses the recording: what could not be saved is kept.
void TScreenCamera::Merge(TRecordAVIThread& thread, RecordState& state) {
  const RecordSettings& s = thread.settings;
  if (s.useAudio && state.soundPlaced && state.headGapMs >= 0)
    AlignWaveStart(TempAudioFile, SoundOffsetMs(state.loopStart, state.soundStartedAt, state.headGapMs, state.pauses));
  engine::UniqueAviStream video(OpenStreamFromFile(TempVideoFile));
  engine::UniqueAviStream sound;
  if (s.useAudio) sound.reset(OpenStreamFromFile(TempAudioFile));
  std::vector<std::wstring> unsaved;
  if (!video) {
    // No merge without the video.
    sound.reset();
    unsaved.push_back(TempVideoFile);
    if (s.useAudio) unsaved.push_back(TempAudioFile);
    KeepRecording(unsaved);
    return;
  }
  PAVISTREAM streams[2] = {video.get(), sound.get()};
  const bool withSound = static_cast<bool>(sound);
  bool cancelled = false;
  const bool saved = SaveAVI(s.target, withSound ? 2 : 1, streams, cancelled);
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
