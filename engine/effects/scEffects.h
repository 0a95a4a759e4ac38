// The bitmap effects library: TCustomEffects walks the pixels of a bitmap and hands each one
// to a callback (plain, paired with a second bitmap, or grouped into range cells of a shape),
// hides and reads back bits in pixel bytes, and sizes, crops, stretches and masks bitmaps;
// TEffects adds the colour and geometry effects the screen camera applies to its frames, and
// the area effects (blur, smoothing, sharpening, mosaics) and hidden data that complete them.
//
// A pixel is exactly its own bytes. Channel i is byte i (blue, green, red, alpha at 32 bits);
// at fewer than four bytes per pixel the channels the pixel lacks are not there: effects skip
// them, and a user callback's pointers for them point at a scratch sink that reads 0 and
// swallows writes. An effects object is used by one thread at a time.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/effects/effects_bitmap.h"
#include "engine/effects/scShape.h"

namespace engine {

namespace simd {
struct AddPattern;
}

// Four byte pointers: element i points at byte i of the pixel (or at the scratch sink).
struct TPixelRef {
  uint8_t* p[4];
  uint8_t*& operator[](int i) { return p[i]; }
  uint8_t* operator[](int i) const { return p[i]; }
};

using TLines = std::vector<uint8_t*>;

enum class TRangeType {
  rtRect, rtEllipse, rtFrame, rtStar5, rtStar6,
  rtTriangle0, rtTriangle1, rtTriangle2, rtTriangle3, rtRhomb, rtCross
};

using TChannels = std::array<bool, 4>;             // blue, green, red, alpha
inline constexpr TChannels AllChannels{true, true, true, true};
inline constexpr TChannels NoChannels{false, false, false, false};
using TChannelValues = std::array<int16_t, 4>;     // blue, green, red, alpha
using TPixelValue = std::array<uint8_t, 4>;        // blue, green, red, alpha

TChannelValues MakeChannelValues(int16_t red, int16_t green, int16_t blue, int16_t alpha);

// The stream the data engine hides in or reads from: only its size and its bytes matter.
using TMemoryStream = std::vector<uint8_t>;

using TScanEvent = std::function<void(TPixelRef pixel, int& horzIndex, int& vertIndex, void* data, bool& cont)>;
using TScanPairEvent =
    std::function<void(TPixelRef pixel, int& horzIndex, int& vertIndex, const TLines& lines, void* data, bool& cont)>;
using TScanRangeEvent = std::function<void(TPixelRef pixel, int& horzIndex, int& vertIndex, int rangeIndex,
                                           const RECT& rect, void* data, bool& cont)>;
using TImportEvent = std::function<void(uint8_t& data, void* p, int index, int bitIndex)>;
using TExportEvent = std::function<void(uint8_t data, void* p, int index, int bitIndex)>;

class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EBitmapError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kDataSizeZero = "The data size is zero";
inline constexpr const char* kOutOfBitmapSpace = "Out of bitmap space";
inline constexpr const char* kNegativeOffset = "The data offset is negative";
inline constexpr const char* kStepBelowOne = "The data step is below 1";

// Sizes are POINTs holding (width, height).
class TCustomEffects {
 public:
  TCustomEffects();
  virtual ~TCustomEffects();
  TCustomEffects(const TCustomEffects&) = delete;
  TCustomEffects& operator=(const TCustomEffects&) = delete;

  // pf8bit..pf32bit; reads back by byte count (pf15bit reads back as pf16bit).
  TPixelFormat GetPixelSize() const;
  void SetPixelSize(TPixelFormat format);
  int BytesPerPixel() const { return bytesPerPixel_; }

  bool Masked = false;
  bool TransparentRange = true;
  TPixelValue MaskColor{255, 255, 255, 255};
  TPixelValue FillColor{0, 0, 0, 0};
  TRangeType RangeType = TRangeType::rtRect;
  TScanEvent OnScan;
  TScanPairEvent OnScanPair;
  TScanRangeEvent OnScanRange;
  TImportEvent OnImport;
  TExportEvent OnExport;

  TBitmap& MaskBitmap() { return maskBitmap_; }
  TShapePoints& ShapePoints() { return shapePoints_; }
  // The ranges the last range scan without a caller's range bitmap drew (24 bits).
  TBitmap& RangeBitmap() { return rangeBitmap_; }

  virtual void TransferData(TMemoryStream& stream, TBitmap& bitmap, bool extract, bool fixedStep, int step,
                            int offset);
  virtual bool Scan(TBitmap& bitmap, void* data, TBitmap* mask = nullptr);
  virtual bool ScanPair(TBitmap& bitmap, TBitmap& pairBitmap, void* data, TBitmap* mask = nullptr);
  virtual bool ScanRange(TBitmap& bitmap, POINT cellSize, void* data, TBitmap* rangeBitmap = nullptr,
                         TBitmap* mask = nullptr);
  virtual bool FillChannel(TBitmap& bitmap, uint8_t channel, uint8_t value) = 0;
  virtual bool FillChannels(TBitmap& bitmap, TChannels channels, TPixelValue values) = 0;
  virtual bool FitProportional(POINT source, POINT& dest);
  virtual bool CropToArea(const TBitmap& source, TBitmap& dest, POINT area, int& x, int& y);
  virtual bool ClipToArea(POINT& size, POINT area, int& x, int& y);
  virtual bool StretchCopy(const TBitmap& source, TBitmap& dest, POINT size);
  virtual bool ResizeBitmap(TBitmap& bitmap, POINT size);
  virtual void CopyMaskRect(TBitmap& dest, POINT size, POINT area, int x, int y);
  virtual void FitMaskTo(TBitmap& dest, POINT size, bool stretch);
  virtual void ResizeMask(POINT size, bool stretch);

 protected:
  virtual void DoScan(TPixelRef pixel, int& horzIndex, int& vertIndex, void* data, bool& cont, bool& moved);
  virtual void DoScanPair(TPixelRef pixel, int& horzIndex, int& vertIndex, void* data, bool& cont);
  virtual void DoScanRange(TPixelRef pixel, int& horzIndex, int& vertIndex, const TLines& lines, void* data,
                           bool& cont);
  virtual void DoExport(uint8_t data, void* p, int64_t bitNumber);
  virtual void DoImport(uint8_t& data, void* p, int64_t bitNumber);

  // Sets a bitmap up for a walk as Scan does: converts it to PixelSize and works out the mask
  // in use (null: unmasked). False for an empty bitmap.
  bool PrepareWalk(TBitmap& bitmap, TBitmap* maskArg, const TBitmap*& mask);
  bool MaskHit(const uint8_t* maskPixel) const;
  // FillChannels with masking switched off for the call.
  void FillUnmasked(TBitmap& bitmap, const TPixelValue& value);
  // Draws the range cells of a bitmap's size into RangeBitmap, as a range scan without a
  // caller's range bitmap does, and returns it (24 bits).
  TBitmap& DrawnRanges(int width, int height, POINT cellSize);

 private:
  bool PairWalk(TBitmap& bitmap, TBitmap& pairBitmap, bool convertPair, void* data, TBitmap* mask);
  void DrawRanges(TBitmap& target, int width, int height, POINT cell);

  int bytesPerPixel_ = 4;
  TBitmap maskBitmap_;
  TBitmap rangeBitmap_;
  TShapePoints shapePoints_;
  uint8_t sink_[4] = {};
};

// A channel bitmap of SplitChannels and JoinChannels: one byte per pixel.
class TChannelBitmap : public TBitmap {
 public:
  // Makes the bitmap an 8-bit grey image (a linear grey palette) of its current size.
  virtual void MakeChannelImage();
};

// Per-channel byte operations composed into one lookup table per channel: applying the chain
// once gives the same bytes as applying its operations one after another.
class TByteChain {
 public:
  TByteChain();
  void AddColor(TChannels channels, TChannels wrap, const TChannelValues& values);
  void Contrast(TChannels channels, const TChannelValues& values);
  void Invert(TChannels channels);
  void Posterize(uint8_t levels);  // every channel
  const std::array<uint8_t, 256>& Table(int channel) const { return tables_[channel]; }
  bool Touches(int channel) const { return touched_[channel]; }
  // True when every table adds a constant with clamping or wrapping; fills the pattern.
  bool AsAddPattern(simd::AddPattern& pattern) const;

 private:
  std::array<std::array<uint8_t, 256>, 4> tables_;
  std::array<bool, 4> touched_{};
};

class TEffects : public TCustomEffects {
 public:
  using TCustomEffects::TCustomEffects;

  bool FillChannel(TBitmap& bitmap, uint8_t channel, uint8_t value) override;
  bool FillChannels(TBitmap& bitmap, TChannels channels, TPixelValue values) override;

  // Geometry: Source and Dest are distinct bitmaps; Fill may be null.
  virtual bool Rotate(TBitmap& source, TBitmap& dest, double angle, const TPixelValue* fill = nullptr);
  virtual bool Rotate90(TBitmap& source, TBitmap& dest, const TPixelValue* fill = nullptr);
  virtual bool FlipVertical(TBitmap& source, TBitmap& dest, const TPixelValue* fill = nullptr);
  virtual bool Rotate270(TBitmap& source, TBitmap& dest, const TPixelValue* fill = nullptr);
  virtual bool MirrorHorizontal(TBitmap& source, TBitmap& dest, const TPixelValue* fill = nullptr);
  virtual bool Rotate180(TBitmap& source, TBitmap& dest, const TPixelValue* fill = nullptr);

  virtual bool Invert(TBitmap& bitmap, uint8_t channel);
  virtual bool Invert(TBitmap& bitmap, TChannels channels);
  virtual bool AddColor(TBitmap& bitmap, uint8_t channel, int16_t value, bool wrap);
  virtual bool AddColor(TBitmap& bitmap, TChannels channels, TChannels wrap, const TChannelValues& values);
  virtual bool Contrast(TBitmap& bitmap, uint8_t channel, int16_t value);
  virtual bool Contrast(TBitmap& bitmap, TChannels channels, const TChannelValues& values);
  virtual bool Saturation(TBitmap& bitmap, uint8_t channel, uint8_t value);
  virtual bool Saturation(TBitmap& bitmap, TChannels channels, uint8_t value);
  virtual bool Solarize(TBitmap& bitmap, uint8_t channel, uint8_t threshold);
  virtual bool Solarize(TBitmap& bitmap, TChannels channels, uint8_t threshold);
  virtual bool Posterize(TBitmap& bitmap, uint8_t channel, uint8_t levels);
  virtual bool Posterize(TBitmap& bitmap, TChannels channels, uint8_t levels);
  virtual bool Noise(TBitmap& bitmap, uint8_t amount, uint8_t channel);
  virtual bool Noise(TBitmap& bitmap, TChannels channels, uint8_t amount);
  virtual bool ReplaceChannelRange(TBitmap& bitmap, uint8_t channel, uint8_t low, uint8_t high,
                                   TPixelValue newColor, bool invert);
  virtual bool ReplaceColorRange(TBitmap& bitmap, TPixelValue low, TPixelValue high, TPixelValue newColor,
                                 TChannels invertRanges, bool invertResult, bool useAlpha);
  virtual bool Draw(TBitmap& source, TBitmap& dest, int x, int y, bool blend);
  virtual bool SplitChannels(TBitmap& bitmap, TChannelBitmap* target, uint8_t channel);
  virtual bool SplitChannels(TBitmap& bitmap, const std::array<TChannelBitmap*, 4>& targets);
  virtual bool JoinChannels(TChannelBitmap* source, TBitmap& dest, uint8_t channel);
  virtual bool JoinChannels(const std::array<TChannelBitmap*, 4>& sources, TBitmap& dest);

  // Area effects: Source and Dest are distinct bitmaps; Dest receives the result.
  virtual bool Blur(TBitmap& source, TBitmap& dest, uint8_t radius, uint8_t channel);
  virtual bool Blur(TBitmap& source, TBitmap& dest, TChannels channels, uint8_t radius);
  virtual bool SmoothFlat(TBitmap& source, TBitmap& dest, uint8_t testRadius, uint8_t blurRadius, uint8_t tolerance,
                          uint8_t channel);
  virtual bool SmoothFlat(TBitmap& source, TBitmap& dest, TChannels channels, uint8_t testRadius,
                          uint8_t blurRadius, uint8_t tolerance);
  virtual bool Sharpen(TBitmap& source, TBitmap& dest, uint8_t radius, uint8_t tolerance, double strength,
                       uint8_t mode, uint8_t channel);
  virtual bool Sharpen(TBitmap& source, TBitmap& dest, TChannels channels, uint8_t radius, uint8_t tolerance,
                       double strength, uint8_t mode);
  virtual bool Mosaic(TBitmap& bitmap, POINT cellSize, uint8_t channel);
  virtual bool Mosaic(TBitmap& bitmap, TChannels channels, POINT cellSize);
  virtual bool SmoothMosaic(TBitmap& bitmap, POINT cellSize, uint8_t radius, bool sparse, uint8_t channel);
  virtual bool SmoothMosaic(TBitmap& bitmap, TChannels channels, POINT cellSize, uint8_t radius, bool sparse);

  // Hidden data: the stream's bits in the lowest bit of the carrier bytes of TransferData, bit 0
  // of each byte first; nothing else is stored, so the reader repeats the writer's arguments.
  // Both raise EStreamError or EBitmapError and then leave the bitmap's bytes and the stream as
  // they were. A negative Size reads as many bytes as fit.
  virtual void HideData(TMemoryStream& stream, TBitmap& bitmap, bool fixedStep, int step, int offset);
  virtual void ExtractData(TMemoryStream& stream, TBitmap& bitmap, bool fixedStep, int size, int step, int offset);
  // The bytes that fit: (carrier bytes - Offset) div (8 x Step), Step 1 without a fixed step;
  // the carrier bytes are counted as TransferData sees them (formats below 8 bits become 8 bits).
  // 0 for arguments the engine refuses (a negative Offset, a fixed Step below 1).
  static int64_t DataCapacity(const TBitmap& bitmap, bool fixedStep = false, int step = 1, int offset = 0);

  // Applies a composed chain of per-channel byte operations in one pass over the bitmap.
  bool ApplyByteChain(TBitmap& bitmap, const TByteChain& chain);

  // The per-pixel helpers of the effects.
  static bool HasChannel(TChannels channels, unsigned excludeMask = 0);
  static bool InRange(uint8_t value, uint8_t low, uint8_t high, bool invert);
  static void ContrastByte(uint8_t& b, int16_t c);
  static void AddByte(uint8_t& b, int16_t d);
  static double NormalizeAngle(double angle);
  static double ReduceAngle(double angle);
  static POINT RotatedSize(int width, int height, double folded);
  static POINT SourcePoint(int x, int y, POINT sourceCentre, POINT destCentre, double cosA, double sinA);

 private:
  enum class Turn { R90, R270, R180, Flip, Mirror };
  bool FixedTurn(Turn turn, TBitmap& source, TBitmap& dest, const TPixelValue* fill);
  // Converts Source to PixelSize, makes Dest its copy and works out the mask of a walk over
  // Dest; false (nothing changed) for an empty Source, no channel, or Source as Dest.
  bool CopyForArea(TBitmap& source, TBitmap& dest, TChannels channels, const TBitmap*& mask);
  bool RangeMosaic(TBitmap& bitmap, TChannels channels, POINT cellSize, int radius, bool sparse);
};

}  // namespace engine
