// GDI pictures and AVI files through the installed MS Video 1 driver, for the codec tests.
#include "tests/codec/codec_util.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "base/unique.h"

namespace codectest {

int Nearest5(int c) {
  // Searched, not computed: the reference the coder's arithmetic is checked against.
  static const std::array<uint8_t, 256> table = [] {
    std::array<uint8_t, 256> t{};
    for (int value = 0; value < 256; ++value) {
      int best = 0;
      for (int v = 1; v < 32; ++v)
        if (std::abs(Expand5(v) - value) < std::abs(Expand5(best) - value)) best = v;
      t[size_t(value)] = uint8_t(best);
    }
    return t;
  }();
  return table[size_t(c) & 255];
}

void Dib::Rgb8At(int x, int y, int& r, int& g, int& b) const {
  const BITMAPINFOHEADER* bi = info();
  const int bitsPer = bi->biBitCount;
  const size_t stride = ((size_t(bi->biWidth) * bitsPer + 31) / 32) * 4;
  const int row = bi->biHeight > 0 ? height() - 1 - y : y;
  const uint8_t* p = bits.data() + size_t(row) * stride;
  switch (bitsPer) {
    case 8: {
      const uint8_t* c = header.data() + bi->biSize + 4 * p[x];
      r = c[2], g = c[1], b = c[0];
      return;
    }
    case 16: {
      const uint16_t v = uint16_t(p[2 * x] | (p[2 * x + 1] << 8));
      r = Expand5(v >> 10 & 31), g = Expand5(v >> 5 & 31), b = Expand5(v & 31);
      return;
    }
    default: {
      const uint8_t* c = p + x * (bitsPer / 8);
      r = c[2], g = c[1], b = c[0];
    }
  }
}

uint16_t Dib::Rgb555At(int x, int y) const {
  // A 16-bit pixel comes back as its own levels: each expansion is nearest to its level.
  int r, g, b;
  Rgb8At(x, y, r, g, b);
  return uint16_t((Nearest5(r) << 10) | (Nearest5(g) << 5) | Nearest5(b));
}

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
  HDC screen = ::GetDC(nullptr);
  dc_ = ::CreateCompatibleDC(screen);
  bitmap_ = ::CreateCompatibleBitmap(screen, width, height);
  ::ReleaseDC(nullptr, screen);
  old_ = static_cast<HBITMAP>(::SelectObject(dc_, bitmap_));
  RECT all{0, 0, width, height};
  ::FillRect(dc_, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

Canvas::~Canvas() {
  ::SelectObject(dc_, old_);
  ::DeleteObject(bitmap_);
  ::DeleteDC(dc_);
}

void Canvas::DrawPattern() {
  const COLORREF bars[] = {RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 255, 255), RGB(0, 255, 0),
                           RGB(255, 0, 255), RGB(255, 0, 0),     RGB(0, 0, 255),   RGB(0, 0, 0)};
  const int barWidth = width_ / 8;
  for (int i = 0; i < 8; ++i) {
    RECT r{i * barWidth, 0, (i + 1) * barWidth, height_ / 3};
    base::UniqueBrush brush(::CreateSolidBrush(bars[i]));
    ::FillRect(dc_, &r, brush.get());
  }
  for (int x = 0; x < width_; ++x) {  // a grey ramp and a colour ramp
    int v = x * 255 / (width_ - 1);
    for (int y = height_ / 3; y < height_ / 2; ++y) ::SetPixel(dc_, x, y, RGB(v, v, v));
    for (int y = height_ / 2; y < 2 * height_ / 3; ++y) ::SetPixel(dc_, x, y, RGB(v, 255 - v, (v * 3) & 255));
  }
  ::SetBkColor(dc_, RGB(0, 0, 128));
  ::SetTextColor(dc_, RGB(255, 255, 192));
  RECT text{0, 2 * height_ / 3, width_, height_};
  ::ExtTextOutW(dc_, 0, 0, ETO_OPAQUE, &text, nullptr, 0, nullptr);
  for (int line = 0; 2 * height_ / 3 + 2 + line * 14 < height_; ++line) {
    const wchar_t sample[] = L"The quick brown fox jumps over the lazy dog 0123456789";
    ::TextOutW(dc_, 3 + line * 5, 2 * height_ / 3 + 2 + line * 14, sample, int(wcslen(sample)));
  }
  base::UniquePen pen(::CreatePen(PS_SOLID, 1, RGB(255, 128, 0)));
  HGDIOBJ old = ::SelectObject(dc_, pen.get());
  ::MoveToEx(dc_, 0, 0, nullptr);
  ::LineTo(dc_, width_, height_);
  ::SelectObject(dc_, old);
}

bool Canvas::DrawBitmapFile(const std::wstring& path) {
  base::UniqueBitmap picture(static_cast<HBITMAP>(
      ::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
  if (!picture) return false;
  HDC source = ::CreateCompatibleDC(dc_);
  HGDIOBJ old = ::SelectObject(source, picture.get());
  BOOL ok = ::BitBlt(dc_, 0, 0, width_, height_, source, 0, 0, SRCCOPY);
  ::SelectObject(source, old);
  ::DeleteDC(source);
  return ok != FALSE;
}

void Canvas::Scroll(int rows) {
  ::BitBlt(dc_, 0, 0, width_, height_ - rows, dc_, 0, rows, SRCCOPY);
  RECT fresh{0, height_ - rows, width_, height_};
  ::FillRect(dc_, &fresh, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

Dib Canvas::Grab(int bits, bool topDown) const {
  Dib dib;
  const size_t colours = bits == 8 ? 256 : 0;
  dib.header.assign(sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD), 0);
  BITMAPINFOHEADER* bi = dib.info();
  bi->biSize = sizeof(BITMAPINFOHEADER);
  bi->biWidth = width_;
  bi->biHeight = topDown ? -height_ : height_;
  bi->biPlanes = 1;
  bi->biBitCount = WORD(bits);
  bi->biCompression = BI_RGB;
  const size_t stride = ((size_t(width_) * bits + 31) / 32) * 4;
  bi->biSizeImage = DWORD(stride * height_);
  dib.bits.assign(bi->biSizeImage, 0);
  // GetDIBits wants the bitmap out of any DC.
  ::SelectObject(dc_, old_);
  ::GetDIBits(dc_, bitmap_, 0, UINT(height_), dib.bits.data(), reinterpret_cast<BITMAPINFO*>(bi), DIB_RGB_COLORS);
  ::SelectObject(dc_, bitmap_);
  bi->biClrUsed = DWORD(colours);
  bi->biSizeImage = DWORD(stride * height_);
  return dib;
}

bool WriteAvi(const std::wstring& path, const std::vector<Dib>& frames, int quality, int keyFrameEvery) {
  if (frames.empty()) return false;
  ::DeleteFileW(path.c_str());
  ::AVIFileInit();
  bool ok = false;
  PAVIFILE file = nullptr;
  PAVISTREAM stream = nullptr, compressed = nullptr;
  const Dib& first = frames[0];
  if (::AVIFileOpenW(&file, path.c_str(), OF_WRITE | OF_CREATE, nullptr) == AVIERR_OK) {
    AVISTREAMINFOW info{};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = 10;
    info.dwSuggestedBufferSize = first.info()->biSizeImage;
    info.rcFrame = RECT{0, 0, first.width(), first.height()};
    AVICOMPRESSOPTIONS options{};
    options.fccType = streamtypeVIDEO;
    options.fccHandler = kMsvc;
    options.dwKeyFrameEvery = DWORD(keyFrameEvery);
    options.dwQuality = DWORD(quality);
    options.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
    if (::AVIFileCreateStream(file, &stream, &info) == AVIERR_OK &&
        ::AVIMakeCompressedStream(&compressed, stream, &options, nullptr) == AVIERR_OK &&
        ::AVIStreamSetFormat(compressed, 0, const_cast<uint8_t*>(first.header.data()), LONG(first.header.size())) ==
            AVIERR_OK) {
      ok = true;
      for (size_t i = 0; i < frames.size() && ok; ++i)
        ok = ::AVIStreamWrite(compressed, LONG(i), 1, const_cast<uint8_t*>(frames[i].bits.data()),
                              LONG(frames[i].bits.size()), 0, nullptr, nullptr) == AVIERR_OK;
    }
  }
  if (compressed) ::AVIStreamRelease(compressed);
  if (stream) ::AVIStreamRelease(stream);
  if (file) ::AVIFileRelease(file);
  ::AVIFileExit();
  return ok;
}

CodedStream ReadCoded(const std::wstring& path) {
  CodedStream coded;
  ::AVIFileInit();
  PAVIFILE file = nullptr;
  PAVISTREAM stream = nullptr;
  if (::AVIFileOpenW(&file, path.c_str(), OF_READ | OF_SHARE_DENY_WRITE, nullptr) == AVIERR_OK &&
      ::AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == AVIERR_OK) {
    LONG formatSize = 0;
    ::AVIStreamReadFormat(stream, 0, nullptr, &formatSize);
    coded.format.assign(size_t(formatSize), 0);
    if (formatSize > 0 && ::AVIStreamReadFormat(stream, 0, coded.format.data(), &formatSize) == AVIERR_OK) {
      coded.ok = true;
      for (LONG pos = 0; pos < ::AVIStreamLength(stream) && coded.ok; ++pos) {
        LONG bytes = 0, samples = 0;
        ::AVIStreamRead(stream, pos, 1, nullptr, 0, &bytes, &samples);
        std::vector<uint8_t> frame(static_cast<size_t>(bytes));
        coded.ok = ::AVIStreamRead(stream, pos, 1, frame.data(), bytes, &bytes, &samples) == AVIERR_OK;
        coded.frames.push_back(std::move(frame));
        coded.keys.push_back(AVIStreamIsKeyFrame(stream, pos) != FALSE);
      }
    }
  }
  if (stream) ::AVIStreamRelease(stream);
  if (file) ::AVIFileRelease(file);
  ::AVIFileExit();
  return coded;
}

bool DecodeAll(const CodedStream& coded, int outBits, std::vector<std::vector<uint8_t>>& pictures) {
  pictures.clear();
  if (!coded.ok || coded.format.size() < sizeof(BITMAPINFOHEADER)) return false;
  std::vector<uint8_t> inFormat = coded.format;
  auto* in = reinterpret_cast<BITMAPINFOHEADER*>(inFormat.data());
  std::vector<uint8_t> outFormat(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
  auto* out = reinterpret_cast<BITMAPINFOHEADER*>(outFormat.data());
  out->biSize = sizeof(BITMAPINFOHEADER);
  out->biWidth = in->biWidth;
  out->biHeight = -in->biHeight;  // top-down, as ffmpeg writes raw frames
  out->biPlanes = 1;
  out->biBitCount = WORD(outBits);
  out->biCompression = BI_RGB;
  const size_t stride = ((size_t(in->biWidth) * outBits + 31) / 32) * 4;
  out->biSizeImage = DWORD(stride * in->biHeight);
  HIC hic = ICOpen(ICTYPE_VIDEO, kMsvc, ICMODE_DECOMPRESS);
  if (!hic) return false;
  bool ok = ICDecompressBegin(hic, in, out) == ICERR_OK;
  for (size_t i = 0; i < coded.frames.size() && ok; ++i) {
    std::vector<uint8_t> picture(out->biSizeImage, 0);
    in->biSizeImage = DWORD(coded.frames[i].size());
    ok = ICDecompress(hic, 0, in, const_cast<uint8_t*>(coded.frames[i].data()), out, picture.data()) == ICERR_OK;
    pictures.push_back(std::move(picture));
  }
  ICDecompressEnd(hic);
  ICClose(hic);
  return ok;
}

std::wstring Env(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(value) : std::wstring();
}

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  base::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (file) ::WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

}  // namespace codectest
