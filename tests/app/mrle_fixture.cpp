// Fixture recordings for the recordings-list and playback tests.
#include "tests/app/mrle_fixture.h"

#include <vfw.h>

#include <cstring>
#include <vector>

#include "base/text.h"
#include "base/unique.h"
#include "engine/capture/vfw_handles.h"

namespace apptest {

namespace {

using engine::AviFileTraits;
using engine::AviStreamTraits;

// AVIFileInit / AVIFileExit for one write.
struct AviLibrary {
  AviLibrary() { ::AVIFileInit(); }
  ~AviLibrary() { ::AVIFileExit(); }
};

// Pure colours survive the 8-bit palette exactly.
constexpr RGBQUAD kPalette[4] = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {255, 255, 255, 0}};

}  // namespace

bool UseMrleAt8Bits(scrcamNS::TScreenCamNS& camera) {
  camera.SetBitsPerPixel(8);
  camera.RefreshCompressors();
  for (int i = 0; i < camera.CompressorCount(); ++i) {
    const DWORD handler = camera.Compressor(i).fccHandler;
    if (handler == mmioFOURCC('M', 'R', 'L', 'E') || handler == mmioFOURCC('m', 'r', 'l', 'e')) {
      camera.SetCompressorIndex(i);
      camera.SetKeyFrameEvery(1);
      return true;
    }
  }
  return false;
}

bool WriteMrleAvi(const std::wstring& path, int width, int height, int frames, int fps) {
  return WriteFixtureAvi(path, width, height, frames, fps, mmioFOURCC('M', 'R', 'L', 'E'), 1, 8);
}

bool WriteFixtureAvi(const std::wstring& path, int width, int height, int frames, int fps, DWORD codec,
                     int keyFrameEvery, int bits, FixturePattern pattern) {
  if (bits != 8 && bits != 32) return false;
  AviLibrary library;
  ::DeleteFileW(path.c_str());
  base::Unique<AviFileTraits> file;
  if (::AVIFileOpenW(file.put(), path.c_str(), OF_CREATE | OF_WRITE, nullptr) != 0) return false;

  AVISTREAMINFOW info{};
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = static_cast<DWORD>(fps);
  info.dwSuggestedBufferSize = static_cast<DWORD>(width * height * bits / 8);
  ::SetRect(&info.rcFrame, 0, 0, width, height);
  base::Unique<AviStreamTraits> raw;
  if (::AVIFileCreateStreamW(file.get(), raw.put(), &info) != 0) return false;

  AVICOMPRESSOPTIONS options{};
  options.fccType = streamtypeVIDEO;
  options.fccHandler = codec;
  options.dwKeyFrameEvery = static_cast<DWORD>(keyFrameEvery);
  options.dwQuality = 7500;
  options.dwFlags = AVICOMPRESSF_KEYFRAMES;
  base::Unique<AviStreamTraits> compressed;
  if (::AVIMakeCompressedStream(compressed.put(), raw.get(), &options, nullptr) != AVIERR_OK) return false;

  struct Format {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } format{};
  format.header.biSize = sizeof(BITMAPINFOHEADER);
  format.header.biWidth = width;
  format.header.biHeight = height;
  format.header.biPlanes = 1;
  format.header.biBitCount = static_cast<WORD>(bits);
  format.header.biCompression = BI_RGB;
  const int stride = bits == 8 ? (width + 3) & ~3 : width * 4;
  format.header.biSizeImage = static_cast<DWORD>(stride * height);
  format.header.biClrUsed = bits == 8 ? 256 : 0;
  for (int i = 0; i < 4; ++i) format.colors[i] = kPalette[i];
  const LONG formatSize = bits == 8 ? LONG(sizeof format) : LONG(sizeof format.header);
  if (::AVIStreamSetFormat(compressed.get(), 0, &format, formatSize) != 0) return false;

  std::vector<BYTE> pixels(format.header.biSizeImage);
  for (int frame = 0; frame < frames; ++frame) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const int step = pattern == FixturePattern::Halves ? (y < height / 2 ? 0 : 1) : (x + 8 * frame) / 16;
        const BYTE index = static_cast<BYTE>((frame + step) % 4);
        if (bits == 8)
          pixels[static_cast<size_t>(y * stride + x)] = index;
        else
          std::memcpy(&pixels[static_cast<size_t>(y * stride + x * 4)], &kPalette[index], 4);
      }
    if (::AVIStreamWrite(compressed.get(), frame, 1, pixels.data(), static_cast<LONG>(pixels.size()),
                         AVIIF_KEYFRAME, nullptr, nullptr) != 0)
      return false;
  }
  return true;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool TouchFile(const std::wstring& path) {
  base::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  return static_cast<bool>(file);
}

}  // namespace apptest
