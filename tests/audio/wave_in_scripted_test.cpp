// The test program's half of wave_in.test.sh: the script plays sound into the null sink (or
// starts and kills a sound server of its own) while these cases record; the script then checks
// the files with sox and ffprobe against the facts written here. The files are exchanged in
// the folder the script names in RECLUME_AUDIO_OUT; each case runs only when the script left
// its marker file there.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>

#include "audio/scWaveRecorders.h"
#include "base/dispatch.h"
#include "tests/audio/wave_in_util.h"
#include "tests/audio/wave_test_util.h"
#include "tests/support/scratch_folder.h"

using namespace audio;
using namespace wavetest;

namespace {

// True when the script shares the folder and left the case's marker in it.
bool ScriptLeft(const testsupport::ScratchFolder& folder, const wchar_t* marker) {
  return folder.kept() && FileExists(folder / marker);
}

// Records errors and the wall time of the open report.
struct Watch {
  std::atomic<int> errors{0}, levels{0};
  std::atomic<MMRESULT> lastError{0};
  std::atomic<int64_t> activatedAt{0};
  void Attach(TStockAudioRecorder& rec) {
    rec.OnActivate = [this](TWaveAudioIO*) { activatedAt = WallMs(); };
    rec.OnLevel = [this](TWaveAudioIO*, int) { ++levels; };
    rec.OnError = [this](TWaveAudioIO* sender) {
      ++errors;
      lastError = sender->LastError();
    };
  }
};

std::string Str(int64_t v) { return std::to_string(v); }

}  // namespace

// ~3 s of a playing 1000 Hz tone in five formats; the script checks each file.
TEST(WaveInScripted, TonesInFiveFormats) {
  testsupport::ScratchFolder folder(L"RECLUME_AUDIO_OUT");
  if (!ScriptLeft(folder, L"wave-in-tones")) GTEST_SKIP() << "run by wave_in.test.sh";
  for (int pcm : {1, 3, 8, 16, 20}) {
    SCOPED_TRACE(pcm);
    const std::wstring name = folder / L"tone-" + std::to_wstring(pcm) + L".wav";
    Watch watch;
    int64_t wall = 0;
    int32_t gap = -1;
    {
      TStockAudioRecorder rec;
      rec.SetAsync(true);
      rec.SetPCMFormat(TPCMFormat(pcm));
      watch.Attach(rec);
      const int64_t start = WallMs();
      ASSERT_TRUE(rec.RecordToFile(name));
      ::Sleep(3000);
      rec.Stop();
      wall = WallMs() - start;
      rec.WaitUntilClosed();
      gap = rec.HeadGapMs();
    }
    EXPECT_TRUE(OpensExclusively(name)) << "the file is closed once the recorder is gone";
    EXPECT_EQ(watch.errors.load(), 0);
    WriteFacts(folder / L"tone-" + std::to_wstring(pcm) + L".txt", {{"wall", Str(wall)}, {"gap", Str(gap)}});
  }
}

// The script launches a beep 3.0 s after the start written here.
TEST(WaveInScripted, BeepAfterThreeSeconds) {
  testsupport::ScratchFolder folder(L"RECLUME_AUDIO_OUT");
  if (!ScriptLeft(folder, L"wave-in-beep")) GTEST_SKIP() << "run by wave_in.test.sh";
  Watch watch;
  int32_t gap = -1;
  {
    TStockAudioRecorder rec;
    rec.SetAsync(true);
    rec.SetBufferLength(250);
    rec.SetPCMFormat(Mono16bit44100Hz);
    watch.Attach(rec);
    ASSERT_TRUE(rec.RecordToFile(folder / L"beep.wav"));
    ASSERT_TRUE(base::PumpUntil([&] { return watch.activatedAt != 0; }, 5000));
    WriteFacts(folder / L"beep-start.txt", {{"start", Str(watch.activatedAt)}});
    ASSERT_TRUE(WaitForFile(folder / L"beep-done", 20000)) << "the script did not play the beep";
    ::Sleep(500);
    rec.Stop();
    rec.WaitUntilClosed();
    gap = rec.HeadGapMs();
  }
  EXPECT_EQ(watch.errors.load(), 0);
  WriteFacts(folder / L"beep-facts.txt", {{"gap", Str(gap)}});
}

// The script kills the sound server this case records from.
TEST(WaveInScripted, ServerKilledMidRecording) {
  testsupport::ScratchFolder folder(L"RECLUME_AUDIO_OUT");
  if (!ScriptLeft(folder, L"wave-in-kill")) GTEST_SKIP() << "run by wave_in.test.sh";
  Watch watch;
  int32_t gap = -1;
  DWORD stopTook = 0;
  {
    auto rec = std::make_unique<TStockAudioRecorder>();
    rec->SetAsync(true);
    rec->SetBufferLength(200);
    watch.Attach(*rec);
    ASSERT_TRUE(rec->RecordToFile(folder / L"killed.wav"));
    ASSERT_TRUE(base::PumpUntil([&] { return watch.levels >= 3; }, 8000));
    WriteFacts(folder / L"kill-ready.txt", {{"start", Str(watch.activatedAt)}});
    ASSERT_TRUE(WaitForFile(folder / L"killed", 20000)) << "the script did not kill the server";
    ::Sleep(1000);
    const DWORD t0 = ::GetTickCount();
    rec->Stop();
    gap = rec->HeadGapMs();
    rec.reset();
    stopTook = ::GetTickCount() - t0;
  }
  EXPECT_LE(stopTook, 2000u) << "Free after the stop";
  EXPECT_EQ(watch.errors.load(), 1);
  EXPECT_EQ(watch.lastError.load(), MMSYSERR_ERROR);
  EXPECT_TRUE(OpensExclusively(folder / L"killed.wav"));
  WriteFacts(folder / L"kill-facts.txt", {{"gap", Str(gap)}});
}

// No sound server anywhere: the open fails with code 2 within a second.
TEST(WaveInScripted, NoServer) {
  testsupport::ScratchFolder folder(L"RECLUME_AUDIO_OUT");
  if (!ScriptLeft(folder, L"wave-in-noserver")) GTEST_SKIP() << "run by wave_in.test.sh";
  Watch watch;
  TStockAudioRecorder rec;
  rec.SetAsync(true);
  watch.Attach(rec);
  const DWORD t0 = ::GetTickCount();
  EXPECT_FALSE(rec.RecordToFile(folder / L"noserver.wav"));
  EXPECT_LE(::GetTickCount() - t0, 1000u);
  EXPECT_EQ(rec.LastError(), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(watch.errors.load(), 1);
  EXPECT_FALSE(rec.Active());
}
