// Hidden data of TEffects: the bits of a stream in the lowest bit of the carrier bytes that the
// data engine visits, bit 0 of each data byte first, and read back from there.
//
// Every check is made before anything is touched, so a call that raises leaves the bitmap's
// bytes and the stream as they were; reading builds the data in a stream of its own and hands
// it over only when the whole read has worked.
#include <utility>

#include "engine/scEffects.h"

namespace engine {
namespace {

// Puts an event slot back to what it held when the guard was made.
template <class Event>
class EventSwap {
 public:
  EventSwap(Event& slot, Event replacement) : slot_(slot), saved_(std::move(slot)) { slot_ = std::move(replacement); }
  ~EventSwap() { slot_ = std::move(saved_); }
  EventSwap(const EventSwap&) = delete;
  EventSwap& operator=(const EventSwap&) = delete;

 private:
  Event& slot_;
  Event saved_;
};

bool BelowEightBits(TPixelFormat f) {
  return f == TPixelFormat::pfDevice || f == TPixelFormat::pf1bit || f == TPixelFormat::pf4bit;
}

}  // namespace

int64_t TEffects::DataCapacity(const TBitmap& bitmap, bool fixedStep, int step, int offset) {
  if (bitmap.Empty() || (fixedStep && step < 1)) return 0;
  const int bpp = BelowEightBits(bitmap.PixelFormat()) ? 1 : engine::BytesPerPixel(bitmap.PixelFormat());
  const int64_t carriers = static_cast<int64_t>(bitmap.Width()) * bitmap.Height() * bpp - offset;
  if (carriers <= 0) return 0;
  return carriers / (8 * static_cast<int64_t>(fixedStep ? step : 1));
}

void TEffects::HideData(TMemoryStream& stream, TBitmap& bitmap, bool fixedStep, int step, int offset) {
  EventSwap<TImportEvent> hook(OnImport, [](uint8_t& carrier, void* p, int index, int bitIndex) {
    const uint8_t bit = (static_cast<const uint8_t*>(p)[index] >> bitIndex) & 1;
    carrier = static_cast<uint8_t>((carrier & 0xFE) | bit);
  });
  TransferData(stream, bitmap, false, fixedStep, step, offset);
}

void TEffects::ExtractData(TMemoryStream& stream, TBitmap& bitmap, bool fixedStep, int size, int step,
                           int offset) {
  // The engine's own checks, in its order, before the size is known to fit: a Size that does
  // not fit is refused before anything of it is allocated.
  if (size == 0) throw EStreamError(kDataSizeZero);
  if (offset < 0) throw EBitmapError(kNegativeOffset);
  if (fixedStep && step < 1) throw EBitmapError(kStepBelowOne);
  if (BelowEightBits(bitmap.PixelFormat())) bitmap.SetPixelFormat(TPixelFormat::pf8bit);
  const int64_t capacity = DataCapacity(bitmap, fixedStep, step, offset);
  const int64_t bytes = size < 0 ? capacity : size;
  if (bytes == 0) throw EStreamError(kDataSizeZero);
  if (bytes > capacity) throw EBitmapError(kOutOfBitmapSpace);

  TMemoryStream data(static_cast<size_t>(bytes));
  {
    EventSwap<TExportEvent> hook(OnExport, [](uint8_t carrier, void* p, int index, int bitIndex) {
      uint8_t& b = static_cast<uint8_t*>(p)[index];
      b = static_cast<uint8_t>(((carrier & 1) << bitIndex) | (b & ~(1u << bitIndex)));
    });
    TransferData(data, bitmap, true, fixedStep, step, offset);
  }
  stream.swap(data);
}

}  // namespace engine
