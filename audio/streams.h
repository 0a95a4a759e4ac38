// The byte streams the wave library reads and writes: an abstract stream, a memory stream
// whose bytes can be reached directly, and a file stream.
//
// Read and Write move as many bytes as they can and return the count; ReadBuffer and
// WriteBuffer insist on the whole count and throw EReadError / EWriteError otherwise. Opening
// or creating a file that cannot be opened throws EFOpenError / EFCreateError with the
// system's text. None of these classes is thread-safe: one owner uses a stream at a time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "base/unique.h"

namespace audio {

// The base of the audio library's exceptions: a message only, kept as wide text and as UTF-8
// for what().
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::wstring& message);
  const std::wstring& Message() const noexcept { return message_; }

 private:
  std::wstring message_;
};

class EStreamError : public Exception {
  using Exception::Exception;
};
class EReadError : public EStreamError {
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
  using EStreamError::EStreamError;
};

enum class SeekOrigin { Begin, Current, End };

class TStream {
 public:
  virtual ~TStream() = default;
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Returns the number of bytes moved (0 at the end, never negative).
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  // Returns the new position; a position before the start is refused with -1.
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
  virtual int64_t Size();
  // Grows (new bytes are zero for memory, unspecified for files) or cuts the stream. The
  // position is kept, but never beyond the new end.
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, SeekOrigin::Current); }
  void SetPosition(int64_t position) { Seek(position, SeekOrigin::Begin); }

  void ReadBuffer(void* buffer, int32_t count);
  void WriteBuffer(const void* buffer, int32_t count);
  // Copies count bytes from source's current position; count 0 copies the whole source from
  // its start. Throws EReadError when the source holds fewer bytes.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream kept in one block of memory that callers may read and change in place through
// Memory(). The block moves when the stream grows.
class TCustomMemoryStream : public TStream {
 public:
  int32_t Read(void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return size_; }
  uint8_t* Memory() noexcept { return memory_; }

 protected:
  uint8_t* memory_ = nullptr;
  int64_t size_ = 0;
  int64_t position_ = 0;
};

class TMemoryStream : public TCustomMemoryStream {
 public:
  TMemoryStream() = default;
  ~TMemoryStream() override;
  int32_t Write(const void* buffer, int32_t count) override;
  void SetSize(int64_t size) override;
  void Clear() { SetSize(0); }

 private:
  void Reserve(int64_t capacity);
  int64_t capacity_ = 0;
};

// File access and sharing, combined as in fmOpenRead | fmShareDenyWrite.
enum FileMode : unsigned {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareDenyWrite = 0x0020,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFF00,  // create or empty the file, open for reading and writing
};

class TFileStream : public TStream {
 public:
  TFileStream(const std::wstring& fileName, unsigned mode);
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  void SetSize(int64_t size) override;
  const std::wstring& FileName() const noexcept { return fileName_; }

 private:
  std::wstring fileName_;
  base::UniqueFile file_;
};

// The system's text for a Win32 error code, without the trailing line break.
std::wstring SystemErrorText(DWORD code);

}  // namespace audio
