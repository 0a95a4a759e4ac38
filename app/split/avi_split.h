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

#include "base/unique.h"

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
  // no DC. The split owns it; the view may draw it (selected into a DC of its own while it
  // paints) until the split hands it over through KeepFrame or ends. The split changes its
  // pixels only on this thread, between the messages it lets run, and shows it again after
  // each change: the same handle may come again with the next frame in it.
  virtual void ShowFrame(HBITMAP frame) = 0;
  // The frame shown last, handed over to keep (or drop): at the split's end, and before the
  // split makes that frame's picture again for a frame of another size.
  virtual void KeepFrame(base::UniqueBitmap frame) { (void)frame; }
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
