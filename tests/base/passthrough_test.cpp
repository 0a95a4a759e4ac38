// The pass-through test compressor: listed by ICInfo, used by AVIMakeCompressedStream, and
// writing 32-bit frames that read back unchanged.
#include <gtest/gtest.h>

#include <windows.h>
#include <vfw.h>

#include <cstring>
#include <vector>

#include "tests/support/passthrough_codec.h"
#include "tests/support/scratch_folder.h"

namespace {

bool Listed(DWORD fourcc) {
  for (DWORD i = 0; i < 64; ++i) {
    ICINFO info{};
    info.dwSize = sizeof info;
    if (!ICInfo(ICTYPE_VIDEO, i, &info)) break;
    if (info.fccHandler == fourcc) return true;
  }
  return false;
}

TEST(PassThrough, IsListedAndRefusesWhatItIsToldTo) {
  {
    testsupport::PassThroughOptions o;
    o.widthMultiple = 4;
    testsupport::ScopedPassThrough codec(o);
    ASSERT_TRUE(codec.ok());
    EXPECT_TRUE(Listed(testsupport::kPassThroughFourCC));
    HIC ic = ICOpen(ICTYPE_VIDEO, testsupport::kPassThroughFourCC, ICMODE_QUERY);
    ASSERT_NE(ic, nullptr);
    BITMAPINFOHEADER bi{sizeof bi, 644, 10, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    EXPECT_EQ(ICCompressQuery(ic, &bi, nullptr), ICERR_OK);
    bi.biWidth = 641;
    EXPECT_NE(ICCompressQuery(ic, &bi, nullptr), ICERR_OK);
    bi.biWidth = 644;
    bi.biBitCount = 24;
    EXPECT_NE(ICCompressQuery(ic, &bi, nullptr), ICERR_OK);
    ICClose(ic);
  }
  EXPECT_FALSE(Listed(testsupport::kPassThroughFourCC)) << "removal left it listed";
}

// Writes passthrough32.avi into the scratch folder (RECLUME_BASE_OUT, kept, when the shell
// test sets it) with `frames` 32-bit frames of 64x48 whose pixels encode the frame number; the
// shell test checks the file with ffprobe.
TEST(PassThrough, WritesA32BitAviThatReadsBack) {
  testsupport::ScopedPassThrough codec;
  ASSERT_TRUE(codec.ok());
  const int w = 64, h = 48, frames = 7;
  testsupport::ScratchFolder folder(L"RECLUME_BASE_OUT");
  const std::wstring written = folder / L"passthrough32.avi";
  const wchar_t* path = written.c_str();
  ::DeleteFileW(path);
  AVIFileInit();
  {
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpenW(&file, path, OF_CREATE | OF_WRITE, nullptr), 0);
    AVISTREAMINFOW si{};
    si.fccType = streamtypeVIDEO;
    si.fccHandler = testsupport::kPassThroughFourCC;
    si.dwScale = 1;
    si.dwRate = 10;
    si.dwSuggestedBufferSize = w * h * 4;
    SetRect(&si.rcFrame, 0, 0, w, h);
    PAVISTREAM raw = nullptr, packed = nullptr;
    ASSERT_EQ(AVIFileCreateStreamW(file, &raw, &si), 0);
    AVICOMPRESSOPTIONS opts{};
    opts.fccType = streamtypeVIDEO;
    opts.fccHandler = testsupport::kPassThroughFourCC;
    opts.dwKeyFrameEvery = 1;
    opts.dwQuality = 10000;
    opts.dwFlags = AVICOMPRESSF_KEYFRAMES;
    ASSERT_EQ(AVIMakeCompressedStream(&packed, raw, &opts, nullptr), 0);
    BITMAPINFOHEADER bi{sizeof bi, w, h, 1, 32, BI_RGB, static_cast<DWORD>(w * h * 4), 0, 0, 0, 0};
    ASSERT_EQ(AVIStreamSetFormat(packed, 0, &bi, sizeof bi), 0);
    std::vector<DWORD> pixels(w * h);
    for (int f = 0; f < frames; ++f) {
      for (int i = 0; i < w * h; ++i) pixels[i] = 0x00010203u * static_cast<DWORD>(f + 1) + static_cast<DWORD>(i % w);
      ASSERT_EQ(AVIStreamWrite(packed, f, 1, pixels.data(), w * h * 4, AVIIF_KEYFRAME, nullptr, nullptr), 0);
    }
    AVIStreamRelease(packed);
    AVIStreamRelease(raw);
    AVIFileRelease(file);
  }
  EXPECT_EQ(testsupport::PassThroughFramesCompressed(), frames);
  {
    PAVISTREAM s = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFileW(&s, path, streamtypeVIDEO, 0, OF_READ, nullptr), 0);
    EXPECT_EQ(AVIStreamLength(s), frames);
    std::vector<DWORD> back(w * h);
    LONG bytes = 0;
    ASSERT_EQ(AVIStreamRead(s, 3, 1, back.data(), w * h * 4, &bytes, nullptr), 0);
    EXPECT_EQ(bytes, w * h * 4);
    EXPECT_EQ(back[5], 0x00010203u * 4 + 5);
    AVIStreamRelease(s);
  }
  AVIFileExit();
}

}  // namespace
