// The wave library's byte streams: the common buffer helpers, the memory stream and the file
// stream over a Win32 file handle.
#include "audio/streams.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "base/text.h"

namespace audio {

Exception::Exception(const std::wstring& message)
    : std::runtime_error(base::WideToUtf8(message)), message_(message) {}

std::wstring SystemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring result = length && text ? std::wstring(text, length) : base::Format(L"Error %u", code);
  if (text) ::LocalFree(text);
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' '))
    result.pop_back();
  return result;
}

// ---- TStream

int64_t TStream::Size() {
  int64_t position = Seek(0, SeekOrigin::Current);
  int64_t size = Seek(0, SeekOrigin::End);
  Seek(position, SeekOrigin::Begin);
  return size;
}

void TStream::ReadBuffer(void* buffer, int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError(L"Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError(L"Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr int32_t kChunk = 64 * 1024;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, kChunk)));
  for (int64_t left = count; left > 0;) {
    int32_t n = int32_t(std::min<int64_t>(left, kChunk));
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= n;
  }
  return count;
}

// ---- memory streams

int32_t TCustomMemoryStream::Read(void* buffer, int32_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  int32_t n = int32_t(std::min<int64_t>(count, size_ - position_));
  std::memcpy(buffer, memory_ + position_, size_t(n));
  position_ += n;
  return n;
}

int64_t TCustomMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  int64_t base = origin == SeekOrigin::Begin ? 0 : origin == SeekOrigin::Current ? position_ : size_;
  int64_t target = base + offset;
  if (target < 0) return -1;
  position_ = target;
  return position_;
}

TMemoryStream::~TMemoryStream() { std::free(memory_); }

void TMemoryStream::Reserve(int64_t capacity) {
  if (capacity <= capacity_) return;
  if (capacity > INT32_MAX) throw std::bad_alloc();
  // Grow in steps so that appending many small buffers stays linear.
  int64_t grown = std::max<int64_t>(capacity, capacity_ + capacity_ / 2);
  grown = std::min<int64_t>((grown + 0xFFFF) & ~int64_t(0xFFFF), INT32_MAX);
  void* block = std::realloc(memory_, size_t(grown));
  if (!block) throw std::bad_alloc();
  memory_ = static_cast<uint8_t*>(block);
  capacity_ = grown;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  int64_t end = position_ + count;
  if (end > size_) {
    Reserve(end);
    // A write after a seek past the end leaves zeros in the gap.
    if (position_ > size_) std::memset(memory_ + size_, 0, size_t(position_ - size_));
    size_ = end;
  }
  std::memcpy(memory_ + position_, buffer, size_t(count));
  position_ = end;
  return count;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  if (size == 0) {
    std::free(memory_);
    memory_ = nullptr;
    capacity_ = 0;
  } else {
    Reserve(size);
    if (size > size_) std::memset(memory_ + size_, 0, size_t(size - size_));
  }
  size_ = size;
  position_ = std::min(position_, size_);
}

// ---- file stream

TFileStream::TFileStream(const std::wstring& fileName, unsigned mode) : fileName_(fileName) {
  DWORD access = GENERIC_READ, share = FILE_SHARE_READ | FILE_SHARE_WRITE, disposition = OPEN_EXISTING;
  if (mode == fmCreate) {
    access = GENERIC_READ | GENERIC_WRITE;
    share = FILE_SHARE_READ;
    disposition = CREATE_ALWAYS;
  } else {
    switch (mode & 0x3) {
      case fmOpenWrite: access = GENERIC_WRITE; break;
      case fmOpenReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
      default: break;
    }
    if (mode & fmShareDenyWrite) share = FILE_SHARE_READ;
  }
  file_.reset(::CreateFileW(fileName.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_) {
    DWORD error = ::GetLastError();
    const wchar_t* what = mode == fmCreate ? L"Cannot create file \"%s\". %s" : L"Cannot open file \"%s\". %s";
    std::wstring message = base::Format(what, fileName, SystemErrorText(error));
    if (mode == fmCreate) throw EFCreateError(message);
    throw EFOpenError(message);
  }
}

int32_t TFileStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  DWORD done = 0;
  if (!::ReadFile(file_.get(), buffer, DWORD(count), &done, nullptr)) return 0;
  return int32_t(done);
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  DWORD done = 0;
  if (!::WriteFile(file_.get(), buffer, DWORD(count), &done, nullptr)) return 0;
  return int32_t(done);
}

int64_t TFileStream::Seek(int64_t offset, SeekOrigin origin) {
  DWORD method = origin == SeekOrigin::Begin ? FILE_BEGIN : origin == SeekOrigin::Current ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER distance, result;
  distance.QuadPart = offset;
  if (!::SetFilePointerEx(file_.get(), distance, &result, method)) return -1;
  return result.QuadPart;
}

void TFileStream::SetSize(int64_t size) {
  int64_t position = Position();
  if (Seek(size, SeekOrigin::Begin) < 0 || !::SetEndOfFile(file_.get())) {
    DWORD error = ::GetLastError();
    Seek(position, SeekOrigin::Begin);
    throw EWriteError(base::Format(L"Cannot set the size of \"%s\". %s", fileName_, SystemErrorText(error)));
  }
  Seek(std::min(position, size), SeekOrigin::Begin);
}

}  // namespace audio
