// The Video for Windows driver around the MS Video 1 coder: the installable-compressor
// messages for compressing BI_RGB frames (8-bit palettised to the 8-bit form; 16-bit RGB555,
// 24 and 32 bits to the 16-bit form) and decompressing either form to 8 (palettised only),
// 16, 24 or 32 bits. The machine installs it as its 'msvc' driver; every open of the driver is
// one Instance, which the system hands back as the driver id. No exception leaves DriverProc.
#include <windows.h>
#include <vfw.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "codec/msvideo1.h"

namespace {

constexpr DWORD kCram = mmioFOURCC('C', 'R', 'A', 'M');
constexpr DWORD kMsvc = mmioFOURCC('M', 'S', 'V', 'C');
constexpr DWORD kMsvcLower = mmioFOURCC('m', 's', 'v', 'c');
constexpr DWORD kCramLower = mmioFOURCC('c', 'r', 'a', 'm');
constexpr DWORD kDefaultQuality = 7500;
constexpr DWORD kDefaultKeyFrameRate = 15;

struct Instance {
  msvideo1::Encoder encoder;
  msvideo1::Decoder decoder;
  bool compressing = false;
  bool decompressing = false;
  LONG width = 0, height = 0;
  int outputBits = 0;  // decompression target depth
  std::ptrdiff_t outputStride = 0;
  bool outputTopDown = false;
};

bool IsMsVideo1(DWORD compression) {
  return compression == kCram || compression == kMsvc || compression == kMsvcLower || compression == kCramLower;
}

DWORD PaletteEntries(const BITMAPINFOHEADER* bi) {
  if (bi->biBitCount > 8) return 0;
  DWORD n = bi->biClrUsed ? bi->biClrUsed : (1u << bi->biBitCount);
  return n > 256 ? 256 : n;
}

std::vector<msvideo1::Rgb> PaletteOf(const BITMAPINFOHEADER* bi) {
  std::vector<msvideo1::Rgb> palette;
  DWORD n = PaletteEntries(bi);
  if (n == 0 || bi->biSize < sizeof(BITMAPINFOHEADER)) return palette;
  palette.resize(n);
  std::memcpy(palette.data(), reinterpret_cast<const BYTE*>(bi) + bi->biSize, n * sizeof(RGBQUAD));
  return palette;
}

bool SizeOk(LONG width, LONG height) {
  const LONG h = std::labs(height);
  return width >= msvideo1::kMinSize && h >= msvideo1::kMinSize && width <= msvideo1::kMaxSize &&
         h <= msvideo1::kMaxSize;
}

// BI_RGB input the coder takes. The format has no partial blocks, so a side that is not a
// multiple of 4 is refused rather than coded short: the recorders then fit their rectangle to a
// size that is accepted, and every pixel they grab is coded.
bool CompressInputOk(const BITMAPINFOHEADER* in) {
  if (!in || in->biSize < sizeof(BITMAPINFOHEADER) || in->biCompression != BI_RGB || in->biPlanes != 1) return false;
  if (in->biBitCount != 8 && in->biBitCount != 16 && in->biBitCount != 24 && in->biBitCount != 32) return false;
  if (in->biBitCount == 8 && in->biClrUsed > 256) return false;
  if (in->biWidth % 4 != 0 || std::labs(in->biHeight) % 4 != 0) return false;
  return SizeOk(in->biWidth, in->biHeight);
}

int CodedBits(const BITMAPINFOHEADER* in) { return in->biBitCount == 8 ? 8 : 16; }

DWORD CodedFormatSize(const BITMAPINFOHEADER* in) {
  return sizeof(BITMAPINFOHEADER) + (CodedBits(in) == 8 ? PaletteEntries(in) * sizeof(RGBQUAD) : 0);
}

bool CodedFormatOk(const BITMAPINFOHEADER* bi) {
  return bi && bi->biSize >= sizeof(BITMAPINFOHEADER) && IsMsVideo1(bi->biCompression) &&
         (bi->biBitCount == 8 || bi->biBitCount == 16) && (bi->biBitCount != 8 || bi->biClrUsed <= 256) &&
         bi->biHeight > 0 && SizeOk(bi->biWidth, bi->biHeight);
}

DWORD RowBytes(LONG width, int bits) { return ((DWORD(width) * DWORD(bits) + 31) / 32) * 4; }

// --- compression ---

LRESULT CompressQuery(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
  if (!CompressInputOk(in)) return ICERR_BADFORMAT;
  if (out && (!CodedFormatOk(out) || out->biWidth != in->biWidth || out->biHeight != std::labs(in->biHeight) ||
              out->biBitCount != CodedBits(in)))
    return ICERR_BADFORMAT;
  return ICERR_OK;
}

LRESULT CompressGetFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) {
  if (!in) return ICERR_BADPARAM;
  if (!out) return CompressInputOk(in) ? LRESULT(CodedFormatSize(in)) : LRESULT(sizeof(BITMAPINFOHEADER));
  if (!CompressInputOk(in)) return ICERR_BADFORMAT;
  std::memset(out, 0, sizeof(BITMAPINFOHEADER));
  out->biSize = sizeof(BITMAPINFOHEADER);
  out->biWidth = in->biWidth;
  out->biHeight = std::labs(in->biHeight);
  out->biPlanes = 1;
  out->biBitCount = WORD(CodedBits(in));
  out->biCompression = kCram;
  out->biSizeImage = DWORD(msvideo1::MaxFrameBytes(in->biWidth, out->biHeight, in->biBitCount == 8));
  if (out->biBitCount == 8) {
    DWORD n = PaletteEntries(in);
    out->biClrUsed = n;
    std::memcpy(reinterpret_cast<BYTE*>(out) + sizeof(BITMAPINFOHEADER),
                reinterpret_cast<const BYTE*>(in) + in->biSize, n * sizeof(RGBQUAD));
  }
  return ICERR_OK;
}

LRESULT CompressBegin(Instance& self, const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
  if (CompressQuery(in, out) != ICERR_OK) return ICERR_BADFORMAT;
  self.width = in->biWidth;
  self.height = in->biHeight;
  self.encoder.Begin(in->biWidth, std::labs(in->biHeight), in->biBitCount == 8, PaletteOf(in));
  self.compressing = true;
  return ICERR_OK;
}

msvideo1::Picture PictureOf(const BITMAPINFOHEADER* bi, const void* bits) {
  msvideo1::Picture p;
  const LONG h = std::labs(bi->biHeight);
  const std::ptrdiff_t row = std::ptrdiff_t(RowBytes(bi->biWidth, bi->biBitCount));
  const BYTE* base = static_cast<const BYTE*>(bits);
  // A top-down picture (negative height) starts with its top row.
  p.bottom = bi->biHeight < 0 ? base + (h - 1) * row : base;
  p.stride = bi->biHeight < 0 ? -row : row;
  p.width = bi->biWidth;
  p.height = h;
  switch (bi->biBitCount) {
    case 8: p.layout = msvideo1::Layout::Pal8; break;
    case 16: p.layout = msvideo1::Layout::Rgb555; break;
    case 24: p.layout = msvideo1::Layout::Bgr24; break;
    default: p.layout = msvideo1::Layout::Bgrx32; break;
  }
  return p;
}

LRESULT Compress(Instance& self, ICCOMPRESS* c) {
  if (!c || !c->lpbiInput || !c->lpbiOutput || !c->lpInput || !c->lpOutput) return ICERR_BADPARAM;
  if (!self.compressing || c->lpbiInput->biWidth != self.width || c->lpbiInput->biHeight != self.height ||
      !CompressInputOk(c->lpbiInput))
    return ICERR_BADFORMAT;
  const bool key = (c->dwFlags & ICCOMPRESS_KEYFRAME) != 0;
  const int quality = c->dwQuality == DWORD(ICQUALITY_DEFAULT) ? int(kDefaultQuality) : int(c->dwQuality);
  const LONG h = std::labs(self.height);
  const size_t capacity = msvideo1::MaxFrameBytes(self.width, h, c->lpbiInput->biBitCount == 8);
  size_t bytes = self.encoder.Encode(PictureOf(c->lpbiInput, c->lpInput), quality, key,
                                     static_cast<uint8_t*>(c->lpOutput), capacity);
  if (bytes == 0) return ICERR_ERROR;
  const msvideo1::Encoder::Counts& counts = self.encoder.LastCounts();
  const bool wasKey = counts.skipped == 0;
  c->lpbiOutput->biSizeImage = DWORD(bytes);
  c->lpbiOutput->biCompression = kCram;
  if (c->lpckid) *c->lpckid = 0;  // the AVI writer names the chunk
  if (c->lpdwFlags) *c->lpdwFlags = wasKey ? AVIIF_KEYFRAME : 0;
  return ICERR_OK;
}

// --- decompression ---

bool DecompressOutputOk(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
  if (!out || out->biSize < sizeof(BITMAPINFOHEADER) || out->biCompression != BI_RGB) return false;
  if (out->biWidth != in->biWidth || std::labs(out->biHeight) != in->biHeight) return false;
  switch (out->biBitCount) {
    case 8: return in->biBitCount == 8;
    case 16:
    case 24:
    case 32: return true;
    default: return false;
  }
}

LRESULT DecompressQuery(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
  if (!CodedFormatOk(in)) return ICERR_BADFORMAT;
  if (out && !DecompressOutputOk(in, out)) return ICERR_BADFORMAT;
  return ICERR_OK;
}

LRESULT DecompressGetFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) {
  if (!CodedFormatOk(in)) return ICERR_BADFORMAT;
  const DWORD entries = in->biBitCount == 8 ? PaletteEntries(in) : 0;
  const DWORD size = sizeof(BITMAPINFOHEADER) + entries * sizeof(RGBQUAD);
  if (!out) return LRESULT(size);
  std::memset(out, 0, sizeof(BITMAPINFOHEADER));
  out->biSize = sizeof(BITMAPINFOHEADER);
  out->biWidth = in->biWidth;
  out->biHeight = in->biHeight;
  out->biPlanes = 1;
  out->biBitCount = in->biBitCount == 8 ? 8 : 16;
  out->biCompression = BI_RGB;
  out->biClrUsed = entries;
  out->biSizeImage = RowBytes(out->biWidth, out->biBitCount) * DWORD(out->biHeight);
  if (entries)
    std::memcpy(reinterpret_cast<BYTE*>(out) + sizeof(BITMAPINFOHEADER),
                reinterpret_cast<const BYTE*>(in) + in->biSize, entries * sizeof(RGBQUAD));
  return ICERR_OK;
}

LRESULT DecompressGetPalette(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) {
  if (!CodedFormatOk(in) || in->biBitCount != 8) return ICERR_BADFORMAT;
  const DWORD entries = PaletteEntries(in);
  if (!out) return LRESULT(sizeof(BITMAPINFOHEADER) + entries * sizeof(RGBQUAD));
  out->biClrUsed = entries;
  std::memcpy(reinterpret_cast<BYTE*>(out) + out->biSize, reinterpret_cast<const BYTE*>(in) + in->biSize,
              entries * sizeof(RGBQUAD));
  return ICERR_OK;
}

LRESULT DecompressBegin(Instance& self, const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
  if (DecompressQuery(in, out) != ICERR_OK || !out) return ICERR_BADFORMAT;
  self.decoder.Begin(in->biWidth, in->biHeight, in->biBitCount == 8, PaletteOf(in));
  self.outputBits = out->biBitCount;
  self.outputStride = std::ptrdiff_t(RowBytes(out->biWidth, out->biBitCount));
  self.outputTopDown = out->biHeight < 0;
  self.decompressing = true;
  return ICERR_OK;
}

LRESULT DecodeInto(Instance& self, const BITMAPINFOHEADER* in, const void* data, void* output, bool hurry) {
  if (!self.decompressing || !in || !output || in->biWidth != self.decoder.width() ||
      in->biHeight != self.decoder.height())
    return ICERR_BADFORMAT;
  // A zero-sized (dropped) frame shows the previous picture.
  if (data && in->biSizeImage) self.decoder.Decode(static_cast<const uint8_t*>(data), in->biSizeImage);
  if (hurry) return ICERR_OK;
  BYTE* base = static_cast<BYTE*>(output);
  const LONG h = self.decoder.height();
  BYTE* bottom = self.outputTopDown ? base + (h - 1) * self.outputStride : base;
  std::ptrdiff_t stride = self.outputTopDown ? -self.outputStride : self.outputStride;
  return self.decoder.Convert(bottom, stride, self.outputBits) ? ICERR_OK : ICERR_BADFORMAT;
}

LRESULT Decompress(Instance& self, ICDECOMPRESS* d) {
  if (!d || !d->lpbiInput) return ICERR_BADPARAM;
  return DecodeInto(self, d->lpbiInput, d->lpInput, d->lpOutput, (d->dwFlags & ICDECOMPRESS_HURRYUP) != 0);
}

// The extended messages without stretching: whole source and whole destination only.
bool WholeRects(const ICDECOMPRESSEX* d) {
  auto whole = [](int x, int y, int w, int h, const BITMAPINFOHEADER* bi) {
    return bi && x == 0 && y == 0 && (w == 0 || w == bi->biWidth) && (h == 0 || h == std::labs(bi->biHeight));
  };
  return whole(d->xSrc, d->ySrc, d->dxSrc, d->dySrc, d->lpbiSrc) && whole(d->xDst, d->yDst, d->dxDst, d->dyDst, d->lpbiDst);
}

LRESULT Message(Instance& self, UINT msg, LPARAM lp1, LPARAM lp2) {
  auto* in = reinterpret_cast<BITMAPINFOHEADER*>(lp1);
  auto* out = reinterpret_cast<BITMAPINFOHEADER*>(lp2);
  switch (msg) {
    case ICM_GETINFO: {
      auto* info = reinterpret_cast<ICINFO*>(lp1);
      if (!info || DWORD(lp2) < sizeof(ICINFO)) return 0;
      std::memset(info, 0, sizeof(ICINFO));
      info->dwSize = sizeof(ICINFO);
      info->fccType = ICTYPE_VIDEO;
      info->fccHandler = kMsvc;
      info->dwFlags = VIDCF_QUALITY | VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC | VIDCF_FASTTEMPORALD;
      info->dwVersion = 0x00010000;
      info->dwVersionICM = ICVERSION;
      std::wcscpy(info->szName, L"MS Video 1");
      std::wcscpy(info->szDescription, L"Reclume MS Video 1 compressor");
      return sizeof(ICINFO);
    }
    case ICM_GETDEFAULTQUALITY:
      if (!lp1) return ICERR_BADPARAM;
      *reinterpret_cast<DWORD*>(lp1) = kDefaultQuality;
      return ICERR_OK;
    case ICM_GETDEFAULTKEYFRAMERATE:
      if (!lp1) return ICERR_BADPARAM;
      *reinterpret_cast<DWORD*>(lp1) = kDefaultKeyFrameRate;
      return ICERR_OK;
    case ICM_GETSTATE:
    case ICM_SETSTATE:
      return 0;
    case ICM_ABOUT:
    case ICM_CONFIGURE:
      return ICERR_UNSUPPORTED;
    case ICM_COMPRESS_QUERY: return CompressQuery(in, out);
    case ICM_COMPRESS_GET_FORMAT: return CompressGetFormat(in, out);
    case ICM_COMPRESS_GET_SIZE:
      return CompressInputOk(in) ? LRESULT(msvideo1::MaxFrameBytes(in->biWidth, std::labs(in->biHeight),
                                                                   in->biBitCount == 8))
                                 : 0;
    case ICM_COMPRESS_BEGIN: return CompressBegin(self, in, out);
    case ICM_COMPRESS: return Compress(self, reinterpret_cast<ICCOMPRESS*>(lp1));
    case ICM_COMPRESS_END:
      // The coder's state is a frame's worth of memory: it goes now, not at DRV_CLOSE, which
      // a client that ends the compression may send much later, or (this platform's
      // compressed AVI stream) never.
      self.compressing = false;
      self.encoder.End();
      return ICERR_OK;
    case ICM_COMPRESS_FRAMES_INFO: return ICERR_OK;
    case ICM_DECOMPRESS_QUERY: return DecompressQuery(in, out);
    case ICM_DECOMPRESS_GET_FORMAT: return DecompressGetFormat(in, out);
    case ICM_DECOMPRESS_GET_PALETTE: return DecompressGetPalette(in, out);
    case ICM_DECOMPRESS_BEGIN: return DecompressBegin(self, in, out);
    case ICM_DECOMPRESS: return Decompress(self, reinterpret_cast<ICDECOMPRESS*>(lp1));
    case ICM_DECOMPRESS_END:
      self.decompressing = false;
      self.decoder.End();
      return ICERR_OK;
    case ICM_DECOMPRESSEX_QUERY:
    case ICM_DECOMPRESSEX_BEGIN:
    case ICM_DECOMPRESSEX: {
      auto* d = reinterpret_cast<ICDECOMPRESSEX*>(lp1);
      if (!d || !WholeRects(d)) return ICERR_BADFORMAT;
      if (msg == ICM_DECOMPRESSEX_QUERY) return DecompressQuery(d->lpbiSrc, d->lpbiDst);
      if (msg == ICM_DECOMPRESSEX_BEGIN) return DecompressBegin(self, d->lpbiSrc, d->lpbiDst);
      return DecodeInto(self, d->lpbiSrc, d->lpSrc, d->lpDst, (d->dwFlags & ICDECOMPRESS_HURRYUP) != 0);
    }
    case ICM_DECOMPRESSEX_END:
      self.decompressing = false;
      self.decoder.End();
      return ICERR_OK;
    default:
      return ICERR_UNSUPPORTED;
  }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK DriverProc(DWORD_PTR id, HDRVR, UINT msg, LPARAM lp1, LPARAM lp2) {
  try {
    switch (msg) {
      case DRV_LOAD:
      case DRV_FREE:
      case DRV_ENABLE:
      case DRV_DISABLE:
      case DRV_INSTALL:
      case DRV_REMOVE:
        return 1;
      case DRV_OPEN: {
        // The system's first open (lp2 NULL) only checks that the driver answers.
        auto* open = reinterpret_cast<ICOPEN*>(lp2);
        if (open && open->fccType != ICTYPE_VIDEO && open->fccType != 0) return 0;
        auto* self = new (std::nothrow) Instance;
        if (!self) {
          if (open) open->dwError = ICERR_MEMORY;
          return 0;
        }
        if (open) open->dwError = ICERR_OK;
        return reinterpret_cast<LRESULT>(self);
      }
      case DRV_CLOSE:
        delete reinterpret_cast<Instance*>(id);
        return 1;
      case DRV_QUERYCONFIGURE:
      case DRV_CONFIGURE:
        return 0;
      default:
        if (msg < DRV_USER) return 0;
        if (!id) return ICERR_BADHANDLE;
        return Message(*reinterpret_cast<Instance*>(id), msg, lp1, lp2);
    }
  } catch (const std::bad_alloc&) {
    return ICERR_MEMORY;
  } catch (...) {
    return ICERR_INTERNAL;
  }
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  // Loaded once, kept until the process ends: the system loads the driver with every first open
  // and unloads it with the last close, and each load of this DLL here costs two handles that
  // its unload does not give back (measured here), so a program that opens and closes the
  // compressor for every recording would lose two handles a recording.
  if (reason == DLL_PROCESS_ATTACH) {
    HMODULE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                         reinterpret_cast<LPCWSTR>(&DriverProc), &self);
  }
  return TRUE;
}
