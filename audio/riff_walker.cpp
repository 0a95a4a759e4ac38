// The bounded RIFF WAVE header walker (see riff_walker.h for why it exists).
//
// Every offset is 64-bit, so no size field can wrap a position around; every step moves at
// least one chunk header forward; every read is checked against the end of the enclosing
// chunk and of the source. Chunk headers are read through a small block cache because a file
// of tiny chunks would otherwise cost one source read per eight bytes.
#include "audio/riff_walker.h"

#include <algorithm>
#include <cstring>

namespace riff {

size_t MemorySource::ReadAt(uint64_t offset, void* dst, size_t n) {
  if (offset >= size_) return 0;
  size_t count = std::min<uint64_t>(n, size_ - offset);
  std::memcpy(dst, data_ + offset, count);
  return count;
}

namespace {

uint32_t LoadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

class CachedReader {
 public:
  explicit CachedReader(ByteSource& source) : source_(source), size_(source.Size()) {}

  uint64_t size() const { return size_; }

  // True when all n bytes at offset were copied.
  bool Read(uint64_t offset, void* dst, size_t n) {
    if (offset > size_ || n > size_ - offset) return false;
    if (n <= kBlock) {
      if (!(offset >= start_ && offset + n <= start_ + filled_)) Fill(offset);
      if (offset + n <= start_ + filled_) {
        std::memcpy(dst, block_ + (offset - start_), n);
        return true;
      }
    }
    return source_.ReadAt(offset, dst, n) == n;
  }

 private:
  static constexpr size_t kBlock = 4096;

  void Fill(uint64_t offset) {
    start_ = offset;
    filled_ = source_.ReadAt(offset, block_, std::min<uint64_t>(kBlock, size_ - offset));
  }

  ByteSource& source_;
  uint64_t size_;
  uint64_t start_ = 0;
  size_t filled_ = 0;
  uint8_t block_[kBlock];
};

struct Chunk {
  uint32_t id = 0;
  uint32_t size = 0;
  uint64_t dataOffset = 0;  // first byte after the 8-byte header
};

// Looks for a chunk with the given id (and, when formType is not 0, that form type in its
// first four bytes) among the chunks that start at `from`, staying below `end`.
bool FindChunk(CachedReader& reader, uint64_t from, uint64_t end, uint32_t id, uint32_t formType,
               Chunk& found) {
  uint64_t pos = from;
  while (pos + 8 <= end) {
    uint8_t header[8];
    if (!reader.Read(pos, header, sizeof header)) return false;
    Chunk chunk{LoadU32(header), LoadU32(header + 4), pos + 8};
    if (chunk.id == id) {
      if (formType == 0) {
        found = chunk;
        return true;
      }
      uint8_t form[4];
      if (chunk.size >= 4 && pos + 12 <= end && reader.Read(pos + 8, form, sizeof form) &&
          LoadU32(form) == formType) {
        found = chunk;
        return true;
      }
    }
    // Odd chunks are followed by a pad byte; at least the header is always passed.
    pos = chunk.dataOffset + chunk.size + (chunk.size & 1);
  }
  return false;
}

}  // namespace

HeaderError ReadWaveHeader(ByteSource& source, WaveHeader& out) {
  out = WaveHeader{};
  CachedReader reader(source);
  const uint64_t total = reader.size();

  Chunk riffChunk;
  if (!FindChunk(reader, 0, total, FourCC('R', 'I', 'F', 'F'), FourCC('W', 'A', 'V', 'E'), riffChunk))
    return HeaderError::NoRiffWave;
  // The RIFF size counts the form type; children start after it.
  const uint64_t riffEnd = std::min(riffChunk.dataOffset + riffChunk.size, total);
  const uint64_t firstChild = riffChunk.dataOffset + 4;

  Chunk fmt;
  if (!FindChunk(reader, firstChild, riffEnd, FourCC('f', 'm', 't', ' '), 0, fmt))
    return HeaderError::NoFormat;
  if (fmt.size < kMinFormatChunk) return HeaderError::FormatTooShort;
  if (fmt.size > kMaxFormatChunk || fmt.size > total - fmt.dataOffset) return HeaderError::FormatTooLarge;

  std::vector<uint8_t> format(std::max(fmt.size, kFormatRecordSize), 0);
  if (!reader.Read(fmt.dataOffset, format.data(), fmt.size)) return HeaderError::FormatTooLarge;
  const uint32_t extraPresent = fmt.size > kFormatRecordSize ? fmt.size - kFormatRecordSize : 0;
  const uint32_t extraClaimed = uint32_t(format[16]) | uint32_t(format[17]) << 8;
  const uint32_t extra = std::min(extraClaimed, extraPresent);
  format[16] = uint8_t(extra);
  format[17] = uint8_t(extra >> 8);

  // The data chunk is looked for after the format (past its pad byte when the size is odd).
  Chunk data;
  const uint64_t afterFormat = fmt.dataOffset + fmt.size + (fmt.size & 1);
  if (!FindChunk(reader, afterFormat, riffEnd, FourCC('d', 'a', 't', 'a'), 0, data))
    return HeaderError::NoData;
  if (data.dataOffset > UINT32_MAX) return HeaderError::OffsetOutOfRange;

  out.format = std::move(format);
  out.dataOffset = uint32_t(data.dataOffset);
  out.dataSize = uint32_t(std::min<uint64_t>(data.size, total - data.dataOffset));
  return HeaderError::None;
}

}  // namespace riff
