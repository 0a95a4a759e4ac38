// The recorders' compressed video stream, driven directly: see compressed_writer.h for why.
// Every buffer is made when the format is set; a write only compresses and writes.
#include "engine/capture/compressed_writer.h"

#include <cstdlib>
#include <cstring>

namespace engine {

namespace {

constexpr DWORD kDib = mmioFOURCC('D', 'I', 'B', ' ');
constexpr DWORD kNone = mmioFOURCC('N', 'O', 'N', 'E');

// The pixels of a decompressed frame: after its header and the colours it uses.
BYTE* PixelsAfter(BITMAPINFOHEADER* bi) { return reinterpret_cast<BYTE*>(bi) + bi->biSize + bi->biClrUsed * sizeof(RGBQUAD); }

// The bytes of one uncompressed frame of format.
uint64_t RawFrameBytes(const BITMAPINFOHEADER* format) {
  if (format->biSizeImage) return format->biSizeImage;
  return ((static_cast<uint64_t>(format->biWidth) * format->biBitCount + 31) / 32) * 4 *
         static_cast<uint64_t>(std::abs(format->biHeight));
}

}  // namespace

CompressedWriter::~CompressedWriter() { Close(); }

void CompressedWriter::Close() noexcept {
  if (hic_) {
    if (decompressing_) ICDecompressEnd(hic_.get());
    if (begun_) ICCompressEnd(hic_.get());
  }
  decompressing_ = false;
  begun_ = false;
  hic_.reset();
  stream_ = nullptr;
}

HRESULT CompressedWriter::Open(PAVISTREAM stream, const AVICOMPRESSOPTIONS& options) {
  Close();
  if (!stream) return AVIERR_BADPARAM;
  AVISTREAMINFOW info{};
  if (::AVIStreamInfoW(stream, &info, sizeof info) != AVIERR_OK || info.fccType != streamtypeVIDEO)
    return AVIERR_ERROR;
  stream_ = stream;
  streamStart_ = static_cast<LONG>(info.dwStart);
  wroteAny_ = false;
  keyWritten_ = false;
  current_ = -1;
  lastKey_ = 0;
  passThrough_ = options.fccHandler == 0 || options.fccHandler == kDib || options.fccHandler == kNone;
  if (passThrough_) return AVIERR_OK;

  hic_.reset(::ICOpen(ICTYPE_VIDEO, options.fccHandler, ICMODE_COMPRESS));
  if (!hic_) {
    stream_ = nullptr;
    return AVIERR_NOCOMPRESSOR;
  }
  if (options.cbParms > 0 && options.lpParms) ICSetState(hic_.get(), options.lpParms, options.cbParms);
  quality_ = options.dwQuality;
  if (quality_ == static_cast<DWORD>(ICQUALITY_DEFAULT)) quality_ = static_cast<DWORD>(ICGetDefaultQuality(hic_.get()));
  // The driver's own answer: ICGetInfo adds the driver's file name, and on this platform each
  // such call on an installed driver leaves a handle open.
  ICINFO icinfo{};
  icinfo.dwSize = sizeof icinfo;
  ::ICSendMessage(hic_.get(), ICM_GETINFO, reinterpret_cast<DWORD_PTR>(&icinfo), sizeof icinfo);
  flags_ = icinfo.dwFlags;
  // Key frames at the asked period only for a compressor that makes delta frames at all.
  keyFrameEvery_ = (options.dwFlags & AVICOMPRESSF_KEYFRAMES) && (flags_ & (VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC))
                       ? static_cast<LONG>(options.dwKeyFrameEvery)
                       : 1;
  if (flags_ & VIDCF_COMPRESSFRAMES) {
    ICCOMPRESSFRAMES frames{};
    frames.lFrameCount = static_cast<LONG>(info.dwLength);
    frames.lQuality = static_cast<LONG>(quality_);
    frames.lKeyRate = keyFrameEvery_;
    frames.dwRate = info.dwRate;
    frames.dwScale = info.dwScale;
    ::ICSendMessage(hic_.get(), ICM_COMPRESS_FRAMES_INFO, reinterpret_cast<DWORD_PTR>(&frames), sizeof frames);
  }
  return AVIERR_OK;
}

HRESULT CompressedWriter::SetFormat(const BITMAPINFOHEADER* format, LONG formatSize) {
  if (!stream_) return AVIERR_ERROR;
  if (!format || formatSize <= 0) return AVIERR_BADPARAM;
  if (format->biCompression != BI_RGB) return AVIERR_UNSUPPORTED;
  if (begun_ || !input_.empty()) return AVIERR_UNSUPPORTED;  // set once per recording
  auto* in = const_cast<BITMAPINFOHEADER*>(format);
  worstFrame_ = RawFrameBytes(format);
  if (passThrough_) {
    input_.assign(reinterpret_cast<const BYTE*>(format), reinterpret_cast<const BYTE*>(format) + formatSize);
    return ::AVIStreamSetFormat(stream_, 0, in, formatSize);
  }
  input_.assign(reinterpret_cast<const BYTE*>(format), reinterpret_cast<const BYTE*>(format) + formatSize);
  in = reinterpret_cast<BITMAPINFOHEADER*>(input_.data());
  const LRESULT outSize = ICCompressGetFormatSize(hic_.get(), in);
  if (outSize < static_cast<LRESULT>(sizeof(BITMAPINFOHEADER))) return AVIERR_COMPRESSOR;
  output_.assign(static_cast<size_t>(outSize), 0);
  auto* out = reinterpret_cast<BITMAPINFOHEADER*>(output_.data());
  if (ICCompressGetFormat(hic_.get(), in, out) < ICERR_OK) return AVIERR_COMPRESSOR;
  if (ICCompressBegin(hic_.get(), in, out) != ICERR_OK) return AVIERR_COMPRESSOR;
  begun_ = true;
  const LRESULT frameSize = ICCompressGetSize(hic_.get(), in, out);
  if (frameSize > 0) worstFrame_ = static_cast<uint64_t>(frameSize);
  frame_.assign(output_.size() + static_cast<size_t>(frameSize > 0 ? frameSize : 0), 0);
  std::memcpy(frame_.data(), output_.data(), output_.size());

  // A temporal compressor that needs the previous frame gets it decompressed.
  if (keyFrameEvery_ != 1 && (flags_ & VIDCF_FASTTEMPORALC) == 0) {
    const LRESULT prevSize = ICDecompressGetFormatSize(hic_.get(), out);
    if (prevSize < static_cast<LRESULT>(sizeof(BITMAPINFOHEADER))) return AVIERR_COMPRESSOR;
    previous_.assign(static_cast<size_t>(prevSize), 0);
    auto* prev = reinterpret_cast<BITMAPINFOHEADER*>(previous_.data());
    if (ICDecompressGetFormat(hic_.get(), out, prev) < ICERR_OK) return AVIERR_COMPRESSOR;
    if (prev->biSizeImage == 0)
      prev->biSizeImage = ((static_cast<DWORD>(prev->biWidth) * prev->biBitCount + 31) / 32) * 4 *
                          static_cast<DWORD>(std::abs(prev->biHeight));
    previous_.resize(previous_.size() + prev->biSizeImage);
    prev = reinterpret_cast<BITMAPINFOHEADER*>(previous_.data());
    if (ICDecompressBegin(hic_.get(), out, prev) != ICERR_OK) return AVIERR_COMPRESSOR;
    decompressing_ = true;
  }
  return ::AVIStreamSetFormat(stream_, 0, out, static_cast<LONG>(output_.size()));
}

HRESULT CompressedWriter::EncodeFrame(const void* bits) {
  DWORD icmFlags = 0;
  if ((keyFrameEvery_ != 0 && current_ - lastKey_ >= keyFrameEvery_) || !keyWritten_)
    icmFlags = ICCOMPRESS_KEYFRAME;
  auto* in = reinterpret_cast<BITMAPINFOHEADER*>(input_.data());
  auto* cur = reinterpret_cast<BITMAPINFOHEADER*>(frame_.data());
  BITMAPINFOHEADER* prev = previous_.empty() ? nullptr : reinterpret_cast<BITMAPINFOHEADER*>(previous_.data());
  const bool withPrevious = (icmFlags & ICCOMPRESS_KEYFRAME) == 0 && prev;
  DWORD ckid = 0, idxFlags = 0;
  BYTE* const coded = frame_.data() + output_.size();
  const DWORD res = ::ICCompress(hic_.get(), icmFlags, cur, coded, in, const_cast<void*>(bits), &ckid,
                                 &idxFlags, current_, 0, quality_, withPrevious ? prev : nullptr,
                                 withPrevious ? PixelsAfter(prev) : nullptr);
  if (res != ICERR_OK && res != static_cast<DWORD>(ICERR_NEWPALETTE)) return AVIERR_COMPRESSOR;
  if (icmFlags & ICCOMPRESS_KEYFRAME) {
    lastKey_ = current_;
    keyWritten_ = true;
  }
  if (prev && ::ICDecompress(hic_.get(), 0, cur, coded, prev, PixelsAfter(prev)) != ICERR_OK)
    return AVIERR_COMPRESSOR;
  return AVIERR_OK;
}

HRESULT CompressedWriter::Write(LONG start, const void* bits, LONG bytes) {
  if (!stream_ || input_.empty()) return AVIERR_ERROR;
  if (!bits && bytes > 0) return AVIERR_BADPARAM;
  if (start < streamStart_) return AVIERR_BADPARAM;
  if (!wroteAny_ && start > streamStart_) {
    // The positions before the first frame are empty ones of the stream (see the header).
    BYTE none = 0;
    const HRESULT empty = ::AVIStreamWrite(stream_, streamStart_, 1, &none, 0, 0, nullptr, nullptr);
    if (empty != AVIERR_OK) return empty;
  }
  wroteAny_ = true;
  if (passThrough_) {
    const HRESULT written =
        ::AVIStreamWrite(stream_, start, 1, const_cast<void*>(bits), bytes, AVIIF_KEYFRAME, nullptr, nullptr);
    if (written == AVIERR_OK) lastFrame_ = static_cast<uint64_t>(bytes);
    return written;
  }
  current_ = start;
  const HRESULT hr = EncodeFrame(bits);
  if (FAILED(hr)) return hr;
  auto* cur = reinterpret_cast<BITMAPINFOHEADER*>(frame_.data());
  const DWORD flags = lastKey_ == start ? AVIIF_KEYFRAME : 0;
  const HRESULT written = ::AVIStreamWrite(stream_, start, 1, frame_.data() + output_.size(),
                                           static_cast<LONG>(cur->biSizeImage), flags, nullptr, nullptr);
  if (written == AVIERR_OK) lastFrame_ = cur->biSizeImage;
  return written;
}

}  // namespace engine
