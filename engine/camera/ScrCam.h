// TScreenCamera, the screen camera: previews a rectangle of the screen and records it on a
// record thread of its own. Only one camera exists per process (CameraInstance).
//
// Threads: the main thread creates and destroys the camera and calls every operation. The
// record thread reads the flags shared with it (Recording, Paused, Preview, AutoStop, the live
// capture and effect settings) as atomics, the rectangle as one snapshot taken under a small
// lock and OnPreview and OnOverlay through LiveEvent; the plain settings below are main-thread
// values that a recording copies when it starts. Events are raised on
// whichever thread does the work (see each event) and are never synchronised with the main
// thread.
//
// The camera never includes the application: it calls "up" only through the CameraHost that
// the caller hands in.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <vfw.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/unique.h"
#include "engine/effects/effects_bitmap.h"
#include "engine/capture/packed_frame.h"
#include "engine/camera/scHighTimer.h"

namespace scFlashWnd {
class TFlashingWnd;
}
namespace engine {
class ScreenGrab;
class TEffects;
}

namespace ScrCam {

class TScreenCamera;

// A packer failure as the platform gives it: the block not allocated, not locked, or its bits
// not read.
enum class PackFault { None, NoMemory, NoLock, NoBits };

// Test and benchmark seam: told about the passes of a recording's frame loop, on the record
// thread. Set before StartRecording; nullptr for none; it must outlive the recording.
class RecordProbe {
 public:
  virtual ~RecordProbe() = default;
  // Asked right before each capture of the loop: a failure the packer is to meet in it.
  virtual PackFault NextPackFault() { return PackFault::None; }
  // Right before a pass's capture, and right after it (grab, cursor, effects, pack) when it
  // gave a frame, before its write.
  virtual void Capturing() {}
  virtual void Captured() {}
  // Right after a frame was written at slot, before the write's duration is read.
  virtual void Wrote(int /*slot*/) {}
  // After every pass: the loop time read right before its grab, its slot, whether it wrote.
  virtual void Passed(uint32_t /*elapsed*/, int /*slot*/, bool /*written*/) {}
};

enum class TScreenRegion { SelObject, FreeHand, FixedMoving, FixedStable, FullScreen };
enum class TScreenRotate { R90D, R180D, R270D, Mirror0D, Mirror180D };

struct TAutoStopTime {
  bool Enabled = false;
  uint8_t Hours = 0;
  uint8_t Minutes = 0;
  uint8_t Seconds = 0;
};

using TSCEvent = std::function<void(TScreenCamera& sender)>;
using TSCErrorEvent = std::function<void(TScreenCamera& sender, const std::wstring& errorMessage)>;
// The bitmap (may be null) is valid only during the call.
using TPreviewEvent =
    std::function<void(TScreenCamera& sender, engine::TBitmap* previewBitmap, bool preview, bool recording)>;
// Setting cont to false cancels what is in progress.
using TSaveEvent =
    std::function<void(TScreenCamera& sender, int percent, const std::wstring& statusCaption, bool& cont)>;
using TOverlayEvent = std::function<void(TScreenCamera& sender, HDC bitmapDC, int width, int height)>;

// A handler the main thread may set while another thread raises it (the record thread raises
// OnPreview and OnOverlay on every pass). Setting swaps a shared copy under a small lock; a
// raise takes the copy under the lock and calls it outside, so a handler replaced meanwhile
// finishes its call and nothing is allocated per raise.
template <class F>
class LiveEvent {
 public:
  LiveEvent() = default;
  LiveEvent(const LiveEvent&) = delete;
  LiveEvent& operator=(const LiveEvent&) = delete;
  LiveEvent& operator=(F handler) {
    std::shared_ptr<const F> next = handler ? std::make_shared<const F>(std::move(handler)) : nullptr;
    std::lock_guard<std::mutex> hold(lock_);
    handler_.swap(next);
    return *this;
  }
  explicit operator bool() const { return static_cast<bool>(Get()); }
  std::shared_ptr<const F> Get() const {
    std::lock_guard<std::mutex> hold(lock_);
    return handler_;
  }
  template <class... Args>
  void operator()(Args&&... args) const {
    if (std::shared_ptr<const F> handler = Get()) (*handler)(std::forward<Args>(args)...);
  }

 private:
  mutable std::mutex lock_;
  std::shared_ptr<const F> handler_;
};

// What the camera asks of the application that hosts it. Called on the main thread unless a
// method says otherwise.
class CameraHost {
 public:
  virtual ~CameraHost() = default;
  virtual void MinimizeApp() = 0;
  virtual void RestoreApp() = 0;
  // A stop key is the camera's (the recording that runs, or with none the next one, goes
  // through the camera), and whether the main window's configured stop key is registered:
  // read by the hotkey window.
  virtual bool RecordWithSound() = 0;
  virtual bool StopHotKeyRegistered() = 0;
  // A stop key ended a recording of the main window: stop it and bring the window back.
  virtual void StopRecordingAndRestore() = 0;
  // A recording ended normally; posted to the main thread by the record thread.
  virtual void RefreshRecordingList() = 0;
  // Owner of the camera's message boxes (may be null).
  virtual HWND MessageOwner() = 0;
};

// Rectangles of the monitors, in the system's order (right and bottom excluded). The camera
// asks the current lister; tests install their own with ScopedMonitorLister.
class MonitorLister {
 public:
  virtual ~MonitorLister() = default;
  virtual std::vector<RECT> Monitors() = 0;
};
MonitorLister& CurrentMonitorLister();
class ScopedMonitorLister {
 public:
  explicit ScopedMonitorLister(MonitorLister& lister);
  ~ScopedMonitorLister();
  ScopedMonitorLister(const ScopedMonitorLister&) = delete;
  ScopedMonitorLister& operator=(const ScopedMonitorLister&) = delete;

 private:
  MonitorLister* previous_;
};
int MonitorCount();

// Unit state, shared by the main thread and the record thread.
enum : uint8_t { kStopNone = 0, kStopUser = 1, kStopError = 2 };
extern std::atomic<TScreenCamera*> CameraInstance;
extern std::atomic<uint8_t> StopStatus;  // cause of the last stop; a new recording keeps it
extern std::wstring TempVideoFile;       // main thread: set by the constructor
extern std::wstring TempAudioFile;
extern std::wstring TempSaveFile;        // the detour copy of a save to a non-ASCII target
extern std::wstring TargetFile;          // main thread: the path last given to StartRecording
extern std::atomic<bool> CaptureFailed;
extern std::atomic<bool> MergeSucceeded;
// Where the sound of the last recording with sound ended, in ms from its first frame, when it
// ended over a second before the picture did (its device was lost or its disk filled); -1
// when the sound lasted as long as the picture, or nothing was recorded with sound.
extern std::atomic<int32_t> SoundStoppedAtMs;
extern std::atomic<bool> StartPending;  // a start waits for the user's region selection

// --- temporary files (any thread) ---
// The file exists and cannot be opened for reading and writing without sharing.
bool IsFileInUse(const std::wstring& fileName);
// Deletes fileName in up to 50 rounds, each reported to the camera's OnDeleting (2 x round,
// "Deleting Temp File"); a file that cannot be deleted (another process holds it) is left.
// Always ends with OnDeleting (100, ""). True when the file is gone (or was never there);
// false when the host cancelled or the file is still there (in use).
bool DeleteTempFile(const std::wstring& fileName);
// The temporary folder, ending in a backslash: as GetTempPathW gives it (at most 256
// characters) when that leaves room for the longest name written there; else the 8.3 form of
// GetTempPathW's full answer, then the program's folder (long, then short), so that the files
// never land in a drive's root.
std::wstring GetTempFolder();
// The folder exists and takes a file: a probe file is made in it and removed.
bool FolderTakesFiles(const std::wstring& folder);
// The longest file name written in the temporary folder (a kept recording's, with room).
inline constexpr size_t kLongestTempName = 48;
// The first candidate that is not empty and leaves room for kLongestTempName within MAX_PATH,
// with a trailing backslash; the last non-empty one when none does; empty for none.
std::wstring PickTempFolder(const std::vector<std::wstring>& candidates);
// The temporary files come in numbered sets, so that copies of the program running at the
// same time (other installations) never share one: set 1 is "tmpVideoStream.avi",
// "tmpAudioStream.wav" and "qivtmp.avi", set N "tmpVideoStream-N.avi" and so on. A camera
// holds its set for its whole life by a named object (TempFileSetName) that the system takes
// away with its process, a crashed one too: a set whose object does not exist belongs to
// nobody, and its files are a lost run's leftovers.
inline constexpr int kTempFileSets = 16;
std::wstring TempFileSetName(const std::wstring& tempFolder, int set);
// The file of set (1 to kTempFileSets) for a base name and its extension ("qivtmp", ".avi").
std::wstring TempSetFile(const std::wstring& tempFolder, int set, const wchar_t* base, const wchar_t* extension);
// Claims the first free set of tempFolder: the set's number and its holding object, or 0 and
// nothing when every set is held by a running camera.
int ClaimTempFileSet(const std::wstring& tempFolder, base::UniqueHandle& holder);
// Some character of s is above 127.
bool HasNonAsciiChar(const std::wstring& s);
// The texts of a failed merge (AVISaveV's result) and of a stream file that cannot be opened
// (AVIFileOpen's result).
std::wstring SaveErrorText(HRESULT code);
std::wstring OpenErrorText(HRESULT code);

// An elapsed time split for display. Millis is the digits of the second's fraction without
// trailing zeros (0.5 s gives 5, 0.25 s gives 25), not a count of milliseconds.
struct TElapsedTime {
  int Hours = 0, Minutes = 0, Seconds = 0, Millis = 0;
};
TElapsedTime SplitElapsedTime(double milliseconds);
// "H : M : S : Millis", unpadded.
std::wstring ElapsedTimeText(const TElapsedTime& t);

// What the captures of one thread reuse from frame to frame: the grab objects, the effects
// bitmaps and the packed frame, each made again only when the size or depth changes. A
// recording makes one for its frame loop, the preview tick has its own. One thread only.
class FrameCapturer {
 public:
  // The packed frame's block (locked by the capture); a test can make it fail or hand out a
  // block that will not lock.
  using Allocator = HGLOBAL (*)(int width, int height, int bitCount);
  FrameCapturer();
  ~FrameCapturer();
  FrameCapturer(const FrameCapturer&) = delete;
  FrameCapturer& operator=(const FrameCapturer&) = delete;
  void SetAllocator(Allocator allocate) { allocate_ = allocate; }
  // A recording fixes the depth of its frames when it sets the stream format: its capturer
  // keeps that depth whatever the camera's Colors becomes.
  void PinColors(engine::TPixelFormat colors, int bits) {
    pinnedColors_ = colors;
    pinnedBits_ = bits;
  }
  // A recording's capturer: its failures stop the recording. Those of any other (the compressor
  // listing, which may run on the main thread during a recording) are only reported.
  void MarkRecording() { recording_ = true; }

 private:
  friend class TScreenCamera;
  std::unique_ptr<engine::ScreenGrab> grab_;
  std::unique_ptr<engine::TEffects> effects_;
  engine::TBitmap work_, turned_;
  engine::PackedFrame frame_;
  Allocator allocate_;
  PackFault fault_ = PackFault::None;  // for the next capture only
  bool packFailed_ = false;            // the last capture's packer failed
  engine::TPixelFormat pinnedColors_ = engine::TPixelFormat::pf32bit;
  int pinnedBits_ = 0;  // 0: the camera's current depth
  bool recording_ = false;
};

// The rectangle helpers of the tick and the selections (pure). Bounds are right- and
// bottom-exclusive screen rectangles.
struct CaptureRect {
  int left, top, width, height;
};
// The rectangle of monitor `current` (1-based) of `monitors`, or the virtual desktop when
// `allMonitors` is set or `current` names no monitor.
RECT MonitorBounds(const std::vector<RECT>& monitors, int current, bool allMonitors, const RECT& virtualDesktop);
// The rectangle centred on the cursor and pushed inside the bounds; its size never changes
// (one larger than the bounds ends with its right or bottom edge on theirs).
CaptureRect FollowCursor(CaptureRect area, POINT cursor, const RECT& bounds);
// Shrinks the rectangle to the part inside the bounds; false when nothing is left.
bool ClipToBounds(CaptureRect& area, const RECT& bounds);

inline constexpr const wchar_t* kPreviewCaption = L"Preview... (Cancel=Esc)";
inline constexpr const wchar_t* kPausedCaption = L"Paused... (Press pause key to resume)";

// The recording inputs of the sound card as the options dialog lists them. Inputs are list
// positions: SelectedInput is one (-1: none), and SelectAudioInput and SetAudioInputVolume take
// one. Volume is in percent (-1: unknown); HasVolume tells whether the selected input has a
// volume control.
struct TAudioInputInfo {
  std::vector<std::wstring> Inputs;
  int SelectedInput = -1;
  int Volume = -1;
  bool HasVolume = false;
};

inline constexpr const wchar_t* kVantroVersion = L"4.8.0.0";
inline constexpr DWORD kDefaultFourCC = mmioFOURCC('M', 'S', 'V', 'C');
inline constexpr int kMaxCompressors = 51;

class TScreenCamera {
 public:
  // On the main thread. host may be null (no minimising, no list refresh).
  explicit TScreenCamera(CameraHost* host = nullptr);
  // A running recording becomes an error stop; waits, pumping messages, for its thread.
  virtual ~TScreenCamera();
  TScreenCamera(const TScreenCamera&) = delete;
  TScreenCamera& operator=(const TScreenCamera&) = delete;

  CameraHost* Host() const { return host_; }

  // --- properties with a setter rule: a value outside the range keeps the old one ---
  std::wstring Vantro_Version() const { return kVantroVersion; }
  void SetVantro_Version(const std::wstring&) {}
  int CurrentMonitor() const { return currentMonitor_; }
  void SetCurrentMonitor(int value);  // 1 .. MonitorCount()
  int UpdateRate() const { return updateRate_.load(); }
  void SetUpdateRate(int value);  // 1 .. 500
  int PlayBack_FPS() const { return playBackFps_; }
  void SetPlayBack_FPS(int value);  // 1 .. 1000
  int Record_MSPF() const { return recordMspf_.load(); }
  void SetRecord_MSPF(int value);  // 1 .. 1000
  int CompressionQuality() const { return compressionQuality_; }
  void SetCompressionQuality(int value);  // 1 .. 10000
  engine::TPixelFormat Colors() const { return colors_; }
  void SetColors(engine::TPixelFormat value);
  int BitsPerPixel() const { return bitsPerPixel_; }
  int FilterColor() const { return filterColor_.load(); }
  void SetFilterColor(int value);  // 0 .. 1
  scHighTimer::TThreadPriority VideoPriority() const { return videoPriority_; }
  void SetVideoPriority(scHighTimer::TThreadPriority value);

  // The capture rectangle: written whole under a lock, read as one snapshot.
  using Area = CaptureRect;
  Area CaptureArea() const;
  void SetCaptureArea(const Area& area);
  int ScreenLeft() const { return CaptureArea().left; }
  int ScreenTop() const { return CaptureArea().top; }
  int ScreenWidth() const { return CaptureArea().width; }
  int ScreenHeight() const { return CaptureArea().height; }
  void SetScreenLeft(int value);
  void SetScreenTop(int value);
  void SetScreenWidth(int value);
  void SetScreenHeight(int value);

  // --- plain properties (main thread; a recording copies them when it starts) ---
  std::wstring About;
  bool RecordAllMonitors = false;
  int KeyFramesEvery = 20;
  COLORREF RegionColor1 = RGB(255, 0, 0);
  COLORREF RegionColor2 = RGB(0, 255, 0);
  int SelectedCompressor = -1;
  TScreenRegion ScreenRegion = TScreenRegion::FixedMoving;
  bool UseAudioRecord = false;
  bool DrawAreaCapture = true;
  bool LineRectClear = true;
  bool MinimizeAppOnStart = true;
  bool RestoreAppOnStop = true;

  // --- live properties: the main thread writes them during a recording (the filter effects
  // dialog, the host form's boxes) and every capture reads them, so they are atomics; a capture
  // takes them once at its start, so a change takes effect from the next frame ---
  std::atomic<bool> RecordCursor{true};
  std::atomic<bool> OvelayDrawing{false};
  std::atomic<bool> EffectToOvelayDraw{false};
  std::atomic<bool> GrayScale{false};
  std::atomic<TScreenRotate> EffectScreenRotate{TScreenRotate::R90D};
  std::atomic<bool> UseRotateImage{false};
  std::atomic<int> EffectNoise{0};
  std::atomic<bool> UseNoise{false};
  std::atomic<int> EffectSaturation{0};
  std::atomic<bool> UseSaturation{false};
  std::atomic<int> EffectRedValue{0}, EffectGreenValue{0}, EffectBlueValue{0};
  std::atomic<bool> UseColorAdjusting{false};
  std::atomic<int> EffectBrightness{0};
  std::atomic<bool> UseBrightness{false};
  std::atomic<int> EffectContrast{0};
  std::atomic<bool> UseContrast{false};

  // --- events (OnPreview and OnOverlay may be set at any time; the others before a recording) ---
  TSCErrorEvent OnError;
  TSCEvent OnUpdate, OnStart, OnStop, OnPause, OnResume;
  LiveEvent<TPreviewEvent> OnPreview;
  TSaveEvent OnSaving, OnDeleting;
  LiveEvent<TOverlayEvent> OnOverlay;

  // --- public fields ---
  std::atomic<bool> Recording{false};
  std::atomic<bool> Paused{false};
  bool Preview() const { return preview_.load(); }
  std::atomic<TAutoStopTime> AutoStop{};  // written whole by the host, also while recording
  std::atomic<double> CaptureFrameRate{0};
  std::atomic<double> LoopFrameRate{0};
  std::atomic<int> FramesWritten{0};
  std::atomic<int> FramesDropped{0};
  // The frame slot of the frame loop's current pass (0 before the first); any thread.
  int FrameIndex() const { return frameIndex_.load(); }
  std::wstring CompressorName = L"MS Video Codec";  // main thread (a recording posts its choice)
  std::atomic<DWORD> CompressorFourCC{kDefaultFourCC};  // the compressor of the last recording
  // The recording time (or the preview's) as "H : M : S : Millis"; any thread.
  std::wstring ElapsedTimeText() const;
  std::vector<std::wstring> VideoCompressors;
  std::vector<std::wstring> AudioFormats;
  TAudioInputInfo AudioInputInfo;
  int SelectedAudioFormat = -1;
  bool UseDefaultCompressor = false;
  int CompressorCount = 0;
  // The compressors GetVideoCompressors found, in driver order (index = SelectedCompressor).
  std::array<ICINFO, kMaxCompressors> Compressors{};
  DWORD DefaultFourCC = kDefaultFourCC;
  int DesktopWidth = 0, DesktopHeight = 0;
  COLORREF FrameColor = RGB(255, 0, 0);
  bool RegionSelObject = false, RegionFreeHand = false, RegionFollowsCursor = false, RegionFullScreen = false;
  std::atomic<bool> PreviewWhileRecording{false};

  // --- operations (main thread) ---
  // True when a record thread was started; false while one exists (recording or finishing)
  // or when the start waits for a region selection.
  bool StartRecording(const std::wstring& fileName);
  void StopRecording();
  // Any thread; the frame loop waits out a pause (and pauses the sound with the video).
  void PauseRecording();
  void ResumeRecording();
  void SetRecordProbe(RecordProbe* probe) { probe_ = probe; }
  void SetPreview(bool value);
  bool IsPreviewOff() const { return !preview_.load(); }

  // --- frame capture (the thread of the caller) ---
  // Grabs (left, top, width, height) of the screen (inverted when filterColor is 1), draws
  // the cursor, the overlay and the effects. Mode 0 fills *bitmap and returns null; mode 1
  // returns the packed frame, which stays the capturer's and holds until its next capture;
  // mode 2 does both. A packing failure is reported as PackFrame's and gives null (no frame)
  // or a black frame (unreadable bits).
  BITMAPINFOHEADER* CaptureFrame(FrameCapturer& capturer, int mode, engine::TBitmap* bitmap, int left, int top,
                                 int width, int height, int filterColor);
  // Packs a bitmap (selected into no device context) into a new frame of `bits` bits; on
  // failure the failure is reported (see PackFailed) and the frame is empty or black.
  engine::PackedFrame PackFrame(HBITMAP bitmap, int bits);
  // The grey-scale effect: the JPEG luminance of a quality-100 encoding, in Colors.
  void ApplyGrayScale(engine::TBitmap& bitmap);

  // --- queries (main thread) ---
  // Lists the installed video compressors that accept a frame of the current rectangle at
  // BitsPerPixel (with FilterColor) into Compressors and CompressorCount; VideoCompressors
  // holds their descriptions in the same order.
  const std::vector<std::wstring>& GetVideoCompressors();
  // The driver's About and Configure dialogs of entry `index` of Compressors, owned by
  // parentWnd; nothing for an index at or past CompressorCount.
  void CompressorAbout(BYTE index, HWND parentWnd);
  void CompressorConfigure(BYTE index, HWND parentWnd);
  // Both false for an index at or past CompressorCount or a driver that does not open.
  void QueryCompressorDialogs(BYTE index, bool& hasAbout, bool& hasConfigure);
  // Lists the inputs of the recording mixer into AudioInputInfo and returns a copy: the
  // sources of each destination with a selector control (the checked one selected, its volume),
  // and each destination with only a volume or mute control as an input of its own. The
  // recording mixer is the last device whose first destination is "recording control" (case
  // ignored), else the mixer of the wave-in device the recorder opens.
  TAudioInputInfo GetAudioInputs();
  // Position `index` of the last GetAudioInputs: its source becomes the selected one of its
  // destination; a destination's own position, or a position outside the list, does nothing.
  void SelectAudioInput(int index);
  // Sets the volume of the line at position `index` (clamped to 0..100); nothing outside the list.
  void SetAudioInputVolume(int index, int percent);
  // The descriptions of the 20 PCM recording formats; SelectedAudioFormat becomes the
  // recorder's default (2, 16-bit mono at 8000 Hz) when it is -1.
  const std::vector<std::wstring>& GetAudioFormats();

  // --- global hotkeys ---
  // The keys are the whole system's while they are registered, so they are held only while
  // they mean something: the four defaults (SHIFT + ESCAPE, ESCAPE, CONTROL + RETURN, PAUSE)
  // on the constructor's window while the camera records, while a region selection runs and
  // from the host's RegisterHotKeys to its UnregisterHotKeys; otherwise every key reaches the
  // program it is pressed in.
  // Slots of HotKeyId: the first stop key (SHIFT + ESCAPE, or the configured one once
  // RegisterHotKeys was given one), the second (ESCAPE), CONTROL + RETURN, PAUSE.
  enum HotKeySlot { kSlotStop1, kSlotStop2, kSlotConfirm, kSlotPause };
  // Main thread. Takes the defaults for the host's recording, then registers the configured
  // stop key (modifiers, key, named stopKeyText; an empty text means ESCAPE) and the other
  // defaults on a new hidden window, which is let go again when nothing took. True when the
  // stop combination is now held by one of the camera's hotkey windows.
  bool RegisterHotKeys(UINT modifiers, UINT key, const std::wstring& stopKeyText);
  // The end of the host's recording: while the host's stop key is registered, unregisters the
  // newest RegisterHotKeys window's keys and lets it go; in every case the defaults are given
  // back unless the camera still records or selects. Any thread: off the main thread the work
  // is posted to it (hotkeys belong to the thread that registered them).
  void UnregisterHotKeys();
  // The defaults are registered now (main thread).
  bool HoldsDefaultHotKeys() const { return defaultKeysHeld_; }
  // The procedure of every hotkey window (main thread).
  LRESULT HotKeyWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  ATOM HotKeyId(int slot) const { return hotKeyIds_[slot]; }
  // The window the next UnregisterHotKeys uses (null when none could be made).
  HWND HotKeyWindow() const;

  // --- regions and the preview tick (main thread) ---
  void GetMonitorOrigin(int& left, int& top) const;
  void GetMonitorSize(int& width, int& height) const;
  int GetMonitorCount() const { return MonitorCount(); }
  // The rectangle becomes the bounds (the current monitor, or the virtual desktop).
  void SetFullScreenRegion();
  // Modal selections; true when the user confirmed a rectangle with an area.
  bool SelectFreeHandRegion();
  bool SelectObjectRegion();
  // The host calls this when it minimises the application: the frame comes back.
  void RestoreFrameOnMinimize();
  // One tick of FrameTimer (tests call it directly).
  void TimerTick();

  // A record thread exists (recording or finishing). Main thread only.
  bool HasRecordThread() const { return thread_ != nullptr; }
  // The record thread waits for the answer to one of its questions. Any thread.
  bool Asking() const { return asking_.load(); }
  // The frame clock, or null before its first use. Main thread only.
  scHighTimer::THighTimer* FrameTimer() const { return frameTimer_.get(); }
  scFlashWnd::TFlashingWnd* FrameWindow() const { return frameWindow_.get(); }

 private:
  struct TRecordAVIThread;

  void EnsureFrameTimer();
  RECT Bounds() const;
  bool FinishSelection(bool confirmed, CaptureRect picked);
  void ShowFrame(bool recording);
  void ApplyRegionFlags();
  class HotKeyWnd;
  void CreateFirstHotKeyWindow();
  void ReleaseHotKeys();
  void RegisterDefaults(HotKeyWnd& wnd, UINT modifiers, UINT key, const std::wstring& stopKeyText);
  // Registers the defaults on the constructor's window when something needs them (a recording,
  // a selection, the host's recording) and unregisters them when nothing does. Main thread.
  void UpdateDefaultHotKeys();
  struct SelectingKeys;
  ATOM AddAtom(const std::wstring& text);
  void RecordThreadTerminated(uint64_t serial);
  void RunRecordThread(TRecordAVIThread& thread);
  void HideFrameWindow();
  // A packed frame could not be made: when it was the recording's (stopsRecording) and a
  // recording runs, an error stop (StopStatus 2, Recording off, OnError, OnStop, and the timer
  // and frame switched off on the main thread); otherwise only OnError.
  void PackFailed(const std::wstring& text, bool stopsRecording);
  void ApplyEffects(FrameCapturer& capturer, HDC grab, int width, int height);
  void SetElapsed(const TElapsedTime& parts);

  // --- the recording routine (record thread) ---
  struct RecordState;
  void Execute(TRecordAVIThread& thread);
  // 1: ran to its end; 0: failed and stopped; -1: run again with the default compressor.
  int RecordAVI(TRecordAVIThread& thread);
  int FailureStop(TRecordAVIThread& thread, const std::wstring& text, int previewRow);
  int ErrorEnding(TRecordAVIThread& thread);
  bool ChooseCompressor(TRecordAVIThread& thread, RecordState& state, bool& captureFailed);
  void UseDefault(TRecordAVIThread& thread);
  bool Ask(TRecordAVIThread& thread, const wchar_t* text);
  void SetUpAndRecord(TRecordAVIThread& thread, RecordState& state, const BITMAPINFOHEADER* test);
  void RunLoop(TRecordAVIThread& thread, RecordState& state);
  void EndRecording(TRecordAVIThread& thread, RecordState& state);
  void Merge(TRecordAVIThread& thread, RecordState& state);
  int AfterRecording(TRecordAVIThread& thread, RecordState& state);
  void WaitOutPause(RecordState& state);
  // A stop from the record thread (auto-stop, a write failure after frames): a user stop,
  // with the main thread's part posted to it.
  void StopFromRecordThread();
  // Clears the error ending's preview, timer and frame on the main thread (when the preview is
  // off then); report: OnPreview (none, False, False) too.
  void PostPreviewOff(bool report);
  void PostToHost(void (CameraHost::*call)());
  // The merge of the temporary files into fileName (count 1 or 2 streams). verify, when given,
  // judges the written file (its path) before it replaces the target; a file it refuses goes.
  bool SaveAVI(const std::wstring& fileName, int count, PAVISTREAM* streams, bool& cancelled,
               const std::function<bool(const std::wstring&)>& verify = {});
  static BOOL WINAPI SaveProgress(int percent);
  // The first stream of fileName, or null (reported through OnError) when it cannot be had;
  // null without a report when the file does not exist.
  PAVISTREAM OpenStreamFromFile(const std::wstring& fileName);
  // What a failed merge could not save is moved (or copied) to one name in the temporary
  // folder that no recording deletes, and reported through OnError; a file that can be neither
  // moved nor copied is left where it is, held from every deletion of this camera.
  void KeepRecording(const std::vector<std::wstring>& files);
  bool HeldInPlace(const std::wstring& file) const;
  // DeleteTempFile, except for a file held in place.
  void DeleteUnlessHeld(const std::wstring& file);
  // Temporary files that this recording would delete but did not write (a crashed or killed
  // run's) are kept so first; a partial save beside the target is removed.
  void KeepLeftovers(const std::wstring& target);

 public:
  // Before a recording without sound too: a lost run's temporary files (this camera's set and
  // every set no running camera holds) are kept as recordings and reported through OnError.
  void KeepLostRecordings() { KeepLeftovers(std::wstring()); }
  // The number of the temporary-file set this camera holds; 0 when it holds none (every set
  // is another running copy's, and it cannot record with sound).
  int TempFileSet() const { return tempSet_; }

 private:
  // Takes the settings a recording keeps (main thread, before its thread runs).
  void TakeSettings(TRecordAVIThread& thread);
  void RaiseError(const std::wstring& text);

  CameraHost* host_;
  // The line behind each position of AudioInputInfo.Inputs: a destination's source, or the
  // destination itself (source -1).
  struct InputLine {
    UINT destination;
    int source;
  };
  std::vector<InputLine> inputLines_;
  int currentMonitor_ = 1;
  std::atomic<int> updateRate_{250};
  int playBackFps_ = 200;
  std::atomic<int> recordMspf_{5};
  int compressionQuality_ = 10000;
  engine::TPixelFormat colors_ = engine::TPixelFormat::pf32bit;
  int bitsPerPixel_ = 32;
  std::atomic<int> filterColor_{0};
  scHighTimer::TThreadPriority videoPriority_ = scHighTimer::TThreadPriority::tpNormal;

  mutable std::mutex areaLock_;
  Area area_{0, 0, 300, 300};

  std::atomic<bool> preview_{false};
  // The preview clock of the tick (main thread).
  uint32_t lastUpdateTime_ = 0, lastColorSwitchTime_ = 0, previewStartTime_ = 0, prevTickTime_ = 0;
  // What the frame was last set up with: SetupFrame runs only when one of them changes.
  CaptureRect frameArea_{0, 0, -1, -1};
  std::wstring frameCaption_;
  std::unique_ptr<FrameCapturer> previewCapturer_;  // the tick's, made on first use
  engine::TBitmap previewBitmap_;

  std::unique_ptr<scHighTimer::THighTimer> frameTimer_;
  std::unique_ptr<scFlashWnd::TFlashingWnd> frameWindow_;
  std::unique_ptr<TRecordAVIThread> thread_;  // main thread only
  RecordProbe* probe_ = nullptr;
  std::atomic<int> frameIndex_{0};
  // Set by every stop, pause and resume: wakes the frame loop's waits at once.
  base::UniqueHandle wake_;
  TElapsedTime elapsed_;  // under areaLock_
  // Hotkey windows, the constructor's first; main thread only.
  std::vector<std::unique_ptr<HotKeyWnd>> hotKeyWindows_;
  std::array<std::atomic<ATOM>, 4> hotKeyIds_{};
  // The defaults' own ids on the constructor's window (the slots may name the configured key).
  std::array<ATOM, 4> defaultKeyIds_{};
  bool defaultKeysHeld_ = false;  // main thread, as the three below
  bool selecting_ = false;        // a region selection window is open
  bool hostKeys_ = false;         // between the host's RegisterHotKeys and UnregisterHotKeys
  std::vector<ATOM> atoms_;  // every atom added, deleted with the camera
  // Closures the record thread posts hold a weak reference: once the camera is gone they do
  // nothing.
  std::shared_ptr<TScreenCamera*> alive_;
  // A copy that never changes after construction, so any thread may read it.
  const std::weak_ptr<TScreenCamera*> weakSelf_;
  // A recording of this camera has run: the temporary files the destructor deletes are its
  // own, not an earlier run's that no recording has kept yet.
  std::atomic<bool> recorded_{false};
  // Files that hold a recording which could be neither moved nor copied when it was kept: the
  // record thread's, and the destructor's once the thread has gone.
  std::vector<std::wstring> heldInPlace_;
  // The temporary-file set this camera holds for its life, and what holds it.
  base::UniqueHandle tempSetHolder_;
  int tempSet_ = 0;
  // Set while the record thread shows a question (Asking).
  std::atomic<bool> asking_{false};
};

}  // namespace ScrCam
