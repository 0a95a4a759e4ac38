// Packed frames: the size figures, refusal of blocks past 32 bits, and a real bitmap packed at
// each depth (header fields, bottom-up rows, the colour table at 8 bits).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "base/unique.h"
#include "engine/capture/packed_frame.h"

namespace {

using engine::PackedFrame;

TEST(PackedFrame, SizesFollowTheRowPadding) {
  struct Case {
    int width, height, bits;
    uint64_t row, image, block;
    uint32_t colors;
  } cases[] = {
      {100, 50, 24, 300, 15000, 15040, 0},
      {100, 50, 8, 100, 5000, 6064, 256},
      {3, 1, 24, 12, 12, 52, 0},
      {3, 2, 16, 8, 16, 56, 0},
      {3, 2, 32, 12, 24, 64, 0},
      {1, 1, 1, 4, 4, 52, 2},
      {1920, 1080, 32, 7680, 8294400, 8294440, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits);
    EXPECT_EQ(engine::PackedRowSize(c.width, c.bits), c.row);
    EXPECT_EQ(engine::PackedImageSize(c.width, c.height, c.bits), c.image);
    EXPECT_EQ(engine::PackedFrameSize(c.width, c.height, c.bits), c.block);
    EXPECT_EQ(engine::PackedColorCount(c.bits), c.colors);

    PackedFrame frame(engine::AllocPackedFrame(c.width, c.height, c.bits));
    ASSERT_TRUE(frame);
    EXPECT_EQ(::GlobalSize(::GlobalHandle(frame.get())), c.block) << "block size";
    EXPECT_EQ(frame->biSize, 40u);
    EXPECT_EQ(frame->biWidth, c.width);
    EXPECT_EQ(frame->biHeight, c.height);
    EXPECT_EQ(frame->biPlanes, 1);
    EXPECT_EQ(frame->biBitCount, c.bits);
    EXPECT_EQ(frame->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(frame->biSizeImage, c.image);
    EXPECT_EQ(frame->biClrUsed, c.colors);
    EXPECT_EQ(frame.formatSize(), 40 + 4 * c.colors);
    EXPECT_EQ(frame.pixels() - reinterpret_cast<BYTE*>(frame.get()), static_cast<ptrdiff_t>(40 + 4 * c.colors));
  }
}

TEST(PackedFrame, RefusesWhatDoesNotFitOrMakesNoSense) {
  struct Case {
    int width, height, bits;
  } cases[] = {
      {70000, 16000, 32},  // 4.48e9 bytes: past 32 bits
      {65536, 65536, 8},   // exactly 2^32 pixel bytes plus the header
      {0, 10, 32},
      {10, -1, 32},
      {10, 10, 12},
      {10, 10, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits);
    EXPECT_FALSE(engine::PackedFrameFits(c.width, c.height, c.bits));
    BITMAPINFOHEADER* frame = engine::AllocPackedFrame(c.width, c.height, c.bits);
    EXPECT_EQ(frame, nullptr);
    engine::FreePackedFrame(frame);
  }
  EXPECT_TRUE(engine::PackedFrameFits(30000, 30000, 32));  // 3.6e9 bytes still fits
}

TEST(PackedFrame, FreeClearsThePointerAndIgnoresNone) {
  BITMAPINFOHEADER* none = nullptr;
  engine::FreePackedFrame(none);
  EXPECT_EQ(none, nullptr);
  BITMAPINFOHEADER* frame = engine::AllocPackedFrame(8, 8, 8);
  ASSERT_NE(frame, nullptr);
  HGLOBAL block = ::GlobalHandle(frame);
  engine::FreePackedFrame(frame);
  EXPECT_EQ(frame, nullptr);
  EXPECT_EQ(::GlobalFlags(block), static_cast<UINT>(GMEM_INVALID_HANDLE)) << "block still allocated";
}

// A 3 x 2 bitmap: top row red, green, blue; bottom row white, black, blue.
constexpr COLORREF kTop[3] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
constexpr COLORREF kBottom[3] = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(0, 0, 255)};

COLORREF PixelAt(const PackedFrame& f, int x, int row) {  // row 0 is the first stored row
  const int bits = f->biBitCount;
  const BYTE* p = f.pixels() + row * engine::PackedRowSize(f->biWidth, bits);
  switch (bits) {
    case 32:
    case 24: {
      const BYTE* q = p + x * (bits / 8);
      return RGB(q[2], q[1], q[0]);
    }
    case 16: {
      WORD v;
      std::memcpy(&v, p + 2 * x, 2);
      auto expand = [](int c5) { return static_cast<BYTE>(c5 << 3 | c5 >> 2); };
      return RGB(expand(v >> 10 & 31), expand(v >> 5 & 31), expand(v & 31));
    }
    case 8: {
      const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(f.get()) + 40);
      const RGBQUAD& q = table[p[x]];
      return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
  }
  return CLR_INVALID;
}

TEST(PackedFrame, PacksARealBitmapAtEachDepth) {
  base::WindowDC screen(nullptr);
  base::UniqueDC memory(::CreateCompatibleDC(screen.get()));
  base::UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), 3, 2));
  ASSERT_TRUE(memory && bitmap);
  {
    base::SelectGuard select(memory.get(), bitmap.get());
    for (int x = 0; x < 3; ++x) {
      ::SetPixel(memory.get(), x, 0, kTop[x]);
      ::SetPixel(memory.get(), x, 1, kBottom[x]);
    }
  }
  struct Case {
    int bits;
    DWORD imageSize;
    DWORD colors;
  } cases[] = {{32, 24, 0}, {24, 24, 0}, {16, 16, 0}, {8, 8, 256}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits");
    for (auto rewrite : {engine::HeaderRewrite::ColorCountOnly, engine::HeaderRewrite::Whole}) {
      engine::PackResult packed = engine::PackBitmap(memory.get(), bitmap.get(), 3, 2, c.bits, rewrite);
      ASSERT_TRUE(packed.frame);
      ASSERT_TRUE(packed.bitsRead);
      const PackedFrame& f = packed.frame;
      EXPECT_EQ(f->biWidth, 3);
      EXPECT_EQ(f->biHeight, 2);
      EXPECT_EQ(f->biBitCount, c.bits);
      EXPECT_EQ(f->biCompression, static_cast<DWORD>(BI_RGB));
      EXPECT_EQ(f->biSizeImage, c.imageSize);
      EXPECT_EQ(f->biClrUsed, c.colors);
      for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(PixelAt(f, x, 0), kBottom[x]) << "stored row 0 is the bottom row, x=" << x;
        EXPECT_EQ(PixelAt(f, x, 1), kTop[x]) << "stored row 1 is the top row, x=" << x;
      }
    }
  }
}

TEST(PackedFrame, AFailedReadGivesABlackFrame) {
  base::WindowDC screen(nullptr);
  base::UniqueDC memory(::CreateCompatibleDC(screen.get()));
  // Not a bitmap at all: GetDIBits fails.
  engine::PackResult packed = engine::PackBitmap(memory.get(), reinterpret_cast<HBITMAP>(memory.get()), 4, 4, 32,
                                                 engine::HeaderRewrite::ColorCountOnly);
  ASSERT_TRUE(packed.frame);
  EXPECT_FALSE(packed.bitsRead);
  std::vector<BYTE> zeros(packed.frame->biSizeImage, 0);
  EXPECT_EQ(std::memcmp(packed.frame.pixels(), zeros.data(), zeros.size()), 0);
}

}  // namespace
