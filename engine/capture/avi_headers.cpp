// Puts the main header's frame period and the sound stream's length of a closed AVI file
// right: see avi_headers.h. Only chunk headers are read (the data is sought over), and every
// size is checked against the file's end before it is followed.
#include "engine/capture/avi_headers.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/unique.h"

namespace engine {

namespace {

// Lists nest a few levels deep in a recording; a file that nests deeper is not one.
constexpr int kMaxDepth = 16;

struct Fields {
  uint64_t avih = 0;        // file offset of the main header's data, 0 when none
  uint64_t videoStrh = 0;   // of the video stream header's data
  uint64_t audioStrh = 0;   // of the sound stream header's data
  uint16_t blockAlign = 0;  // the sound format's block
  uint64_t audioBytes = 0;  // sound held in 'movi'
};

class Walker {
 public:
  Walker(HANDLE file, uint64_t size, Fields& out) : file_(file), size_(size), out_(out) {}

  bool Read(uint64_t at, void* buffer, DWORD bytes) {
    if (at + bytes > size_) return false;
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(at);
    DWORD got = 0;
    return ::SetFilePointerEx(file_, to, nullptr, FILE_BEGIN) && ::ReadFile(file_, buffer, bytes, &got, nullptr) &&
           got == bytes;
  }

  bool Walk(uint64_t at, uint64_t end, bool inMovi, int depth) {
    if (depth > kMaxDepth) return false;
    char lastType[4] = {0, 0, 0, 0};  // the type of the last stream header of this list
    while (at + 8 <= end) {
      unsigned char head[8];
      if (!Read(at, head, 8)) return false;
      uint32_t size = 0;
      std::memcpy(&size, head + 4, 4);
      const uint64_t data = at + 8;
      if (data + size > end) return false;
      const char* id = reinterpret_cast<const char*>(head);
      if (std::memcmp(id, "LIST", 4) == 0) {
        char type[4];
        if (size < 4 || !Read(data, type, 4)) return false;
        if (!Walk(data + 4, data + size, inMovi || std::memcmp(type, "movi", 4) == 0, depth + 1)) return false;
      } else if (inMovi) {
        if (id[2] == 'w' && id[3] == 'b') out_.audioBytes += size;
      } else if (std::memcmp(id, "avih", 4) == 0 && size >= 4) {
        out_.avih = data;
      } else if (std::memcmp(id, "strh", 4) == 0 && size >= 48) {
        if (!Read(data, lastType, 4)) return false;
        if (std::memcmp(lastType, "vids", 4) == 0 && !out_.videoStrh) out_.videoStrh = data;
        if (std::memcmp(lastType, "auds", 4) == 0 && !out_.audioStrh) out_.audioStrh = data;
      } else if (std::memcmp(id, "strf", 4) == 0 && size >= 14 && std::memcmp(lastType, "auds", 4) == 0) {
        if (!Read(data + 12, &out_.blockAlign, 2)) return false;
      }
      at = data + size + (size & 1u);
    }
    return true;
  }

 private:
  HANDLE file_;
  uint64_t size_;
  Fields& out_;
};

bool ReadU32(Walker& walker, uint64_t at, uint32_t& value) { return walker.Read(at, &value, 4); }

bool WriteU32(HANDLE file, uint64_t at, uint32_t value) {
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(at);
  DWORD put = 0;
  return ::SetFilePointerEx(file, to, nullptr, FILE_BEGIN) && ::WriteFile(file, &value, 4, &put, nullptr) && put == 4;
}

}  // namespace

bool CorrectAviHeaders(const std::wstring& path) {
  base::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE || file.get() == nullptr) return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) return false;
  const uint64_t fileSize = static_cast<uint64_t>(size.QuadPart);
  Fields fields;
  Walker walker(file.get(), fileSize, fields);
  unsigned char riff[12];
  if (!walker.Read(0, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "AVI ", 4) != 0)
    return false;
  uint32_t riffSize = 0;
  std::memcpy(&riffSize, riff + 4, 4);
  const uint64_t end = 8 + static_cast<uint64_t>(riffSize);
  if (!walker.Walk(12, end <= fileSize ? end : fileSize, false, 0)) return false;

  bool ok = true;
  uint32_t scale = 0, rate = 0, period = 0;
  if (fields.avih && fields.videoStrh && ReadU32(walker, fields.videoStrh + 20, scale) &&
      ReadU32(walker, fields.videoStrh + 24, rate) && rate > 0 && ReadU32(walker, fields.avih, period)) {
    const uint64_t wanted = (1000000ull * scale + rate / 2) / rate;
    if (wanted <= UINT32_MAX && period != wanted) ok = WriteU32(file.get(), fields.avih, static_cast<uint32_t>(wanted));
  }
  uint32_t length = 0, sampleSize = 0;
  if (fields.audioStrh && ReadU32(walker, fields.audioStrh + 32, length) &&
      ReadU32(walker, fields.audioStrh + 44, sampleSize)) {
    const uint32_t block = sampleSize ? sampleSize : fields.blockAlign;
    if (block > 0) {
      const uint64_t wanted = fields.audioBytes / block;
      if (wanted <= UINT32_MAX && length != wanted)
        ok = WriteU32(file.get(), fields.audioStrh + 32, static_cast<uint32_t>(wanted)) && ok;
    }
  }
  return ok;
}

int64_t KeepWholeFrames(const std::wstring& path, uint64_t reached) {
  base::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE || file.get() == nullptr) return -1;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) return -1;
  const uint64_t fileSize = static_cast<uint64_t>(size.QuadPart);
  Fields fields;
  Walker walker(file.get(), fileSize, fields);
  unsigned char riff[12];
  if (!walker.Read(0, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "AVI ", 4) != 0)
    return -1;
  uint32_t riffSize = 0;
  std::memcpy(&riffSize, riff + 4, 4);
  const uint64_t end = 8 + static_cast<uint64_t>(riffSize);
  if (end > fileSize) return -1;
  // The top level: the headers' list, the 'movi' list, then its index. Only the headers are
  // walked: past reached 'movi' may hold bytes that were never written.
  uint64_t movi = 0, moviEnd = 0, index = 0;
  uint32_t indexSize = 0;
  for (uint64_t at = 12; at + 8 <= end;) {
    unsigned char head[12];
    if (!walker.Read(at, head, 8)) return -1;
    uint32_t chunk = 0;
    std::memcpy(&chunk, head + 4, 4);
    if (at + 8 + chunk > end) return -1;
    const bool list = std::memcmp(head, "LIST", 4) == 0 && chunk >= 4 && walker.Read(at + 8, head + 8, 4);
    if (list && std::memcmp(head + 8, "hdrl", 4) == 0) {
      if (!walker.Walk(at + 12, at + 8 + chunk, false, 1)) return -1;
    } else if (list && std::memcmp(head + 8, "movi", 4) == 0) {
      movi = at;
      moviEnd = at + 8 + chunk;
    } else if (std::memcmp(head, "idx1", 4) == 0) {
      index = at;
      indexSize = chunk;
    }
    at += 8 + static_cast<uint64_t>(chunk) + (chunk & 1u);
  }
  if (!fields.avih || !fields.videoStrh || fields.audioStrh || !movi || !index || index < moviEnd) return -1;
  // The positions in order, each whole when its chunk ends below reached; what lies past the
  // first cut one may be bytes that never reached the disk (a chunk in a 'rec ' list is not of
  // this writer's files).
  uint64_t kept = 0, keptEnd = movi + 12;
  bool cut = false;
  for (uint64_t at = movi + 12; at + 8 <= moviEnd;) {
    unsigned char head[8];
    uint32_t chunk = 0;
    if (at + 8 > reached || !walker.Read(at, head, 8)) {
      cut = true;
      break;
    }
    if (head[2] != 'd' || (head[3] != 'c' && head[3] != 'b')) return -1;
    std::memcpy(&chunk, head + 4, 4);
    if (at + 8 + chunk > reached) {
      cut = true;
      break;
    }
    ++kept;
    keptEnd = at + 8 + static_cast<uint64_t>(chunk) + (chunk & 1u);
    at = keptEnd;
  }
  if (!cut) return static_cast<int64_t>(kept);
  if (static_cast<uint64_t>(indexSize) < (kept + 1) * 16) return -1;
  std::vector<unsigned char> entries(static_cast<size_t>(kept * 16) + 8);
  std::memcpy(entries.data(), "idx1", 4);
  const uint32_t entriesSize = static_cast<uint32_t>(kept * 16);
  std::memcpy(entries.data() + 4, &entriesSize, 4);
  if (kept > 0 && !walker.Read(index + 8, entries.data() + 8, entriesSize)) return -1;
  // The index first, then the sizes and lengths, then the file's end: a failure on the way
  // leaves a file that reads as one not whole, never one that claims what it does not hold.
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(keptEnd);
  DWORD put = 0;
  if (!::SetFilePointerEx(file.get(), to, nullptr, FILE_BEGIN) ||
      !::WriteFile(file.get(), entries.data(), static_cast<DWORD>(entries.size()), &put, nullptr) ||
      put != entries.size() || !::SetEndOfFile(file.get()))
    return -1;
  const uint64_t newEnd = keptEnd + entries.size();
  const uint32_t positions = static_cast<uint32_t>(kept);
  if (!WriteU32(file.get(), movi + 4, static_cast<uint32_t>(keptEnd - movi - 8)) ||
      !WriteU32(file.get(), 4, static_cast<uint32_t>(newEnd - 8)) || !WriteU32(file.get(), fields.avih + 16, positions) ||
      !WriteU32(file.get(), fields.videoStrh + 32, positions))
    return -1;
  return static_cast<int64_t>(kept);
}

}  // namespace engine
