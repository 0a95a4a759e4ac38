// The polygon of a range shape (triangles, rhomb, cross) inside a grid cell.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace engine {

using TPoints = std::vector<POINT>;

struct TShapeBounds {
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
};

// Callers set Bounds, then SetShape, then read Points.
class TShapePoints {
 public:
  TShapePoints() = default;
  virtual ~TShapePoints() = default;

  // Stores the shape (0 to 5) and builds its points.
  void SetShape(uint8_t value);
  virtual void BuildPoints();

  int32_t BorderWidth = 2;
  TPoints Points;
  TShapeBounds Bounds;
  uint8_t Shape = 0;
};

}  // namespace engine
