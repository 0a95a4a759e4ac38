// The screen camera's list of video compressors: the installed ones that accept a frame of the
// current rectangle, as the recording would hand it over (depth and colour filter included).
#include "engine/camera/ScrCam.h"
#include "engine/capture/compressors.h"

namespace ScrCam {

const std::vector<std::wstring>& TScreenCamera::GetVideoCompressors() {
  CompressorCount = 0;
  VideoCompressors.clear();
  // A capturer of its own, let go at once: the list is asked for rarely and at any size.
  FrameCapturer capturer;
  const Area area = CaptureArea();
  const BITMAPINFOHEADER* test =
      CaptureFrame(capturer, 1, nullptr, area.left, area.top, area.width, area.height, filterColor_);
  CompressorCount = engine::ListVideoCompressors(test, Compressors.data(), kMaxCompressors);
  for (int i = 0; i < CompressorCount; ++i) VideoCompressors.emplace_back(Compressors[i].szDescription);
  return VideoCompressors;
}

}  // namespace ScrCam
