// Splitting a recording into pictures: every frame of an AVI file's video stream is decoded,
// shown, and written as a 24-bit bitmap file "FrameNN.BMP" into the folder "img" beside the
// recording. The window hands in what the split shows (the preview, the picture list, the
// status line and its message boxes) through SplitView.
//
// The split runs on the main thread. Between frames it lets the thread's messages run, so the
// window stays usable; a recording start raises the cancel flag, which ends the split before
// its next frame. A WM_QUIT taken meanwhile ends the split and is posted again.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace app {

// The name of a Video for Windows result as the split reports it: the constant's name without
// its prefix ("FILEREAD", "CLASSNOTREG"), or "Unknown Error".
std::wstring AviErrorName(HRESULT result);

// The picture file name of the 1-based frame count: "Frame01.BMP" ... "Frame99.BMP",
// "Frame100.BMP" ...
std::wstring PictureName(int count);

class SplitView {
 public:
  virtual ~SplitView() = default;
  virtual void SetStatus(const std::wstring& text) = 0;
  // The frame just decoded: a 24-bit bottom-up DIB section of the frame's size, selected into
  // no DC (the view may select it into its own), valid during the call only (the split reuses
  // it for a later frame).
  virtual void ShowFrame(HBITMAP frame) = 0;
  // A picture was written: its file name (the list entry's text) and its full path.
  virtual void AddPicture(const std::wstring& name, const std::wstring& path) = 0;
  // A message box over the window.
  virtual void Message(const std::wstring& text) = 0;
};

// Writes size bytes of the picture numbered number (1-based) into file: 0, or the system's
// error code. Tests hand in one that fails like a full disk.
using PictureWriter = std::function<DWORD(HANDLE file, const void* data, DWORD size, int number)>;
DWORD WritePictureBytes(HANDLE file, const void* data, DWORD size, int number);

struct SplitRequest {
  std::wstring fileName;  // the recording
  bool save = true;       // false: decoded and shown only
  // The window's stop request (SplitCancel): cleared when the split begins, so a request left
  // by an earlier recording start does not end this one; checked and cleared between frames.
  bool* cancel = nullptr;
  PictureWriter writer;  // empty: WritePictureBytes
};

struct SplitResult {
  enum class End {
    Completed,   // every frame the stream gave
    Cancelled,   // the cancel flag
    Quit,        // a WM_QUIT arrived (posted again)
    OpenFailed,  // the file did not open as an AVI file (its message was shown)
    Failed,      // ended early (its message was shown); the pictures written so far stay
  };
  End end = End::Completed;
  int written = 0;         // pictures written (or frames shown without saving)
  std::wstring imgFolder;  // the recording's folder + "img"
  int msPerFrame = 0;      // from the stream's rate; 0 for a rate of 0
};

SplitResult AviToPictures(const SplitRequest& request, SplitView& view);

}  // namespace app
