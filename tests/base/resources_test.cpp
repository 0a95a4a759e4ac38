// The resource loaders against this test program's own resources (resources_test.rc): exact
// pixels of .bmp glyphs, JPEG colours within the codec's error, text lines, case-blind names,
// and targets left alone when a resource is missing or malformed.
#include "base/resources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/text.h"

namespace {

struct Pixels {
  int width = 0, height = 0;
  std::vector<uint32_t> bgrx;  // top-down rows
  uint32_t At(int x, int y) const { return bgrx[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF; }
};

Pixels ReadPixels(HBITMAP bitmap) {
  Pixels out;
  BITMAP info{};
  if (!GetObjectW(bitmap, sizeof info, &info)) return out;
  out.width = info.bmWidth;
  out.height = info.bmHeight;
  out.bgrx.resize(size_t(out.width) * size_t(out.height));
  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  request.bmiHeader.biWidth = out.width;
  request.bmiHeader.biHeight = -out.height;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  base::WindowDC screen;
  GetDIBits(screen.get(), bitmap, 0, UINT(out.height), out.bgrx.data(), &request, DIB_RGB_COLORS);
  return out;
}

constexpr uint32_t Bgr(int r, int g, int b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }

bool Near(uint32_t got, uint32_t expected, int tolerance) {
  for (int shift : {0, 8, 16})
    if (std::abs(int((got >> shift) & 0xFF) - int((expected >> shift) & 0xFF)) > tolerance) return false;
  return true;
}

base::UniqueBitmap SomeBitmap() { return base::UniqueBitmap(CreateBitmap(1, 1, 1, 32, nullptr)); }

TEST(Resources, NamesAndTypesMatchRegardlessOfCase) {
  for (auto [name, type] : {std::pair{L"grid", L"bmp"}, {L"GRID", L"BMP"}, {L"Grid", L"Bmp"}, {L"lines", L"txt"}})
    EXPECT_FALSE(base::FindResourceBytes(name, type).empty()) << base::WideToUtf8(name) << " / " << base::WideToUtf8(type);
  EXPECT_EQ(base::FindResourceBytes(L"grid", L"bmp").size(), 78u);
  EXPECT_TRUE(base::FindResourceBytes(L"grid", L"jpg").empty());
  EXPECT_TRUE(base::FindResourceBytes(L"nothing", L"bmp").empty());
}

TEST(Resources, BmpGlyphsKeepTheirExactPixels) {
  base::UniqueBitmap glyph;
  ASSERT_TRUE(base::LoadGraphicFromRes(glyph, L"GRID", L"bmp"));
  Pixels p = ReadPixels(glyph.get());
  ASSERT_EQ(p.width, 3);
  ASSERT_EQ(p.height, 2);
  const uint32_t expected[2][3] = {{Bgr(255, 0, 0), Bgr(0, 255, 0), Bgr(0, 0, 255)},
                                   {Bgr(255, 255, 255), Bgr(0, 0, 0), Bgr(128, 128, 128)}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(p.At(x, y), expected[y][x]) << "24-bit pixel " << x << "," << y;

  ASSERT_TRUE(base::LoadGraphicFromRes(glyph, L"grid8", L"BMP"));
  p = ReadPixels(glyph.get());
  ASSERT_EQ(p.width, 4);
  ASSERT_EQ(p.height, 2);
  const uint32_t table[3] = {Bgr(255, 0, 0), Bgr(0, 255, 0), Bgr(0, 0, 255)};
  const int indices[2][4] = {{0, 1, 2, 1}, {2, 2, 0, 0}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(p.At(x, y), table[indices[y][x]]) << "8-bit pixel " << x << "," << y;
}

TEST(Resources, JpegPicturesDecodeToTheirColours) {
  base::UniqueBitmap picture;
  ASSERT_TRUE(base::LoadJpegFromRes(picture, L"halves", L"JPG"));
  Pixels p = ReadPixels(picture.get());
  ASSERT_EQ(p.width, 16);
  ASSERT_EQ(p.height, 8);
  for (int y = 0; y < 8; ++y) {
    EXPECT_TRUE(Near(p.At(2, y), Bgr(255, 0, 0), 40)) << "left half, row " << y << ": got 0x" << std::hex << p.At(2, y);
    EXPECT_TRUE(Near(p.At(13, y), Bgr(0, 0, 255), 40)) << "right half, row " << y << ": got 0x" << std::hex << p.At(13, y);
  }
  ASSERT_TRUE(base::LoadJpegFromRes(picture, L"GREY", L"jpg"));
  p = ReadPixels(picture.get());
  ASSERT_EQ(p.width, 8);
  EXPECT_TRUE(Near(p.At(4, 4), Bgr(128, 128, 128), 6)) << "grey: got 0x" << std::hex << p.At(4, 4);
}

TEST(Resources, MissingOrMalformedResourcesLeaveTheTargetAlone) {
  struct Case {
    const char* what;
    bool (*load)(base::UniqueBitmap&, const wchar_t*, const wchar_t*, HMODULE);
    const wchar_t* name;
    const wchar_t* type;
  };
  const Case cases[] = {
      {"missing glyph", base::LoadGraphicFromRes, L"nothing", L"bmp"},
      {"glyph of the wrong type", base::LoadGraphicFromRes, L"grid", L"jpg"},
      {"malformed glyph", base::LoadGraphicFromRes, L"broken", L"bmp"},
      {"JPEG data read as a glyph", base::LoadGraphicFromRes, L"halves", L"jpg"},
      {"missing picture", base::LoadJpegFromRes, L"nothing", L"jpg"},
      {"malformed picture", base::LoadJpegFromRes, L"broken", L"jpg"},
      {"glyph read as a picture", base::LoadJpegFromRes, L"grid", L"bmp"},
  };
  for (const Case& c : cases) {
    base::UniqueBitmap target = SomeBitmap();
    const HBITMAP before = target.get();
    EXPECT_FALSE(c.load(target, c.name, c.type, nullptr)) << c.what;
    EXPECT_EQ(target.get(), before) << c.what;
    EXPECT_NE(GetObjectType(before), 0u) << c.what << ": the old bitmap must still exist";
  }
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[at + i] = uint8_t(value >> (8 * i));
}

TEST(Resources, MalformedBmpHeadersAreRefused) {
  using Bytes = std::vector<uint8_t>;
  std::span<const uint8_t> good = base::FindResourceBytes(L"grid", L"bmp");
  ASSERT_EQ(good.size(), 78u);
  struct Case {
    const char* what;
    void (*spoil)(Bytes&);
  };
  const Case cases[] = {
      {"pixel rows cut short", [](Bytes& b) { b.resize(b.size() - 1); }},
      {"zero width", [](Bytes& b) { Put32(b, 18, 0); }},
      {"huge height", [](Bytes& b) { Put32(b, 22, 0x7FFFFFFF); }},
      {"most negative height", [](Bytes& b) { Put32(b, 22, 0x80000000u); }},
      {"bits offset past the end", [](Bytes& b) { Put32(b, 10, 0xFFFFFFF0u); }},
      {"header size past the end", [](Bytes& b) { Put32(b, 14, 4000); }},
      {"run-length compression", [](Bytes& b) { Put32(b, 30, BI_RLE8); }},
      {"no file signature", [](Bytes& b) { b[0] = 'X'; }},
      {"empty", [](Bytes& b) { b.clear(); }},
  };
  EXPECT_TRUE(base::DecodeBmp(Bytes(good.begin(), good.end()))) << "the unspoilt copy must decode";
  for (const Case& c : cases) {
    Bytes copy(good.begin(), good.end());
    c.spoil(copy);
    EXPECT_FALSE(base::DecodeBmp(copy)) << c.what;
  }

  std::span<const uint8_t> palettised = base::FindResourceBytes(L"grid8", L"bmp");
  Bytes copy(palettised.begin(), palettised.end());
  Put32(copy, 46, 300);  // more colours than 8 bits can index
  EXPECT_FALSE(base::DecodeBmp(copy)) << "colour count above 256";
}

TEST(Resources, TruncatedJpegDoesNotCrash) {
  std::span<const uint8_t> good = base::FindResourceBytes(L"halves", L"jpg");
  ASSERT_GT(good.size(), 40u);
  for (size_t keep : {size_t(2), size_t(20), good.size() / 2}) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + keep);
    base::UniqueBitmap picture = base::DecodeJpeg(cut);  // may decode a grey-filled rest
    if (picture) {
      EXPECT_EQ(ReadPixels(picture.get()).width, 16) << "kept " << keep << " bytes";
    }
  }
}

TEST(Resources, TextListsAreUtf8Lines) {
  EXPECT_EQ(base::LoadStringsFromRes(L"LINES"), (std::vector<std::wstring>{L"第一行", L"second", L"", L"last"}));
  EXPECT_TRUE(base::LoadStringsFromRes(L"nothing").empty());
  EXPECT_TRUE(base::LoadStringsFromRes(L"grid").empty()) << "only type TXT is read";

  struct Case {
    const wchar_t* text;
    std::vector<std::wstring> lines;
  };
  const Case cases[] = {
      {L"", {}},
      {L"a", {L"a"}},
      {L"a\r\nb\r\n", {L"a", L"b"}},
      {L"a\n\n", {L"a", L""}},
      {L"a\rb\nc", {L"a", L"b", L"c"}},
      {L"\r\n", {L""}},
  };
  for (const Case& c : cases) EXPECT_EQ(base::SplitLines(c.text), c.lines) << base::WideToUtf8(c.text);
}

}  // namespace
