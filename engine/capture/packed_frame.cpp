// Packed frames: sizes, allocation, the header, freeing, and the packer shared by both
// recorders (a bitmap read with GetDIBits into a new frame).
//
// Every size is computed in 64 bits and checked against 32 bits before GlobalAlloc, so a huge
// rectangle gives a clean refusal instead of a short block that GetDIBits would overrun.
#include "engine/capture/packed_frame.h"

#include <cstring>
#include <limits>

namespace engine {

namespace {

bool ValidDepth(int bitCount) {
  switch (bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32:
      return true;
    default:
      return false;
  }
}

}  // namespace

uint64_t PackedRowSize(int64_t width, int bitCount) {
  if (width <= 0 || bitCount <= 0) return 0;
  return (static_cast<uint64_t>(width) * static_cast<uint64_t>(bitCount) + 31) / 32 * 4;
}

uint64_t PackedImageSize(int64_t width, int64_t height, int bitCount) {
  if (height <= 0) return 0;
  return PackedRowSize(width, bitCount) * static_cast<uint64_t>(height);
}

uint32_t PackedColorCount(int bitCount) {
  return bitCount >= 1 && bitCount <= 8 ? (1u << bitCount) : 0u;
}

uint64_t PackedFrameSize(int64_t width, int64_t height, int bitCount) {
  return sizeof(BITMAPINFOHEADER) + 4ull * PackedColorCount(bitCount) + PackedImageSize(width, height, bitCount);
}

bool PackedFrameFits(int64_t width, int64_t height, int bitCount) {
  if (!ValidDepth(bitCount) || width <= 0 || height <= 0) return false;
  // Rows beyond 2^31 pixels would already overflow the 64-bit product for absurd inputs.
  if (width > std::numeric_limits<int32_t>::max() || height > std::numeric_limits<int32_t>::max()) return false;
  return PackedFrameSize(width, height, bitCount) <= std::numeric_limits<uint32_t>::max();
}

void WritePackedHeader(BITMAPINFOHEADER* header, int width, int height, int bitCount) {
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = static_cast<WORD>(bitCount);
  header->biCompression = BI_RGB;
  header->biSizeImage = static_cast<DWORD>(PackedImageSize(width, height, bitCount));
  header->biXPelsPerMeter = 0;
  header->biYPelsPerMeter = 0;
  header->biClrUsed = PackedColorCount(bitCount);
  header->biClrImportant = 0;
}

HGLOBAL AllocPackedBlock(int width, int height, int bitCount) {
  if (!PackedFrameFits(width, height, bitCount)) return nullptr;
  return ::GlobalAlloc(GHND, static_cast<SIZE_T>(PackedFrameSize(width, height, bitCount)));
}

BITMAPINFOHEADER* LockPackedBlock(HGLOBAL block, int width, int height, int bitCount) {
  if (!block) return nullptr;
  auto* header = static_cast<BITMAPINFOHEADER*>(::GlobalLock(block));
  if (!header) {
    ::GlobalFree(block);
    return nullptr;
  }
  WritePackedHeader(header, width, height, bitCount);
  return header;
}

BITMAPINFOHEADER* AllocPackedFrame(int width, int height, int bitCount, PackedAllocFailure* failure) {
  PackedAllocFailure why = PackedAllocFailure::None;
  BITMAPINFOHEADER* frame = nullptr;
  if (HGLOBAL block = AllocPackedBlock(width, height, bitCount)) {
    frame = LockPackedBlock(block, width, height, bitCount);
    if (!frame) why = PackedAllocFailure::LockFailed;
  } else {
    why = PackedAllocFailure::NoMemory;
  }
  if (failure) *failure = why;
  return frame;
}

BYTE* PackedFramePixels(BITMAPINFOHEADER* frame) {
  DWORD offset = frame->biSize;
  if (frame->biBitCount <= 8) offset += 4 * frame->biClrUsed;
  return reinterpret_cast<BYTE*>(frame) + offset;
}

const BYTE* PackedFramePixels(const BITMAPINFOHEADER* frame) {
  return PackedFramePixels(const_cast<BITMAPINFOHEADER*>(frame));
}

DWORD PackedFormatSize(const BITMAPINFOHEADER* frame) {
  return static_cast<DWORD>(PackedFramePixels(frame) - reinterpret_cast<const BYTE*>(frame));
}

void FreePackedFrame(BITMAPINFOHEADER*& frame) {
  if (!frame) return;
  HGLOBAL mem = ::GlobalHandle(frame);
  if (mem) {
    ::GlobalUnlock(mem);
    ::GlobalFree(mem);
  }
  frame = nullptr;
}

bool PackBitmapInto(HDC dc, HBITMAP bitmap, BITMAPINFOHEADER* frame, HeaderRewrite rewrite) {
  const int width = frame->biWidth, height = frame->biHeight, bitCount = frame->biBitCount;
  BYTE* pixels = PackedFramePixels(frame);
  const bool read = ::GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels, reinterpret_cast<BITMAPINFO*>(frame),
                                DIB_RGB_COLORS) != 0;
  // GetDIBits may rewrite header fields (biClrUsed in particular, which says where the rows
  // start); put back what the frame's layout relies on.
  if (rewrite == HeaderRewrite::Whole)
    WritePackedHeader(frame, width, height, bitCount);
  else
    frame->biClrUsed = PackedColorCount(bitCount);
  // A failed read may have left part of the rows written: the frame is all black instead.
  if (!read) std::memset(pixels, 0, static_cast<size_t>(PackedImageSize(width, height, bitCount)));
  return read;
}

PackResult PackBitmap(HDC dc, HBITMAP bitmap, int width, int height, int bitCount, HeaderRewrite rewrite) {
  PackResult result;
  result.frame = PackedFrame(AllocPackedFrame(width, height, bitCount, &result.failure));
  if (result.frame) result.bitsRead = PackBitmapInto(dc, bitmap, result.frame.get(), rewrite);
  return result;
}

}  // namespace engine
