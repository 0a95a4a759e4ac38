// The wave-in device and the stock recorder against the real wave-in service (PulseAudio's
// null sink monitor under Wine): wrong-state texts, the bad-input table, the life cycle in
// thread and window mode, reports from the callback thread, repeated cycles, a recording that
// replaces another, a device that never reports its close, and a short soak.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

#include "audio/scWaveRecorders.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "tests/audio/wave_in_util.h"
#include "tests/audio/wave_test_util.h"
#include "tests/support/doubles.h"
#include "tests/support/scratch_folder.h"

using namespace audio;
using namespace wavetest;

namespace {

std::wstring ErrorText(MMRESULT code) {
  wchar_t text[256] = {};
  ::waveInGetErrorTextW(code, text, 256);
  return text;
}

// What the events of a recorder saw: counts, the threads they ran on, overlaps, the last level.
struct EventLog {
  std::atomic<int> activates{0}, deactivates{0}, levels{0}, errors{0}, inside{0}, overlaps{0};
  std::atomic<int> lastLevel{-1};
  std::atomic<DWORD> eventThread{0};
  std::atomic<bool> foreignThread{false};
  std::vector<MMRESULT> errorCodes;
  std::mutex mutex;

  void Enter() {
    if (inside++ > 0) ++overlaps;
    const DWORD self = ::GetCurrentThreadId();
    DWORD expected = 0;
    if (!eventThread.compare_exchange_strong(expected, self) && expected != self) foreignThread = true;
  }
  void Leave() { --inside; }

  void Attach(TWaveAudioIO& device, bool withErrors = true) {
    device.OnActivate = [this](TWaveAudioIO*) {
      Enter();
      ++activates;
      Leave();
    };
    device.OnDeactivate = [this](TWaveAudioIO*) {
      Enter();
      ++deactivates;
      Leave();
    };
    device.OnLevel = [this](TWaveAudioIO*, int level) {
      Enter();
      ++levels;
      lastLevel = level;
      Leave();
    };
    if (withErrors) {
      device.OnError = [this](TWaveAudioIO* sender) {
        std::lock_guard<std::mutex> lock(mutex);
        ++errors;
        errorCodes.push_back(sender->LastError());
      };
    }
  }
};

// Thread mode with short buffers, and the log attached.
void Prepare(TWaveAudioIn& rec, EventLog& log, uint16_t bufferMs = 100) {
  rec.SetAsync(true);
  rec.SetBufferLength(bufferMs);
  log.Attach(rec);
}

// Polls cond while pumping this thread's messages.
bool Eventually(const std::function<bool()>& cond, DWORD limitMs) { return base::PumpUntil(cond, limitMs); }

// A stream that takes no more than limit bytes in all (a full disk).
class LimitedStream : public TMemoryStream {
 public:
  explicit LimitedStream(int64_t limit) : limit_(limit) {}
  int32_t Write(const void* buffer, int32_t count) override {
    const int64_t room = limit_ - Position();
    if (room <= 0) return 0;
    return TMemoryStream::Write(buffer, int32_t(std::min<int64_t>(count, room)));
  }
  void SetSize(int64_t size) override { TMemoryStream::SetSize(std::min(size, limit_)); }

 private:
  int64_t limit_;
};

// A recorder whose device calls can be counted, and whose close can be swallowed so that the
// device never reports it.
class ProbeRecorder : public TStockAudioRecorder {
 public:
  ~ProbeRecorder() override { ShutDown(); }
  std::atomic<int> opens{0};
  std::atomic<bool> swallowClose{false};

 protected:
  MMRESULT DeviceOpen(HWAVEIN* handle, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD flags) override {
    ++opens;
    return TStockAudioRecorder::DeviceOpen(handle, format, callback, flags);
  }
  MMRESULT DeviceClose(HWAVEIN handle) override {
    return swallowClose ? MMSYSERR_NOERROR : TStockAudioRecorder::DeviceClose(handle);
  }
};

// Every case runs with a scripted prompter: a report that reaches the main thread is recorded,
// never shown in a box that no one answers. Unless a case expects one, none may come.
class WaveIn : public ::testing::Test {
 protected:
  void TearDown() override {
    Eventually([] { return false; }, 100);  // reports still on their way
    if (!expectReports_) {
      for (const auto& q : prompter_.asked()) ADD_FAILURE() << "unexpected report: " << base::WideToUtf8(q.text);
    }
  }
  testsupport::ScriptedPrompter prompter_;
  base::ScopedPrompter installed_{prompter_};
  bool expectReports_ = false;
};

}  // namespace

TEST_F(WaveIn, WrongStateTextsAndSecondStop) {
  testsupport::ScratchFolder dir;
  TStockAudioRecorder rec;
  rec.SetAsync(true);
  rec.SetBufferLength(100);
  EXPECT_EQ(rec.PCMFormat(), Mono16bit8000Hz);
  try {
    rec.SetActive(true);
    ADD_FAILURE() << "no Stock: expected an exception";
  } catch (const EWaveAudioInvalidOperation& e) {
    EXPECT_EQ(e.Message(), kStockNotAssignedText);
  }
  EXPECT_THROW(rec.SetPCMFormat(TPCMFormat(21)), std::out_of_range);

  ASSERT_TRUE(rec.RecordToFile(dir / L"a.wav"));
  EXPECT_TRUE(rec.Active()) << "Active from the moment Open returns";
  EXPECT_NO_THROW(rec.SetPCMFormat(Mono16bit8000Hz)) << "the same format while open";
  try {
    rec.SetPCMFormat(Stereo16bit8000Hz);
    ADD_FAILURE() << "format change while open: expected an exception";
  } catch (const EWaveAudioInvalidOperation& e) {
    EXPECT_EQ(e.Message(), kFormatChangeWhileOpenText);
  }
  try {
    rec.Open();
    ADD_FAILURE() << "Open while open: expected an exception";
  } catch (const EWaveAudioInvalidOperation& e) {
    EXPECT_EQ(e.Message(), kDeviceAlreadyOpenText);
  }
  EXPECT_TRUE(rec.Stop());
  EXPECT_FALSE(rec.Stop()) << "a second Stop while the close is in progress";
  rec.WaitUntilClosed();
  EXPECT_FALSE(rec.Active());
  EXPECT_EQ(rec.PCMFormat(), Mono16bit8000Hz);
}

// Each bad input gives one clear report and leaves a valid wave (or no file) behind.
TEST_F(WaveIn, BadInputTable) {
  testsupport::ScratchFolder dir;
  struct Case {
    const char* name;
    bool withOnError;
    std::function<void(ProbeRecorder&)> setUp;
    MMRESULT expected;
    int expectedOpens;
  };
  auto badTag = [](ProbeRecorder& r) {
    r.SetPCMFormat(nonePCM);
    r.OnFormat = [](TWaveAudioIO*, WAVEFORMATEX*& format, bool& freeIt) {
      format = NewWaveFormat().release();
      FillPCMFormat(*format, false, 0, true);
      format->wFormatTag = 0x9999;
      freeIt = true;
    };
  };
  const Case cases[] = {
      {"bogus tag, no OnError", false, badTag, WAVERR_BADFORMAT, 1},
      {"bogus tag, OnError", true, badTag, WAVERR_BADFORMAT, 1},
      {"device 7", true, [](ProbeRecorder& r) { r.SetDeviceID(7); }, MMSYSERR_BADDEVICEID, 1},
      {"no format", true, [](ProbeRecorder& r) { r.SetPCMFormat(nonePCM); }, MMSYSERR_INVALPARAM, 0},
      {"no format, no OnError", false, [](ProbeRecorder& r) { r.SetPCMFormat(nonePCM); }, MMSYSERR_INVALPARAM, 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring path = dir / L"bad" + std::to_wstring(n++) + L".wav";
    EventLog log;
    {
      ProbeRecorder rec;
      rec.SetAsync(true);
      log.Attach(rec, c.withOnError);
      c.setUp(rec);
      if (c.withOnError) {
        EXPECT_FALSE(rec.RecordToFile(path));
        EXPECT_EQ(log.errors.load(), 1);
      } else {
        try {
          rec.RecordToFile(path);
          ADD_FAILURE() << "expected EWaveAudioSysError";
        } catch (const EWaveAudioSysError& e) {
          EXPECT_EQ(e.Message(), ErrorText(c.expected));
        }
      }
      EXPECT_EQ(rec.LastError(), c.expected);
      EXPECT_EQ(rec.opens.load(), c.expectedOpens) << "device calls (the query counts)";
      EXPECT_FALSE(rec.Active());
    }
    EXPECT_TRUE(OpensExclusively(path)) << "the file is closed";
    // The header and an empty data chunk: 46 bytes for PCM (no format: nothing but the file).
    const Bytes bytes = ReadFileBytes(path);
    if (c.expectedOpens) {
      EXPECT_EQ(bytes.size(), 46u);
      TWaveStreamAdapter wave(StreamOf(bytes).release(), soOwned);
      EXPECT_TRUE(wave.Valid());
      EXPECT_EQ(wave.DataSize(), 0u);
    } else {
      EXPECT_EQ(bytes.size(), 0u);
    }
  }
}

TEST_F(WaveIn, MissingFolderRaisesTheCreateErrorOnly) {
  testsupport::ScratchFolder dir;
  EventLog log;
  TStockAudioRecorder rec;
  log.Attach(rec);
  EXPECT_THROW(rec.RecordToFile(dir / L"no such folder\\a.wav"), EFCreateError);
  EXPECT_EQ(log.errors.load(), 0);
  EXPECT_FALSE(rec.Active());
}

TEST_F(WaveIn, StreamThatRefusesTheHeaderFailsTheOpenAtOnce) {
  EventLog log;
  ProbeRecorder rec;
  rec.SetAsync(true);
  log.Attach(rec);
  LimitedStream refusing(10);
  EXPECT_FALSE(rec.RecordToStream(&refusing, soReference));
  EXPECT_EQ(rec.LastError(), MMSYSERR_ERROR);
  EXPECT_EQ(log.errors.load(), 1);
  EXPECT_EQ(rec.opens.load(), 0) << "no device call";
  EXPECT_FALSE(rec.Active());
}

// A full disk: one report, nothing appended after the first short write, and a valid wave of
// what fitted.
TEST_F(WaveIn, FullStreamGivesOneReportAndAValidWave) {
  constexpr int64_t kLimit = 46 + 4000;
  EventLog log;
  LimitedStream limited(kLimit);
  {
    TStockAudioRecorder rec;
    Prepare(rec, log);  // 1600 bytes a buffer at 8 kHz mono 16-bit
    ASSERT_TRUE(rec.RecordToStream(&limited, soReference));
    ASSERT_TRUE(Eventually([&] { return rec.WriteFailed(); }, 8000)) << "the stream never filled";
    // A few more buffers arrive and are not appended.
    const int levels = log.levels;
    EXPECT_TRUE(Eventually([&] { return log.levels >= levels + 3; }, 3000));
    EXPECT_TRUE(rec.Active()) << "the recording goes on";
  }
  EXPECT_EQ(log.errors.load(), 1);
  ASSERT_EQ(log.errorCodes.size(), 1u);
  EXPECT_EQ(log.errorCodes[0], MMSYSERR_ERROR);
  TWaveStreamAdapter wave(&limited, soReference);
  EXPECT_TRUE(wave.Valid());
  EXPECT_EQ(wave.DataSize(), uint32_t(kLimit - 46));
}

// Events on the callback thread, one at a time, last level 0; in window mode with a message
// loop (the test pumps) and without one (notifications run only inside the waits).
TEST_F(WaveIn, LifeCycleInThreadAndWindowMode) {
  enum Mode { kThread, kWindowPumped, kWindowNoLoop };
  for (Mode mode : {kThread, kWindowPumped, kWindowNoLoop}) {
    SCOPED_TRACE(mode == kThread ? "thread" : mode == kWindowPumped ? "window, pumped" : "window, no loop");
    testsupport::ScratchFolder dir;
    EventLog log;
    TStockAudioRecorder rec;
    rec.SetAsync(mode == kThread);
    rec.SetBufferLength(50);
    log.Attach(rec);
    ASSERT_TRUE(rec.RecordToFile(dir / L"cycle.wav"));
    EXPECT_TRUE(rec.Active());
    rec.SetAsync(!rec.Async());
    EXPECT_EQ(rec.Async(), mode == kThread) << "Async does not change while Active";
    if (mode == kWindowNoLoop) {
      ::Sleep(2500);
      EXPECT_EQ(log.activates.load(), 0) << "nothing runs without a message loop";
    } else {
      // The first buffers come after the platform's head loss (up to 2 s).
      EXPECT_TRUE(Eventually([&] { return log.levels >= 3; }, 6000));
      EXPECT_EQ(log.activates.load(), 1);
    }
    EXPECT_TRUE(rec.Stop());
    EXPECT_TRUE(rec.WaitUntilClosed()) << "the close came in time";
    EXPECT_FALSE(rec.Active());
    EXPECT_EQ(log.activates.load(), 1);
    EXPECT_EQ(log.deactivates.load(), 1);
    EXPECT_EQ(log.lastLevel.load(), 0) << "the close reports level 0 last";
    EXPECT_EQ(log.overlaps.load(), 0) << "two events at once";
    const DWORD self = ::GetCurrentThreadId();
    if (mode == kThread)
      EXPECT_NE(log.eventThread.load(), self) << "events run on the callback thread";
    else
      EXPECT_EQ(log.eventThread.load(), self) << "events run on the opening thread";
    EXPECT_FALSE(log.foreignThread.load()) << "events came from more than one thread";
    EXPECT_TRUE(OpensExclusively(dir / L"cycle.wav"));
  }
}

// Paused before the recording: the device opens but does not start until Resume, and the head
// gap counts from the Resume.
TEST_F(WaveIn, PausedBeforeTheOpenStartsAtResume) {
  testsupport::ScratchFolder dir;
  EventLog log;
  TStockAudioRecorder rec;
  Prepare(rec, log);
  std::atomic<int> pauses{0}, resumes{0};
  rec.OnPause = [&](TWaveAudioIO*) { ++pauses; };
  rec.OnResume = [&](TWaveAudioIO*) { ++resumes; };
  EXPECT_TRUE(rec.Pause());
  EXPECT_FALSE(rec.Pause());
  ASSERT_TRUE(rec.RecordToFile(dir / L"paused.wav"));
  ASSERT_TRUE(Eventually([&] { return log.activates == 1; }, 3000));
  ::Sleep(2500);
  EXPECT_EQ(log.levels.load(), 0) << "buffers while paused";
  EXPECT_EQ(rec.HeadGapMs(), -1);
  EXPECT_TRUE(rec.Resume());
  EXPECT_TRUE(Eventually([&] { return log.levels >= 2; }, 5000));
  EXPECT_GE(rec.HeadGapMs(), 0);
  EXPECT_LT(rec.HeadGapMs(), 2500) << "counted from the Resume";
  EXPECT_EQ(pauses.load(), 1);
  EXPECT_EQ(resumes.load(), 1);
}

// A level handler that throws once: one report through the main thread's prompter, the
// recording goes on and the wave keeps every buffer.
TEST_F(WaveIn, HandlerExceptionIsReportedOnTheMainThread) {
  expectReports_ = true;
  auto& prompter = prompter_;
  testsupport::ScratchFolder dir;
  std::atomic<int> levels{0};
  std::atomic<bool> thrown{false};
  {
    TStockAudioRecorder rec;
    rec.SetAsync(true);
    rec.SetBufferLength(100);
    rec.OnLevel = [&](TWaveAudioIO*, int) {
      ++levels;
      if (!thrown.exchange(true)) throw std::runtime_error("level handler failed");
    };
    ASSERT_TRUE(rec.RecordToFile(dir / L"throw.wav"));
    EXPECT_TRUE(Eventually([&] { return prompter.asked().size() == 1 && levels >= 4; }, 8000));
    EXPECT_TRUE(rec.Active()) << "the recording goes on";
  }
  Eventually([] { return false; }, 200);
  ASSERT_EQ(prompter.asked().size(), 1u);
  EXPECT_EQ(prompter.asked()[0].text, L"level handler failed");
  TWaveStreamAdapter wave(new TFileStream(dir / L"throw.wav", fmOpenRead), soOwned);
  ASSERT_TRUE(wave.Valid());
  // Every delivered buffer is in the wave (the closing one may be shorter), the first too.
  EXPECT_GE(wave.DataSize(), uint32_t(levels - 2) * 1600u);
}

TEST_F(WaveIn, ThirtyRecordStopDestroyCycles) {
  testsupport::ScratchFolder dir;
  std::atomic<int> valid{0};
  const bool finished = FinishesWithin(
      [&] {
        for (int i = 0; i < 30; ++i) {
          const std::wstring path = dir / L"c" + std::to_wstring(i) + L".wav";
          {
            TStockAudioRecorder rec;
            rec.SetAsync(true);
            rec.SetBufferLength(20);
            rec.SetPCMFormat(TPCMFormat(1 + i % kPCMFormatCount));
            if (!rec.RecordToFile(path)) continue;
            ::Sleep(i % 3 * 20);
          }
          if (OpensExclusively(path) && TWaveStreamAdapter(new TFileStream(path, fmOpenRead), soOwned).Valid()) ++valid;
        }
      },
      std::chrono::seconds(60));
  ASSERT_TRUE(finished) << "the cycles hang";
  EXPECT_EQ(valid.load(), 30);
}

// RecordToFile B while A records: A is complete and closed before B's file is started.
TEST_F(WaveIn, SecondRecordingFinishesTheFirst) {
  testsupport::ScratchFolder dir;
  EventLog log;
  TStockAudioRecorder rec;
  Prepare(rec, log);
  ASSERT_TRUE(rec.RecordToFile(dir / L"a.wav"));
  ASSERT_TRUE(Eventually([&] { return log.levels >= 2; }, 6000));
  ASSERT_TRUE(rec.RecordToFile(dir / L"b.wav"));
  EXPECT_TRUE(OpensExclusively(dir / L"a.wav"));
  {
    TWaveStreamAdapter a(new TFileStream(dir / L"a.wav", fmOpenRead), soOwned);
    EXPECT_TRUE(a.Valid());
    EXPECT_GE(a.DataSize(), 1600u);
  }
  EXPECT_EQ(log.deactivates.load(), 1);
  EXPECT_TRUE(Eventually([&] { return log.activates >= 2; }, 3000));
}

// A device that never reports its close: destruction ends within 2 x BufferLength + 5 s, the
// wave is finished and the failure reported once.
TEST_F(WaveIn, DeviceThatNeverReportsTheCloseIsDestroyedWithinTheBound) {
  for (bool async : {true, false}) {
    SCOPED_TRACE(async ? "thread" : "window");
    testsupport::ScratchFolder dir;
    EventLog log;
    DWORD took = 0;
    {
      auto rec = std::make_unique<ProbeRecorder>();
      rec->SetAsync(async);
      rec->SetBufferLength(100);
      log.Attach(*rec);
      ASSERT_TRUE(rec->RecordToFile(dir / L"stuck.wav"));
      ASSERT_TRUE(Eventually([&] { return log.levels >= 2; }, 6000));
      rec->swallowClose = true;
      const DWORD start = ::GetTickCount();
      rec.reset();
      took = ::GetTickCount() - start;
    }
    EXPECT_GE(took, 5000u);
    EXPECT_LE(took, 5200u + 1000u);
    EXPECT_EQ(log.errors.load(), 1);
    ASSERT_EQ(log.errorCodes.size(), 1u);
    EXPECT_EQ(log.errorCodes[0], MMSYSERR_ERROR);
    EXPECT_TRUE(OpensExclusively(dir / L"stuck.wav"));
    TWaveStreamAdapter wave(new TFileStream(dir / L"stuck.wav", fmOpenRead), soOwned);
    EXPECT_TRUE(wave.Valid());
    EXPECT_GE(wave.DataSize(), 1600u);
  }
}

TEST_F(WaveIn, DeviceQueries) {
  TWaveAudioIn device;
  EXPECT_GE(device.GetNumDevs(), 1u);
  EXPECT_FALSE(device.GetDeviceName().empty());
  const uint32_t formats = device.GetDeviceFormats();
  for (int pcm = 1; pcm <= 4; ++pcm) EXPECT_TRUE(formats & (1u << pcm)) << pcm;
  for (int pcm = 17; pcm <= 20; ++pcm) EXPECT_FALSE(formats & (1u << pcm)) << pcm;
  EXPECT_EQ(device.ValidateDeviceID(WAVE_MAPPER), MMSYSERR_NOERROR);
  EXPECT_EQ(device.ValidateDeviceID(7), MMSYSERR_BADDEVICEID);
  EXPECT_TRUE(device.IsPCMFormatSupported(Stereo16bit48000Hz));
  EXPECT_EQ(device.GetPosition(), 0u);
  EXPECT_EQ(device.GetErrorText(WAVERR_BADFORMAT), ErrorText(WAVERR_BADFORMAT));
  device.SetBufferLength(5);
  EXPECT_EQ(device.BufferLength(), 10);
  MMTIME t{};
  t.wType = TIME_SMPTE;
  t.u.smpte.hour = 1;
  t.u.smpte.min = 2;
  t.u.smpte.sec = 3;
  EXPECT_EQ(device.MMTimeToMs(t), 3723000u);
}

// The soak's short form: 20 s at 48 kHz stereo 16-bit; the wave plus the head gap is the wall
// time, and from second 5 on neither handles nor commit grow.
TEST_F(WaveIn, ShortSoak) {
  testsupport::ScratchFolder dir;
  const std::wstring path = dir / L"soak.wav";
  EventLog log;
  int64_t wall = 0;
  long handlesAt5 = 0, handlesAtEnd = 0;
  size_t commitAt5 = 0, commitAtEnd = 0;
  int32_t gap = -1;
  {
    TStockAudioRecorder rec;
    Prepare(rec, log, 1000);
    rec.SetPCMFormat(Stereo16bit48000Hz);
    const int64_t start = WallMs();
    ASSERT_TRUE(rec.RecordToFile(path));
    ::Sleep(5000);
    handlesAt5 = ProcessHandleCount();
    commitAt5 = ProcessCommit();
    ::Sleep(15000);
    handlesAtEnd = ProcessHandleCount();
    commitAtEnd = ProcessCommit();
    rec.Stop();
    wall = WallMs() - start;
    rec.WaitUntilClosed();
    gap = rec.HeadGapMs();
  }
  TWaveStreamAdapter wave(new TFileStream(path, fmOpenRead), soOwned);
  ASSERT_TRUE(wave.Valid());
  EXPECT_GE(gap, 0);
  EXPECT_NEAR(double(wave.Length() + gap), double(wall), 250.0) << "length " << wave.Length() << " gap " << gap;
  EXPECT_EQ(handlesAtEnd, handlesAt5);
  EXPECT_LT(commitAtEnd, commitAt5 + 256 * 1024) << commitAt5 << " -> " << commitAtEnd;
  EXPECT_EQ(log.errors.load(), 0);
}

namespace {

// A device component whose callback is made without a device, so the test can deliver the
// wave-out notifications to it as a player's device would, and which notes the played buffers
// it is handed.
class WaveOutNotices : public TWaveAudioIn {
 public:
  ~WaveOutNotices() override { ShutDown(); }
  bool MakeCallback() { return CreateCallback(); }
  // Delivers a notification the way the device does in this component's mode.
  bool Deliver(UINT msg, WAVEHDR* header) {
    const LPARAM lp = reinterpret_cast<LPARAM>(header);
    if (CallbackKind() == CALLBACK_THREAD)
      return ::PostThreadMessageW(static_cast<DWORD>(CallbackHandle()), msg, 0, lp) != FALSE;
    return ::PostMessageW(reinterpret_cast<HWND>(CallbackHandle()), msg, 0, lp) != FALSE;
  }
  std::atomic<int> played{0};
  std::atomic<WAVEHDR*> lastPlayed{nullptr};

 protected:
  void WaveOutDone(WAVEHDR* header) override {
    TWaveAudioIn::WaveOutDone(header);
    lastPlayed = header;
    ++played;
  }
};

}  // namespace

// The wave-out open and close reports run the same open and close steps as wave-in's (the
// activation, then level 0, the callback gone and the deactivation), in both modes; a played
// buffer reaches its handler and is left as it was.
TEST_F(WaveIn, WaveOutNotificationsRunTheOpenAndCloseSteps) {
  for (bool async : {false, true}) {
    SCOPED_TRACE(async ? "thread" : "window");
    EventLog log;
    WaveOutNotices device;
    device.SetAsync(async);
    log.Attach(device);
    ASSERT_TRUE(device.MakeCallback());
    ASSERT_TRUE(device.Active());

    ASSERT_TRUE(device.Deliver(MM_WOM_OPEN, nullptr));
    EXPECT_TRUE(Eventually([&] { return log.activates == 1; }, 5000));
    EXPECT_TRUE(device.Active());

    WAVEHDR header{};
    char data[16] = {};
    header.lpData = data;
    header.dwBufferLength = sizeof data;
    header.dwFlags = WHDR_DONE;
    const WAVEHDR before = header;
    ASSERT_TRUE(device.Deliver(MM_WOM_DONE, &header));
    EXPECT_TRUE(Eventually([&] { return device.played == 1; }, 5000));
    EXPECT_EQ(device.lastPlayed.load(), &header);
    EXPECT_EQ(std::memcmp(&header, &before, sizeof header), 0) << "the played buffer was changed";
    EXPECT_EQ(device.BufferListCount(), 0u);

    ASSERT_TRUE(device.Deliver(MM_WOM_CLOSE, nullptr));
    EXPECT_TRUE(Eventually([&] { return log.deactivates == 1; }, 5000));
    EXPECT_TRUE(device.WaitUntilClosed());
    EXPECT_FALSE(device.Active()) << "the close report destroys the callback";
    EXPECT_EQ(log.lastLevel.load(), -1) << "no level without a PCM device format";
    EXPECT_EQ(log.activates.load(), 1);
    EXPECT_EQ(log.errors.load(), 0);
  }
}
