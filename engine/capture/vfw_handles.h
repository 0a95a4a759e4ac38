// Owning handles for Video for Windows objects: compressors, AVI files and streams; the AVI
// library's initialisation and the 1 ms timer period of a recording's frame loop.
#pragma once

#include <windows.h>
#include <vfw.h>
#include <mmsystem.h>

#include "base/unique.h"

namespace engine {

struct HicTraits {
  using Handle = HIC;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::ICClose(h); }
};
struct AviFileTraits {
  using Handle = PAVIFILE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::AVIFileRelease(h); }
};
struct AviStreamTraits {
  using Handle = PAVISTREAM;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::AVIStreamRelease(h); }
};

using UniqueHic = base::Unique<HicTraits>;
using UniqueAviFile = base::Unique<AviFileTraits>;
using UniqueAviStream = base::Unique<AviStreamTraits>;

// AVIFileInit / AVIFileExit for the span of one attempt.
class AviLibrary {
 public:
  AviLibrary() { ::AVIFileInit(); }
  ~AviLibrary() { ::AVIFileExit(); }
  AviLibrary(const AviLibrary&) = delete;
  AviLibrary& operator=(const AviLibrary&) = delete;
};

// A 1 ms timer period around a frame loop: without it every short wait on Windows lasts a
// scheduler tick and frames are dropped.
class TimerPeriod {
 public:
  TimerPeriod() : ok_(::timeBeginPeriod(1) == TIMERR_NOERROR) {}
  ~TimerPeriod() {
    if (ok_) ::timeEndPeriod(1);
  }
  TimerPeriod(const TimerPeriod&) = delete;
  TimerPeriod& operator=(const TimerPeriod&) = delete;

 private:
  bool ok_;
};

}  // namespace engine
