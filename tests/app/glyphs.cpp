// Screen and text pictures reduced to ink, and the shapes of the characters cut out of them.
#include "tests/app/glyphs.h"

#include <set>

#include "base/unique.h"

namespace testapp {

namespace {

// Ink of a 32-bit top-down DIB section's pixels.
InkPicture InkOf(const uint32_t* pixels, int width, int height) {
  InkPicture picture;
  picture.width = width;
  picture.height = height;
  picture.ink.resize(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < picture.ink.size(); ++i) {
    const uint32_t p = pixels[i];
    const int luminance = (((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100;
    picture.ink[i] = luminance < 128;
  }
  return picture;
}

// A 32-bit top-down DIB section selected into a memory DC, for one capture or rendering.
struct Canvas {
  Canvas(int w, int h) : width(w), height(h) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc.reset(::CreateCompatibleDC(nullptr));
    bitmap.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (dc && bitmap) previous = ::SelectObject(dc.get(), bitmap.get());
  }
  ~Canvas() {
    if (previous) ::SelectObject(dc.get(), previous);
  }
  bool ok() const { return dc && bitmap && bits; }
  InkPicture Ink() const {
    ::GdiFlush();
    return InkOf(static_cast<const uint32_t*>(bits), width, height);
  }
  int width, height;
  base::UniqueDC dc;
  base::UniqueBitmap bitmap;
  void* bits = nullptr;
  HGDIOBJ previous = nullptr;
};

}  // namespace

InkPicture CaptureScreen(const RECT& rect) {
  Canvas canvas(rect.right - rect.left, rect.bottom - rect.top);
  if (!canvas.ok()) return {};
  base::WindowDC screen(nullptr);
  ::BitBlt(canvas.dc.get(), 0, 0, canvas.width, canvas.height, screen.get(), rect.left, rect.top, SRCCOPY);
  return canvas.Ink();
}

InkPicture RenderText(HFONT font, const std::wstring& text) {
  base::WindowDC screen(nullptr);
  SIZE size{0, 0};
  {
    base::SelectGuard select(screen.get(), font);
    ::GetTextExtentPoint32W(screen.get(), text.c_str(), static_cast<int>(text.size()), &size);
  }
  Canvas canvas(size.cx + 4, size.cy + 4);
  if (!canvas.ok()) return {};
  RECT all{0, 0, canvas.width, canvas.height};
  ::FillRect(canvas.dc.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  base::SelectGuard select(canvas.dc.get(), font);
  ::SetBkMode(canvas.dc.get(), TRANSPARENT);
  ::SetTextColor(canvas.dc.get(), RGB(0, 0, 0));
  ::DrawTextW(canvas.dc.get(), text.c_str(), static_cast<int>(text.size()), &all, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  return canvas.Ink();
}

ShapeCount CountCjkShapes(const InkPicture& picture, HFONT font, const std::wstring& text) {
  ShapeCount count;
  if (text.empty() || picture.width == 0) return count;
  std::vector<int> ends(text.size(), 0);
  {
    base::WindowDC screen(nullptr);
    base::SelectGuard select(screen.get(), font);
    SIZE size{0, 0};
    ::GetTextExtentExPointW(screen.get(), text.c_str(), static_cast<int>(text.size()), 0, nullptr, ends.data(), &size);
  }
  std::set<wchar_t> characters;
  std::set<std::vector<uint8_t>> shapes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] < 0x2E80) continue;
    characters.insert(text[i]);
    const int left = i == 0 ? 0 : ends[i - 1], right = ends[i] < picture.width ? ends[i] : picture.width;
    std::vector<uint8_t> shape;
    bool inked = false;
    for (int y = 0; y < picture.height; ++y)
      for (int x = left; x < right; ++x) {
        shape.push_back(picture.At(x, y));
        inked = inked || picture.At(x, y);
      }
    if (inked) shapes.insert(shape);
  }
  count.shapes = static_cast<int>(shapes.size());
  count.characters = static_cast<int>(characters.size());
  return count;
}

ButtonLook LookOfFlatButton(HWND button, int glyphSize) {
  ButtonLook look;
  RECT r{};
  if (!::GetWindowRect(button, &r)) return look;
  // The flat button's own layout: the glyph 4 pixels in, the caption 4 pixels after it.
  const int glyphTop = r.top + (r.bottom - r.top - glyphSize) / 2;
  const InkPicture glyph = CaptureScreen(RECT{r.left + 4, glyphTop, r.left + 4 + glyphSize, glyphTop + glyphSize});
  for (uint8_t ink : glyph.ink) look.glyphInk += ink;
  wchar_t caption[64] = {};
  ::GetWindowTextW(button, caption, 64);
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(button, WM_GETFONT, 0, 0));
  if (!font) font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  const InkPicture text = CaptureScreen(RECT{r.left + 8 + glyphSize, r.top + 1, r.right - 1, r.bottom - 1});
  look.caption = CountCjkShapes(text, font, caption);
  return look;
}

void SaveScreenshot(const std::wstring& name, const RECT& rect) {
  wchar_t folder[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(L"RECLUME_SHOTS", folder, MAX_PATH)) return;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const DWORD row = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
  header.biSizeImage = row * static_cast<DWORD>(height);
  std::vector<uint8_t> pixels(header.biSizeImage);
  {
    base::WindowDC screen(nullptr);
    base::UniqueDC memory(::CreateCompatibleDC(screen.get()));
    base::UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), width, height));
    if (!memory || !bitmap) return;
    {
      base::SelectGuard select(memory.get(), bitmap.get());
      ::BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY);
    }
    ::GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(height), pixels.data(),
                reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
  }
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + header.biSizeImage;
  // Named with the display it was taken on, so the runs on other displays keep theirs.
  int depth = 0;
  {
    base::WindowDC screen(nullptr);
    depth = ::GetDeviceCaps(screen.get(), BITSPIXEL);
  }
  const std::wstring path = std::wstring(folder) + L"\\" + name + L"-" + std::to_wstring(::GetSystemMetrics(SM_CXSCREEN)) +
                            L"x" + std::to_wstring(::GetSystemMetrics(SM_CYSCREEN)) + L"x" + std::to_wstring(depth) +
                            L".bmp";
  HANDLE out = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(out, &file, sizeof file, &written, nullptr);
  ::WriteFile(out, &header, sizeof header, &written, nullptr);
  ::WriteFile(out, pixels.data(), header.biSizeImage, &written, nullptr);
  ::CloseHandle(out);
}

}  // namespace testapp
