// Hidden data of TEffects: the bits of a stream in the lowest bit of the carrier bytes that the
// data engine visits, bit 0 of each data byte first, and read back from there.
//
// Every check is made before anything is touched, so a call that raises leaves the bitmap
// (its format included) and the stream as they were.

#include "engine/effects/scEffects.h"
#include "engine/effects/scEffects_helpers.h"

namespace engine {
namespace {

using helpers::HookGuard;

bool BelowEightBits(TPixelFormat f) {
  return f == TPixelFormat::pfDevice || f == TPixelFormat::pf1bit || f == TPixelFormat::pf4bit;
}

// The engine's checks, in its order, made before anything is touched or allocated: a call
// that is going to fail neither converts a bitmap below 8 bits nor allocates its Size. Size
// -1 (ExtractData's "as many as fit") takes the capacity.
void CheckTransfer(int64_t size, const TBitmap& bitmap, bool fixedStep, int step, int offset) {
  if (size == 0) throw EStreamError(kDataSizeZero);
  if (offset < 0) throw EBitmapError(kNegativeOffset);
  if (fixedStep && step < 1) throw EBitmapError(kStepBelowOne);
  const int64_t capacity = TEffects::DataCapacity(bitmap, fixedStep, step, offset);
  if (size < 0 && capacity == 0) throw EStreamError(kDataSizeZero);
  if (size > capacity) throw EBitmapError(kOutOfBitmapSpace);
}

}  // namespace

int64_t TEffects::DataCapacity(const TBitmap& bitmap, bool fixedStep, int step, int offset) {
  if (bitmap.Empty() || offset < 0 || (fixedStep && step < 1)) return 0;
  const int bpp = BelowEightBits(bitmap.PixelFormat()) ? 1 : engine::BytesPerPixel(bitmap.PixelFormat());
  const int64_t carriers = static_cast<int64_t>(bitmap.Width()) * bitmap.Height() * bpp - offset;
  if (carriers <= 0) return 0;
  return carriers / (8 * static_cast<int64_t>(fixedStep ? step : 1));
}

void TEffects::HideData(TMemoryStream& stream, TBitmap& bitmap, bool fixedStep, int step, int offset) {
  CheckTransfer(static_cast<int64_t>(stream.size()), bitmap, fixedStep, step, offset);
  HookGuard<TImportEvent> hook(OnImport, [](uint8_t& carrier, void* p, int index, int bitIndex) {
    const uint8_t bit = (static_cast<const uint8_t*>(p)[index] >> bitIndex) & 1;
    carrier = static_cast<uint8_t>((carrier & 0xFE) | bit);
  });
  TransferData(stream, bitmap, false, fixedStep, step, offset);
}

void TEffects::ExtractData(TMemoryStream& stream, TBitmap& bitmap, bool fixedStep, int size, int step,
                           int offset) {
  CheckTransfer(size, bitmap, fixedStep, step, offset);
  const int64_t bytes = size < 0 ? DataCapacity(bitmap, fixedStep, step, offset) : size;
  // The data is read into a stream of its own and handed over only when the read worked.
  TMemoryStream data(static_cast<size_t>(bytes));
  {
    HookGuard<TExportEvent> hook(OnExport, [](uint8_t carrier, void* p, int index, int bitIndex) {
      uint8_t& b = static_cast<uint8_t*>(p)[index];
      b = static_cast<uint8_t>(((carrier & 1) << bitIndex) | (b & ~(1u << bitIndex)));
    });
    TransferData(data, bitmap, true, fixedStep, step, offset);
  }
  stream.swap(data);
}

}  // namespace engine
