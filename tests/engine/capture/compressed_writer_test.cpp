// The recorders' own compressed stream against the platform's: the same frames written at the
// same positions through AVIMakeCompressedStream and through engine::CompressedWriter give
// files that are the same byte for byte (the machine's MS Video 1 driver at 8, 16 and 32 bits
// with several key-frame periods, and the in-process pass-through compressor); a compressor that needs the previous frame gets the frame written before each
// delta frame; and the writer closes its compressor and leaves no handle behind.
#include <gtest/gtest.h>

#include <windows.h>
#include <vfw.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/capture/compressed_writer.h"
#include "engine/capture/vfw_handles.h"
#include "tests/support/passthrough_codec.h"
#include "tests/support/process_figures.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/temporal_codec.h"

namespace {

constexpr DWORD kMsvc = mmioFOURCC('M', 'S', 'V', 'C');

struct Frames {
  std::vector<BYTE> format;  // header and colour table
  std::vector<std::vector<BYTE>> pixels;
  const BITMAPINFOHEADER* header() const { return reinterpret_cast<const BITMAPINFOHEADER*>(format.data()); }
};

// frames pictures of w x h at bits: every third one changes every block (a delta frame with
// nothing skipped), the others move a small square over the last (mostly skipped blocks).
Frames MakeFrames(int w, int h, int bits, int frames) {
  Frames f;
  const int colors = bits <= 8 ? 256 : 0;
  f.format.assign(sizeof(BITMAPINFOHEADER) + colors * sizeof(RGBQUAD), 0);
  auto* bi = reinterpret_cast<BITMAPINFOHEADER*>(f.format.data());
  const DWORD stride = ((static_cast<DWORD>(w) * bits + 31) / 32) * 4;
  *bi = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, h, 1, static_cast<WORD>(bits), BI_RGB, stride * h, 0, 0,
                         static_cast<DWORD>(colors), 0};
  auto* table = reinterpret_cast<RGBQUAD*>(bi + 1);
  for (int i = 0; i < colors; ++i) table[i] = RGBQUAD{BYTE(i * 7), BYTE(i * 3), BYTE(255 - i), 0};
  std::vector<BYTE> picture(stride * h, 0);
  int base = 0;
  for (int k = 0; k < frames; ++k) {
    if (k % 3 == 0) base += 37;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool square = x >= (k * 5) % w && x < (k * 5) % w + 8 && y >= 8 && y < 16;
        const int v = square ? 250 : (base + (x / 4) * 11 + (y / 4) * 5) & 0xFF;
        BYTE* p = picture.data() + y * stride;
        switch (bits) {
          case 8: p[x] = BYTE(v); break;
          case 16: reinterpret_cast<WORD*>(p)[x] = WORD(((v >> 3) << 10) | ((v >> 4) << 5) | (v >> 3)); break;
          default: {
            const int px = bits / 8;
            p[x * px] = BYTE(v), p[x * px + 1] = BYTE(v * 2), p[x * px + 2] = BYTE(255 - v);
          }
        }
      }
    f.pixels.push_back(picture);
  }
  return f;
}

struct Written {
  bool ok = false;
  std::string failure;
};

// Writes frames at positions into path, through the platform's compressed stream (platform)
// or the writer.
Written WriteFile(const std::wstring& path, const Frames& frames, const std::vector<LONG>& positions,
                  const AVICOMPRESSOPTIONS& options, bool platform) {
  engine::AviLibrary library;
  ::DeleteFileW(path.c_str());
  engine::UniqueAviFile file;
  if (::AVIFileOpenW(file.put(), path.c_str(), OF_WRITE | OF_CREATE, nullptr) != AVIERR_OK) return {false, "open"};
  AVISTREAMINFOW info{};
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = 10;
  info.dwSuggestedBufferSize = frames.header()->biSizeImage;
  info.rcFrame = RECT{0, 0, frames.header()->biWidth, frames.header()->biHeight};
  engine::UniqueAviStream stream;
  if (::AVIFileCreateStream(file.get(), stream.put(), &info) != AVIERR_OK) return {false, "stream"};
  AVICOMPRESSOPTIONS o = options;
  const LONG formatSize = static_cast<LONG>(frames.format.size());
  auto* format = const_cast<BITMAPINFOHEADER*>(frames.header());
  if (platform) {
    engine::UniqueAviStream compressed;
    if (::AVIMakeCompressedStream(compressed.put(), stream.get(), &o, nullptr) != AVIERR_OK) return {false, "make"};
    if (::AVIStreamSetFormat(compressed.get(), 0, format, formatSize) != AVIERR_OK) return {false, "format"};
    for (size_t i = 0; i < positions.size(); ++i) {
      auto& px = const_cast<std::vector<BYTE>&>(frames.pixels[i]);
      if (::AVIStreamWrite(compressed.get(), positions[i], 1, px.data(), static_cast<LONG>(px.size()), 0, nullptr,
                           nullptr) != AVIERR_OK)
        return {false, "write " + std::to_string(i)};
    }
  } else {
    engine::CompressedWriter writer;
    if (writer.Open(stream.get(), o) != AVIERR_OK) return {false, "make"};
    if (writer.SetFormat(format, formatSize) != AVIERR_OK) return {false, "format"};
    for (size_t i = 0; i < positions.size(); ++i)
      if (writer.Write(positions[i], frames.pixels[i].data(), static_cast<LONG>(frames.pixels[i].size())) !=
          AVIERR_OK)
        return {false, "write " + std::to_string(i)};
  }
  return {true, ""};
}

std::vector<char> Bytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

AVICOMPRESSOPTIONS Options(DWORD fourcc, DWORD keyEvery, DWORD quality) {
  AVICOMPRESSOPTIONS o{};
  o.fccType = streamtypeVIDEO;
  o.fccHandler = fourcc;
  o.dwKeyFrameEvery = keyEvery;
  o.dwQuality = quality;
  o.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
  return o;
}

TEST(CompressedWriter, WritesWhatThePlatformsCompressedStreamWrites) {
  struct Case {
    const char* name;
    DWORD fourcc;
    int bits;
    DWORD keyEvery;
    DWORD quality;
    std::vector<LONG> positions;
  } cases[] = {
      {"MSVC 32 bits, key every 5, gaps", kMsvc, 32, 5, 6550, {0, 1, 2, 3, 5, 6, 9, 10, 11, 12, 13, 20, 21, 22}},
      {"MSVC 32 bits, key every 20", kMsvc, 32, 20, 10000, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 25, 26}},
      {"MSVC 32 bits, every frame a key frame", kMsvc, 32, 1, 6550, {0, 1, 2, 4, 5, 6}},
      {"MSVC 32 bits, only the first a key frame", kMsvc, 32, 0, 6550, {0, 1, 2, 3, 4, 5, 6, 7}},
      {"MSVC 32 bits, default quality", kMsvc, 32, 5, static_cast<DWORD>(ICQUALITY_DEFAULT), {0, 1, 2, 3, 4, 5}},
      {"MSVC 24 bits", kMsvc, 24, 5, 6550, {0, 1, 2, 3, 4, 5, 6, 7}},
      {"MSVC 16 bits", kMsvc, 16, 5, 6550, {0, 1, 2, 3, 4, 5, 6, 7}},
      {"MSVC 8 bits", kMsvc, 8, 5, 6550, {0, 1, 2, 3, 4, 5, 6, 7}},
      {"pass-through 32 bits", testsupport::kPassThroughFourCC, 32, 5, 6550, {0, 1, 3, 4}},
  };
  testsupport::ScopedPassThrough pass({.bitDepths = {32}});
  ASSERT_TRUE(pass.ok());
  testsupport::ScratchFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Frames frames = MakeFrames(64, 48, c.bits, static_cast<int>(c.positions.size()));
    const AVICOMPRESSOPTIONS options = Options(c.fourcc, c.keyEvery, c.quality);
    const std::wstring platformPath = folder / L"platform.avi", ownPath = folder / L"own.avi";
    const Written platform = WriteFile(platformPath, frames, c.positions, options, true);
    ASSERT_TRUE(platform.ok) << "the platform's stream failed at " << platform.failure;
    const Written own = WriteFile(ownPath, frames, c.positions, options, false);
    ASSERT_TRUE(own.ok) << "the writer failed at " << own.failure;
    const std::vector<char> expected = Bytes(platformPath), got = Bytes(ownPath);
    ASSERT_GT(expected.size(), 2048u);
    EXPECT_EQ(got.size(), expected.size());
    size_t first = 0;
    while (first < got.size() && first < expected.size() && got[first] == expected[first]) ++first;
    EXPECT_TRUE(got == expected) << "the files differ first at byte " << first;
  }
}

// A file of the temporal test compressor decoded: each position's picture (empty where
// nothing was written) and whether the index marks it a key frame.
struct Decoded {
  bool ok = false;
  std::vector<std::vector<BYTE>> pictures;
  std::vector<bool> keys;
};

Decoded DecodeTemporal(const std::wstring& path, size_t pictureBytes) {
  engine::AviLibrary library;
  engine::UniqueAviFile file;
  engine::UniqueAviStream stream;
  Decoded d;
  if (::AVIFileOpenW(file.put(), path.c_str(), OF_READ | OF_SHARE_DENY_WRITE, nullptr) != AVIERR_OK ||
      ::AVIFileGetStream(file.get(), stream.put(), streamtypeVIDEO, 0) != AVIERR_OK)
    return d;
  std::vector<BYTE> picture(pictureBytes, 0), coded;
  // A stream whose first write was past 0 starts there: the positions before it are empty.
  const LONG start = AVIStreamStart(stream.get());
  for (LONG pos = 0; pos < start; ++pos) {
    d.pictures.emplace_back();
    d.keys.push_back(false);
  }
  for (LONG pos = start; pos < ::AVIStreamLength(stream.get()); ++pos) {
    LONG bytes = 0;
    if (::AVIStreamRead(stream.get(), pos, 1, nullptr, 0, &bytes, nullptr) != AVIERR_OK) return d;
    coded.assign(static_cast<size_t>(bytes), 0);
    if (bytes > 0 && (::AVIStreamRead(stream.get(), pos, 1, coded.data(), bytes, &bytes, nullptr) != AVIERR_OK ||
                      !testsupport::TemporalDecode(coded.data(), coded.size(), picture.data(), picture.size())))
      return d;
    d.pictures.push_back(bytes > 0 ? picture : std::vector<BYTE>{});
    d.keys.push_back(AVIStreamIsKeyFrame(stream.get(), pos) != FALSE);
  }
  d.ok = true;
  return d;
}

// A compressor that needs the previous frame: every delta frame is handed the frame written
// before it as the compressor decompresses it; key frames are the first write (wherever it
// lands) and then each one a period past the last key frame, positions skipped or not; the
// file decodes back to the frames written and, where the first write is at the stream's start,
// is the platform's compressed stream's byte for byte.
TEST(CompressedWriter, HandsATemporalCompressorTheFrameWrittenBefore) {
  struct Case {
    const char* name;
    DWORD keyEvery;
    std::vector<LONG> positions;
    std::vector<LONG> keys;  // the positions that are key frames
    // The platform's stream makes a first write past the stream's start a delta frame against
    // nothing, so its file has no picture to start from until the period's first key frame.
    bool asThePlatform = true;
  } cases[] = {
      {"key every 3", 3, {0, 1, 2, 3, 4, 5, 6, 7}, {0, 3, 6}},
      {"key every 3, gaps", 3, {0, 1, 2, 3, 5, 6, 10, 11, 12, 13, 14}, {0, 3, 6, 10, 13}},
      {"every frame a key frame", 1, {0, 1, 2, 4, 5, 9}, {0, 1, 2, 4, 5, 9}},
      {"only the first a key frame", 0, {0, 1, 2, 3, 7, 8, 12}, {0}},
      {"first write at 2, key every 3", 3, {2, 3, 4, 5, 6, 9}, {2, 5, 9}, false},
      {"first write at 2, only the first a key frame", 0, {2, 3, 5, 6}, {2}, false},
  };
  testsupport::ScopedPassThrough temporal(testsupport::TemporalOptions(), testsupport::kTemporalFourCC);
  ASSERT_TRUE(temporal.ok());
  testsupport::ScratchFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Frames frames = MakeFrames(64, 48, 32, static_cast<int>(c.positions.size()));
    const AVICOMPRESSOPTIONS options = Options(testsupport::kTemporalFourCC, c.keyEvery, 6550);
    const std::wstring platformPath = folder / L"platform.avi", ownPath = folder / L"own.avi";
    const Written platform = WriteFile(platformPath, frames, c.positions, options, true);
    ASSERT_TRUE(platform.ok) << "the platform's stream failed at " << platform.failure;
    const Written own = WriteFile(ownPath, frames, c.positions, options, false);
    ASSERT_TRUE(own.ok) << "the writer failed at " << own.failure;

    const std::vector<testsupport::TemporalFrame> made = testsupport::TemporalFramesCompressed();
    ASSERT_EQ(made.size(), c.positions.size());
    for (size_t i = 0; i < made.size(); ++i) {
      const LONG at = c.positions[i];
      const bool key = std::find(c.keys.begin(), c.keys.end(), at) != c.keys.end();
      EXPECT_EQ(made[i].frame, at) << "frame " << i;
      EXPECT_EQ(made[i].keyAsked, key) << "key frame asked at " << at;
      if (!key) {
        EXPECT_TRUE(made[i].prevRight) << "the delta frame at " << at << " was given "
                                       << (made[i].prevGiven ? "a previous frame that is not the one written before"
                                                             : "no previous frame");
      }
    }

    const Decoded decoded = DecodeTemporal(ownPath, frames.pixels[0].size());
    ASSERT_TRUE(decoded.ok) << "the file does not decode";
    ASSERT_EQ(decoded.pictures.size(), static_cast<size_t>(c.positions.back() + 1));
    for (size_t i = 0, pos = 0; pos < decoded.pictures.size(); ++pos) {
      if (i < c.positions.size() && c.positions[i] == static_cast<LONG>(pos)) {
        const bool key = std::find(c.keys.begin(), c.keys.end(), c.positions[i]) != c.keys.end();
        EXPECT_TRUE(decoded.pictures[pos] == testsupport::TemporalDecoded(frames.pixels[i]))
            << "position " << pos << " decodes to another picture";
        EXPECT_EQ(decoded.keys[pos], key) << "index key flag at " << pos;
        ++i;
      } else {
        EXPECT_TRUE(decoded.pictures[pos].empty()) << "position " << pos << " was skipped";
      }
    }
    if (c.asThePlatform) EXPECT_TRUE(Bytes(ownPath) == Bytes(platformPath)) << "the file differs from the platform's";
  }
}

// The compressor is closed with the writer, and nothing stays open: the platform's compressed
// stream kept its compressor open and a handle per stream.
TEST(CompressedWriter, ClosesItsCompressorAndLeavesNoHandle) {
  testsupport::ScopedPassThrough pass({.bitDepths = {32}});
  ASSERT_TRUE(pass.ok());
  testsupport::ScratchFolder folder;
  const Frames frames = MakeFrames(64, 48, 32, 4);
  const std::vector<LONG> positions{0, 1, 2, 3};
  const std::wstring path = folder / L"closed.avi";
  const int openBefore = testsupport::PassThroughOpenInstances();
  for (DWORD fourcc : {kMsvc, testsupport::kPassThroughFourCC}) {
    SCOPED_TRACE(fourcc == kMsvc ? "MSVC" : "pass-through");
    // The first rounds load what the platform keeps loaded.
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(WriteFile(path, frames, positions, Options(fourcc, 5, 6550), false).ok);
    const long before = testsupport::ProcessHandleCount();
    ASSERT_GE(before, 0);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(WriteFile(path, frames, positions, Options(fourcc, 5, 6550), false).ok);
    EXPECT_EQ(testsupport::ProcessHandleCount(), before) << "handles after 5 more files";
  }
  EXPECT_EQ(testsupport::PassThroughOpenInstances(), openBefore) << "pass-through instances left open";
}

}  // namespace
