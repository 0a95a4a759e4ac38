// libFuzzer target for the bounded RIFF WAVE header walker (built natively by scripts/fuzz).
//
// Besides crashes, leaks and out-of-bounds reads (AddressSanitizer), it checks what every
// accepted header promises the code that uses it: a format record of 18 bytes to 64 KiB whose
// extra-bytes count fits the record, audio that lies wholly inside the input, and a walk that
// never asks the source for bytes past its end.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "audio/riff_walker.h"

namespace {

class StrictSource : public riff::ByteSource {
 public:
  StrictSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() override { return size_; }
  size_t ReadAt(uint64_t offset, void* dst, size_t n) override {
    if (offset > size_ || n > size_ - offset) __builtin_trap();  // read past the end asked for
    std::memcpy(dst, data_ + offset, n);
    return n;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StrictSource source(data, size);
  riff::WaveHeader header;
  const riff::HeaderError error = riff::ReadWaveHeader(source, header);
  if (error != riff::HeaderError::None) {
    if (!header.format.empty() || header.dataSize || header.dataOffset) __builtin_trap();
    return 0;
  }
  const size_t formatSize = header.format.size();
  if (formatSize < riff::kFormatRecordSize || formatSize > riff::kMaxFormatChunk) __builtin_trap();
  const uint32_t extra = uint32_t(header.format[16]) | uint32_t(header.format[17]) << 8;
  if (extra > formatSize - riff::kFormatRecordSize) __builtin_trap();
  if (header.dataOffset < 12 + 8 + riff::kMinFormatChunk + 8) __builtin_trap();
  if (uint64_t(header.dataOffset) + header.dataSize > size) __builtin_trap();

  // The same bytes through the plain memory source give the same answer.
  riff::MemorySource plain(data, size);
  riff::WaveHeader again;
  if (riff::ReadWaveHeader(plain, again) != error || again.format != header.format ||
      again.dataSize != header.dataSize || again.dataOffset != header.dataOffset)
    __builtin_trap();
  return 0;
}
