// Helpers of the wave library tests: byte builders for RIFF files, PCM records, memory
// streams filled from bytes, and a runner that fails a case instead of hanging the suite.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/scWaveUtils.h"
#include "audio/streams.h"

namespace wavetest {

using Bytes = std::vector<uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline Bytes Text(const char* s) { return Bytes(s, s + std::strlen(s)); }

inline Bytes U32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

inline uint32_t LoadU32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// A chunk with the body's size (or the size given), padded to even unless told otherwise.
inline Bytes Chunk(const char* id, const Bytes& body, int64_t size = -1, bool pad = true) {
  Bytes out = Text(id) + U32(size < 0 ? uint32_t(body.size()) : uint32_t(size)) + body;
  if (pad && body.size() % 2) out.push_back(0);
  return out;
}

inline Bytes Riff(const Bytes& body, const char* form = "WAVE", int64_t size = -1) {
  return Chunk("RIFF", Text(form) + body, size);
}

inline WAVEFORMATEX Pcm(audio::TPCMFormat pcm) {
  WAVEFORMATEX f{};
  audio::MakePCMFormat(f, pcm);
  return f;
}

inline Bytes RecordBytes(const WAVEFORMATEX& f) {
  const auto* p = reinterpret_cast<const uint8_t*>(&f);
  return Bytes(p, p + sizeof f);
}

inline Bytes Ramp8(size_t n) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = uint8_t(i * 7 + 3);
  return out;
}

// A 16-bit ramp: sample i is i (mod 32768), so every position can be recognised.
inline Bytes Ramp16(size_t samples, int first = 0) {
  Bytes out(samples * 2);
  for (size_t i = 0; i < samples; ++i) {
    int16_t v = int16_t((first + int(i)) % 32768);
    std::memcpy(&out[2 * i], &v, 2);
  }
  return out;
}

inline Bytes SimpleWave(const WAVEFORMATEX& f, const Bytes& data) {
  return Riff(Chunk("fmt ", RecordBytes(f)) + Chunk("data", data));
}

inline std::unique_ptr<audio::TMemoryStream> StreamOf(const Bytes& bytes) {
  auto s = std::make_unique<audio::TMemoryStream>();
  if (!bytes.empty()) s->WriteBuffer(bytes.data(), int32_t(bytes.size()));
  s->SetPosition(0);
  return s;
}

inline Bytes BytesOf(audio::TStream& s) {
  Bytes out(size_t(s.Size()));
  int64_t keep = s.Position();
  s.SetPosition(0);
  if (!out.empty()) s.ReadBuffer(out.data(), int32_t(out.size()));
  s.SetPosition(keep);
  return out;
}

inline Bytes ReadFileBytes(const std::wstring& path) {
  audio::TFileStream f(path, audio::fmOpenRead | audio::fmShareDenyNone);
  return BytesOf(f);
}

// Runs body on a thread of its own; false when it has not finished within the limit (the
// thread is then left behind, owning everything it uses, so the rest of the suite runs on).
inline bool FinishesWithin(std::function<void()> body, std::chrono::milliseconds limit) {
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread worker([body = std::move(body), done] {
    body();
    *done = true;
  });
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!*done && std::chrono::steady_clock::now() < deadline) ::Sleep(2);
  if (*done) {
    worker.join();
    return true;
  }
  worker.detach();
  return false;
}

}  // namespace wavetest
