// Puts the main header's frame period and the sound stream's length of a closed AVI file
// right, and a file whose disk filled kept to its whole frames: see avi_headers.h.
#include "engine/capture/avi_headers.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/capture/riff_file.h"

namespace engine {

namespace {

// The offsets of the fields to correct, and what the streams hold.
struct Fields : ChunkVisitor {
  explicit Fields(RiffFile& f) : file(f) {}
  RiffFile& file;
  uint64_t avih = 0;        // file offset of the main header's data, 0 when none
  uint64_t videoStrh = 0;   // of the video stream header's data
  uint64_t audioStrh = 0;   // of the sound stream header's data
  uint16_t blockAlign = 0;  // the sound format's block
  uint64_t audioBytes = 0;  // sound held in 'movi'
  char lastType[4] = {0, 0, 0, 0};  // the type of the last stream header

  bool Chunk(const char id[4], uint64_t data, uint32_t size, bool inMovi) override {
    if (inMovi) {
      if (id[2] == 'w' && id[3] == 'b') audioBytes += size;
    } else if (IsChunk(id, "avih") && size >= 4) {
      avih = data;
    } else if (IsChunk(id, "strh") && size >= 48) {
      if (!file.Read(data, lastType, 4)) return false;
      if (IsChunk(lastType, "vids") && !videoStrh) videoStrh = data;
      if (IsChunk(lastType, "auds") && !audioStrh) audioStrh = data;
    } else if (IsChunk(id, "strf") && size >= 14 && IsChunk(lastType, "auds")) {
      if (!file.Read(data + 12, &blockAlign, 2)) return false;
    }
    return true;
  }
};

bool ReadU32(RiffFile& file, uint64_t at, uint32_t& value) { return file.Read(at, &value, 4); }

}  // namespace

bool CorrectAviHeaders(const std::wstring& path) {
  RiffFile file(path, RiffFile::Access::ReadWrite);
  uint32_t riffSize = 0;
  if (!file.IsForm("AVI ", riffSize)) return false;
  const uint64_t end = 8 + static_cast<uint64_t>(riffSize);
  Fields fields(file);
  if (!WalkChunks(file, 12, end <= file.size() ? end : file.size(), fields)) return false;

  bool ok = true;
  uint32_t scale = 0, rate = 0, period = 0;
  if (fields.avih && fields.videoStrh && ReadU32(file, fields.videoStrh + 20, scale) &&
      ReadU32(file, fields.videoStrh + 24, rate) && rate > 0 && ReadU32(file, fields.avih, period)) {
    const uint64_t wanted = (1000000ull * scale + rate / 2) / rate;
    if (wanted <= UINT32_MAX && period != wanted) ok = file.WriteU32(fields.avih, static_cast<uint32_t>(wanted));
  }
  uint32_t length = 0, sampleSize = 0;
  if (fields.audioStrh && ReadU32(file, fields.audioStrh + 32, length) &&
      ReadU32(file, fields.audioStrh + 44, sampleSize)) {
    const uint32_t block = sampleSize ? sampleSize : fields.blockAlign;
    if (block > 0) {
      const uint64_t wanted = fields.audioBytes / block;
      if (wanted <= UINT32_MAX && length != wanted)
        ok = file.WriteU32(fields.audioStrh + 32, static_cast<uint32_t>(wanted)) && ok;
    }
  }
  return ok;
}

int64_t KeepWholeFrames(const std::wstring& path, uint64_t reached) {
  RiffFile file(path, RiffFile::Access::ReadWrite);
  uint32_t riffSize = 0;
  if (!file.IsForm("AVI ", riffSize)) return -1;
  const uint64_t end = 8 + static_cast<uint64_t>(riffSize);
  if (end > file.size()) return -1;
  Fields fields(file);
  // The top level: the headers' list, the 'movi' list, then its index. Only the headers are
  // walked: past reached 'movi' may hold bytes that were never written.
  uint64_t movi = 0, moviEnd = 0, index = 0;
  uint32_t indexSize = 0;
  for (uint64_t at = 12; at + 8 <= end;) {
    char id[4], type[4];
    uint32_t chunk = 0;
    if (!file.Header(at, id, chunk) || at + 8 + chunk > end) return -1;
    const bool list = IsChunk(id, "LIST") && chunk >= 4 && file.Read(at + 8, type, 4);
    if (list && IsChunk(type, "hdrl")) {
      if (!WalkChunks(file, at + 12, at + 8 + chunk, fields, false, 1)) return -1;
    } else if (list && IsChunk(type, "movi")) {
      movi = at;
      moviEnd = at + 8 + chunk;
    } else if (IsChunk(id, "idx1")) {
      index = at;
      indexSize = chunk;
    }
    at += 8 + PaddedChunk(chunk);
  }
  if (!fields.avih || !fields.videoStrh || fields.audioStrh || !movi || !index || index < moviEnd) return -1;
  // The positions in order, each whole when its chunk ends below reached; what lies past the
  // first cut one may be bytes that never reached the disk (a chunk in a 'rec ' list is not of
  // this writer's files).
  uint64_t kept = 0, keptEnd = movi + 12;
  bool cut = false;
  for (uint64_t at = movi + 12; at + 8 <= moviEnd;) {
    char id[4];
    uint32_t chunk = 0;
    if (at + 8 > reached || !file.Header(at, id, chunk)) {
      cut = true;
      break;
    }
    if (id[2] != 'd' || (id[3] != 'c' && id[3] != 'b')) return -1;
    if (at + 8 + chunk > reached) {
      cut = true;
      break;
    }
    ++kept;
    keptEnd = at + 8 + PaddedChunk(chunk);
    at = keptEnd;
  }
  if (!cut) return static_cast<int64_t>(kept);
  if (static_cast<uint64_t>(indexSize) < (kept + 1) * 16) return -1;
  std::vector<unsigned char> entries(static_cast<size_t>(kept * 16) + 8);
  std::memcpy(entries.data(), "idx1", 4);
  const uint32_t entriesSize = static_cast<uint32_t>(kept * 16);
  std::memcpy(entries.data() + 4, &entriesSize, 4);
  if (kept > 0 && !file.Read(index + 8, entries.data() + 8, entriesSize)) return -1;
  // The index and the file's end first, then the sizes and lengths: a failure on the way leaves
  // a file that reads as one not whole, never one that claims what it does not hold.
  if (!file.Write(keptEnd, entries.data(), static_cast<DWORD>(entries.size())) ||
      !file.EndAt(keptEnd + entries.size()))
    return -1;
  const uint64_t newEnd = keptEnd + entries.size();
  const uint32_t positions = static_cast<uint32_t>(kept);
  if (!file.WriteU32(movi + 4, static_cast<uint32_t>(keptEnd - movi - 8)) ||
      !file.WriteU32(4, static_cast<uint32_t>(newEnd - 8)) || !file.WriteU32(fields.avih + 16, positions) ||
      !file.WriteU32(fields.videoStrh + 32, positions))
    return -1;
  return static_cast<int64_t>(kept);
}

}  // namespace engine
