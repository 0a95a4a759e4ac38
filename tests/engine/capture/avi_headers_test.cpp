// The header fields put right after a file is closed: files written through the platform's
// AVI writer (a video stream at 10 and at 200 frames per second, with and without a sound
// stream) read back with the main header's microseconds per frame and the sound stream's
// length in blocks.
#include <gtest/gtest.h>

#include <windows.h>
#include <vfw.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/capture/avi_headers.h"
#include "engine/capture/vfw_handles.h"
#include "tests/support/scratch_folder.h"

namespace {

constexpr int kSoundChunks = 3;
constexpr LONG kSoundChunkBytes = 4410 * 4;  // 0.1 s of 44.1 kHz 16-bit stereo

// Writes 4 raw 16 x 16 frames at rate, and with sound 3 chunks of PCM, through AVIFile; the
// step that failed, or empty.
std::string WriteFile(const std::wstring& path, DWORD rate, bool withSound) {
  engine::AviLibrary library;
  ::DeleteFileW(path.c_str());
  engine::UniqueAviFile file;
  if (::AVIFileOpenW(file.put(), path.c_str(), OF_WRITE | OF_CREATE, nullptr) != AVIERR_OK) return "open";
  // Every stream is made before the first write, as the merge makes them.
  AVISTREAMINFOW info{};
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = rate;
  info.rcFrame = RECT{0, 0, 16, 16};
  engine::UniqueAviStream video;
  if (::AVIFileCreateStream(file.get(), video.put(), &info) != AVIERR_OK) return "video stream";
  BITMAPINFOHEADER bi{sizeof bi, 16, 16, 1, 32, BI_RGB, 16 * 16 * 4, 0, 0, 0, 0};
  if (::AVIStreamSetFormat(video.get(), 0, &bi, sizeof bi) != AVIERR_OK) return "video format";
  engine::UniqueAviStream sound;
  if (withSound) {
    WAVEFORMATEX wave{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    AVISTREAMINFOW audio{};
    audio.fccType = streamtypeAUDIO;
    audio.dwScale = wave.nBlockAlign;
    audio.dwRate = wave.nAvgBytesPerSec;
    audio.dwSampleSize = wave.nBlockAlign;
    if (::AVIFileCreateStream(file.get(), sound.put(), &audio) != AVIERR_OK) return "sound stream";
    if (::AVIStreamSetFormat(sound.get(), 0, &wave, sizeof wave) != AVIERR_OK) return "sound format";
  }
  std::vector<BYTE> pixels(bi.biSizeImage, 0x40);
  std::vector<BYTE> samples(kSoundChunkBytes, 0);
  for (LONG i = 0; i < 4; ++i) {
    if (::AVIStreamWrite(video.get(), i, 1, pixels.data(), static_cast<LONG>(pixels.size()), AVIIF_KEYFRAME, nullptr,
                         nullptr) != AVIERR_OK)
      return "frame";
    if (sound && i < kSoundChunks &&
        ::AVIStreamWrite(sound.get(), -1, kSoundChunkBytes / 4, samples.data(), kSoundChunkBytes, 0, nullptr,
                         nullptr) != AVIERR_OK)
      return "sound";
  }
  return "";
}

std::vector<char> Bytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The 32-bit field at offset of the data of the first chunk id (searched from from).
uint32_t FieldAfter(const std::vector<char>& bytes, const std::string& id, size_t offset, size_t from = 0) {
  const std::string all(bytes.begin(), bytes.end());
  const size_t at = all.find(id, from);
  if (at == std::string::npos || at + 8 + offset + 4 > all.size()) return 0xFFFFFFFFu;
  uint32_t v = 0;
  std::memcpy(&v, all.data() + at + 8 + offset, 4);
  return v;
}
size_t Find(const std::vector<char>& bytes, const std::string& what) {
  return std::string(bytes.begin(), bytes.end()).find(what);
}

TEST(AviHeaders, FramePeriodAndSoundLengthAreReadRight) {
  struct Case {
    DWORD rate;
    bool withSound;
    uint32_t microSeconds;
  } cases[] = {{10, false, 100000}, {200, false, 5000}, {25, true, 40000}};
  // RECLUME_KEEP_AVI_HEADERS names a folder that keeps the files, for a look with other readers.
  testsupport::ScratchFolder folder(L"RECLUME_KEEP_AVI_HEADERS");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + " fps" + (c.withSound ? " with sound" : ""));
    const std::wstring path = folder / (L"h" + std::to_wstring(c.rate) + L".avi");
    ASSERT_EQ(WriteFile(path, c.rate, c.withSound), "");
    ASSERT_TRUE(engine::CorrectAviHeaders(path));
    const std::vector<char> bytes = Bytes(path);
    EXPECT_EQ(FieldAfter(bytes, "avih", 0), c.microSeconds);
    if (c.withSound) {
      // The sound stream header's data begins with its type; its dwLength is 32 bytes in.
      const size_t audio = Find(bytes, "auds");
      ASSERT_NE(audio, std::string::npos);
      ASSERT_EQ(std::string(bytes.data() + audio - 8, 4), "strh");
      uint32_t length = 0;
      std::memcpy(&length, bytes.data() + audio + 32, 4);
      EXPECT_EQ(length, static_cast<uint32_t>(kSoundChunks * kSoundChunkBytes / 4)) << "blocks of sound";
    }
    // A second pass finds nothing to change.
    ASSERT_TRUE(engine::CorrectAviHeaders(path));
    EXPECT_EQ(Bytes(path), bytes);
  }
}

// A file whose bytes from `reached` on partly never reached the disk (a hole of zeros, as the
// writer leaves it when the disk filled and room came back for the close): the frames below
// reached are kept whole and the file reads back with them alone, through the platform's reader;
// with nothing past reached it is left as it was.
TEST(AviHeaders, OnlyTheFramesThatReachedAFullDiskAreKept) {
  testsupport::ScratchFolder folder;
  const std::wstring path = folder / L"cut.avi";
  for (const bool cut : {false, true}) {
    SCOPED_TRACE(cut ? "the third frame cut" : "nothing cut");
    ASSERT_EQ(WriteFile(path, 10, false), "");
    std::vector<char> bytes = Bytes(path);
    const std::string all(bytes.begin(), bytes.end());
    // The four frames' chunks, in order.
    std::vector<size_t> frames;
    for (size_t at = all.find("00db"); at != std::string::npos; at = all.find("00db", at + 8))
      if (at > all.find("movi") && at < all.find("idx1")) frames.push_back(at);
    ASSERT_EQ(frames.size(), 4u);
    const size_t reached = cut ? frames[2] + 8 + 100 : bytes.size();
    if (cut) {
      // Lost up to the middle of the last frame: its header too.
      std::fill(bytes.begin() + reached, bytes.begin() + frames[3] + 8 + 500, '\0');
      std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
    }
    EXPECT_EQ(engine::KeepWholeFrames(path, reached), cut ? 2 : 4);
    if (!cut) {
      EXPECT_EQ(Bytes(path), bytes);
    }
    engine::AviLibrary library;
    engine::UniqueAviFile file;
    ASSERT_EQ(::AVIFileOpenW(file.put(), path.c_str(), OF_READ, nullptr), AVIERR_OK);
    engine::UniqueAviStream video;
    ASSERT_EQ(::AVIFileGetStream(file.get(), video.put(), streamtypeVIDEO, 0), AVIERR_OK);
    AVIFILEINFOW info{};
    ASSERT_EQ(::AVIFileInfoW(file.get(), &info, sizeof info), AVIERR_OK);
    EXPECT_EQ(info.dwLength, cut ? 2u : 4u);
    ASSERT_EQ(::AVIStreamLength(video.get()), cut ? 2 : 4);
    for (LONG i = 0; i < ::AVIStreamLength(video.get()); ++i) {
      std::vector<BYTE> frame(16 * 16 * 4, 0);
      LONG got = 0;
      ASSERT_EQ(::AVIStreamRead(video.get(), i, 1, frame.data(), static_cast<LONG>(frame.size()), &got, nullptr),
                AVIERR_OK);
      EXPECT_EQ(got, static_cast<LONG>(frame.size()));
      EXPECT_EQ(std::count(frame.begin(), frame.end(), 0x40), static_cast<long>(frame.size())) << "frame " << i;
    }
  }
}

}  // namespace
