// The screen camera's recording tests: a camera set up over the pattern window (a FixedStable
// rectangle, MRLE at 8 bits, every frame a key frame, 100 ms a frame played at 10 fps), the
// prompter answering, the events logged in order, and the temporary folder looked at.
#pragma once

#include <windows.h>
#include <vfw.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/dispatch.h"
#include "base/seams.h"
#include "engine/camera/ScrCam.h"
#include "engine/capture/compressors.h"
#include "tests/engine/scrcamNS_support.h"
#include "tests/support/doubles.h"
#include "tests/support/pattern_window.h"

namespace scrcamtest {

inline constexpr DWORD kMrle = mmioFOURCC('M', 'R', 'L', 'E');

// The events of a camera, in order, as text: "start", "stop", "pause", "resume",
// "error: TEXT", "saving P: CAPTION", "deleting P: CAPTION".
class EventLog {
 public:
  void Bind(ScrCam::TScreenCamera& cam) {
    cam.OnStart = [this](ScrCam::TScreenCamera&) { Add(L"start"); };
    cam.OnStop = [this](ScrCam::TScreenCamera&) {
      Add(L"stop");
      if (onStop) onStop();
    };
    cam.OnPause = [this](ScrCam::TScreenCamera&) { Add(L"pause"); };
    cam.OnResume = [this](ScrCam::TScreenCamera&) { Add(L"resume"); };
    cam.OnError = [this](ScrCam::TScreenCamera&, const std::wstring& text) { Add(L"error: " + text); };
    cam.OnSaving = [this](ScrCam::TScreenCamera&, int percent, const std::wstring& caption, bool& cont) {
      Add(L"saving " + std::to_wstring(percent) + L": " + caption);
      if (onSaving) onSaving(percent, caption, cont);
    };
    cam.OnDeleting = [this](ScrCam::TScreenCamera&, int percent, const std::wstring& caption, bool&) {
      Add(L"deleting " + std::to_wstring(percent) + L": " + caption);
    };
  }
  std::vector<std::wstring> events() const {
    std::lock_guard<std::mutex> hold(lock_);
    return events_;
  }
  // The events without the deletions' rounds and without the merge's progress figures
  // (the last deletion's (100, "") and "Saving Success..." stay).
  std::vector<std::wstring> Outline() const {
    std::vector<std::wstring> out;
    for (const std::wstring& e : events()) {
      if (e.rfind(L"deleting ", 0) == 0 && e != L"deleting 100: ") continue;
      if (e.rfind(L"saving ", 0) == 0 && e.find(L"Saving Video...") != std::wstring::npos) {
        if (out.empty() || out.back() != L"saving: Saving Video...") out.push_back(L"saving: Saving Video...");
        continue;
      }
      if (!out.empty() && out.back() == e && e == L"deleting 100: ") continue;
      out.push_back(e);
    }
    return out;
  }
  std::vector<std::wstring> Errors() const {
    std::vector<std::wstring> out;
    for (const std::wstring& e : events())
      if (e.rfind(L"error: ", 0) == 0) out.push_back(e.substr(7));
    return out;
  }
  void Clear() {
    std::lock_guard<std::mutex> hold(lock_);
    events_.clear();
  }
  // Called from OnSaving with the handler's Continue.
  std::function<void(int percent, const std::wstring& caption, bool& cont)> onSaving;
  // Called from OnStop (on the camera's thread, before the temporary files are closed).
  std::function<void()> onStop;

 private:
  void Add(const std::wstring& e) {
    std::lock_guard<std::mutex> hold(lock_);
    events_.push_back(e);
  }
  mutable std::mutex lock_;
  std::vector<std::wstring> events_;
};

// The recording's files in the temporary folder: the temporary video and sound, the detour copy
// and kept recordings.
inline std::vector<std::wstring> TempLeftovers() {
  std::vector<std::wstring> found;
  const std::wstring folder = ScrCam::GetTempFolder();
  for (const wchar_t* pattern : {L"tmpVideoStream.avi", L"tmpAudioStream.wav", L"qivtmp.avi", L"Reclume recording *"}) {
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW((folder + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do found.push_back(data.cFileName);
    while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  return found;
}

inline void DeleteKeptRecordings() {
  for (const std::wstring& name : TempLeftovers()) ::DeleteFileW((ScrCam::GetTempFolder() + name).c_str());
}

inline int FindCompressor(const ScrCam::TScreenCamera& cam, DWORD fourcc) {
  for (int i = 0; i < cam.CompressorCount; ++i)
    if (engine::SameFourCC(cam.Compressors[i].fccHandler, fourcc)) return i;
  return -1;
}

class CameraFixture {
 public:
  // The pattern window at (200, 160), 320 x 240.
  bool SetUpCamera(int width = 320, int height = 240) {
    ::SetCursorPos(1910, 1070);
    DeleteKeptRecordings();
    if (!pattern.Show(RECT{200, 160, 200 + width, 160 + height})) return false;
    cam = std::make_unique<ScrCam::TScreenCamera>();
    events.Bind(*cam);
    cam->ScreenRegion = ScrCam::TScreenRegion::FixedStable;
    cam->SetCaptureArea({200, 160, width, height});
    cam->SetColors(engine::TPixelFormat::pf8bit);
    cam->KeyFramesEvery = 1;
    cam->SetRecord_MSPF(100);
    cam->SetPlayBack_FPS(10);
    cam->GetVideoCompressors();
    cam->SelectedCompressor = FindCompressor(*cam, kMrle);
    return cam->SelectedCompressor >= 0;
  }
  bool WaitNoThread(DWORD timeoutMs = 30000) {
    return base::PumpUntil([&] { return !cam->HasRecordThread(); }, timeoutMs);
  }
  // Records into path until `frames` frames are written (or the recording ends), then stops.
  bool RecordFrames(const std::wstring& path, int frames) {
    if (!cam->StartRecording(path)) return false;
    base::PumpUntil([&] { return cam->FramesWritten >= frames || !cam->Recording; }, 30000);
    cam->StopRecording();
    return WaitNoThread();
  }

  testsupport::ScriptedPrompter prompter{{}, IDNO};
  base::ScopedPrompter scopedPrompter{prompter};
  testsupport::PatternWindow pattern;
  EventLog events;  // before the camera: its handlers run until the camera is gone
  std::unique_ptr<ScrCam::TScreenCamera> cam;
};

}  // namespace scrcamtest
