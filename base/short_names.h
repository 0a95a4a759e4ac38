// Names for the multimedia file functions (AVIFileOpenW, mmioOpenW and the MCI devices built on
// them). Under a code page without Chinese characters these functions fail for any path that
// holds a character outside ASCII, for reading and for writing (no file is made), while the
// file functions take the same path. A file that exists has a short name, which opens.
//
// Used by the sound-less recorder, the player and, for their AVI and wave files, the splitter
// and the camera.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace base {

// True when every character of path is ASCII: the multimedia functions take it as it is.
bool IsAsciiPath(const std::wstring& path) noexcept;

// The longest file name (extension included) the AVI reader is handed.
inline constexpr size_t kLongestReadableName = 48;

// Why MultimediaNameForReading gave no name.
enum class NoReadingName {
  NoShortName,  // no short name in ASCII (or the file does not exist)
  NameTooLong,  // the "short" name is still longer than kLongestReadableName: a volume that
                // keeps no 8.3 names hands the long one back
};

// The name to open an existing file by: path itself when it is all ASCII and its file name is
// short enough for the AVI reader (at most kLongestReadableName characters), else its short
// name; nothing when the file has no short name in ASCII, or when that name is still too long
// for the reader (why, when given, tells which).
std::optional<std::wstring> MultimediaNameForReading(const std::wstring& path, NoReadingName* why = nullptr);

// A file that a multimedia function writes (replacing it when it exists). The name to hand to
// the function is the path itself when it is all ASCII, else the short name of the file
// (which is made, empty, for it first). Where no short name can be had, the writer writes an
// ASCII-named temporary file, and Commit moves it into place once it is complete.
class MultimediaTarget {
 public:
  // tempName: the file name (with its extension) of the temporary file in the system's
  // temporary folder, for when it is needed; when a file of that name exists (another
  // writer's), the first free "NAME-N.ext" is made instead.
  MultimediaTarget(std::wstring path, const std::wstring& tempName);
  // Not committed: a temporary file goes into place when something was written into it (no
  // recording is lost), else it is deleted; an empty file made for the short name is deleted.
  ~MultimediaTarget();
  MultimediaTarget(const MultimediaTarget&) = delete;
  MultimediaTarget& operator=(const MultimediaTarget&) = delete;

  // What to open for writing. Empty when not even a temporary name could be made.
  const std::wstring& Name() const noexcept { return name_; }
  const std::wstring& Path() const noexcept { return path_; }
  bool ViaTemporaryFile() const noexcept { return viaTemp_; }

  // The writer has closed the file: a temporary file is moved into place (replacing the
  // target). False when that move failed (the temporary file is kept then).
  bool Commit();
  // The writer gives the file up: it is deleted, under the name it was written by.
  void Discard() noexcept;

 private:
  std::wstring path_;
  std::wstring name_;
  bool viaTemp_ = false;
  bool madeEmpty_ = false;  // the empty file for the short name is ours
  bool done_ = false;
};

// The seam for tests: the short-name function (GetShortPathNameW unless replaced). Returns the
// previous one.
using ShortNameFunction = DWORD(WINAPI*)(const wchar_t* longPath, wchar_t* shortPath, DWORD size);
ShortNameFunction SetShortNameFunction(ShortNameFunction f) noexcept;

}  // namespace base
