// A pass-through video compressor that a test installs inside its own process
// (ICInstall with ICINSTALL_FUNCTION), so recording paths can be tested at depths the
// platform's compressors do not take. It accepts BI_RGB input of the chosen bit depths and
// sizes and copies every frame through unchanged as a key frame (BI_RGB output: ffprobe reads
// the result as rawvideo). It can be told to fail at a given frame, and to answer the About and
// Configure queries; the real dialog calls are counted, never shown.
#pragma once

#include <windows.h>
#include <vfw.h>

#include <vector>

namespace testsupport {

inline constexpr DWORD kPassThroughFourCC = mmioFOURCC('P', 'A', 'S', 'S');

// A compressor built on this one (tests/support/temporal_codec.h) sees each compressor
// message (ICM_*) after the pass-through answered it, with that answer, and gives the answer
// that goes back. Called without any lock held.
using PassThroughFilter = LRESULT (*)(UINT msg, LPARAM lp1, LPARAM lp2, LRESULT answer);

struct PassThroughOptions {
  std::vector<int> bitDepths{32};  // accepted input depths
  int widthMultiple = 1;           // accepted widths are multiples of this
  int heightMultiple = 1;          // accepted heights are multiples of this
  bool refuseAll = false;          // ICM_COMPRESS_QUERY refuses every format
  int failAtFrame = -1;            // ICM_COMPRESS of this frame number (0-based) fails
  bool hasAbout = false;           // ICM_ABOUT and its query answer ICERR_OK (no window is shown)
  bool hasConfigure = false;       // the same for ICM_CONFIGURE
  PassThroughFilter filter = nullptr;  // changes the answers: another compressor on this one
};

// An ICM_ABOUT or ICM_CONFIGURE the compressor was sent (not a query), with its parent window
// and the FOURCC of the copy that took it.
struct PassThroughDialogCall {
  UINT message;
  HWND parent;
  DWORD fourcc;
};

// Installs the compressor under fourcc (or replaces the options of an installed one); each
// FOURCC keeps its own options and names itself in the platform's enumeration. Up to eight
// codes at once; false past that.
bool InstallPassThrough(const PassThroughOptions& options, DWORD fourcc = kPassThroughFourCC);
// Removes it again (ICRemove).
void RemovePassThrough(DWORD fourcc = kPassThroughFourCC);
// Frames compressed since the last install.
int PassThroughFramesCompressed();
// ICM_COMPRESS_QUERY calls since the last install.
int PassThroughCompressQueries();
// Instances opened (ICOpen) and not closed yet, over every install of this process: a
// client that never closes its compressor leaves this above zero for good.
int PassThroughOpenInstances();
// The dialog calls since the last install, in order.
std::vector<PassThroughDialogCall> PassThroughDialogCalls();

// Installs on construction, removes on destruction.
class ScopedPassThrough {
 public:
  explicit ScopedPassThrough(const PassThroughOptions& options = {}, DWORD fourcc = kPassThroughFourCC)
      : fourcc_(fourcc), ok_(InstallPassThrough(options, fourcc)) {}
  ~ScopedPassThrough() { RemovePassThrough(fourcc_); }
  ScopedPassThrough(const ScopedPassThrough&) = delete;
  ScopedPassThrough& operator=(const ScopedPassThrough&) = delete;
  bool ok() const { return ok_; }

 private:
  DWORD fourcc_;
  bool ok_;
};

}  // namespace testsupport
