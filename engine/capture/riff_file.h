// A RIFF file (an AVI or WAVE file) read by its chunk headers: the data is sought over, and
// every size is checked against the file's end before it is followed. What the recordings'
// checks and the header corrections of a closed AVI file walk.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "base/unique.h"

namespace engine {

class RiffFile {
 public:
  enum class Access {
    Read,      // shared with every writer (a file another program may still write)
    ReadWrite  // shared with readers only, for rewriting headers in place
  };
  RiffFile(const std::wstring& path, Access access);

  bool ok() const { return file_.get() != INVALID_HANDLE_VALUE && file_.get() != nullptr; }
  uint64_t size() const { return size_; }
  // bytes at `at`; false past the file's end or on a failed read.
  bool Read(uint64_t at, void* buffer, DWORD bytes);
  // The chunk header at `at`: its id and its size.
  bool Header(uint64_t at, char id[4], uint32_t& size);
  bool Write(uint64_t at, const void* data, DWORD bytes);
  bool WriteU32(uint64_t at, uint32_t value) { return Write(at, &value, 4); }
  // The file's end moved to `at`.
  bool EndAt(uint64_t at);
  // The RIFF chunk at the file's start holds the form `form` ("AVI ", "WAVE"); size: what its
  // header claims.
  bool IsForm(const char* form, uint32_t& size);

 private:
  base::UniqueFile file_;
  uint64_t size_ = 0;
};

inline bool IsChunk(const char id[4], const char* name) { return std::memcmp(id, name, 4) == 0; }
inline uint64_t PaddedChunk(uint32_t size) { return size + (size & 1u); }

// What a walk over the chunks meets, in file order.
class ChunkVisitor {
 public:
  virtual ~ChunkVisitor() = default;
  // A list ('LIST', or a nested 'RIFF') of that type, before its contents are walked.
  virtual void List(const char /*type*/[4]) {}
  // A chunk that is no list; inMovi: inside a 'movi' list. False ends the walk as a failure.
  virtual bool Chunk(const char id[4], uint64_t data, uint32_t size, bool inMovi) = 0;
};

// Walks the chunks from begin to end (a list's contents), into nested lists up to a depth of
// 16: a file that nests deeper is not a recording, and its walk stops there instead of running
// the stack out. False when a size leaves the range, a read fails or the visitor refuses.
bool WalkChunks(RiffFile& file, uint64_t begin, uint64_t end, ChunkVisitor& visitor, bool inMovi = false,
                int depth = 0);

}  // namespace engine
