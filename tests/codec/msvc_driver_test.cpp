// The MS Video 1 driver as the machine has it installed: listed once as 'msvc', what it
// answers, and round trips of the test pattern and of a desktop screenshot at every depth the
// recorder grabs, written through AVIMakeCompressedStream and decoded by the driver.
// roundtrip.test.sh decodes the same files with ffmpeg's own decoder and compares.
//
// The limits checked at quality 10000: a block of at most two colours comes back exact, a
// frame of pure GDI pattern colours is exact, and every decoded channel lies within the range
// that channel has over its 4 x 4 block (each colour of a block is the mean of some of its
// pixels). An unchanged frame is nothing but skip codes covering every block.
#include <gtest/gtest.h>

#include <windows.h>
#include <vfw.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "base/unique.h"
#include "tests/codec/codec_util.h"

namespace {

using namespace codectest;

constexpr DWORD kCram = mmioFOURCC('C', 'R', 'A', 'M');

DWORD Upper(DWORD code) { return code & ~0x20202020u; }

TEST(MsvcDriver, IsTheMachinesMsvcListedOnce) {
  int listed = 0;
  ICINFO info{};
  for (DWORD i = 0; ICInfo(ICTYPE_VIDEO, i, &info); ++i) listed += Upper(info.fccHandler) == kMsvc;
  EXPECT_EQ(listed, 1);

  HIC hic = ICOpen(ICTYPE_VIDEO, kMsvc, ICMODE_QUERY);
  ASSERT_NE(hic, nullptr);
  ICINFO got{};
  ASSERT_EQ(ICGetInfo(hic, &got, sizeof got), LRESULT(sizeof got));
  EXPECT_STREQ(got.szDescription, L"Reclume MS Video 1 compressor");
  EXPECT_TRUE(got.dwFlags & VIDCF_QUALITY);
  DWORD quality = 0, keyRate = 0;
  EXPECT_EQ(ICSendMessage(hic, ICM_GETDEFAULTQUALITY, DWORD_PTR(&quality), 0), ICERR_OK);
  EXPECT_EQ(quality, 7500u);
  EXPECT_EQ(ICSendMessage(hic, ICM_GETDEFAULTKEYFRAMERATE, DWORD_PTR(&keyRate), 0), ICERR_OK);
  EXPECT_EQ(keyRate, 15u);
  EXPECT_EQ(ICSendMessage(hic, ICM_ABOUT, DWORD_PTR(-1), ICMF_ABOUT_QUERY), ICERR_UNSUPPORTED);
  EXPECT_EQ(ICSendMessage(hic, ICM_CONFIGURE, DWORD_PTR(-1), ICMF_CONFIGURE_QUERY), ICERR_UNSUPPORTED);

  struct Case {
    int bits;
    DWORD compression;
    LONG width, height;
    bool accepted;
    WORD codedBits;
  } cases[] = {
      {8, BI_RGB, 320, 240, true, 8},     {16, BI_RGB, 320, 240, true, 16},  {24, BI_RGB, 320, -240, true, 16},
      {32, BI_RGB, 324, 244, true, 16},   {32, BI_RGB, 4, 4, true, 16},      {32, BI_RGB, 3, 240, false, 0},
      {32, BI_RGB, 320, 2, false, 0},     {4, BI_RGB, 320, 240, false, 0},   {16, BI_BITFIELDS, 320, 240, false, 0},
      {32, BI_RGB, 20000, 16, false, 0},
      // No partial blocks: a side that is not a multiple of 4 is refused, not coded short.
      {32, BI_RGB, 401, 303, false, 0},   {32, BI_RGB, 1366, 768, false, 0}, {24, BI_RGB, 320, -242, false, 0},
      {8, BI_RGB, 322, 240, false, 0},    {16, BI_RGB, 320, 243, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits " << c.width << "x" << c.height);
    std::vector<uint8_t> format(sizeof(BITMAPINFOHEADER) + 256 * 4, 0);
    auto* in = reinterpret_cast<BITMAPINFOHEADER*>(format.data());
    *in = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), c.width, c.height, 1, WORD(c.bits), c.compression, 0, 0, 0,
                           c.bits == 8 ? 256u : 0u, 0};
    EXPECT_EQ(ICCompressQuery(hic, in, nullptr) == ICERR_OK, c.accepted);
    if (!c.accepted) {
      // Nor can a compression begin at that size, whatever output is asked for.
      BITMAPINFOHEADER coded{sizeof(BITMAPINFOHEADER), c.width, std::labs(c.height), 1, 16, kCram, 0, 0, 0, 0, 0};
      EXPECT_NE(ICCompressQuery(hic, in, &coded), ICERR_OK);
      HIC compressor = ICOpen(ICTYPE_VIDEO, kMsvc, ICMODE_COMPRESS);
      ASSERT_NE(compressor, nullptr);
      EXPECT_EQ(ICCompressBegin(compressor, in, &coded), ICERR_BADFORMAT);
      ICClose(compressor);
      continue;
    }
    std::vector<uint8_t> outFormat(size_t(ICCompressGetFormatSize(hic, in)), 0);
    ASSERT_GE(outFormat.size(), sizeof(BITMAPINFOHEADER));
    auto* out = reinterpret_cast<BITMAPINFOHEADER*>(outFormat.data());
    ASSERT_EQ(ICCompressGetFormat(hic, in, out), ICERR_OK);
    EXPECT_EQ(out->biCompression, kCram);
    EXPECT_EQ(out->biBitCount, c.codedBits);
    EXPECT_EQ(out->biHeight, std::labs(c.height)) << "coded frames are bottom-up";
    EXPECT_EQ(ICCompressQuery(hic, in, out), ICERR_OK);
    const DWORD blocks = DWORD(c.width / 4) * DWORD(std::labs(c.height) / 4);
    EXPECT_GE(DWORD(ICCompressGetSize(hic, in, out)), blocks * (c.codedBits == 8 ? 10u : 18u));
    EXPECT_EQ(ICDecompressQuery(hic, out, nullptr), ICERR_OK);
  }
  ICClose(hic);
}

// Every 8-bit channel value goes to its nearest 5-bit level (not the one below), at each depth
// the coder converts from: 256 flat 4 x 4 blocks, block i holding the channels i, 255 - i and
// 7i mod 256, coded exactly (quality 10000) and decoded to RGB555.
TEST(MsvcDriver, RoundsChannelsToTheNearestLevel) {
  constexpr int kSide = 64;  // 16 x 16 blocks
  Canvas canvas(kSide, kSide);
  for (int i = 0; i < 256; ++i) {
    RECT block{(i % 16) * 4, (i / 16) * 4, (i % 16) * 4 + 4, (i / 16) * 4 + 4};
    base::UniqueBrush brush(::CreateSolidBrush(RGB(i, 255 - i, (7 * i) & 255)));
    ::FillRect(canvas.dc(), &block, brush.get());
  }
  for (int bits : {24, 32}) {
    SCOPED_TRACE(testing::Message() << bits << " bits");
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring avi = std::wstring(temp) + L"msvc-rounding-" + std::to_wstring(bits) + L".avi";
    const Dib frame = canvas.Grab(bits);
    ASSERT_TRUE(WriteAvi(avi, {frame}, 10000, 1));
    CodedStream coded = ReadCoded(avi);
    ::DeleteFileW(avi.c_str());
    std::vector<std::vector<uint8_t>> pictures;
    ASSERT_TRUE(DecodeAll(coded, 16, pictures));
    ASSERT_EQ(pictures.size(), 1u);
    Dib shown;
    shown.header.assign(sizeof(BITMAPINFOHEADER), 0);
    *shown.info() = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), kSide, -kSide, 1, 16, BI_RGB, 0, 0, 0, 0, 0};
    shown.bits = pictures[0];
    int wrong = 0;
    for (int i = 0; i < 256; ++i) {
      const int x = (i % 16) * 4 + 1, y = (i / 16) * 4 + 2;
      int r, g, b;
      frame.Rgb8At(x, y, r, g, b);
      ASSERT_EQ(r, i) << "the grab changed the colour";
      const uint16_t got = shown.Rgb555At(x, y);
      const int want[3] = {Nearest5(i), Nearest5(255 - i), Nearest5((7 * i) & 255)};
      const int have[3] = {got >> 10, (got >> 5) & 31, got & 31};
      for (int k = 0; k < 3; ++k)
        if (have[k] != want[k] && ++wrong <= 5)
          ADD_FAILURE() << "value " << (k == 0 ? i : k == 1 ? 255 - i : (7 * i) & 255) << ": got level " << have[k]
                        << ", expected " << want[k];
    }
    EXPECT_EQ(wrong, 0);
  }
}

struct RoundTripCase {
  const char* source;  // "pattern" or "desktop"
  int bits;
  int quality;
};

class MsvcRoundTrip : public testing::TestWithParam<RoundTripCase> {};

// Size of a BMP file's picture, or false.
bool BitmapFileSize(const std::wstring& path, int& width, int& height) {
  HBITMAP picture = static_cast<HBITMAP>(::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  if (!picture) return false;
  BITMAP bm{};
  ::GetObjectW(picture, sizeof bm, &bm);
  ::DeleteObject(picture);
  width = bm.bmWidth & ~3;
  height = bm.bmHeight & ~3;
  return width > 0 && height > 0;
}

// Every word of a delta frame is a skip code, and the skips cover every block once.
bool AllSkips(const std::vector<uint8_t>& frame, size_t blocks) {
  if (frame.empty() || frame.size() % 2) return false;
  size_t covered = 0;
  for (size_t i = 0; i < frame.size(); i += 2) {
    if ((frame[i + 1] & 0xFC) != 0x84) return false;
    covered += size_t(frame[i + 1] - 0x84) * 256 + frame[i];
  }
  return covered == blocks;
}

TEST_P(MsvcRoundTrip, DriverDecodesWhatItCoded) {
  const RoundTripCase& c = GetParam();
  const std::wstring desktop = Env(L"RECLUME_CODEC_DESKTOP");
  int width = 320, height = 240;
  if (std::string(c.source) == "desktop") {
    if (desktop.empty()) GTEST_SKIP() << "RECLUME_CODEC_DESKTOP names no screenshot (roundtrip.test.sh gives one)";
    ASSERT_TRUE(BitmapFileSize(desktop, width, height));
  }
  Canvas canvas(width, height);
  if (desktop.empty() || std::string(c.source) == "pattern")
    canvas.DrawPattern();
  else
    ASSERT_TRUE(canvas.DrawBitmapFile(desktop));

  // Seven frames: a key frame, scrolling, an unchanged frame, a changed rectangle, scrolling,
  // the next key frame (every 5) and another unchanged frame.
  std::vector<Dib> frames;
  const bool topDown = c.bits == 24;  // the coder reads both row orders
  frames.push_back(canvas.Grab(c.bits, topDown));
  canvas.Scroll(12);
  frames.push_back(canvas.Grab(c.bits, topDown));
  frames.push_back(canvas.Grab(c.bits, topDown));
  RECT changed{width / 3, height / 3, width / 3 + 40, height / 3 + 30};
  ::FillRect(canvas.dc(), &changed, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  frames.push_back(canvas.Grab(c.bits, topDown));
  canvas.Scroll(12);
  frames.push_back(canvas.Grab(c.bits, topDown));
  canvas.Scroll(12);
  frames.push_back(canvas.Grab(c.bits, topDown));
  frames.push_back(canvas.Grab(c.bits, topDown));

  const std::wstring out = Env(L"RECLUME_CODEC_OUT");
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = out.empty() ? std::wstring(temp) : out + L"\\";
  const std::wstring name = std::wstring(c.source, c.source + strlen(c.source)) + L"-" + std::to_wstring(c.bits) +
                            L"-" + std::to_wstring(c.quality);
  const std::wstring avi = folder + name + L".avi";
  ASSERT_TRUE(WriteAvi(avi, frames, c.quality, 5));

  CodedStream coded = ReadCoded(avi);
  ASSERT_TRUE(coded.ok);
  ASSERT_EQ(coded.frames.size(), frames.size());
  const auto* format = reinterpret_cast<const BITMAPINFOHEADER*>(coded.format.data());
  const int codedBits = c.bits == 8 ? 8 : 16;
  EXPECT_EQ(Upper(format->biCompression), kCram);
  EXPECT_EQ(format->biBitCount, codedBits);
  EXPECT_EQ(coded.keys, (std::vector<bool>{true, false, false, false, false, true, false}));
  const size_t blocks = size_t(width / 4) * size_t(height / 4);
  EXPECT_TRUE(AllSkips(coded.frames[2], blocks)) << "frame 2 did not change";
  EXPECT_TRUE(AllSkips(coded.frames[6], blocks)) << "frame 6 did not change";
  EXPECT_EQ(coded.frames[2].size(), 2 * ((blocks + 1022) / 1023)) << "skip codes of up to 1023 blocks each";

  // The driver's pictures: RGB555 for the 16-bit form, 24-bit B-G-R through the colour table
  // for the 8-bit form (what ffmpeg gives for each); raw, top-down, frame after frame.
  const int pictureBits = codedBits == 8 ? 24 : 16;
  std::vector<std::vector<uint8_t>> pictures;
  ASSERT_TRUE(DecodeAll(coded, pictureBits, pictures));
  std::vector<uint8_t> raw;
  for (const auto& p : pictures) raw.insert(raw.end(), p.begin(), p.end());
  if (!out.empty()) WriteBytes(folder + name + L".raw", raw);

  // Decoding to 32 bits gives the same colours, fully expanded.
  std::vector<std::vector<uint8_t>> wide;
  ASSERT_TRUE(DecodeAll(coded, 32, wide));

  double squared = 0, squared8 = 0, levels8 = 0;  // 8-bit: decoded, and the 5-bit levels alone
  size_t exactBlocksWrong = 0, outOfRange = 0, wideWrong = 0;
  for (size_t f = 0; f < frames.size(); ++f) {
    Dib shown;
    shown.header.assign(sizeof(BITMAPINFOHEADER), 0);
    *shown.info() = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, WORD(pictureBits), BI_RGB, 0, 0, 0, 0, 0};
    shown.bits = pictures[f];
    Dib shownWide;
    shownWide.header = shown.header;
    shownWide.info()->biBitCount = 32;
    shownWide.bits = wide[f];
    for (int by = 0; by < height / 4; ++by) {
      for (int bx = 0; bx < width / 4; ++bx) {
        std::set<uint16_t> colours;
        int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
        for (int y = by * 4; y < by * 4 + 4; ++y)
          for (int x = bx * 4; x < bx * 4 + 4; ++x) {
            uint16_t v = frames[f].Rgb555At(x, y);
            colours.insert(v);
            int ch[3] = {v >> 10, (v >> 5) & 31, v & 31};
            for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], ch[k]), hi[k] = std::max(hi[k], ch[k]);
          }
        for (int y = by * 4; y < by * 4 + 4; ++y)
          for (int x = bx * 4; x < bx * 4 + 4; ++x) {
            uint16_t want = frames[f].Rgb555At(x, y), got = shown.Rgb555At(x, y);
            wideWrong += shownWide.Rgb555At(x, y) != got;
            int in8[3], out8[3];
            frames[f].Rgb8At(x, y, in8[0], in8[1], in8[2]);
            shownWide.Rgb8At(x, y, out8[0], out8[1], out8[2]);
            for (int k = 0; k < 3; ++k) {
              squared8 += (out8[k] - in8[k]) * (out8[k] - in8[k]);
              const int level = Expand5(Nearest5(in8[k])) - in8[k];
              levels8 += level * level;
            }
            int g[3] = {got >> 10, (got >> 5) & 31, got & 31}, w[3] = {want >> 10, (want >> 5) & 31, want & 31};
            for (int k = 0; k < 3; ++k) {
              squared += (g[k] - w[k]) * (g[k] - w[k]);
              if (c.quality == 10000 && (g[k] < lo[k] || g[k] > hi[k])) ++outOfRange;
            }
            if (c.quality == 10000 && colours.size() <= 2 && got != want) ++exactBlocksWrong;
          }
      }
    }
  }
  EXPECT_EQ(wideWrong, 0u) << "32-bit pictures differ from the 16-bit ones";
  const double mse = squared / (3.0 * width * height * frames.size());
  const double psnr = mse > 0 ? 10 * std::log10(31.0 * 31.0 / mse) : 99;
  const double samples = 3.0 * width * height * frames.size();
  auto psnr8 = [&](double sum) { return sum > 0 ? 10 * std::log10(255.0 * 255.0 * samples / sum) : 99; };
  std::printf("%ls: %zu bytes in %zu frames, PSNR %.1f dB (5-bit channels), %.2f dB (8-bit; the 5-bit levels "
              "alone cap it at %.2f dB)\n",
              name.c_str(), [&] { size_t n = 0; for (auto& fr : coded.frames) n += fr.size(); return n; }(),
              frames.size(), psnr, psnr8(squared8), psnr8(levels8));
  if (c.quality == 10000) {
    EXPECT_EQ(exactBlocksWrong, 0u) << "pixels of blocks of at most two colours that changed";
    EXPECT_EQ(outOfRange, 0u) << "channels outside their block's range";
    EXPECT_GE(psnr, 27.0);
  } else {
    EXPECT_GE(psnr, 24.0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, MsvcRoundTrip,
    testing::Values(RoundTripCase{"pattern", 8, 10000}, RoundTripCase{"pattern", 16, 10000},
                    RoundTripCase{"pattern", 24, 10000}, RoundTripCase{"pattern", 32, 10000},
                    RoundTripCase{"pattern", 32, 6550}, RoundTripCase{"desktop", 8, 10000},
                    RoundTripCase{"desktop", 16, 10000}, RoundTripCase{"desktop", 32, 10000},
                    RoundTripCase{"desktop", 32, 6550}),
    [](const testing::TestParamInfo<RoundTripCase>& p) {
      return std::string(p.param.source) + std::to_string(p.param.bits) + "q" + std::to_string(p.param.quality);
    });

}  // namespace
