// RIFF WAVE over streams: the I/O procedure, the header layout written through the platform's
// chunk routines, and header reading on valid and malformed input.
#include <gtest/gtest.h>

#include "audio/scWaveUtils.h"
#include "tests/audio/wave_test_util.h"

using namespace audio;
using namespace wavetest;

namespace {

struct Parsed {
  bool ok = false;
  Bytes format;  // the record as read (18 + cbSize bytes)
  uint32_t dataSize = 0, dataOffset = 0;
};

Parsed Parse(const Bytes& file) {
  auto stream = StreamOf(file);
  Parsed p;
  WaveFormatPtr format;
  p.ok = ReadStreamWaveHeader(*stream, format, p.dataSize, p.dataOffset);
  if (format) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(format.get());
    p.format.assign(bytes, bytes + WaveFormatSize(*format));
  }
  return p;
}

// A stream whose every operation fails with a stream error.
class BrokenStream : public TStream {
 public:
  int32_t Read(void*, int32_t) override { throw EReadError(L"broken"); }
  int32_t Write(const void*, int32_t) override { throw EWriteError(L"broken"); }
  int64_t Seek(int64_t, SeekOrigin) override { throw EReadError(L"broken"); }
  void SetSize(int64_t) override { throw EWriteError(L"broken"); }
};

}  // namespace

TEST(StreamIOProc, HandlesKeepTheirOwnPositions) {
  auto stream = StreamOf(Text("0123456789"));
  stream->SetPosition(7);
  UniqueMmio a(OpenStreamMmio(stream.get())), b(OpenStreamMmio(stream.get()));
  ASSERT_TRUE(a && b);
  char buf[4] = {};
  EXPECT_EQ(::mmioRead(a.get(), buf, 3), 3);
  EXPECT_EQ(std::string(buf, 3), "012") << "opening starts at 0";
  EXPECT_EQ(::mmioSeek(b.get(), 5, SEEK_SET), 5);
  EXPECT_EQ(::mmioRead(b.get(), buf, 2), 2);
  EXPECT_EQ(std::string(buf, 2), "56");
  EXPECT_EQ(::mmioSeek(a.get(), 2, SEEK_CUR), 5) << "a's position is its own";
  EXPECT_EQ(::mmioSeek(a.get(), -1, SEEK_END), 9);
  EXPECT_EQ(::mmioRead(a.get(), buf, 4), 1) << "a short read at the end";
  EXPECT_EQ(::mmioWrite(b.get(), "AB", 2), 2);
  EXPECT_EQ(BytesOf(*stream), Text("0123456AB9"));
  EXPECT_EQ(::mmioSeek(a.get(), -20, SEEK_CUR), -1) << "no position before the start";

  BrokenStream broken;
  MMIOINFO info{};
  info.adwInfo[0] = DWORD(reinterpret_cast<uintptr_t>(static_cast<TStream*>(&broken)));
  LPSTR raw = reinterpret_cast<LPSTR>(&info);
  EXPECT_EQ(StreamIOProc(raw, MMIOM_READ, LPARAM(buf), 2), -1) << "a stream error becomes -1";
  EXPECT_EQ(StreamIOProc(raw, MMIOM_WRITE, LPARAM(buf), 2), -1);
  EXPECT_EQ(StreamIOProc(raw, MMIOM_SEEK, 0, SEEK_SET), -1);
  EXPECT_EQ(StreamIOProc(raw, MMIOM_CLOSE, 0, 0), 0);
  EXPECT_EQ(StreamIOProc(raw, MMIOM_RENAME, 0, 0), 0) << "other messages";
  EXPECT_EQ(StreamIOProc(nullptr, MMIOM_READ, LPARAM(buf), 2), -1) << "no info record";
  info.adwInfo[0] = 0;
  EXPECT_EQ(StreamIOProc(raw, MMIOM_OPEN, 0, 0), -1) << "no stream";
}

TEST(WaveHeader, LayoutWrittenThroughTheChunkRoutines) {
  const WAVEFORMATEX format = Pcm(Mono16bit8000Hz);
  for (uint32_t size : {0u, 8000u, 8001u}) {
    SCOPED_TRACE(size);
    TMemoryStream stream;
    stream.WriteBuffer("old content that must go", 24);
    MMCKINFO riffChunk, dataChunk;
    UniqueMmio handle(CreateStreamWave(stream, format, riffChunk, dataChunk));
    ASSERT_TRUE(handle);
    EXPECT_EQ(::mmioSeek(handle.get(), 0, SEEK_CUR), 46) << "the audio starts at 46";
    const Bytes audio = Ramp8(size);
    if (size) {
      ASSERT_EQ(::mmioWrite(handle.get(), reinterpret_cast<const char*>(audio.data()), LONG(size)), LONG(size));
    }
    ASSERT_EQ(::mmioAscend(handle.get(), &dataChunk, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(::mmioAscend(handle.get(), &riffChunk, 0), MMSYSERR_NOERROR);
    handle.reset();

    const Bytes file = BytesOf(stream);
    const uint32_t padded = size + (size & 1);
    ASSERT_EQ(file.size(), 46 + padded);
    const Bytes expectedHeader = Text("RIFF") + U32(38 + padded) + Text("WAVEfmt ") + U32(18) + RecordBytes(format) +
                                 Text("data") + U32(size);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 46), expectedHeader);
    EXPECT_EQ(Bytes(file.begin() + 46, file.begin() + 46 + size), audio);
    if (size & 1) {
      EXPECT_EQ(file.back(), 0) << "the pad byte";
    }

    Parsed back = Parse(file);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.format, RecordBytes(format));
    EXPECT_EQ(back.dataSize, size);
    EXPECT_EQ(back.dataOffset, 46u);
  }
}

TEST(WaveHeader, ExtraFormatBytesAreWrittenWhole) {
  WaveFormatPtr format = NewWaveFormat(22);
  *format = Pcm(Stereo16bit22050Hz);
  format->wFormatTag = 0x0011;
  format->cbSize = 4;
  std::memcpy(reinterpret_cast<uint8_t*>(format.get()) + 18, "\x01\x02\x03\x04", 4);
  TMemoryStream stream;
  MMCKINFO riffChunk, dataChunk;
  UniqueMmio handle(CreateStreamWave(stream, *format, riffChunk, dataChunk));
  ASSERT_TRUE(handle);
  ::mmioAscend(handle.get(), &dataChunk, 0);
  ::mmioAscend(handle.get(), &riffChunk, 0);
  handle.reset();
  const Bytes file = BytesOf(stream);
  EXPECT_EQ(LoadU32(file, 16), 22u) << "'fmt ' size is 18 + cbSize";
  Parsed back = Parse(file);
  ASSERT_TRUE(back.ok);
  ASSERT_EQ(back.format.size(), 22u);
  EXPECT_EQ(std::memcmp(back.format.data(), format.get(), 22), 0);
  EXPECT_EQ(back.dataOffset, 50u);
}

TEST(WaveHeader, MalformedInputTable) {
  const WAVEFORMATEX f16 = Pcm(Mono16bit8000Hz);
  const Bytes rec = RecordBytes(f16);
  const Bytes data = Ramp8(64);
  WAVEFORMATEX hugeCb = f16;
  hugeCb.cbSize = 0xFFFF;
  Bytes rec20 = rec + Bytes{0xAA, 0xBB};
  rec20[16] = 200;  // claims 200 extra bytes, holds 2

  struct Case {
    const char* what;
    Bytes file;
    bool valid;
    uint32_t formatSize = 0, dataSize = 0, dataOffset = 0;
  };
  const Case cases[] = {
      {"a 'fmt ' of 14 bytes", Riff(Chunk("fmt ", Bytes(rec.begin(), rec.begin() + 14)) + Chunk("data", data)), true,
       18, 64, 42},
      {"a 'fmt ' of 16 bytes", Riff(Chunk("fmt ", Bytes(rec.begin(), rec.begin() + 16)) + Chunk("data", data)), true,
       18, 64, 44},
      {"a 'fmt ' of 13 bytes", Riff(Chunk("fmt ", Bytes(rec.begin(), rec.begin() + 13)) + Chunk("data", data)), false},
      {"an odd 'fmt ' with its pad byte", Riff(Chunk("fmt ", rec + Bytes{7}) + Chunk("data", data)), true, 18, 64, 48},
      {"'fmt ' of 0 bytes", Riff(Chunk("fmt ", {}) + Chunk("data", data)), false},
      {"data before 'fmt '", Riff(Chunk("data", data) + Chunk("fmt ", rec)), false},
      {"no data", Riff(Chunk("fmt ", rec)), false},
      {"form type AVI", Riff(Chunk("fmt ", rec) + Chunk("data", data), "AVI "), false},
      {"not RIFF at all", Text("MThd") + U32(6) + Bytes(6, 0), false},
      {"chunk size 0xFFFFFFF8 before 'fmt '",
       Riff(Chunk("junk", {}, 0xFFFFFFF8) + Chunk("fmt ", rec) + Chunk("data", data)), false},
      {"chunk size 0xFFFFFFF8 before data",
       Riff(Chunk("fmt ", rec) + Chunk("junk", {}, 0xFFFFFFF8) + Chunk("data", data)), false},
      {"top-level chunk size 0xFFFFFFF8", Chunk("junk", {}, 0xFFFFFFF8) + SimpleWave(f16, data), false},
      {"'fmt ' size 0x7FFFFFFF", Riff(Chunk("fmt ", rec, 0x7FFFFFFF) + Chunk("data", data)), false},
      {"'fmt ' size 0xFFFFFFFF", Riff(Chunk("fmt ", rec, 0xFFFFFFFF) + Chunk("data", data)), false},
      {"'fmt ' past the end", Riff(Chunk("fmt ", rec, 100)), false},
      {"'fmt ' over 64 KiB", Riff(Chunk("fmt ", Bytes(65538, 1)) + Chunk("data", data)), false},
      {"huge cbSize", Riff(Chunk("fmt ", RecordBytes(hugeCb)) + Chunk("data", data)), true, 18, 64, 46},
      {"cbSize past its chunk", Riff(Chunk("fmt ", rec20) + Chunk("data", data)), true, 20, 64, 48},
      {"data size past the end", Riff(Chunk("fmt ", rec) + Chunk("data", data, 1000000)), true, 18, 64, 46},
      {"data size 0xFFFFFFFF", Riff(Chunk("fmt ", rec) + Chunk("data", data, 0xFFFFFFFF)), true, 18, 64, 46},
      {"RIFF size past the end", Riff(Chunk("fmt ", rec) + Chunk("data", data), "WAVE", 0xFFFFFFF0), true, 18, 64, 46},
      {"RIFF size 0 (an unfinished recording)", Riff(Chunk("fmt ", rec) + Chunk("data", {}), "WAVE", 0), false},
      {"'fmt ' after the RIFF chunk's end", Riff({}, "WAVE", 4) + Chunk("fmt ", rec) + Chunk("data", data), false},
      {"a chunk before RIFF", Chunk("junk", Text("abc")) + SimpleWave(f16, data), true, 18, 64, 58},
      {"an empty file", {}, false},
  };
  for (const Case& c : cases) {
    auto result = std::make_shared<Parsed>();
    const Bytes file = c.file;
    ASSERT_TRUE(FinishesWithin([file, result] { *result = Parse(file); }, std::chrono::seconds(10)))
        << c.what << ": reading did not finish";
    EXPECT_EQ(result->ok, c.valid) << c.what;
    if (result->ok != c.valid) continue;
    if (!c.valid) {
      EXPECT_TRUE(result->format.empty()) << c.what;
      continue;
    }
    EXPECT_EQ(result->format.size(), c.formatSize) << c.what;
    EXPECT_EQ(result->dataSize, c.dataSize) << c.what;
    EXPECT_EQ(result->dataOffset, c.dataOffset) << c.what;
    ASSERT_GE(result->format.size(), 18u) << c.what;
    EXPECT_EQ(std::memcmp(result->format.data(), rec.data(), 14), 0) << c.what;
  }
}

TEST(WaveHeader, TruncationAtEveryLength) {
  const Bytes whole = SimpleWave(Pcm(Mono8Bit8000Hz), Ramp8(31));  // 46 + 31 + pad
  for (size_t cut = 0; cut <= whole.size(); ++cut) {
    const Bytes part(whole.begin(), whole.begin() + cut);
    auto result = std::make_shared<Parsed>();
    ASSERT_TRUE(FinishesWithin([part, result] { *result = Parse(part); }, std::chrono::seconds(10))) << cut;
    const bool headerComplete = cut >= 46;
    EXPECT_EQ(result->ok, headerComplete) << "cut at " << cut;
    if (headerComplete) {
      EXPECT_EQ(result->dataSize, std::min<uint32_t>(uint32_t(cut - 46), 31)) << "cut at " << cut;
    }
  }
}

TEST(WaveHeader, ReadingKeepsPositions) {
  auto stream = StreamOf(SimpleWave(Pcm(Mono16bit8000Hz), Ramp16(10)));
  stream->SetPosition(13);
  WaveFormatPtr format;
  uint32_t size = 0, offset = 0;
  ASSERT_TRUE(ReadStreamWaveHeader(*stream, format, size, offset));
  EXPECT_EQ(stream->Position(), 13);

  UniqueMmio handle(OpenStreamMmio(stream.get()));
  ASSERT_EQ(::mmioSeek(handle.get(), 21, SEEK_SET), 21);
  ASSERT_TRUE(ReadWaveHeader(handle.get(), format, size, offset));
  EXPECT_EQ(::mmioSeek(handle.get(), 0, SEEK_CUR), 21);
  EXPECT_EQ(size, 20u);

  TMemoryStream empty;
  format = NewWaveFormat();
  EXPECT_FALSE(ReadStreamWaveHeader(empty, format, size, offset));
  EXPECT_EQ(format, nullptr);
}
