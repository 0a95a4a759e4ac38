// Replays the MS Video 1 fuzzing seeds and the inputs kept from fuzzing runs
// (fuzz/msvideo1/corpus and regressions) through the installed driver, decoding each to every
// depth it offers into buffers with guard bytes after them. The driver's pictures must equal
// the coder library's own, no byte past a picture may change, nothing past a frame may be read
// (it ends at an inaccessible page), and a seed's name says whether its frame is whole
// (good-*) or malformed (bad-*).
#include <gtest/gtest.h>

#include <windows.h>
#include <vfw.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "codec/msvideo1.h"
#include "tests/codec/codec_util.h"
#include "tests/support/source_files.h"

namespace {

using codectest::kMsvc;

constexpr DWORD kCram = mmioFOURCC('C', 'R', 'A', 'M');
constexpr size_t kGuard = 4096;

std::vector<uint8_t> ReadAll(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  DWORD size = ::GetFileSize(file, nullptr), got = 0;
  bytes.resize(size);
  if (size && !::ReadFile(file, bytes.data(), size, &got, nullptr)) bytes.clear();
  ::CloseHandle(file);
  return bytes;
}

// A copy of a frame placed so that its last byte is the last one before a PAGE_NOACCESS page.
class FrameBeforeGuardPage {
 public:
  FrameBeforeGuardPage(const uint8_t* bytes, size_t size) : size_(size) {
    const size_t page = 4096, pages = (size + page - 1) / page + 1;
    base_ = static_cast<uint8_t*>(::VirtualAlloc(nullptr, pages * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!base_) return;
    DWORD old = 0;
    ::VirtualProtect(base_ + (pages - 1) * page, page, PAGE_NOACCESS, &old);
    data_ = base_ + (pages - 1) * page - size;
    if (size) std::memcpy(data_, bytes, size);
  }
  ~FrameBeforeGuardPage() {
    if (base_) ::VirtualFree(base_, 0, MEM_RELEASE);
  }
  FrameBeforeGuardPage(const FrameBeforeGuardPage&) = delete;
  FrameBeforeGuardPage& operator=(const FrameBeforeGuardPage&) = delete;
  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
  size_t size_;
};

// The fuzz target's palette.
std::vector<msvideo1::Rgb> Palette() {
  std::vector<msvideo1::Rgb> palette;
  for (int i = 0; i < 256; ++i) palette.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0});
  return palette;
}

TEST(MsvcCorpusReplay, EveryInputThroughTheDriver) {
  const std::wstring corpus = testsupport::SourceFolder("fuzz/msvideo1/corpus");
  const std::wstring regressions = testsupport::SourceFolder("fuzz/msvideo1/regressions");
  std::vector<std::wstring> paths;
  for (const std::wstring& name : testsupport::FilesIn(corpus)) paths.push_back(corpus + L"\\" + name);
  for (const std::wstring& name : testsupport::FilesIn(regressions)) paths.push_back(regressions + L"\\" + name);
  ASSERT_GE(paths.size(), 20u) << "the seed corpus was not found at " << base::WideToUtf8(corpus);

  const std::vector<msvideo1::Rgb> palette = Palette();
  int decoded = 0;
  for (const std::wstring& path : paths) {
    const std::wstring name = path.substr(path.rfind(L'\\') + 1);
    SCOPED_TRACE(base::WideToUtf8(name));
    const std::vector<uint8_t> input = ReadAll(path);
    if (input.size() < 5) continue;
    const int width = 1 + (input[0] | (input[1] << 8)) % 256;
    const int height = 1 + (input[2] | (input[3] << 8)) % 256;
    const bool palettised = input[4] & 1;
    // The frame ends where an inaccessible page starts: reading past it faults.
    FrameBeforeGuardPage frame(input.data() + 5, input.size() - 5);
    ASSERT_TRUE(frame.data());

    msvideo1::Decoder reference;
    reference.Begin(width, height, palettised, palette);
    const bool whole = reference.Decode(frame.data(), frame.size());
    if (name.rfind(L"good-", 0) == 0) {
      EXPECT_TRUE(whole);
    } else if (name.rfind(L"bad-", 0) == 0) {
      EXPECT_FALSE(whole);
    }

    std::vector<uint8_t> inFormat(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* in = reinterpret_cast<BITMAPINFOHEADER*>(inFormat.data());
    *in = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, WORD(palettised ? 8 : 16), kCram,
                           DWORD(frame.size()), 0, 0, palettised ? 256u : 0u, 0};
    std::memcpy(inFormat.data() + sizeof(BITMAPINFOHEADER), palette.data(), 256 * sizeof(RGBQUAD));
    HIC hic = ICOpen(ICTYPE_VIDEO, kMsvc, ICMODE_DECOMPRESS);
    ASSERT_NE(hic, nullptr);
    const bool fits = width >= 4 && height >= 4;
    EXPECT_EQ(ICDecompressQuery(hic, in, nullptr) == ICERR_OK, fits) << width << "x" << height;
    if (fits) {
      ++decoded;
      for (int bits : {8, 16, 24, 32}) {
        if (bits == 8 && !palettised) continue;
        SCOPED_TRACE(testing::Message() << "to " << bits << " bits");
        BITMAPINFOHEADER out{sizeof(BITMAPINFOHEADER), width, height, 1, WORD(bits), BI_RGB, 0, 0, 0, 0, 0};
        const size_t stride = ((size_t(width) * bits + 31) / 32) * 4, size = stride * size_t(height);
        ASSERT_EQ(ICDecompressBegin(hic, in, &out), ICERR_OK);
        std::vector<uint8_t> picture(size + kGuard, 0xA5);
        // Twice: the second frame decodes over the first, as a delta frame does.
        EXPECT_EQ(::ICDecompress(hic, 0, in, frame.data(), &out, picture.data()), ICERR_OK);
        EXPECT_EQ(::ICDecompress(hic, 0, in, frame.data(), &out, picture.data()), ICERR_OK);
        ICDecompressEnd(hic);
        size_t touched = 0;
        for (size_t i = size; i < picture.size(); ++i) touched += picture[i] != 0xA5;
        EXPECT_EQ(touched, 0u) << "bytes past the picture changed";
        std::vector<uint8_t> expected(size, 0xA5);
        reference.Decode(frame.data(), frame.size());
        ASSERT_TRUE(reference.Convert(expected.data(), std::ptrdiff_t(stride), bits));
        // Row padding is the driver's to leave alone; compare the pixels of each row.
        const size_t used = size_t(width) * bits / 8;
        size_t rowsDiffering = 0;
        for (int y = 0; y < height; ++y)
          rowsDiffering += std::memcmp(picture.data() + y * stride, expected.data() + y * stride, used) != 0;
        EXPECT_EQ(rowsDiffering, 0u) << "rows that differ from the coder library's";
        reference.Begin(width, height, palettised, palette);
        reference.Decode(frame.data(), frame.size());
      }
    }
    ICClose(hic);
  }
  EXPECT_GE(decoded, 15);
}

}  // namespace
