// Tells text from boxes: a face that lacks a character draws the same empty box for every
// character it lacks, so the characters of a text drawn as real glyphs have as many distinct
// shapes as the text has distinct characters. The shapes are cut out of a picture (a
// rendering or a piece of the screen) at the advances the font gives each character.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testapp {

// One bit per pixel: true where the pixel is ink (darker than the middle grey).
struct InkPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> ink;
  bool At(int x, int y) const { return ink[static_cast<size_t>(y) * width + x] != 0; }
};

// The screen's pixels in rect (screen coordinates).
InkPicture CaptureScreen(const RECT& rect);
// text drawn black on white with font at (0, 0), single line, as a static control draws it.
InkPicture RenderText(HFONT font, const std::wstring& text);
// The distinct shapes (with ink) among the characters above U+2E7F of text drawn with font
// from x = 0 in picture, and how many distinct such characters text holds. A shape with no
// ink counts as no shape.
struct ShapeCount {
  int shapes = 0;
  int characters = 0;
};
ShapeCount CountCjkShapes(const InkPicture& picture, HFONT font, const std::wstring& text);

// What a flat button shows on the screen: the ink inside its glyph's square (the glyph at the
// left, centred up and down) and the shapes of its caption's characters after it.
struct ButtonLook {
  int glyphInk = 0;
  ShapeCount caption;
};
ButtonLook LookOfFlatButton(HWND button, int glyphSize = 16);

// When RECLUME_SHOTS names a folder, the screen's rect is written there as
// name-WIDTHxHEIGHTxDEPTH.bmp (the display's), for a person to look at; nothing happens
// otherwise.
void SaveScreenshot(const std::wstring& name, const RECT& rect);

}  // namespace testapp
