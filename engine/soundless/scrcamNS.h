// TScreenCamNS, the sound-less recorder: records a screen rectangle into an AVI file on a
// recording thread of its own, while a window of four corner brackets marks the rectangle.
//
// Threads: the main thread creates and destroys the recorder and calls every method below
// except the events' handlers, which run on the recording thread with the recorder as sender.
// Settings are read when StartRecording is called and hold for that recording; the figures
// (FramesWritten, FramesDropped, ...) may be read from any thread at any time.
//
// The recorder never includes the application: the rectangle comes from an AreaSource that
// the caller hands in, and it reports only through its events.
#pragma once

#include <windows.h>
#include <vfw.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/capture/packed_frame.h"

namespace base {
class MultimediaTarget;
}
#include "engine/soundless/scrcamNS_capture.h"

namespace flashwnd {
class TFlashingWnd;
}

namespace scrcamNS {

inline constexpr DWORD kDefaultCodec = mmioFOURCC('M', 'S', 'V', 'C');
inline constexpr int kMaxCompressors = 32;

// Where the recorded rectangle is. Called on the recording thread.
class AreaSource {
 public:
  virtual ~AreaSource() = default;
  // The rectangle now, in screen coordinates (right and bottom exclusive). False when it
  // cannot be read now (the window is gone or minimised): the recording keeps the last one.
  virtual bool CurrentArea(RECT& area) = 0;
};

// The work area of the monitor of wnd, read once here and fixed from then on: the area of a
// maximised main window (its own rectangle overhangs the work area by its border, and it is
// minimised while it records).
std::shared_ptr<AreaSource> MakeWorkAreaSource(HWND wnd);
// The window rectangle of wnd, read again on every call; a minimised window (which reads as
// -32000, -32000) or a destroyed one gives no reading.
std::shared_ptr<AreaSource> MakeWindowRectSource(HWND wnd);
// The work area when wnd is maximised now, else its window rectangle.
std::shared_ptr<AreaSource> MakeAreaSourceFor(HWND wnd);

class TScreenCamNS;
using TNotifyEvent = std::function<void(TScreenCamNS& sender)>;

class TScreenCamNS {
 public:
  // Reads the screen's depth and size, sets the defaults and creates the corner-bracket
  // window (on the calling thread, which must be the main thread). owner is kept as the
  // owner of record; the bracket window is not owned by it, because a minimised owner hides
  // its owned windows and the main window is minimised while it records.
  explicit TScreenCamNS(HWND owner = nullptr);
  // Stops a running recording and waits, pumping messages, until its file is complete.
  virtual ~TScreenCamNS();
  TScreenCamNS(const TScreenCamNS&) = delete;
  TScreenCamNS& operator=(const TScreenCamNS&) = delete;

  HWND Owner() const { return owner_; }

  // --- settings (main thread; a running recording keeps the values it started with) ---
  int BitsPerPixel() const { return bitsPerPixel_; }
  void SetBitsPerPixel(int bits);  // 1, 4, 8, 16, 24 or 32; others are ignored
  int DisplayWidth() const { return displayWidth_; }
  int DisplayHeight() const { return displayHeight_; }
  // The bounds of the compressor fit; read from the screen at creation.
  void SetDisplaySize(int width, int height);
  int FrameRate() const { return frameRate_; }
  void SetFrameRate(int fps);  // below 1 is taken as 1
  int CaptureInterval() const { return captureInterval_; }
  void SetCaptureInterval(int ms);  // below 1 is taken as 1
  int KeyFrameEvery() const { return keyFrameEvery_; }
  void SetKeyFrameEvery(int frames) { keyFrameEvery_ = frames; }
  // Index into Compressors; outside 0..CompressorCount-1 means none (the default codec).
  int CompressorIndex() const { return compressorIndex_; }
  void SetCompressorIndex(int index) { compressorIndex_ = index; }
  int Quality() const { return quality_; }
  void SetQuality(int quality);  // 0..10000
  bool DrawCursor() const { return drawCursor_; }
  void SetDrawCursor(bool on) { drawCursor_ = on; }
  bool ShowFlashFrame() const { return showFlashFrame_; }
  void SetShowFlashFrame(bool on) { showFlashFrame_ = on; }
  bool FollowAreaControl() const { return followAreaControl_; }
  void SetFollowAreaControl(bool on) { followAreaControl_ = on; }
  HCURSOR ArrowCursor() const { return arrowCursor_; }

  // --- compressors (main thread) ---
  int CompressorCount() const { return compressorCount_; }
  // Entry i of the list (0 <= i < kMaxCompressors); its szDescription is always terminated.
  const ICINFO& Compressor(int i) const { return compressors_[i]; }
  // Lists the installed video compressors that accept a frame of the screen at BitsPerPixel.
  void RefreshCompressors();
  void CompressorAbout(BYTE index, HWND parentWnd);
  void CompressorConfigure(BYTE index, HWND parentWnd);
  void CompressorFeatures(BYTE index, bool& hasAbout, bool& hasConfigure);

  // --- recording (main thread) ---
  // Starts a recording of area into fileName (replaced when it exists). Does nothing while
  // a recording runs or a previous recording thread is still finishing its file.
  void StartRecording(std::shared_ptr<AreaSource> area, const std::wstring& fileName);
  // Asks the running recording to end and returns at once; the thread finishes the file.
  void StopRecording();
  bool Recording() const { return recording_.load(); }
  // A recording thread exists (until its end has been handled on the main thread); the file
  // is complete once this turns false. Main thread only.
  bool HasRecordThread() const { return thread_ != nullptr; }

  // --- figures of the current or last recording (any thread) ---
  DWORD CodecFourCC() const { return codecFourCC_.load(); }
  DWORD StartTime() const { return startTime_.load(); }
  double LastFrameSpan() const { return lastFrameSpan_.load(); }
  int FramesDropped() const { return framesDropped_.load(); }
  int FrameIndex() const { return frameIndex_.load(); }
  int FramesWritten() const { return framesWritten_.load(); }
  int FrameWidth() const { return frameWidth_.load(); }
  int FrameHeight() const { return frameHeight_.load(); }
  // The current or last recording's target holds what it recorded: set once the file is
  // complete in place (also after an error stop that kept its frames), clear after a failure
  // that left no file.
  bool FileSaved() const { return fileSaved_.load(); }

  // Test and benchmark seam: told about every pass of the frame loop, on the recording thread,
  // right after the pass's grab and write (a probe may also make the pass take longer). Set
  // before StartRecording; nullptr for none. The probe must outlive the recording.
  class PassProbe {
   public:
    virtual ~PassProbe() = default;
    // elapsed: the time read right before the grab; slot: the pass's frame slot.
    virtual void Grabbed(uint32_t elapsed, int slot, bool written) = 0;
    // The pass's grab (and cursor) has ended; its frame is not yet written.
    virtual void GrabEnded() {}
  };
  void SetPassProbe(PassProbe* probe) { passProbe_ = probe; }

  // The corner-bracket window (main thread only).
  flashwnd::TFlashingWnd& FlashWindow() { return *flashWindow_; }

  // --- events, raised on the recording thread; assign them before StartRecording ---
  TNotifyEvent OnStart;     // the stream is ready, just before the first frame
  TNotifyEvent OnProgress;  // at most every 500 ms of recording time
  TNotifyEvent OnStop;      // the frame loop has ended
  TNotifyEvent OnError;     // the recording failed

 private:
  struct TRecordAVIThread;
  friend struct TRecordAVIThread;

  static void ThreadEntry(TRecordAVIThread* thread);
  void Execute(TRecordAVIThread& thread);
  int RecordToFile(TRecordAVIThread& thread);
  // Makes grabber for width x height unless it has that size already, then grabs at (left,
  // top); false when the grabber's objects cannot be had.
  bool GrabInto(TRecordAVIThread& thread, std::optional<ScreenGrabber>& grabber, int left, int top, int width,
                int height);
  void GrabOnce(TRecordAVIThread& thread, ScreenGrabber& grabber, int left, int top);
  void RecordThreadTerminated(TRecordAVIThread* ended);
  void Raise(const TNotifyEvent& event);
  // A detour file whose copy into place failed, kept under a recording name beside it; the
  // message that says where.
  static std::wstring KeepDetourFile(const base::MultimediaTarget& target);

  HWND owner_;
  int bitsPerPixel_ = 32;
  int displayWidth_ = 0, displayHeight_ = 0;
  int frameRate_ = 10;
  int captureInterval_ = 100;
  int keyFrameEvery_ = 5;
  int compressorIndex_ = -1;
  int quality_ = 6550;
  int compressorCount_ = 0;
  std::array<ICINFO, kMaxCompressors> compressors_{};
  bool drawCursor_ = true;
  bool showFlashFrame_ = true;
  bool followAreaControl_ = false;
  HCURSOR arrowCursor_ = nullptr;
  POINT arrowHotspot_{0, 0};
  PassProbe* passProbe_ = nullptr;

  std::atomic<bool> recording_{false};
  std::atomic<DWORD> codecFourCC_{kDefaultCodec};
  std::atomic<DWORD> startTime_{0};
  std::atomic<double> lastFrameSpan_{0};
  std::atomic<int> framesDropped_{0};
  std::atomic<int> frameIndex_{0};
  std::atomic<int> framesWritten_{0};
  std::atomic<int> frameWidth_{0};
  std::atomic<int> frameHeight_{0};
  std::atomic<bool> fileSaved_{false};

  std::unique_ptr<TRecordAVIThread> thread_;  // main thread only
  std::shared_ptr<flashwnd::TFlashingWnd> flashWindow_;
  // Closures posted to the main thread hold a weak reference: once the recorder is gone
  // they do nothing. Main thread only: a recording thread gets its own weak copy when it is
  // made, and never reads this one (the destructor resets it while the thread may still run).
  std::shared_ptr<TScreenCamNS*> alive_;
};

}  // namespace scrcamNS
