// A walk over the RIFF chunks of an AVI or WAVE file (see avi_contents.h): headers read,
// data skipped, every size checked against the file's end before it is followed.
#include "engine/camera/avi_contents.h"

#include <windows.h>

#include <cstring>

#include "base/unique.h"

namespace engine {

namespace {

class Reader {
 public:
  explicit Reader(const std::wstring& path)
      : file_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {
    LARGE_INTEGER size{};
    if (ok() && ::GetFileSizeEx(file_.get(), &size)) size_ = static_cast<uint64_t>(size.QuadPart);
  }
  bool ok() const { return file_.get() != INVALID_HANDLE_VALUE && file_.get() != nullptr; }
  uint64_t size() const { return size_; }
  bool Read(uint64_t at, void* buffer, DWORD bytes) {
    if (at + bytes > size_) return false;
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(at);
    DWORD got = 0;
    return ::SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN) &&
           ::ReadFile(file_.get(), buffer, bytes, &got, nullptr) && got == bytes;
  }
  bool Header(uint64_t at, char id[4], uint32_t& size) {
    unsigned char raw[8];
    if (!Read(at, raw, 8)) return false;
    std::memcpy(id, raw, 4);
    std::memcpy(&size, raw + 4, 4);
    return true;
  }

 private:
  base::UniqueFile file_;
  uint64_t size_ = 0;
};

bool Is(const char id[4], const char* name) { return std::memcmp(id, name, 4) == 0; }

// Lists nest a few levels deep in a recording (RIFF, hdrl, strl; movi, rec ). A file that nests
// deeper is not one: its walk stops there instead of running the stack out.
constexpr int kMaxListDepth = 16;
uint64_t Padded(uint32_t size) { return size + (size & 1u); }

struct AviWalk {
  Reader& reader;
  AviContents& out;
  bool sawMovi = false, sawIndex = false, sawVideoHeader = false;

  // The chunks from begin to end (a list's contents); false when a size leaves the range.
  bool Walk(uint64_t begin, uint64_t end, bool inMovi, int depth = 0) {
    if (depth > kMaxListDepth) return false;
    uint64_t at = begin;
    while (at + 8 <= end) {
      char id[4];
      uint32_t size = 0;
      if (!reader.Header(at, id, size)) return false;
      const uint64_t data = at + 8;
      if (data + size > end) return false;
      if (Is(id, "LIST") || Is(id, "RIFF")) {
        char type[4];
        if (size < 4 || !reader.Read(data, type, 4)) return false;
        const bool movi = Is(type, "movi");
        if (movi) sawMovi = true;
        if (!Walk(data + 4, data + size, inMovi || movi, depth + 1)) return false;
      } else if (inMovi) {
        if ((id[2] == 'd' && (id[3] == 'c' || id[3] == 'b'))) {
          ++out.videoChunks;
          if (size > 0) ++out.videoFrames;
        } else if (id[2] == 'w' && id[3] == 'b') {
          ++out.audioChunks;
          out.audioBytes += size;
        }
      } else if (Is(id, "avih") && size >= 20) {
        unsigned char raw[20];
        if (!reader.Read(data, raw, 20)) return false;
        std::memcpy(&out.headerFrames, raw + 16, 4);
      } else if (Is(id, "strh") && size >= 36 && !sawVideoHeader) {
        unsigned char raw[36];
        if (!reader.Read(data, raw, 36)) return false;
        if (std::memcmp(raw, "vids", 4) == 0) {
          sawVideoHeader = true;
          std::memcpy(&out.videoLength, raw + 32, 4);
        }
      } else if (Is(id, "idx1")) {
        sawIndex = true;
      }
      at = data + Padded(size);
    }
    return true;
  }
};

// The RIFF chunk at the file's start holds the form `form`; size: what its header claims.
bool IsRiffForm(Reader& reader, const char* form, uint32_t& size) {
  char id[4], type[4];
  return reader.ok() && reader.Header(0, id, size) && Is(id, "RIFF") && reader.Read(8, type, 4) && Is(type, form);
}

}  // namespace

AviContents ReadAviContents(const std::wstring& path) {
  AviContents out;
  Reader reader(path);
  uint32_t size = 0;
  if (!IsRiffForm(reader, "AVI ", size)) return out;
  const uint64_t end = 8 + static_cast<uint64_t>(size);
  AviWalk walk{reader, out};
  // A RIFF size that overruns the file (a disk that filled) is walked as far as the file goes.
  const bool inside = walk.Walk(12, end <= reader.size() ? end : reader.size(), false);
  out.readable = inside || out.videoChunks > 0;
  // AVIFile may leave a few bytes past the RIFF chunk; a file cut short ends inside it.
  out.whole = inside && end <= reader.size() && walk.sawMovi && walk.sawIndex;
  return out;
}

WaveContents ReadWaveContents(const std::wstring& path) {
  WaveContents out;
  Reader reader(path);
  uint32_t size = 0;
  if (!IsRiffForm(reader, "WAVE", size)) return out;
  const uint64_t end = reader.size();
  char id[4];
  bool format = false;
  for (uint64_t at = 12; at + 8 <= end;) {
    if (!reader.Header(at, id, size)) return out;
    if (Is(id, "fmt ") && size >= 14) {
      unsigned char raw[14];
      if (!reader.Read(at + 8, raw, 14)) return out;
      std::memcpy(&out.bytesPerSecond, raw + 8, 4);
      std::memcpy(&out.blockAlign, raw + 12, 2);
      format = true;
    } else if (Is(id, "data")) {
      if (at + 8 + size > end) return out;
      out.dataBytes = size;
      out.readable = format;
      return out;
    }
    at += 8 + Padded(size);
  }
  return out;
}

}  // namespace engine
