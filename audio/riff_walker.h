// A bounded reader for the header of a RIFF WAVE file.
//
// The platform's chunk descent trusts every size field it meets: a crafted size (0xFFFFFFF8)
// makes it step back onto the same chunk for ever, and it reads chunk headers past the end of
// the chunk it was told to search. This walker does the same look-ups with 64-bit offsets,
// moves forward on every step, and never reads past the enclosing chunk or the end of the
// source, so any input ends in a bounded number of steps. It needs nothing but the standard
// library, so the same code is fuzzed natively and used by the Windows build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace riff {

// Random-access bytes to walk over (a stream, a file handle, a memory block).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Total size in bytes; asked once per walk.
  virtual uint64_t Size() = 0;
  // Copies up to n bytes from offset into dst and returns how many were copied.
  virtual size_t ReadAt(uint64_t offset, void* dst, size_t n) = 0;
};

// A ByteSource over a block of memory the caller keeps alive.
class MemorySource : public ByteSource {
 public:
  MemorySource(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  uint64_t Size() override { return size_; }
  size_t ReadAt(uint64_t offset, void* dst, size_t n) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}

// The smallest 'fmt ' chunk accepted (tag, channels, rate, bytes per second, block align) and
// the largest one: a real format record is a few dozen bytes, so anything bigger is garbage
// and is refused before any memory is set aside for it.
constexpr uint32_t kMinFormatChunk = 14;
constexpr uint32_t kMaxFormatChunk = 64 * 1024;
// Size of the fixed part of a format record, the extra-bytes count included.
constexpr uint32_t kFormatRecordSize = 18;

enum class HeaderError {
  None,
  NoRiffWave,        // no RIFF chunk of form type WAVE
  NoFormat,          // no 'fmt ' chunk inside it
  FormatTooShort,    // 'fmt ' smaller than kMinFormatChunk
  FormatTooLarge,    // 'fmt ' larger than kMaxFormatChunk or than what the source still holds
  NoData,            // no 'data' chunk after the format
  OffsetOutOfRange,  // the audio starts beyond what a 32-bit offset can say
};

struct WaveHeader {
  // The format record: the chunk's bytes, zero-filled to at least kFormatRecordSize; the
  // extra-bytes count (offset 16) is clamped to the extra bytes actually present.
  std::vector<uint8_t> format;
  uint32_t dataSize = 0;    // the 'data' size, clamped to the bytes the source holds
  uint32_t dataOffset = 0;  // offset of the first audio byte from the start of the source
};

// Finds the first RIFF chunk of form type WAVE at the top level, its 'fmt ' chunk and, after
// that, its 'data' chunk. Chunks are stepped over by their size rounded up to even (the pad
// byte of an odd chunk). On failure `out` is left empty.
HeaderError ReadWaveHeader(ByteSource& source, WaveHeader& out);

}  // namespace riff
