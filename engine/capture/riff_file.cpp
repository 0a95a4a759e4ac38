// A RIFF file read by its chunk headers: see riff_file.h.
#include "engine/capture/riff_file.h"

#include <cstring>

namespace engine {

namespace {

constexpr int kMaxListDepth = 16;

bool SeekTo(HANDLE file, uint64_t at) {
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(at);
  return ::SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != FALSE;
}

}  // namespace

RiffFile::RiffFile(const std::wstring& path, Access access)
    : file_(access == Access::Read
                ? ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)
                : ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr)) {
  LARGE_INTEGER size{};
  if (ok() && ::GetFileSizeEx(file_.get(), &size)) size_ = static_cast<uint64_t>(size.QuadPart);
}

bool RiffFile::Read(uint64_t at, void* buffer, DWORD bytes) {
  if (at + bytes > size_) return false;
  DWORD got = 0;
  return SeekTo(file_.get(), at) && ::ReadFile(file_.get(), buffer, bytes, &got, nullptr) && got == bytes;
}

bool RiffFile::Header(uint64_t at, char id[4], uint32_t& size) {
  unsigned char raw[8];
  if (!Read(at, raw, 8)) return false;
  std::memcpy(id, raw, 4);
  std::memcpy(&size, raw + 4, 4);
  return true;
}

bool RiffFile::Write(uint64_t at, const void* data, DWORD bytes) {
  DWORD put = 0;
  return SeekTo(file_.get(), at) && ::WriteFile(file_.get(), data, bytes, &put, nullptr) && put == bytes;
}

bool RiffFile::EndAt(uint64_t at) {
  if (!SeekTo(file_.get(), at) || !::SetEndOfFile(file_.get())) return false;
  size_ = at;
  return true;
}

bool RiffFile::IsForm(const char* form, uint32_t& size) {
  char id[4], type[4];
  return ok() && Header(0, id, size) && IsChunk(id, "RIFF") && Read(8, type, 4) && IsChunk(type, form);
}

bool WalkChunks(RiffFile& file, uint64_t begin, uint64_t end, ChunkVisitor& visitor, bool inMovi, int depth) {
  if (depth > kMaxListDepth) return false;
  for (uint64_t at = begin; at + 8 <= end;) {
    char id[4];
    uint32_t size = 0;
    if (!file.Header(at, id, size)) return false;
    const uint64_t data = at + 8;
    if (data + size > end) return false;
    if (IsChunk(id, "LIST") || IsChunk(id, "RIFF")) {
      char type[4];
      if (size < 4 || !file.Read(data, type, 4)) return false;
      visitor.List(type);
      if (!WalkChunks(file, data + 4, data + size, visitor, inMovi || IsChunk(type, "movi"), depth + 1)) return false;
    } else if (!visitor.Chunk(id, data, size, inMovi)) {
      return false;
    }
    at = data + PaddedChunk(size);
  }
  return true;
}

}  // namespace engine
