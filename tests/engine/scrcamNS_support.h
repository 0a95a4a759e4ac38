// Helpers for the sound-less recorder's tests: a scratch folder, reading an AVI file back with
// AVIFile, reading pixels of a decoded frame, and the recorder's events counted.
#pragma once

#include <windows.h>
#include <vfw.h>

#include <atomic>
#include <string>
#include <vector>

#include "engine/soundless/scrcamNS.h"
#include "tests/support/scratch_folder.h"

namespace scrcamNStest {

// The test's scratch folder: RECLUME_SCRCAMNS_OUT when set (kept for the shell checks).
class ScratchFolder : public testsupport::ScratchFolder {
 public:
  ScratchFolder() : testsupport::ScratchFolder(L"RECLUME_SCRCAMNS_OUT") {}
  std::wstring Path(const std::wstring& name) const { return *this / name; }
};

bool FileExists(const std::wstring& path);
// Writes text (ASCII) into path, replacing it.
void WriteTextFile(const std::wstring& path, const std::string& text);

struct AviFacts {
  bool ok = false;
  int streams = 0;
  int width = 0, height = 0;
  double fps = 0;
  LONG length = 0;              // positions of the video stream
  std::vector<LONG> sizes;      // bytes of each position (0 for a skipped one)
  int nonEmpty() const;
};
AviFacts ReadAvi(const std::wstring& path);

// The colour at (x, y) (y from the top) of frame `position`, decoded through the installed
// decompressor; CLR_INVALID when it cannot be read.
COLORREF DecodedPixel(const std::wstring& path, LONG position, int x, int y);

// Counts the recorder's events (they arrive on the recording thread).
struct EventLog {
  std::atomic<int> starts{0}, stops{0}, errors{0}, progresses{0};
  std::atomic<int> writtenAtStart{-1};
  void Bind(scrcamNS::TScreenCamNS& cam);
};

// Index of the compressor with this code in the recorder's list (any case), or -1.
int FindCompressor(const scrcamNS::TScreenCamNS& cam, DWORD fourcc);

// Pumps messages until the recorder's thread has ended and its end has been handled.
bool WaitIdle(scrcamNS::TScreenCamNS& cam, DWORD timeoutMs = 20000);

}  // namespace scrcamNStest
