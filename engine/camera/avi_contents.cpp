// What an AVI or WAVE file holds, from a walk over its RIFF chunks (see avi_contents.h).
#include "engine/camera/avi_contents.h"

#include <cstring>

#include "engine/capture/riff_file.h"

namespace engine {

namespace {

struct AviWalk : ChunkVisitor {
  explicit AviWalk(RiffFile& f, AviContents& o) : file(f), out(o) {}
  RiffFile& file;
  AviContents& out;
  bool sawMovi = false, sawIndex = false, sawVideoHeader = false;

  void List(const char type[4]) override {
    if (IsChunk(type, "movi")) sawMovi = true;
  }
  bool Chunk(const char id[4], uint64_t data, uint32_t size, bool inMovi) override {
    if (inMovi) {
      if ((id[2] == 'd' && (id[3] == 'c' || id[3] == 'b'))) {
        ++out.videoChunks;
        if (size > 0) ++out.videoFrames;
      } else if (id[2] == 'w' && id[3] == 'b') {
        ++out.audioChunks;
        out.audioBytes += size;
      }
    } else if (IsChunk(id, "avih") && size >= 20) {
      unsigned char raw[20];
      if (!file.Read(data, raw, 20)) return false;
      std::memcpy(&out.headerFrames, raw + 16, 4);
    } else if (IsChunk(id, "strh") && size >= 36 && !sawVideoHeader) {
      unsigned char raw[36];
      if (!file.Read(data, raw, 36)) return false;
      if (std::memcmp(raw, "vids", 4) == 0) {
        sawVideoHeader = true;
        std::memcpy(&out.videoLength, raw + 32, 4);
      }
    } else if (IsChunk(id, "idx1")) {
      sawIndex = true;
    }
    return true;
  }
};

}  // namespace

AviContents ReadAviContents(const std::wstring& path) {
  AviContents out;
  RiffFile file(path, RiffFile::Access::Read);
  uint32_t size = 0;
  if (!file.IsForm("AVI ", size)) return out;
  const uint64_t end = 8 + static_cast<uint64_t>(size);
  AviWalk walk(file, out);
  // A RIFF size that overruns the file (a disk that filled) is walked as far as the file goes.
  const bool inside = WalkChunks(file, 12, end <= file.size() ? end : file.size(), walk);
  out.readable = inside || out.videoChunks > 0;
  // AVIFile may leave a few bytes past the RIFF chunk; a file cut short ends inside it.
  out.whole = inside && end <= file.size() && walk.sawMovi && walk.sawIndex;
  return out;
}

WaveContents ReadWaveContents(const std::wstring& path) {
  WaveContents out;
  RiffFile file(path, RiffFile::Access::Read);
  uint32_t size = 0;
  if (!file.IsForm("WAVE", size)) return out;
  const uint64_t end = file.size();
  char id[4];
  bool format = false;
  for (uint64_t at = 12; at + 8 <= end;) {
    if (!file.Header(at, id, size)) return out;
    if (IsChunk(id, "fmt ") && size >= 14) {
      unsigned char raw[14];
      if (!file.Read(at + 8, raw, 14)) return out;
      std::memcpy(&out.bytesPerSecond, raw + 8, 4);
      std::memcpy(&out.blockAlign, raw + 12, 2);
      format = true;
    } else if (IsChunk(id, "data")) {
      if (at + 8 + size > end) return out;
      out.dataBytes = size;
      out.readable = format;
      return out;
    }
    at += 8 + PaddedChunk(size);
  }
  return out;
}

}  // namespace engine
