// Replays the fuzzing seeds and the inputs kept from fuzzing runs (fuzz/corpus and
// fuzz/regressions) through the real adapter, on memory and on file streams, each under a
// time limit. A seed's name says what reading it must give: good-* and accept-* are valid
// waves, bad-* are not; good-* files are also read with the platform's chunk descent, which
// must agree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/scWaveStorage.h"
#include "base/text.h"
#include "tests/audio/wave_test_util.h"
#include "tests/support/source_files.h"

using namespace audio;
using namespace wavetest;
using testsupport::FilesIn;
using testsupport::SourceFolder;

namespace {

bool StartsWith(const std::wstring& s, const wchar_t* prefix) { return s.rfind(prefix, 0) == 0; }

// Everything a caller may do with a wave it was handed; none of it may crash or hang.
void Exercise(TWaveStreamAdapter& wave, TWaveStreamAdapter& sameOnFile) {
  const bool valid = wave.Valid();
  EXPECT_EQ(sameOnFile.Valid(), valid);
  EXPECT_EQ(sameOnFile.DataSize(), wave.DataSize());
  EXPECT_LE(uint64_t(wave.DataOffset()) + wave.DataSize(), uint64_t(wave.Stream()->Size()));
  if (valid) {
    EXPECT_TRUE(wave.IsEqual(sameOnFile));
    WaveFormatDescription(*wave.WaveFormat());
  }
  uint8_t* data = nullptr;
  if (sameOnFile.AccessData(data, false)) sameOnFile.ReleaseData(data, false);
  if (wave.StartReading()) {
    std::vector<uint8_t> buffer(4096);
    while (wave.ReadData(buffer.data(), int32_t(buffer.size())) > 0) {
    }
    wave.FinishReading();
  }
  wave.ReverseSamples();
  wave.ScaleVolume(30);
  TWaveStreamAdapter copy(new TMemoryStream, soOwned);
  copy.CopyRange(wave, 0, 5);
  copy.JoinWaves({&wave, &copy}, 3);
  copy.MixWaves({&copy, &wave});
  wave.InsertSilentSpan(1, 2);
  wave.DeleteTail(1);
  wave.TrimStream();
}

struct MmioResult {
  bool ok = false;
  Bytes format;
  uint32_t dataSize = 0, dataOffset = 0;
};

// The header read the platform's way; only for well-formed files (it can loop for ever).
MmioResult ReadWithDescent(TStream& stream) {
  MmioResult r;
  UniqueMmio handle(OpenStreamMmio(&stream));
  MMCKINFO riffChunk{}, formatChunk{}, dataChunk{};
  riffChunk.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  if (!handle || ::mmioDescend(handle.get(), &riffChunk, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) return r;
  formatChunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
  if (::mmioDescend(handle.get(), &formatChunk, &riffChunk, MMIO_FINDCHUNK) != MMSYSERR_NOERROR ||
      formatChunk.cksize < 14)
    return r;
  r.format.assign(std::max<size_t>(formatChunk.cksize, 18), 0);
  if (::mmioRead(handle.get(), reinterpret_cast<HPSTR>(r.format.data()), LONG(formatChunk.cksize)) !=
      LONG(formatChunk.cksize))
    return r;
  dataChunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
  if (::mmioDescend(handle.get(), &dataChunk, &riffChunk, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return r;
  r.dataSize = dataChunk.cksize;
  r.dataOffset = dataChunk.dwDataOffset;
  r.ok = true;
  return r;
}

}  // namespace

TEST(CorpusReplay, EveryInputThroughTheAdapter) {
  const std::wstring corpus = SourceFolder("fuzz/corpus"), regressions = SourceFolder("fuzz/regressions");
  std::vector<std::wstring> paths;
  for (const std::wstring& name : FilesIn(corpus)) paths.push_back(corpus + L"\\" + name);
  for (const std::wstring& name : FilesIn(regressions)) paths.push_back(regressions + L"\\" + name);
  ASSERT_GE(paths.size(), 20u) << "the seed corpus was not found at " << base::WideToUtf8(corpus);

  int good = 0;
  for (const std::wstring& path : paths) {
    const std::wstring name = path.substr(path.rfind(L'\\') + 1);
    const std::string shown = base::WideToUtf8(name);
    auto valid = std::make_shared<int>(-1);
    const bool finished = FinishesWithin(
        [path, valid] {
          const Bytes bytes = ReadFileBytes(path);
          TWaveStreamAdapter inMemory(StreamOf(bytes).release(), soOwned);
          TWaveStreamAdapter onFile(new TFileStream(path, fmOpenRead | fmShareDenyWrite), soOwned);
          *valid = inMemory.Valid() ? 1 : 0;
          Exercise(inMemory, onFile);
        },
        std::chrono::seconds(20));
    ASSERT_TRUE(finished) << shown << ": did not finish";
    if (StartsWith(name, L"good-") || StartsWith(name, L"accept-")) {
      EXPECT_EQ(*valid, 1) << shown;
    } else if (StartsWith(name, L"bad-")) {
      EXPECT_EQ(*valid, 0) << shown;
    }

    if (StartsWith(name, L"good-")) {
      ++good;
      auto stream = StreamOf(ReadFileBytes(path));
      TWaveStreamAdapter ours(StreamOf(ReadFileBytes(path)).release(), soOwned);
      const MmioResult theirs = ReadWithDescent(*stream);
      ASSERT_TRUE(theirs.ok) << shown << ": the platform's descent refused it";
      ASSERT_TRUE(ours.Valid()) << shown;
      const size_t n = WaveFormatSize(*ours.WaveFormat());
      ASSERT_GE(theirs.format.size(), n) << shown;
      EXPECT_EQ(Bytes(theirs.format.begin(), theirs.format.begin() + n),
                Bytes(reinterpret_cast<const uint8_t*>(ours.WaveFormat()),
                      reinterpret_cast<const uint8_t*>(ours.WaveFormat()) + n))
          << shown;
      EXPECT_EQ(ours.DataSize(), theirs.dataSize) << shown;
      EXPECT_EQ(ours.DataOffset(), theirs.dataOffset) << shown;
    }
  }
  EXPECT_GE(good, 5);
}
