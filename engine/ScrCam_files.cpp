// The screen camera's temporary files and their deletion, and the texts of the AVI errors a
// merge or a stream file can end with.
//
// Deletions raise their progress on the camera that exists (CameraInstance), on the thread
// that deletes: the record thread during a recording, the main thread from the destructor
// (which has already let CameraInstance go, so it raises nothing).
#include <string>

#include "base/barrier.h"
#include "engine/ScrCam.h"

namespace ScrCam {

namespace {

constexpr int kDeleteRounds = 50;

bool FileExists(const std::wstring& fileName) {
  const DWORD attributes = ::GetFileAttributesW(fileName.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// OnDeleting on the camera that exists; the handler's Continue (true without a handler).
bool RaiseDeleting(int percent, const wchar_t* caption) {
  bool cont = true;
  TScreenCamera* cam = CameraInstance.load();
  if (cam && cam->OnDeleting)
    base::GuardVoid("temporary file deletion event", [&] { cam->OnDeleting(*cam, percent, caption, cont); });
  return cont;
}

}  // namespace

bool IsFileInUse(const std::wstring& fileName) {
  if (!FileExists(fileName)) return false;
  HANDLE file = ::CreateFileW(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  ::CloseHandle(file);
  return false;
}

bool DeleteTempFile(const std::wstring& fileName) {
  bool gone = false;
  base::GuardVoid("temporary file deletion", [&] {
    // A file that another process holds cannot be deleted now: it is scheduled for the next
    // restart (once), and still counts as there.
    const bool schedule = FileExists(fileName) && IsFileInUse(fileName);
    bool scheduled = false;
    for (int round = 1; round <= kDeleteRounds; ++round) {
      if (!FileExists(fileName)) {
        gone = true;
        return;
      }
      if (!RaiseDeleting(2 * round, L"Deleting Temp File")) return;
      if (!schedule) {
        ::DeleteFileW(fileName.c_str());
      } else if (!scheduled) {
        scheduled = true;
        ::MoveFileExW(fileName.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING);
      }
    }
    gone = !FileExists(fileName);
  });
  RaiseDeleting(100, L"");
  return gone;
}

std::wstring GetTempFolder() {
  wchar_t buffer[257] = {};
  const DWORD length = ::GetTempPathW(256, buffer);
  return std::wstring(buffer, length <= 256 ? length : 0);
}

bool HasNonAsciiChar(const std::wstring& s) {
  for (wchar_t c : s)
    if (static_cast<unsigned>(c) > 127) return true;
  return false;
}

std::wstring SaveErrorText(HRESULT code) {
  switch (code) {
    case AVIERR_UNSUPPORTED: return L"Error: unsupported format!";
    case AVIERR_BADFORMAT: return L"Error: bad format!";
    case AVIERR_MEMORY: return L"Error: out of memory!";
    case AVIERR_INTERNAL: return L"Error: internal error!";
    case AVIERR_BADFLAGS: return L"Error: bad flags!";
    case AVIERR_BADPARAM: return L"Error: bad params!";
    case AVIERR_BADSIZE: return L"Error: bad size!";
    case AVIERR_BADHANDLE: return L"Error: bad handle!";
    case AVIERR_FILEREAD: return L"Error: reading files!";
    case AVIERR_FILEWRITE: return L"Error: writing files!";
    case AVIERR_FILEOPEN: return L"Error: opening files!";
    case AVIERR_COMPRESSOR: return L"Error: in compressor!";
    case AVIERR_NOCOMPRESSOR: return L"Error: no compressor!";
    case AVIERR_READONLY: return L"Error: read-only files!";
    case AVIERR_NODATA: return L"Error: no data!";
    case AVIERR_BUFFERTOOSMALL: return L"Error: buffer too small!";
    case AVIERR_CANTCOMPRESS: return L"Error: cannot compress!";
    case AVIERR_USERABORT: return L"Error: user abort!";
    case AVIERR_ERROR: return L"Error: generic!";
    default: return L"Avi error number: " + std::to_wstring(static_cast<uint32_t>(code));
  }
}

std::wstring OpenErrorText(HRESULT code) {
  switch (code) {
    case AVIERR_BADFORMAT:
      return L"The file could not be read, indicating a corrupt file or an unrecognized format.";
    case AVIERR_MEMORY: return L"The file could not be opened because of insufficient memory.";
    case AVIERR_FILEREAD: return L"A disk error occurred while reading the stream file.";
    case AVIERR_FILEOPEN: return L"A disk error occurred while opening the stream file.";
    case REGDB_E_CLASSNOTREG:
      return L"According to the registry, the type of stream file specified in AVIFileOpen does not have a "
             L"handler to process it.";
    default: return L"Unknown error opening stream file";
  }
}

}  // namespace ScrCam
