// Short names for the multimedia file functions, and the temporary-file road for a file that
// has none. Only the file functions (CreateFileW, MoveFileExW) see the long path.
#include "base/short_names.h"

#include <atomic>
#include <vector>

#include "base/files.h"
#include "base/unique.h"

namespace base {

namespace {

std::atomic<ShortNameFunction> gShortName{&::GetShortPathNameW};

// How many numbered temporary names are tried before giving up.
constexpr int kTemporaryNames = 100;

std::optional<std::wstring> AsciiShortName(const std::wstring& path) {
  const ShortNameFunction shortName = gShortName.load();
  const DWORD needed = shortName(path.c_str(), nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::vector<wchar_t> buffer(needed + 1, L'\0');
  const DWORD got = shortName(path.c_str(), buffer.data(), needed + 1);
  if (got == 0 || got > needed) return std::nullopt;
  std::wstring name(buffer.data(), got);
  if (!IsAsciiPath(name)) return std::nullopt;
  return name;
}

// The system's temporary folder, in a form the multimedia functions take.
std::wstring AsciiTempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) return {};
  std::wstring folder(temp, n);
  if (IsAsciiPath(folder)) return folder;
  return AsciiShortName(folder).value_or(std::wstring());
}

}  // namespace

bool IsAsciiPath(const std::wstring& path) noexcept {
  for (wchar_t c : path)
    if (c > 127) return false;
  return true;
}

namespace {

// Wine's AVI file reader names each stream after its file ("NAME Video #0") in a field of 64
// characters and writes past it for a longer name: measured, a file name of 58 characters or
// more fails to open (AVIERR_BADFORMAT) or corrupts the heap. Writing is not affected.
// kLongestReadableName keeps a margin below that.

bool NameTooLongForReading(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/:");
  const size_t name = slash == std::wstring::npos ? path.size() : path.size() - slash - 1;
  return name > kLongestReadableName;
}

}  // namespace

std::optional<std::wstring> MultimediaNameForReading(const std::wstring& path, NoReadingName* why) {
  if (IsAsciiPath(path) && !NameTooLongForReading(path)) return path;
  std::optional<std::wstring> name = AsciiShortName(path);
  if (!name) {
    if (why) *why = NoReadingName::NoShortName;
    return std::nullopt;
  }
  // Without 8.3 names the system answers with the long name itself: handing that over would
  // open the very name the reader cannot take.
  if (NameTooLongForReading(*name)) {
    if (why) *why = NoReadingName::NameTooLong;
    return std::nullopt;
  }
  return name;
}

MultimediaTarget::MultimediaTarget(std::wstring path, const std::wstring& tempName) : path_(std::move(path)) {
  if (IsAsciiPath(path_)) {
    name_ = path_;
    return;
  }
  // A short name exists only for a file that exists: make it (empty) when it does not.
  const bool existed = FileExists(path_);
  if (!existed) {
    UniqueFile made(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    madeEmpty_ = static_cast<bool>(made);
  }
  if (auto shortName = AsciiShortName(path_)) {
    name_ = *shortName;
    return;
  }
  if (madeEmpty_) ::DeleteFileW(path_.c_str());
  madeEmpty_ = false;
  const std::wstring folder = AsciiTempFolder();
  if (folder.empty()) return;
  // A name no other writer has: made here, exclusively, so another copy of the program
  // writing its own temporary file keeps it, and one that a lost run left stays as it is.
  const size_t dot = tempName.find_last_of(L'.');
  const std::wstring stem = tempName.substr(0, dot);
  const std::wstring extension = dot == std::wstring::npos ? std::wstring() : tempName.substr(dot);
  for (int n = 1; n <= kTemporaryNames; ++n) {
    const std::wstring candidate = folder + stem + (n > 1 ? L"-" + std::to_wstring(n) : std::wstring()) + extension;
    UniqueFile made(::CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    const DWORD error = ::GetLastError();
    if (made) {
      name_ = candidate;
      viaTemp_ = true;
      return;
    }
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return;
  }
}

MultimediaTarget::~MultimediaTarget() {
  if (done_ || name_.empty()) return;
  if (viaTemp_) {
    if (FileExists(name_) && !FileIsEmpty(name_)) {
      Commit();
    } else {
      ::DeleteFileW(name_.c_str());
    }
  } else if (madeEmpty_ && FileIsEmpty(path_)) {
    ::DeleteFileW(path_.c_str());
  }
}

bool MultimediaTarget::Commit() {
  done_ = true;
  if (!viaTemp_) return true;
  return ::MoveFileExW(name_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
}

void MultimediaTarget::Discard() noexcept {
  done_ = true;
  if (!name_.empty()) ::DeleteFileW(name_.c_str());
}

ShortNameFunction SetShortNameFunction(ShortNameFunction f) noexcept {
  return gShortName.exchange(f ? f : &::GetShortPathNameW);
}

}  // namespace base
