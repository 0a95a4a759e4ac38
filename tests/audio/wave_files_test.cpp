// Wave files shared with the Linux tools: wave_files.test.sh makes a tone with sox in a folder
// it names in RECLUME_AUDIO_OUT, this test reads it, converts, edits and records waves next to
// it, and the script checks what was written with ffprobe and sox. Without that folder (the
// plain test run) it is skipped.
#include <gtest/gtest.h>

#include <cmath>

#include "audio/scWaveStorage.h"
#include "tests/audio/wave_test_util.h"
#include "tests/support/scratch_folder.h"

using namespace audio;
using namespace wavetest;

TEST(WaveFiles, ReadsConvertsAndRecordsForTheLinuxTools) {
  testsupport::ScratchFolder folder(L"RECLUME_AUDIO_OUT");
  if (!folder.kept() || ::GetFileAttributesW((folder / L"sox-tone.wav").c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "run by wave_files.test.sh";

  // Two seconds of a 440 Hz sine at half amplitude, 8 kHz mono 16-bit, made by sox.
  TWaveStreamAdapter tone(new TFileStream(folder / L"sox-tone.wav", fmOpenRead | fmShareDenyWrite), soOwned);
  ASSERT_TRUE(tone.Valid());
  const WAVEFORMATEX mono16 = Pcm(Mono16bit8000Hz);
  EXPECT_EQ(std::memcmp(tone.WaveFormat(), &mono16, 16), 0) << "sox's 16-byte 'fmt ' reads as the PCM format";
  EXPECT_EQ(tone.Length(), 2000u);
  uint8_t* data = nullptr;
  ASSERT_TRUE(tone.AccessData(data, false));
  EXPECT_NEAR(GetPeakLevel(data, tone.DataSize(), tone.WaveFormat()), 50, 2);
  tone.ReleaseData(data, false);

  // Converted to 44.1 kHz stereo, the first half second cut away.
  TWaveStreamAdapter work(new TMemoryStream, soOwned);
  work.Assign(tone);
  const WAVEFORMATEX stereo = Pcm(Stereo16bit44100Hz);
  ASSERT_TRUE(work.ConvertFormat(&stereo));
  ASSERT_TRUE(work.DeleteHead(500));
  work.SaveToFile(folder / L"converted.wav");

  // Recorded the way the recorder does it, into a file: 8001 bytes of 8-bit mono.
  {
    TWaveStreamAdapter recorded(new TFileStream(folder / L"recorded.wav", fmCreate), soOwned);
    const WAVEFORMATEX mono8 = Pcm(Mono8Bit8000Hz);
    ASSERT_TRUE(recorded.StartWriting(mono8));
    Bytes block(1000);
    for (uint32_t done = 0; done < 8001; done += 1000) {
      const uint32_t n = std::min<uint32_t>(1000, 8001 - done);
      for (uint32_t i = 0; i < n; ++i)
        block[i] = uint8_t(128 + std::lround(100 * std::sin(2 * 3.14159265358979 * 1000 * (done + i) / 8000.0)));
      ASSERT_EQ(recorded.WriteData(block.data(), int32_t(n)), int32_t(n));
    }
    ASSERT_TRUE(recorded.FinishWriting());
  }
  EXPECT_EQ(ReadFileBytes(folder / L"recorded.wav").size(), 8048u);
}
