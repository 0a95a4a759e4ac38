// The wave stream adapter: queries, the recorder's rewrite path, data access and ownership,
// loading and saving, and the editing operations on a 16-bit ramp.
#include <gtest/gtest.h>

#include <functional>

#include "audio/scWaveStorage.h"  // windows.h first: the compression headers need it

#include <mmreg.h>
#include <msacm.h>

#include "tests/audio/wave_test_util.h"
#include "tests/support/scratch_folder.h"

using namespace audio;
using namespace wavetest;

namespace {

const WAVEFORMATEX kMono16 = Pcm(Mono16bit8000Hz);  // 16 bytes per millisecond
const WAVEFORMATEX kMono8 = Pcm(Mono8Bit8000Hz);

struct Events {
  int changing = 0, change = 0;
  void Watch(TWaveStreamAdapter& a) {
    a.OnChanging = [this](TWaveStreamAdapter*) { ++changing; };
    a.OnChange = [this](TWaveStreamAdapter*) { ++change; };
  }
};

// An adapter that owns a memory stream holding a wave.
std::unique_ptr<TWaveStreamAdapter> Wave(const WAVEFORMATEX& f, const Bytes& data) {
  return std::make_unique<TWaveStreamAdapter>(StreamOf(SimpleWave(f, data)).release(), soOwned);
}

Bytes DataOf(TWaveStreamAdapter& a) {
  Bytes all = BytesOf(*a.Stream());
  if (!a.Valid() || uint64_t(a.DataOffset()) + a.DataSize() > all.size()) return {};
  return Bytes(all.begin() + a.DataOffset(), all.begin() + a.DataOffset() + a.DataSize());
}

// Samples [from, to) of the ramp.
Bytes RampPart(int from, int to) { return Ramp16(size_t(to - from), from); }

// A memory stream whose writes to the data size field fail once armed: the RIFF size is
// patched, the data size stays 0.
class PatchFailingStream : public TMemoryStream {
 public:
  bool armed = false;
  int32_t Write(const void* buffer, int32_t count) override {
    if (armed && Position() >= 42 && Position() < 46) return 0;
    return TMemoryStream::Write(buffer, count);
  }
};

}  // namespace

TEST(WaveAdapter, EmptyStreamIsNotAWave) {
  TMemoryStream stream;
  TWaveStreamAdapter adapter(&stream, soReference);
  EXPECT_FALSE(adapter.Valid());
  EXPECT_EQ(adapter.Length(), 0u);
  EXPECT_EQ(adapter.DataSize(), 0u);
  EXPECT_EQ(adapter.DataOffset(), 0u);
  EXPECT_EQ(adapter.WaveFormat(), nullptr);
  uint8_t* data = reinterpret_cast<uint8_t*>(1);
  EXPECT_FALSE(adapter.AccessData(data, false));
  EXPECT_EQ(data, nullptr);
  EXPECT_FALSE(adapter.StartReading());
  EXPECT_EQ(adapter.WriteData("x", 1), -1);
  EXPECT_EQ(adapter.ReadData(data, 1), -1);
  EXPECT_FALSE(adapter.FinishWriting());
  EXPECT_FALSE(adapter.FinishReading());
}

TEST(WaveAdapter, RecordingPathPatchesSizesAndCutsAfterTheData) {
  struct Case {
    WAVEFORMATEX format;
    uint32_t bytes;
    size_t streamSize;
    uint32_t riffSize;
  };
  const Case cases[] = {{kMono16, 8000, 8046, 8038}, {kMono8, 8001, 8048, 8040}, {kMono16, 0, 46, 38}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    TMemoryStream stream;
    const Bytes junk(20000, 0xEE);  // a longer earlier content must not survive
    stream.WriteBuffer(junk.data(), int32_t(junk.size()));
    TWaveStreamAdapter adapter(&stream, soReference);
    EXPECT_FALSE(adapter.Valid());
    Events events;
    events.Watch(adapter);
    ASSERT_TRUE(adapter.StartWriting(c.format));
    EXPECT_EQ(events.changing, 1);
    EXPECT_EQ(adapter.State(), wsWriting);
    EXPECT_FALSE(adapter.StartWriting(c.format)) << "only when idle";
    const Bytes audio = Ramp8(c.bytes);
    for (uint32_t done = 0; done < c.bytes; done += 1000) {
      const int32_t n = int32_t(std::min<uint32_t>(1000, c.bytes - done));
      ASSERT_EQ(adapter.WriteData(audio.data() + done, n), n);
      EXPECT_FALSE(adapter.Valid()) << "no queries while writing";
      EXPECT_EQ(adapter.DataSize(), 0u);
      EXPECT_EQ(adapter.WaveFormat(), nullptr);
    }
    const int changesBefore = events.change;
    ASSERT_TRUE(adapter.FinishWriting());
    EXPECT_GT(events.change, changesBefore) << "the new header is parsed and announced";
    EXPECT_EQ(adapter.State(), wsIdle);
    const Bytes file = BytesOf(stream);
    ASSERT_EQ(file.size(), c.streamSize);  // fatal: the header is read below
    EXPECT_EQ(LoadU32(file, 4), c.riffSize);
    EXPECT_EQ(LoadU32(file, 42), c.bytes);
    EXPECT_EQ(adapter.DataOffset(), 46u);
    EXPECT_EQ(adapter.DataSize(), c.bytes);
    EXPECT_TRUE(adapter.IsFormat(&c.format));
    EXPECT_EQ(DataOf(adapter), audio);
  }
}

TEST(WaveAdapter, FailedSizePatchKeepsTheRecording) {
  PatchFailingStream stream;
  TWaveStreamAdapter adapter(&stream, soReference);
  ASSERT_TRUE(adapter.StartWriting(kMono16));
  const Bytes audio = Ramp16(4000);
  ASSERT_EQ(adapter.WriteData(audio.data(), int32_t(audio.size())), int32_t(audio.size()));
  stream.armed = true;
  EXPECT_FALSE(adapter.FinishWriting()) << "the data size could not be written";
  EXPECT_EQ(adapter.State(), wsIdle);
  const Bytes file = BytesOf(stream);
  // Fatal: the slice below reads that far.
  ASSERT_GE(file.size(), 46 + audio.size()) << "something recorded was cut away";
  EXPECT_EQ(Bytes(file.begin() + 46, file.begin() + 46 + audio.size()), audio);
}

TEST(WaveAdapter, DestroyingFinishesARewrite) {
  TMemoryStream stream;
  {
    TWaveStreamAdapter adapter(&stream, soReference);
    ASSERT_TRUE(adapter.StartWriting(kMono16));
    adapter.WriteData(Ramp16(50).data(), 100);
  }
  TWaveStreamAdapter again(&stream, soReference);
  EXPECT_TRUE(again.Valid());
  EXPECT_EQ(again.DataSize(), 100u);
  EXPECT_EQ(stream.Size(), 146);
}

TEST(WaveAdapter, ReadingThroughAHandle) {
  auto adapter = Wave(kMono16, Ramp16(100));
  ASSERT_TRUE(adapter->StartReading());
  EXPECT_FALSE(adapter->StartReading());
  Bytes buf(60);
  EXPECT_EQ(adapter->ReadData(buf.data(), 60), 60);
  EXPECT_EQ(buf, RampPart(0, 30));
  EXPECT_EQ(adapter->ReadData(buf.data(), 60), 60);
  EXPECT_EQ(buf, RampPart(30, 60));
  EXPECT_TRUE(adapter->FinishReading());
  EXPECT_EQ(adapter->ReadData(buf.data(), 1), -1);
  // Loading and clearing close an open handle.
  ASSERT_TRUE(adapter->StartReading());
  adapter->Clear();
  EXPECT_EQ(adapter->State(), wsIdle);
  EXPECT_EQ(adapter->Stream()->Size(), 0);
  auto source = StreamOf(SimpleWave(kMono16, Ramp16(8)));
  ASSERT_TRUE(adapter->StartWriting(kMono8));
  adapter->LoadFromStream(*source);
  EXPECT_EQ(adapter->State(), wsIdle);
  EXPECT_EQ(adapter->DataSize(), 16u);
  EXPECT_TRUE(adapter->StartReading());
}

TEST(WaveAdapter, DataAccessFreesOnlyWhatItAllocated) {
  auto adapter = Wave(kMono16, Ramp16(100));
  uint8_t* direct = nullptr;
  uint8_t* copy = nullptr;
  ASSERT_TRUE(adapter->AccessData(direct, false));
  EXPECT_EQ(direct, static_cast<TMemoryStream*>(adapter->Stream())->Memory() + 46) << "straight into memory";
  ASSERT_TRUE(adapter->AccessData(copy, true));
  EXPECT_NE(copy, direct);
  EXPECT_EQ(Bytes(copy, copy + 200), RampPart(0, 100));

  uint8_t foreign[200];
  EXPECT_FALSE(adapter->ReleaseData(foreign, true)) << "a block the adapter did not hand out";
  EXPECT_FALSE(adapter->ReleaseData(nullptr, false));
  EXPECT_FALSE(adapter->ReleaseData(direct + 2, false));
  copy[0] = 0x55;
  EXPECT_TRUE(adapter->ReleaseData(copy, true));
  EXPECT_FALSE(adapter->ReleaseData(copy, true)) << "released once only";
  EXPECT_EQ(direct[0], 0x55) << "written back";
  EXPECT_TRUE(adapter->ReleaseData(direct, false));
  EXPECT_FALSE(adapter->ReleaseData(direct, false));
}

TEST(WaveAdapter, WritingBackAfterARewriteStaysInsideTheBlock) {
  auto stream = StreamOf(SimpleWave(kMono16, RampPart(0, 50)));
  // A file-like stream, so that the adapter hands out a copy.
  testsupport::ScratchFolder dir;
  const std::wstring path = dir / L"grow.wav";
  {
    TFileStream file(path, fmCreate);
    file.CopyFrom(*stream, 0);
  }
  TWaveStreamAdapter wave(new TFileStream(path, fmOpenReadWrite), soOwned);
  uint8_t* copy = nullptr;
  ASSERT_TRUE(wave.AccessData(copy, false));
  std::memset(copy, 0x11, 100);
  ASSERT_TRUE(wave.JoinWaves({&wave, &wave}, 0));  // the data doubles meanwhile
  EXPECT_TRUE(wave.ReleaseData(copy, true));
  EXPECT_EQ(DataOf(wave), Bytes(100, 0x11) + RampPart(0, 50));
}

TEST(WaveAdapter, FileStreamsLoadSaveAndWriteBack) {
  testsupport::ScratchFolder dir;
  const std::wstring path = dir / L"ramp.wav";
  auto memory = Wave(kMono16, Ramp16(800));
  memory->SaveToFile(path);
  EXPECT_EQ(ReadFileBytes(path), BytesOf(*memory->Stream()));

  {
    TWaveStreamAdapter onFile(new TFileStream(path, fmOpenReadWrite), soOwned);
    EXPECT_TRUE(onFile.IsEqual(*memory));
    EXPECT_TRUE(memory->IsEqual(onFile));
    ASSERT_TRUE(onFile.ScaleVolume(100));  // a copied block, written back
    EXPECT_FALSE(onFile.IsEqual(*memory));
    ASSERT_TRUE(onFile.KeepRange(10, 20));
    EXPECT_EQ(DataOf(onFile), [] {
      Bytes b = RampPart(80, 240);
      ScaleWaveVolume(b.data(), uint32_t(b.size()), &kMono16, 100);
      return b;
    }());
  }
  TWaveStreamAdapter loaded(new TMemoryStream, soOwned);
  loaded.LoadFromFile(path);
  EXPECT_EQ(loaded.DataSize(), 320u);
  EXPECT_EQ(ReadFileBytes(path).size(), 46u + 320u) << "the rewrite cut the file";
  EXPECT_THROW(loaded.LoadFromFile(dir / L"missing.wav"), EFOpenError);
  EXPECT_EQ(loaded.DataSize(), 320u) << "a failed load changes nothing";
}

TEST(WaveAdapter, LoadingFromAMovedStreamFailsBeforeChangingAnything) {
  auto adapter = Wave(kMono16, Ramp16(10));
  const Bytes before = BytesOf(*adapter->Stream());
  auto source = StreamOf(SimpleWave(kMono8, Ramp8(30)));
  source->SetPosition(5);
  Events events;
  events.Watch(*adapter);
  EXPECT_THROW(adapter->LoadFromStream(*source), EReadError);
  EXPECT_EQ(BytesOf(*adapter->Stream()), before);
  EXPECT_EQ(events.changing, 0);
  source->SetPosition(0);
  adapter->LoadFromStream(*source);
  EXPECT_TRUE(adapter->IsFormat(&kMono8));
  EXPECT_EQ(DataOf(*adapter), Ramp8(30));
}

TEST(WaveAdapter, Comparison) {
  auto a = Wave(kMono16, Ramp16(100));
  auto b = Wave(kMono16, Ramp16(100));
  auto c = Wave(kMono16, Ramp16(100, 1));
  auto d = Wave(kMono8, Ramp16(100));
  EXPECT_TRUE(a->IsEqual(*b));
  EXPECT_TRUE(a->IsEqual(*a));
  EXPECT_FALSE(a->IsEqual(*c));
  EXPECT_FALSE(a->IsEqual(*d));
  EXPECT_TRUE(a->HasSameFormat(*c));
  EXPECT_FALSE(a->HasSameFormat(*d));
  EXPECT_FALSE(a->IsFormat(nullptr));

  // Records that differ only in their extra bytes.
  WaveFormatPtr withExtra = NewWaveFormat(20);
  *withExtra = kMono16;
  withExtra->cbSize = 2;
  std::memcpy(reinterpret_cast<uint8_t*>(withExtra.get()) + 18, "\x01\x02", 2);
  auto e = std::make_unique<TWaveStreamAdapter>(StreamOf(Riff(Chunk("fmt ", Bytes(
      reinterpret_cast<uint8_t*>(withExtra.get()), reinterpret_cast<uint8_t*>(withExtra.get()) + 20)) +
      Chunk("data", Ramp16(4)))).release(), soOwned);
  EXPECT_TRUE(e->IsFormat(withExtra.get()));
  std::memcpy(reinterpret_cast<uint8_t*>(withExtra.get()) + 18, "\x01\x03", 2);
  EXPECT_FALSE(e->IsFormat(withExtra.get()));
  EXPECT_FALSE(e->IsFormat(&kMono16)) << "the extra-bytes counts differ";
}

TEST(WaveAdapter, EditingTableOnARamp) {
  // One second of 16-bit mono 8000 Hz: sample i holds i, 16 bytes per millisecond.
  struct Case {
    const char* what;
    std::function<bool(TWaveStreamAdapter&)> edit;
    bool result;
    Bytes data;  // empty with result false: the wave must be untouched
  };
  auto other = Wave(kMono16, RampPart(20000, 20100));
  auto stereo = Wave(Pcm(Stereo16bit8000Hz), Ramp16(100));
  const Case cases[] = {
      {"keep 100 ms from 100 ms", [](auto& w) { return w.KeepRange(100, 200); }, true, RampPart(800, 2400)},
      {"keep past the end is capped", [](auto& w) { return w.KeepRange(900, 500); }, true, RampPart(7200, 8000)},
      {"keep from the length", [](auto& w) { return w.KeepRange(1000, 10); }, false, {}},
      {"keep nothing", [](auto& w) { return w.KeepRange(0, 0); }, false, {}},
      {"delete a middle range", [](auto& w) { return w.DeleteRange(100, 200); }, true,
       RampPart(0, 800) + RampPart(2400, 8000)},
      {"delete from the length", [](auto& w) { return w.DeleteRange(1000, 5); }, false, {}},
      {"delete a range of 0", [](auto& w) { return w.DeleteRange(10, 0); }, false, {}},
      {"delete a huge range", [](auto& w) { return w.DeleteRange(500, 0xFFFFFFFF); }, true, RampPart(0, 4000)},
      {"delete the head", [](auto& w) { return w.DeleteHead(250); }, true, RampPart(2000, 8000)},
      {"delete the tail", [](auto& w) { return w.DeleteTail(250); }, true, RampPart(0, 6000)},
      {"insert silence", [](auto& w) { return w.InsertSilentSpan(500, 100); }, true,
       RampPart(0, 4000) + Bytes(1600, 0) + RampPart(4000, 8000)},
      {"insert silence past the end appends", [](auto& w) { return w.InsertSilentSpan(5000, 10); }, true,
       RampPart(0, 8000) + Bytes(160, 0)},
      {"insert silence of 0", [](auto& w) { return w.InsertSilentSpan(5, 0); }, false, {}},
      {"insert more silence than a wave holds", [](auto& w) { return w.InsertSilentSpan(5, 0xFFFFFFFF); }, false, {}},
      {"insert a wave", [&](auto& w) { return w.InsertWave(1, *other); }, true,
       RampPart(0, 8) + RampPart(20000, 20100) + RampPart(8, 8000)},
      {"insert a wave of another format", [&](auto& w) { return w.InsertWave(1, *stereo); }, false, {}},
      {"copy a range of another wave", [&](auto& w) { return w.CopyRange(*other, 5, 100); }, true,
       RampPart(20040, 20100)},
      {"copy from past the other's end", [&](auto& w) { return w.CopyRange(*other, 13, 1); }, false, {}},
      {"reverse", [](auto& w) { return w.ReverseSamples(); }, true,
       [] { Bytes b = RampPart(0, 8000); ReverseWaveData(b.data(), uint32_t(b.size()), &kMono16); return b; }()},
      {"halve the volume", [](auto& w) { return w.ScaleVolume(-50); }, true,
       [] { Bytes b = RampPart(0, 8000); ScaleWaveVolume(b.data(), uint32_t(b.size()), &kMono16, -50); return b; }()},
      {"mix with another format", [&](auto& w) { return w.MixWaves({&w, stereo.get()}); }, false, {}},
      {"mix with nothing", [](auto& w) { return w.MixWaves({}); }, false, {}},
      {"join nothing", [](auto& w) { return w.JoinWaves({}, 0); }, false, {}},
      {"convert to its own format", [](auto& w) { return w.ConvertFormat(&kMono16); }, true, RampPart(0, 8000)},
  };
  for (const Case& c : cases) {
    auto wave = Wave(kMono16, RampPart(0, 8000));
    ASSERT_EQ(wave->Length(), 1000u);
    const Bytes before = BytesOf(*wave->Stream());
    EXPECT_EQ(c.edit(*wave), c.result) << c.what;
    if (c.data.empty() && !c.result) {
      EXPECT_EQ(BytesOf(*wave->Stream()), before) << c.what << ": the wave must be untouched";
    } else {
      EXPECT_TRUE(wave->IsFormat(&kMono16)) << c.what;
      EXPECT_EQ(DataOf(*wave), c.data) << c.what;
      EXPECT_EQ(wave->Stream()->Size(), int64_t(46 + c.data.size())) << c.what;
    }
  }
}

TEST(WaveAdapter, RangesThatRoundToNothingKeepTheWave) {
  // 100 bytes per second: a millisecond is less than a byte.
  WAVEFORMATEX slow = kMono8;
  slow.nSamplesPerSec = 100;
  slow.nAvgBytesPerSec = 100;
  auto wave = Wave(slow, Ramp8(300));
  auto target = Wave(kMono8, Ramp8(10));
  ASSERT_EQ(wave->Length(), 3000u);
  EXPECT_FALSE(wave->KeepRange(10, 1));
  EXPECT_EQ(DataOf(*wave), Ramp8(300));
  EXPECT_FALSE(target->CopyRange(*wave, 10, 1));
  EXPECT_EQ(DataOf(*target), Ramp8(10));
}

TEST(WaveAdapter, DeletingEverythingLeavesAnEmptyWave) {
  auto wave = Wave(kMono16, RampPart(0, 8000));
  EXPECT_FALSE(wave->DeleteRange(0, wave->Length())) << "no bytes were written";
  EXPECT_TRUE(wave->Valid());
  EXPECT_EQ(wave->DataSize(), 0u);
  EXPECT_EQ(wave->Stream()->Size(), 46);
}

TEST(WaveAdapter, JoiningAndMixing) {
  auto a = Wave(kMono16, RampPart(0, 800));
  auto b = Wave(kMono16, RampPart(1000, 1400));
  auto c = Wave(kMono16, RampPart(2000, 2100));
  TWaveStreamAdapter joined(new TMemoryStream, soOwned);
  EXPECT_TRUE(joined.JoinWaves({a.get(), b.get(), c.get()}, 500));
  EXPECT_EQ(DataOf(joined), RampPart(0, 800) + Bytes(8000, 0) + RampPart(1000, 1400) + Bytes(8000, 0) +
                                RampPart(2000, 2100));

  TWaveStreamAdapter mixed(new TMemoryStream, soOwned);
  EXPECT_TRUE(mixed.MixWaves({a.get(), b.get()}));
  Bytes expected = RampPart(0, 800);
  const Bytes shorter = RampPart(1000, 1400);
  for (size_t i = 0; i < 800; ++i) {
    int16_t x, y = 0;
    std::memcpy(&x, &expected[2 * i], 2);
    if (i < 400) std::memcpy(&y, &shorter[2 * i], 2);
    int16_t m = int16_t((x + y) / 2);
    std::memcpy(&expected[2 * i], &m, 2);
  }
  EXPECT_EQ(DataOf(mixed), expected);

  // A source that is not a wave: nothing changes.
  TWaveStreamAdapter broken(new TMemoryStream, soOwned);
  const Bytes before = BytesOf(*joined.Stream());
  EXPECT_FALSE(joined.JoinWaves({a.get(), &broken}, 0));
  EXPECT_EQ(BytesOf(*joined.Stream()), before);
}

TEST(WaveAdapter, TheAdapterAsItsOwnSource) {
  const Bytes ramp = RampPart(0, 400);
  // Each edit's source is the adapter itself, or a second adapter over the same stream.
  struct Case {
    const char* what;
    std::function<bool(TWaveStreamAdapter& w, TWaveStreamAdapter& source)> edit;
    Bytes data;
  };
  const Case cases[] = {
      {"join it twice", [](auto& w, auto& s) { return w.JoinWaves({&s, &s}, 0); }, ramp + ramp},
      {"join it with silence", [](auto& w, auto& s) { return w.JoinWaves({&w, &s}, 1); }, ramp + Bytes(16, 0) + ramp},
      {"mix with it", [](auto& w, auto& s) { return w.MixWaves({&s, &w}); }, ramp},
      {"insert it", [](auto& w, auto& s) { return w.InsertWave(10, s); }, RampPart(0, 80) + ramp + RampPart(80, 400)},
      {"copy a range of it", [](auto& w, auto& s) { return w.CopyRange(s, 10, 5); }, RampPart(80, 120)},
  };
  for (const Case& c : cases) {
    for (bool twin : {false, true}) {
      auto stream = StreamOf(SimpleWave(kMono16, ramp));
      TWaveStreamAdapter wave(stream.get(), soReference), other(stream.get(), soReference);
      EXPECT_TRUE(c.edit(wave, twin ? other : wave)) << c.what << (twin ? " (a twin)" : " (itself)");
      EXPECT_EQ(DataOf(wave), c.data) << c.what << (twin ? " (a twin)" : " (itself)");
    }
  }
  auto wave = Wave(kMono16, ramp);
  Events events;
  events.Watch(*wave);
  const Bytes before = BytesOf(*wave->Stream());
  wave->Assign(*wave);
  EXPECT_EQ(BytesOf(*wave->Stream()), before);
  EXPECT_EQ(events.changing + events.change, 0) << "assigning itself does nothing";
}

TEST(WaveAdapter, AssignCopiesAnotherAdapter) {
  auto source = Wave(kMono8, Ramp8(77));
  source->Stream()->SetPosition(30);
  TWaveStreamAdapter target(new TMemoryStream, soOwned);
  target.Assign(*source);
  EXPECT_TRUE(target.IsEqual(*source));
  EXPECT_EQ(BytesOf(*target.Stream()), BytesOf(*source->Stream()));
}

TEST(WaveAdapter, InPlaceChangesOnMemoryFireNoEvents) {
  auto wave = Wave(kMono16, RampPart(0, 100));
  ASSERT_TRUE(wave->Valid());
  uint8_t* before = static_cast<TMemoryStream*>(wave->Stream())->Memory();
  Events events;
  events.Watch(*wave);
  ASSERT_TRUE(wave->ReverseSamples());
  EXPECT_EQ(events.changing, 0);
  EXPECT_EQ(static_cast<TMemoryStream*>(wave->Stream())->Memory(), before);
  EXPECT_EQ(DataOf(*wave), [] { Bytes b = RampPart(0, 100); ReverseWaveData(b.data(), 200, &kMono16); return b; }());

  WAVEFORMATEX adpcm = kMono16;
  adpcm.wFormatTag = 2;
  auto other = std::make_unique<TWaveStreamAdapter>(StreamOf(SimpleWave(adpcm, Ramp8(20))).release(), soOwned);
  EXPECT_FALSE(other->ReverseSamples());
  EXPECT_FALSE(other->ScaleVolume(10));
  EXPECT_FALSE(other->InsertSilentSpan(0, 10));
}

TEST(WaveAdapter, TrimStreamKeepsThePadByte) {
  const Bytes file = SimpleWave(kMono8, Ramp8(33)) + Chunk("LIST", Text("INFOabcd"));
  auto wave = std::make_unique<TWaveStreamAdapter>(StreamOf(file).release(), soOwned);
  wave->TrimStream();
  EXPECT_EQ(wave->Stream()->Size(), 46 + 33 + 1);
  Bytes withoutPad = SimpleWave(kMono8, Ramp8(33));
  withoutPad.pop_back();
  auto unpadded = std::make_unique<TWaveStreamAdapter>(StreamOf(withoutPad).release(), soOwned);
  unpadded->TrimStream();
  EXPECT_EQ(unpadded->Stream()->Size(), 46 + 33) << "trimming never grows the stream";
}

TEST(WaveAdapter, ConvertFormatThroughTheCompressionManager) {
  auto wave = Wave(kMono16, RampPart(0, 8000));
  const WAVEFORMATEX target = Pcm(Stereo16bit44100Hz);
  Events events;
  events.Watch(*wave);
  ASSERT_TRUE(wave->ConvertFormat(&target));
  EXPECT_TRUE(wave->IsFormat(&target));
  EXPECT_NEAR(double(wave->DataSize()), 176400.0, 2000.0);
  EXPECT_NEAR(double(wave->Length()), 1000.0, 15.0);
  EXPECT_EQ(events.changing, 1);
  EXPECT_GE(events.change, 1);

  WAVEFORMATEX bogus = target;
  bogus.wFormatTag = 0x7777;
  const Bytes before = BytesOf(*wave->Stream());
  EXPECT_FALSE(wave->ConvertFormat(&bogus));
  EXPECT_EQ(BytesOf(*wave->Stream()), before);
}

TEST(WaveAdapter, ConvertFormatGoesThroughPCMWhenThereIsNoDirectRoute) {
  // Half a second of IMA ADPCM made by the compression manager from a 16-bit ramp.
  const Bytes pcm = Ramp16(4000);
  std::vector<uint8_t> adpcmFormat(64, 0);
  auto* adpcm = reinterpret_cast<WAVEFORMATEX*>(adpcmFormat.data());
  adpcm->wFormatTag = WAVE_FORMAT_IMA_ADPCM;
  if (::acmFormatSuggest(nullptr, const_cast<WAVEFORMATEX*>(&kMono16), adpcm, DWORD(adpcmFormat.size()),
                         ACM_FORMATSUGGESTF_WFORMATTAG) != MMSYSERR_NOERROR)
    GTEST_SKIP() << "no IMA ADPCM codec here";
  std::vector<uint8_t> encoded;
  uint32_t encodedSize = 0;
  ASSERT_TRUE(ConvertWaveData(&kMono16, pcm.data(), uint32_t(pcm.size()), encodedSize, encoded, adpcm));
  const Bytes record(adpcmFormat.begin(), adpcmFormat.begin() + WaveFormatSize(*adpcm));
  TWaveStreamAdapter wave(StreamOf(Riff(Chunk("fmt ", record) + Chunk("data", encoded))).release(), soOwned);
  ASSERT_TRUE(wave.Valid());

  const WAVEFORMATEX target = Pcm(Stereo16bit22050Hz);
  std::vector<uint8_t> direct;
  uint32_t directSize = 0;
  const bool directRoute = ConvertWaveData(wave.WaveFormat(), encoded.data(), encodedSize, directSize, direct, &target);
  ASSERT_TRUE(wave.ConvertFormat(&target)) << (directRoute ? "direct route" : "through PCM");
  EXPECT_TRUE(wave.IsFormat(&target));
  EXPECT_NEAR(double(wave.Length()), 500.0, 70.0);
}
