// The packed frame: the one in-memory frame format of both recorders. One moveable,
// zero-initialised global memory block holding a 40-byte BITMAPINFOHEADER, the colour table
// (2^bits entries of 4 bytes for 8 bits per pixel or less) and the pixel rows, bottom row
// first, each row padded to a multiple of 4 bytes. The header with its colour table is the
// video stream's format; the pixel rows are one stream sample.
//
// A frame is handed out locked, as a pointer to its first byte. Sizes are computed in 64 bits;
// a frame whose block would not fit 32 bits is refused (allocation returns nullptr).
#pragma once

#include <windows.h>

#include <cstdint>

namespace engine {

// Bytes per pixel row: ((width * bitCount + 31) div 32) * 4.
uint64_t PackedRowSize(int64_t width, int bitCount);
// Bytes of all pixel rows (biSizeImage).
uint64_t PackedImageSize(int64_t width, int64_t height, int bitCount);
// Entries of the colour table: 2^bitCount at 8 bits or less, else 0.
uint32_t PackedColorCount(int bitCount);
// Size of the whole block: 40 + 4 * colours + image.
uint64_t PackedFrameSize(int64_t width, int64_t height, int bitCount);

// True for the depths a packed frame can hold (1, 4, 8, 16, 24, 32) and positive sizes whose
// block fits 32 bits.
bool PackedFrameFits(int64_t width, int64_t height, int bitCount);

// Writes every header field for the given size and depth (biClrUsed included).
void WritePackedHeader(BITMAPINFOHEADER* header, int width, int height, int bitCount);

// The two steps of a new frame. The block (GHND, zeroed) of a frame of that size and depth:
// null when the frame does not fit or the memory cannot be had. Then the block locked with its
// header written: nullptr when the lock fails, and the block is freed then.
HGLOBAL AllocPackedBlock(int width, int height, int bitCount);
BITMAPINFOHEADER* LockPackedBlock(HGLOBAL block, int width, int height, int bitCount);

// Why a new frame could not be had.
enum class PackedAllocFailure { None, NoMemory, LockFailed };

// Both steps; nullptr when either failed (which one goes to *failure when given).
BITMAPINFOHEADER* AllocPackedFrame(int width, int height, int bitCount, PackedAllocFailure* failure = nullptr);

// Start of the pixel rows: biSize + 4 * biClrUsed at 8 bits or less, else biSize.
BYTE* PackedFramePixels(BITMAPINFOHEADER* frame);
const BYTE* PackedFramePixels(const BITMAPINFOHEADER* frame);
// Bytes of the header and colour table: the stream format.
DWORD PackedFormatSize(const BITMAPINFOHEADER* frame);

// Unlocks and frees the block behind frame (found with GlobalHandle) and sets frame to nullptr;
// nothing happens when frame is already nullptr.
void FreePackedFrame(BITMAPINFOHEADER*& frame);

// Owns one locked packed frame and frees it on destruction.
class PackedFrame {
 public:
  PackedFrame() = default;
  explicit PackedFrame(BITMAPINFOHEADER* frame) noexcept : frame_(frame) {}
  ~PackedFrame() { FreePackedFrame(frame_); }
  PackedFrame(const PackedFrame&) = delete;
  PackedFrame& operator=(const PackedFrame&) = delete;
  PackedFrame(PackedFrame&& other) noexcept : frame_(other.frame_) { other.frame_ = nullptr; }
  PackedFrame& operator=(PackedFrame&& other) noexcept {
    if (this != &other) {
      FreePackedFrame(frame_);
      frame_ = other.frame_;
      other.frame_ = nullptr;
    }
    return *this;
  }

  BITMAPINFOHEADER* get() const noexcept { return frame_; }
  BITMAPINFOHEADER* operator->() const noexcept { return frame_; }
  explicit operator bool() const noexcept { return frame_ != nullptr; }
  BYTE* pixels() const noexcept { return frame_ ? PackedFramePixels(frame_) : nullptr; }
  DWORD formatSize() const noexcept { return frame_ ? PackedFormatSize(frame_) : 0; }
  void reset() noexcept { FreePackedFrame(frame_); }

 private:
  BITMAPINFOHEADER* frame_ = nullptr;
};

// Which header fields a packer writes again after GetDIBits (which may change them).
enum class HeaderRewrite {
  ColorCountOnly,  // only biClrUsed
  Whole,           // every field
};

struct PackResult {
  PackedFrame frame;  // empty when the frame could not be had (failure says why)
  PackedAllocFailure failure = PackedAllocFailure::None;
  bool bitsRead = false;  // GetDIBits succeeded; when false the pixels are all zero
};

// Packs a bitmap of width x height into a new frame of bitCount bits: allocate, header,
// GetDIBits (all rows, DIB_RGB_COLORS, the frame's header as the bitmap information; this
// also fills the colour table), rewrite. The bitmap must not be selected into any device
// context; dc is a device context compatible with the bitmap.
PackResult PackBitmap(HDC dc, HBITMAP bitmap, int width, int height, int bitCount, HeaderRewrite rewrite);
// The same read into a frame that already exists (its header gives the size and depth), so a
// recording can reuse one frame for every pass. Returns whether GetDIBits succeeded; when it
// did not the pixels are all zero.
bool PackBitmapInto(HDC dc, HBITMAP bitmap, BITMAPINFOHEADER* frame, HeaderRewrite rewrite);

}  // namespace engine
