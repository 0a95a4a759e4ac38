// Owning handles for Video for Windows objects: compressors, AVI files and streams.
#pragma once

#include <windows.h>
#include <vfw.h>

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

}  // namespace engine
