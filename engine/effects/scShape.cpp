// Range polygons. The working rectangle moves left and up by the border width and loses it
// once, so neighbouring shapes of a grid leave a gap of twice the border on their right and
// bottom while reaching into the cells above and to the left.
#include "engine/effects/scShape.h"

namespace engine {

void TShapePoints::SetShape(uint8_t value) {
  Shape = value;
  BuildPoints();
}

void TShapePoints::BuildPoints() {
  int32_t x = Bounds.X, y = Bounds.Y, w = Bounds.Width, h = Bounds.Height;
  if (2 * BorderWidth < w) {
    x -= BorderWidth;
    w -= BorderWidth;
  }
  if (2 * BorderWidth < h) {
    y -= BorderWidth;
    h -= BorderWidth;
  }
  const int32_t hw = w / 2, hh = h / 2, w3 = w / 3, h3 = h / 3;
  switch (Shape) {
    case 0: Points = {{x + hw, y}, {x + w, y + h}, {x, y + h}}; break;
    case 1: Points = {{x, y}, {x + w, y + hh}, {x, y + h}}; break;
    case 2: Points = {{x, y}, {x + hw, y + h}, {x + w, y}}; break;
    case 3: Points = {{x + w, y}, {x + w, y + h}, {x, y + hh}}; break;
    case 4: Points = {{x, y + hh}, {x + hw, y + h}, {x + w, y + hh}, {x + hw, y}}; break;
    case 5:
      Points = {{x, y + h3},         {x + w3, y + h3},     {x + w3, y},         {x + w - w3, y},
                {x + w - w3, y + h3}, {x + w, y + h3},     {x + w, y + h - h3}, {x + w - w3, y + h - h3},
                {x + w - w3, y + h},  {x + w3, y + h},     {x + w3, y + h - h3}, {x, y + h - h3}};
      break;
    default: break;  // any other shape leaves the points as they are
  }
}

}  // namespace engine
