// The stock recorder's soak: a recording at 48 kHz stereo 16-bit through the callback thread,
// 10 minutes by default (the first argument gives the seconds, e.g. 60 for a short run). At
// 1 minute and at the end it prints how far the delivered sound plus the head gap is from the
// wall time (while recording, the buffer being filled is not delivered yet: 0 to -1000 ms is in
// step), the process's handle count and commit against second 5; after the stop, the finished
// file's length, which includes that last buffer.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/scWaveRecorders.h"
#include "base/dispatch.h"
#include "tests/audio/wave_in_util.h"

namespace {

void Report(const char* when, int64_t wallMs, uint64_t bytes, const WAVEFORMATEX& format, int32_t gap, long handles0,
            long handles, size_t commit0, size_t commit) {
  const double deliveredMs = 1000.0 * double(bytes) / format.nAvgBytesPerSec;
  std::printf("%-6s wall %8.1f s  delivered %8.1f s  head gap %5d ms  delivered + gap - wall %+7.1f ms  "
              "handles %ld -> %ld  commit %+ld KB\n",
              when, wallMs / 1000.0, deliveredMs / 1000.0, gap, deliveredMs + gap - double(wallMs), handles0,
              handles, (long(commit) - long(commit0)) / 1024);
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  base::StartMainDispatcher();
  DWORD seconds = 600;
  if (argc > 1) seconds = std::max<DWORD>(10, std::wcstoul(argv[1], nullptr, 10));
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + L"reclume-wave-soak.wav";

  WAVEFORMATEX format{};
  audio::MakePCMFormat(format, audio::Stereo16bit48000Hz);
  std::atomic<uint64_t> bytes{0};
  std::atomic<int> errors{0};
  int32_t gap = -1;
  int64_t wall = 0;
  {
    audio::TStockAudioRecorder rec;
    rec.SetAsync(true);
    rec.SetPCMFormat(audio::Stereo16bit48000Hz);
    rec.OnWaveData = [&](audio::TWaveAudioIO*, const void*, uint32_t size) { bytes += size; };
    rec.OnError = [&](audio::TWaveAudioIO*) { ++errors; };
    std::printf("wave recorder soak, %lu s at 48 kHz stereo 16-bit, 1000 ms buffers:\n", seconds);
    const int64_t start = wavetest::WallMs();
    if (!rec.RecordToFile(path)) {
      std::printf("the recording did not start (error %u)\n", rec.LastError());
      return 1;
    }
    ::Sleep(5000);
    const long handles0 = wavetest::ProcessHandleCount();
    const size_t commit0 = wavetest::ProcessCommit();
    for (DWORD t = 5; t < seconds; ++t) {
      ::Sleep(DWORD(std::max<int64_t>(0, start + int64_t(t + 1) * 1000 - wavetest::WallMs())));
      if (t + 1 == 60 && seconds > 60)
        Report("1 min", wavetest::WallMs() - start, bytes, format, rec.HeadGapMs(), handles0,
               wavetest::ProcessHandleCount(), commit0, wavetest::ProcessCommit());
    }
    Report("end", wavetest::WallMs() - start, bytes, format, rec.HeadGapMs(), handles0, wavetest::ProcessHandleCount(),
           commit0, wavetest::ProcessCommit());
    rec.Stop();
    wall = wavetest::WallMs() - start;
    rec.WaitUntilClosed();
    gap = rec.HeadGapMs();
  }
  audio::TWaveStreamAdapter wave(new audio::TFileStream(path, audio::fmOpenRead), audio::soOwned);
  std::printf("file   valid %s  length %.3f s  head gap %d ms  length + gap - wall %+.1f ms  errors %d\n",
              wave.Valid() ? "yes" : "NO", wave.Length() / 1000.0, gap, double(wave.Length()) + gap - double(wall),
              errors.load());
  ::DeleteFileW(path.c_str());
  base::StopMainDispatcher();
  return 0;
}
