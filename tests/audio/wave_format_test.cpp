// The PCM format list, format records, their texts, and the millisecond/byte arithmetic.
#include <gtest/gtest.h>

#include <cstring>

#include "audio/scWaveUtils.h"
#include "tests/audio/wave_test_util.h"

using namespace audio;
using wavetest::Pcm;

namespace {

WAVEFORMATEX Record(WORD tag, WORD channels, DWORD rate, WORD bits) {
  WAVEFORMATEX f{};
  f.wFormatTag = tag;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = bits;
  f.nBlockAlign = WORD(channels * bits / 8);
  f.nAvgBytesPerSec = f.nBlockAlign * rate;
  return f;
}

}  // namespace

TEST(PCMFormat, TableOfAllTwentyValues) {
  struct Row {
    TPCMFormat pcm;
    int ordinal;
    WORD channels;
    DWORD rate;
    WORD bits, align;
    DWORD bytesPerSec;
    const wchar_t* description;
  };
  const Row rows[] = {
      {Mono8Bit8000Hz, 1, 1, 8000, 8, 1, 8000, L"8.000 kHz, 8 Bit, Mono: PCM"},
      {Stereo8bit8000Hz, 2, 2, 8000, 8, 2, 16000, L"8.000 kHz, 8 Bit, Stereo: PCM"},
      {Mono16bit8000Hz, 3, 1, 8000, 16, 2, 16000, L"8.000 kHz, 16 Bit, Mono: PCM"},
      {Stereo16bit8000Hz, 4, 2, 8000, 16, 4, 32000, L"8.000 kHz, 16 Bit, Stereo: PCM"},
      {Mono8bit11025Hz, 5, 1, 11025, 8, 1, 11025, L"11.025 kHz, 8 Bit, Mono: PCM"},
      {Stereo8bit11025Hz, 6, 2, 11025, 8, 2, 22050, L"11.025 kHz, 8 Bit, Stereo: PCM"},
      {Mono16bit11025Hz, 7, 1, 11025, 16, 2, 22050, L"11.025 kHz, 16 Bit, Mono: PCM"},
      {Stereo16bit11025Hz, 8, 2, 11025, 16, 4, 44100, L"11.025 kHz, 16 Bit, Stereo: PCM"},
      {Mono8bit22050Hz, 9, 1, 22050, 8, 1, 22050, L"22.050 kHz, 8 Bit, Mono: PCM"},
      {Stereo8bit22050Hz, 10, 2, 22050, 8, 2, 44100, L"22.050 kHz, 8 Bit, Stereo: PCM"},
      {Mono16bit22050Hz, 11, 1, 22050, 16, 2, 44100, L"22.050 kHz, 16 Bit, Mono: PCM"},
      {Stereo16bit22050Hz, 12, 2, 22050, 16, 4, 88200, L"22.050 kHz, 16 Bit, Stereo: PCM"},
      {Mono8bit44100Hz, 13, 1, 44100, 8, 1, 44100, L"44.100 kHz, 8 Bit, Mono: PCM"},
      {Stereo8bit44100Hz, 14, 2, 44100, 8, 2, 88200, L"44.100 kHz, 8 Bit, Stereo: PCM"},
      {Mono16bit44100Hz, 15, 1, 44100, 16, 2, 88200, L"44.100 kHz, 16 Bit, Mono: PCM"},
      {Stereo16bit44100Hz, 16, 2, 44100, 16, 4, 176400, L"44.100 kHz, 16 Bit, Stereo: PCM"},
      {Mono8bit48000Hz, 17, 1, 48000, 8, 1, 48000, L"48.000 kHz, 8 Bit, Mono: PCM"},
      {Stereo8bit48000Hz, 18, 2, 48000, 8, 2, 96000, L"48.000 kHz, 8 Bit, Stereo: PCM"},
      {Mono16bit48000Hz, 19, 1, 48000, 16, 2, 96000, L"48.000 kHz, 16 Bit, Mono: PCM"},
      {Stereo16bit48000Hz, 20, 2, 48000, 16, 4, 192000, L"48.000 kHz, 16 Bit, Stereo: PCM"},
  };
  static_assert(sizeof(TPCMFormat) == 1 && nonePCM == 0 && kPCMFormatCount == 20);
  ASSERT_EQ(std::size(rows), size_t(kPCMFormatCount));
  for (const Row& r : rows) {
    SCOPED_TRACE(r.ordinal);
    EXPECT_EQ(int(r.pcm), r.ordinal);
    WAVEFORMATEX f;
    std::memset(&f, 0xAB, sizeof f);  // every field must be set, cbSize included
    MakePCMFormat(f, r.pcm);
    EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(f.nChannels, r.channels);
    EXPECT_EQ(f.nSamplesPerSec, r.rate);
    EXPECT_EQ(f.wBitsPerSample, r.bits);
    EXPECT_EQ(f.nBlockAlign, r.align);
    EXPECT_EQ(f.nAvgBytesPerSec, r.bytesPerSec);
    EXPECT_EQ(f.cbSize, 0);
    EXPECT_EQ(WaveFormatDescription(f), r.description);
  }
}

TEST(PCMFormat, NoneLeavesTheRecordUntouched) {
  WAVEFORMATEX f;
  std::memset(&f, 0x5A, sizeof f);
  WAVEFORMATEX before = f;
  MakePCMFormat(f, nonePCM);
  EXPECT_EQ(std::memcmp(&f, &before, sizeof f), 0);
}

TEST(PCMFormat, FillPCMFormatIsTheWorker) {
  WAVEFORMATEX f{};
  FillPCMFormat(f, true, 3, true);
  WAVEFORMATEX g = Pcm(Stereo16bit44100Hz);
  EXPECT_EQ(std::memcmp(&f, &g, sizeof f), 0);
}

TEST(FormatText, TagNames) {
  const std::pair<WORD, const wchar_t*> names[] = {
      {1, L"PCM"},      {2, L"Microsoft ADPCM"}, {3, L"PCM IEEE"},         {4, L"VSELP"},  {5, L"CSVD"},
      {6, L"A-Law"},    {7, L"u-Law"},           {8, L"DTS"},              {17, L"IMA ADPCM"},
      {49, L"GSM 6.10"}, {67, L"Microsoft G.723.1"}, {80, L"MPEG"},        {85, L"MPEG Layer-3"},
      {0, L""},         {9, L""},                {0xFFFE, L""},
  };
  for (auto [tag, name] : names) EXPECT_EQ(WaveFormatTagName(tag), name) << "tag " << tag;
}

TEST(FormatText, DescriptionsOfOtherShapes) {
  const std::pair<WAVEFORMATEX, const wchar_t*> cases[] = {
      {Record(1, 6, 22050, 16), L"22.050 kHz, 16 Bit, 6 Ch: PCM"},
      {Record(1, 0, 8000, 8), L"8.000 kHz, 8 Bit, 0 Ch: PCM"},
      {Record(85, 2, 44100, 0), L"44.100 kHz, Stereo: MPEG Layer-3"},
      {Record(49, 1, 8000, 0), L"8.000 kHz, Mono: GSM 6.10"},
      {Record(0x1234, 3, 11025, 0), L"11.025 kHz, 3 Ch"},
      {Record(0x1234, 1, 96000, 24), L"96.000 kHz, 24 Bit, Mono"},
  };
  for (const auto& [format, text] : cases) EXPECT_EQ(WaveFormatDescription(format), text);
}

TEST(FormatRecord, CopyKeepsTheExtraBytes) {
  WaveFormatPtr f = NewWaveFormat(22);
  f->wFormatTag = 2;
  f->cbSize = 4;
  auto* extra = reinterpret_cast<uint8_t*>(f.get()) + 18;
  for (int i = 0; i < 4; ++i) extra[i] = uint8_t(0xC0 + i);
  WaveFormatPtr copy = CopyWaveFormat(f.get());
  EXPECT_EQ(WaveFormatSize(*copy), 22u);
  EXPECT_EQ(std::memcmp(copy.get(), f.get(), 22), 0);
  EXPECT_EQ(CopyWaveFormat(nullptr), nullptr);
  // A short request still gives a whole, zeroed record.
  WaveFormatPtr small = NewWaveFormat(4);
  EXPECT_EQ(small->cbSize, 0);
  EXPECT_EQ(small->wBitsPerSample, 0);
}

TEST(MsAndBytes, Conversions) {
  struct Case {
    const char* what;
    uint32_t got, expected;
  };
  const WAVEFORMATEX s16_11k = Pcm(Stereo16bit11025Hz), m8_44k = Pcm(Mono8bit44100Hz), m8_8k = Pcm(Mono8Bit8000Hz);
  const WAVEFORMATEX s16_48k = Pcm(Stereo16bit48000Hz), m16_8k = Pcm(Mono16bit8000Hz);
  WAVEFORMATEX noRate = Record(85, 2, 44100, 0);
  noRate.nAvgBytesPerSec = 0;
  const Case cases[] = {
      {"buffer 1000 ms is the byte rate", MsToBufferBytes(s16_48k, 1000), 192000},
      {"buffer 10 ms at 11025 stereo 16 rounds up to blocks", MsToBufferBytes(s16_11k, 10), 444},
      {"data 10 ms at 11025 stereo 16 rounds down to blocks", MsToDataBytes(s16_11k, 10), 440},
      {"buffer 1000 ms of 16-bit mono 8000", MsToBufferBytes(m16_8k, 1000), 16000},
      {"half a byte rounds away from zero (buffer)", MsToBufferBytes(m8_44k, 5), 221},
      {"half a byte rounds away from zero (data)", MsToDataBytes(m8_44k, 5), 221},
      {"just below half rounds down", MsToDataBytes(m8_44k, 1), 44},
      {"bytes to ms", BytesToMs(Pcm(Stereo16bit44100Hz), 88200), 500},
      {"half a millisecond rounds up", BytesToMs(m8_8k, 4), 1},
      {"no byte rate gives 0 ms", BytesToMs(noRate, 12345), 0},
      {"no byte rate gives 0 bytes", MsToDataBytes(noRate, 1000), 0},
      {"huge data length saturates at whole blocks", MsToDataBytes(s16_48k, 0xFFFFFFFF), 0xFFFFFFFC},
      {"huge buffer length saturates at whole blocks", MsToBufferBytes(s16_48k, 0xFFFFFFFF), 0xFFFFFFFC},
      {"huge byte count in ms", BytesToMs(m8_8k, 0xFFFFFFFF), 536870912},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}
