// The temporal test compressor: a filter over the pass-through compressor's answers that
// codes delta frames against the previous frame it is handed, decompresses, and records.
#include "tests/support/temporal_codec.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>

namespace testsupport {
namespace {

constexpr DWORD kKeyTag = 'K';
constexpr DWORD kDeltaTag = 'D';
constexpr DWORD kTagBytes = sizeof(DWORD);

std::mutex gMutex;
std::vector<TemporalFrame> gFrames;  // guarded by gMutex
std::vector<BYTE> gLast;             // the last frame made, decompressed (empty: none); guarded by gMutex

DWORD ImageSize(const BITMAPINFOHEADER* bi) {
  return ((static_cast<DWORD>(bi->biWidth) * bi->biBitCount + 31) / 32) * 4 * static_cast<DWORD>(std::labs(bi->biHeight));
}

BYTE Lossy(BYTE v) { return static_cast<BYTE>(v & 0xFE); }

bool IsCoded(const BITMAPINFOHEADER* bi) {
  return bi && bi->biCompression == kTemporalFourCC && bi->biBitCount == 32 && bi->biWidth > 0;
}

// A decompressed frame of the same size as coded (or the input format of that size).
bool IsPictureOf(const BITMAPINFOHEADER* picture, const BITMAPINFOHEADER* coded) {
  return picture && picture->biCompression == BI_RGB && picture->biBitCount == 32 &&
         picture->biWidth == coded->biWidth && std::labs(picture->biHeight) == std::labs(coded->biHeight);
}

// ICM_COMPRESS after the pass-through copied the frame: the coded frame replaces the copy.
LRESULT Compress(ICCOMPRESS& c) {
  const DWORD size = ImageSize(c.lpbiInput);
  const auto* in = static_cast<const BYTE*>(c.lpInput);
  auto* out = static_cast<BYTE*>(c.lpOutput);
  TemporalFrame f;
  f.frame = c.lFrameNum;
  f.keyAsked = (c.dwFlags & ICCOMPRESS_KEYFRAME) != 0;
  f.prevGiven = c.lpbiPrev && c.lpPrev;
  const auto* prev = static_cast<const BYTE*>(c.lpPrev);
  std::lock_guard<std::mutex> lock(gMutex);
  f.prevRight = f.prevGiven && gLast.size() == size && IsPictureOf(c.lpbiPrev, c.lpbiInput) &&
                std::memcmp(prev, gLast.data(), size) == 0;
  // A delta frame asked for without a previous frame is made a key frame.
  const bool key = f.keyAsked || !f.prevGiven;
  const DWORD tag = key ? kKeyTag : kDeltaTag;
  std::memcpy(out, &tag, kTagBytes);
  gLast.resize(size);
  for (DWORD i = 0; i < size; ++i) {
    gLast[i] = Lossy(in[i]);
    out[kTagBytes + i] = key ? gLast[i] : static_cast<BYTE>(gLast[i] ^ prev[i]);
  }
  gFrames.push_back(f);
  c.lpbiOutput->biCompression = kTemporalFourCC;
  c.lpbiOutput->biSizeImage = size + kTagBytes;
  if (c.lpdwFlags) *c.lpdwFlags = key ? AVIIF_KEYFRAME : 0;
  return ICERR_OK;
}

LRESULT Filter(UINT msg, LPARAM lp1, LPARAM lp2, LRESULT answer) {
  switch (msg) {
    case ICM_GETINFO:
      if (answer > 0) {
        auto* info = reinterpret_cast<ICINFO*>(lp1);
        info->dwFlags = VIDCF_QUALITY | VIDCF_TEMPORAL;
        std::wcscpy(info->szName, L"Temporal");
        std::wcscpy(info->szDescription, L"Temporal test compressor");
      }
      return answer;
    case ICM_COMPRESS_GET_FORMAT:
      if (lp2 && answer == ICERR_OK) {
        auto* out = reinterpret_cast<BITMAPINFOHEADER*>(lp2);
        out->biCompression = kTemporalFourCC;
        out->biSizeImage += kTagBytes;
      }
      return answer;
    case ICM_COMPRESS_GET_SIZE:
      return answer > 0 ? answer + kTagBytes : answer;
    case ICM_COMPRESS_BEGIN:
      if (answer == ICERR_OK) {
        std::lock_guard<std::mutex> lock(gMutex);
        gFrames.clear();
        gLast.clear();
      }
      return answer;
    case ICM_COMPRESS:
      return answer == ICERR_OK ? Compress(*reinterpret_cast<ICCOMPRESS*>(lp1)) : answer;
    case ICM_DECOMPRESS_QUERY:
    case ICM_DECOMPRESS_BEGIN: {
      const auto* in = reinterpret_cast<const BITMAPINFOHEADER*>(lp1);
      const auto* out = reinterpret_cast<const BITMAPINFOHEADER*>(lp2);
      return IsCoded(in) && (!out || IsPictureOf(out, in)) ? ICERR_OK : ICERR_BADFORMAT;
    }
    case ICM_DECOMPRESS_GET_FORMAT: {
      const auto* in = reinterpret_cast<const BITMAPINFOHEADER*>(lp1);
      auto* out = reinterpret_cast<BITMAPINFOHEADER*>(lp2);
      if (!IsCoded(in)) return ICERR_BADFORMAT;
      if (!out) return sizeof(BITMAPINFOHEADER);
      *out = *in;
      out->biSize = sizeof(BITMAPINFOHEADER);
      out->biCompression = BI_RGB;
      out->biClrUsed = 0;
      out->biSizeImage = ImageSize(in);
      return ICERR_OK;
    }
    case ICM_DECOMPRESS_END:
      return ICERR_OK;
    case ICM_DECOMPRESS: {
      // The picture decoded before this frame is the output's content.
      const auto* d = reinterpret_cast<const ICDECOMPRESS*>(lp1);
      if (!d || !IsCoded(d->lpbiInput) || !IsPictureOf(d->lpbiOutput, d->lpbiInput) || !d->lpInput || !d->lpOutput)
        return ICERR_BADPARAM;
      return TemporalDecode(d->lpInput, d->lpbiInput->biSizeImage, static_cast<BYTE*>(d->lpOutput),
                            ImageSize(d->lpbiOutput))
                 ? ICERR_OK
                 : ICERR_BADFORMAT;
    }
    default:
      return answer;
  }
}

}  // namespace

PassThroughOptions TemporalOptions() {
  PassThroughOptions options;
  options.bitDepths = {32};
  options.filter = Filter;
  return options;
}

std::vector<TemporalFrame> TemporalFramesCompressed() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gFrames;
}

bool TemporalDecode(const void* coded, size_t bytes, BYTE* picture, size_t pictureBytes) {
  if (!coded || bytes != pictureBytes + kTagBytes) return false;
  DWORD tag = 0;
  std::memcpy(&tag, coded, kTagBytes);
  const BYTE* data = static_cast<const BYTE*>(coded) + kTagBytes;
  if (tag == kKeyTag) {
    std::memcpy(picture, data, pictureBytes);
  } else if (tag == kDeltaTag) {
    for (size_t i = 0; i < pictureBytes; ++i) picture[i] ^= data[i];
  } else {
    return false;
  }
  return true;
}

std::vector<BYTE> TemporalDecoded(const std::vector<BYTE>& pixels) {
  std::vector<BYTE> decoded(pixels.size());
  for (size_t i = 0; i < pixels.size(); ++i) decoded[i] = Lossy(pixels[i]);
  return decoded;
}

}  // namespace testsupport
