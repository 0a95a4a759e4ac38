// Helpers for the compressor driver's tests: pictures made with GDI at the depths the
// recorder grabs, and AVI files written and read back through the installed 'msvc' driver.
#pragma once

#include <windows.h>
#include <vfw.h>

#include <cstdint>
#include <string>
#include <vector>

namespace codectest {

inline constexpr DWORD kMsvc = mmioFOURCC('M', 'S', 'V', 'C');

// A 5-bit level as the decoders show it in 8 bits, and the level nearest to an 8-bit channel
// (ties to the lower level).
inline int Expand5(int v) { return (v << 3) | (v >> 2); }
int Nearest5(int c);

// A DIB: its header with the colour table (for 8 bits) and its rows, bottom-up.
struct Dib {
  std::vector<uint8_t> header;  // BITMAPINFOHEADER + colour table
  std::vector<uint8_t> bits;
  BITMAPINFOHEADER* info() { return reinterpret_cast<BITMAPINFOHEADER*>(header.data()); }
  const BITMAPINFOHEADER* info() const { return reinterpret_cast<const BITMAPINFOHEADER*>(header.data()); }
  int width() const { return info()->biWidth; }
  int height() const { return std::abs(info()->biHeight); }
  // The pixel at (x, y) (y from the top) as 5-bit channels packed RGB555, each channel at its
  // nearest level (Nearest5).
  uint16_t Rgb555At(int x, int y) const;
  // The pixel's 8-bit channels (a 16-bit pixel's expanded).
  void Rgb8At(int x, int y, int& r, int& g, int& b) const;
};

// A screen-compatible bitmap to draw on, read back with GetDIBits at any depth (8 bits through
// the platform's default colour table, as the recorder's grabs are).
class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // Colour bars, a gradient, lines and text: blocks of one, two and many colours.
  void DrawPattern();
  // Copies a picture file (24 or 32-bit BMP) onto the canvas; false when it cannot be read.
  bool DrawBitmapFile(const std::wstring& path);
  // Moves the picture up by `rows` (the look of scrolling text).
  void Scroll(int rows);
  Dib Grab(int bits, bool topDown = false) const;

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr, old_ = nullptr;
};

// Writes frames through AVIMakeCompressedStream with the installed 'MSVC' compressor.
bool WriteAvi(const std::wstring& path, const std::vector<Dib>& frames, int quality, int keyFrameEvery);

// The coded frames of an AVI file's video stream, with its format.
struct CodedStream {
  bool ok = false;
  std::vector<uint8_t> format;  // BITMAPINFOHEADER + colour table
  std::vector<std::vector<uint8_t>> frames;
  std::vector<bool> keys;
};
CodedStream ReadCoded(const std::wstring& path);

// Decodes every frame through the installed driver into top-down DIB rows of outBits.
bool DecodeAll(const CodedStream& coded, int outBits, std::vector<std::vector<uint8_t>>& pictures);

// An environment variable, or empty.
std::wstring Env(const wchar_t* name);
void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);

}  // namespace codectest
