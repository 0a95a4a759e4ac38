// The screen camera's temporary files and their deletion, the merge of a recording into its
// target (SaveAVI and its progress, OpenStreamFromFile, the wave's start moved into step), and
// the texts of the AVI errors a merge or a stream file can end with.
//
// The target is replaced only once the merge is complete: the save writes a file beside it
// (its name ends in ".avi", by which AVISaveV picks its writer) that then moves over it. A
// target whose path AVIFile cannot take (a character above 127) is saved through "qivtmp.avi"
// in the temporary folder and copied. A merge that fails leaves the old target as it was.
//
// Deletions raise their progress on the camera that exists (CameraInstance), on the thread
// that deletes: the record thread during a recording, the main thread from the destructor
// (which has already let CameraInstance go, so it raises nothing).
#include <algorithm>
#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "audio/scWaveStorage.h"
#include "base/barrier.h"
#include "base/files.h"
#include "engine/camera/ScrCam_record.h"
#include "engine/capture/disk_budget.h"
#include "engine/capture/kept_files.h"
#include "engine/capture/vfw_handles.h"

namespace ScrCam {

namespace {

constexpr int kDeleteRounds = 50;
// After a kept file that could be neither moved nor copied (held by another program, no room).
const wchar_t kLeftInPlace[] =
    L" (it could not be moved or copied: it is left there as it is, and no recording deletes it)";

using base::FileExists;

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
    // A file that cannot be deleted now (another process holds it) is left where it is and
    // counts as there. It is never scheduled for deletion at the next restart: it may hold a
    // recording, which the next recording's look for lost files keeps.
    for (int round = 1; round <= kDeleteRounds; ++round) {
      if (!FileExists(fileName)) {
        gone = true;
        return;
      }
      if (!RaiseDeleting(2 * round, L"Deleting Temp File")) return;
      ::DeleteFileW(fileName.c_str());
    }
    gone = !FileExists(fileName);
  });
  RaiseDeleting(100, L"");
  return gone;
}

std::wstring PickTempFolder(const std::vector<std::wstring>& candidates) {
  std::wstring last;
  for (std::wstring folder : candidates) {
    if (folder.empty()) continue;
    if (folder.back() != L'\\') folder += L'\\';
    if (folder.size() + kLongestTempName < MAX_PATH) return folder;
    last = folder;
  }
  return last;
}

namespace {

// The 8.3 form of an existing folder (short enough where the long one is not), or empty.
std::wstring ShortFolderName(const std::wstring& folder) {
  if (folder.empty()) return {};
  const DWORD needed = ::GetShortPathNameW(folder.c_str(), nullptr, 0);
  if (needed == 0) return {};
  std::wstring shortName(needed, L'\0');
  const DWORD length = ::GetShortPathNameW(folder.c_str(), shortName.data(), needed);
  if (length == 0 || length >= needed) return {};
  shortName.resize(length);
  return shortName;
}

std::wstring ProgramFolder() { return base::FolderOf(base::ProgramPath()); }

}  // namespace

bool FolderTakesFiles(const std::wstring& folder) {
  if (folder.empty()) return false;
  std::wstring path = folder;
  if (path.back() != L'\\') path += L'\\';
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  return engine::ProbeNewFile(path) == ERROR_SUCCESS;
}

std::wstring GetTempFolder() {
  // An empty answer (no usable TMP, or one longer than the buffer) would put the temporary
  // files in the root of the current drive, and a folder too long for them would make their
  // opening fail: the full answer in its 8.3 form serves instead, then the program's folder.
  // The system hands TMP on unchecked: a folder that does not exist or takes no file gives way
  // to the next candidate too.
  wchar_t buffer[257] = {};
  const DWORD length = ::GetTempPathW(256, buffer);
  const std::wstring given(buffer, length <= 256 ? length : 0);
  std::wstring full(32768, L'\0');
  const DWORD fullLength = ::GetTempPathW(static_cast<DWORD>(full.size()), full.data());
  full.resize(fullLength < full.size() ? fullLength : 0);
  const std::wstring program = ProgramFolder();
  const std::vector<std::wstring> candidates{given, ShortFolderName(full), program, ShortFolderName(program)};
  // In order, each probed only when it is the one that would be taken.
  for (const std::wstring& folder : candidates) {
    const std::wstring fitting = PickTempFolder({folder});
    if (!fitting.empty() && fitting.size() + kLongestTempName < MAX_PATH && FolderTakesFiles(fitting)) return fitting;
  }
  return PickTempFolder(candidates);
}

std::wstring TempFileSetName(const std::wstring& tempFolder, int set) {
  // The names the sets have always had (a 32-bit hash of the folder), so a copy of an earlier
  // version running beside this one still sees this one's sets, and this one its.
  std::wstring upper = tempFolder;
  if (!upper.empty()) ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  uint32_t hash = 2166136261u;
  for (wchar_t c : upper) {
    hash ^= static_cast<uint16_t>(c);
    hash *= 16777619u;
  }
  wchar_t name[64];
  swprintf(name, 64, L"Local\\Reclume.TempFiles.%08X.%d", hash, set);
  return name;
}

std::wstring TempSetFile(const std::wstring& tempFolder, int set, const wchar_t* base, const wchar_t* extension) {
  return tempFolder + base + (set > 1 ? L"-" + std::to_wstring(set) : std::wstring()) + extension;
}

int ClaimTempFileSet(const std::wstring& tempFolder, base::UniqueHandle& holder) {
  holder.reset();
  for (int set = 1; set <= kTempFileSets; ++set) {
    // Made, not opened: the one that makes the object owns the set.
    base::UniqueHandle object(::CreateMutexW(nullptr, FALSE, TempFileSetName(tempFolder, set).c_str()));
    const DWORD error = ::GetLastError();
    if (object && error != ERROR_ALREADY_EXISTS) {
      holder = std::move(object);
      return set;
    }
  }
  return 0;
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

std::wstring WriteRefusalLine(const std::wstring& path) {
  if (!engine::FolderRefusesWriting(path)) return std::wstring();
  const size_t at = path.find_last_of(L"\\:");
  return L"\r\nThe folder does not take files (it is read-only or writing is refused): " +
         (at == std::wstring::npos ? path : path.substr(0, at + 1));
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

bool TScreenCamera::SaveAVI(const std::wstring& fileName, int count, PAVISTREAM* streams, bool& cancelled,
                            const std::function<bool(const std::wstring&)>& verify) {
  cancelled = false;
  const std::wstring beside = fileName + L".saving.avi";
  const bool detour = HasNonAsciiChar(fileName);
  const std::wstring saved = detour ? TempSaveFile : beside;
  ::DeleteFileW(saved.c_str());
  // No compression options: every stream is copied as it is.
  LPAVICOMPRESSOPTIONS options[2] = {nullptr, nullptr};
  const HRESULT result = ::AVISaveVW(saved.c_str(), nullptr, &SaveProgress, count, streams, options);
  if (result != AVIERR_OK) {
    ::DeleteFileW(saved.c_str());
    cancelled = result == AVIERR_USERABORT;
    RaiseError(SaveErrorText(result) + (cancelled ? std::wstring() : WriteRefusalLine(fileName)));
    return false;
  }
  bool replaced = true;
  if (detour) {
    replaced = ::CopyFileW(saved.c_str(), beside.c_str(), FALSE) != FALSE;
    ::DeleteFileW(saved.c_str());
  }
  // This Wine's AVISaveV returns success for a file it could not write whole (a full disk):
  // the file is judged before it may replace the target.
  if (replaced && verify && !verify(beside)) {
    ::DeleteFileW(beside.c_str());
    RaiseError(SaveErrorText(AVIERR_FILEWRITE));
    return false;
  }
  replaced = replaced && ::MoveFileExW(beside.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
  if (!replaced) {
    ::DeleteFileW(beside.c_str());
    RaiseError(L"Can not delete existing video file.");
    return false;
  }
  return true;
}

BOOL WINAPI TScreenCamera::SaveProgress(int percent) {
  TScreenCamera* cam = CameraInstance.load();
  if (!cam || !cam->OnSaving) return 0;
  bool cont = true;
  base::GuardVoid("merge progress event", [&] { cam->OnSaving(*cam, percent, L"Saving Video...", cont); });
  return cont ? 0 : -1;
}

PAVISTREAM TScreenCamera::OpenStreamFromFile(const std::wstring& fileName) {
  if (!FileExists(fileName)) return nullptr;
  engine::UniqueAviFile file;
  const HRESULT result = ::AVIFileOpenW(file.put(), fileName.c_str(), OF_READ, nullptr);
  if (result != AVIERR_OK) {
    RaiseError(OpenErrorText(result));
    return nullptr;
  }
  // The stream keeps what it needs of the file; the file itself is let go here.
  PAVISTREAM stream = nullptr;
  if (::AVIFileGetStream(file.get(), &stream, 0, 0) != AVIERR_OK) {
    RaiseError(L"Unable to get stream");
    return nullptr;
  }
  return stream;
}

void TScreenCamera::KeepRecording(const std::vector<std::wstring>& files) {
  std::wstring kept;
  for (const engine::KeptFile& file : engine::KeepUnderRecordingNames(files, GetTempFolder())) {
    const auto held = std::find(heldInPlace_.begin(), heldInPlace_.end(), file.from);
    if (file.inPlace) {
      // The recording is only there: no deletion of this run may touch it.
      if (held == heldInPlace_.end()) heldInPlace_.push_back(file.from);
    } else if (held != heldInPlace_.end()) {
      heldInPlace_.erase(held);
    }
    kept += (kept.empty() ? L"" : L"; ") + file.kept + (file.inPlace ? kLeftInPlace : L"");
  }
  if (!kept.empty()) RaiseError(L"Recording kept in: " + kept);
}

bool TScreenCamera::HeldInPlace(const std::wstring& file) const {
  return std::find(heldInPlace_.begin(), heldInPlace_.end(), file) != heldInPlace_.end();
}

void TScreenCamera::DeleteUnlessHeld(const std::wstring& file) {
  if (!HeldInPlace(file)) DeleteTempFile(file);
}

void TScreenCamera::KeepLeftovers(const std::wstring& target) {
  // "<name>.avi.saving.avi" is only ever a save that did not finish (a crash's): the target it
  // would have replaced is as it was. One that a save still writes is open and stays.
  if (!target.empty()) {
    const std::wstring folder = target.substr(0, target.find_last_of(L"\\:") + 1);
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW((folder + L"*.avi.saving.avi").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring partial = folder + found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsFileInUse(partial))
          ::DeleteFileW(partial.c_str());
      } while (::FindNextFileW(find, &found));
      ::FindClose(find);
    }
  }
  // This camera's own set, and every set that no running camera holds: those are held here
  // (made as their owner would) while their files are moved, so no copy starting meanwhile
  // takes them. A set another copy holds is that copy's, and is never touched.
  const std::wstring folder = GetTempFolder();
  std::vector<base::UniqueHandle> borrowed;
  std::vector<std::wstring> candidates;
  if (tempSet_) candidates = {TempVideoFile, TempAudioFile, TempSaveFile};
  for (int set = 1; set <= kTempFileSets; ++set) {
    base::UniqueHandle object(::CreateMutexW(nullptr, FALSE, TempFileSetName(folder, set).c_str()));
    if (!object || ::GetLastError() == ERROR_ALREADY_EXISTS) continue;  // this camera's, or a running copy's
    borrowed.push_back(std::move(object));
    for (const auto& [base, extension] : {std::pair{L"tmpVideoStream", L".avi"}, std::pair{L"tmpAudioStream", L".wav"},
                                          std::pair{L"qivtmp", L".avi"}})
      candidates.push_back(TempSetFile(folder, set, base, extension));
  }
  // A file left in place by an earlier keeping is held only while it is there.
  heldInPlace_.erase(std::remove_if(heldInPlace_.begin(), heldInPlace_.end(),
                                    [](const std::wstring& file) { return !FileExists(file); }),
                     heldInPlace_.end());
  std::vector<std::wstring> leftovers;
  for (const std::wstring& file : candidates)
    // One that another process holds open is still being written.
    if (FileExists(file) && !IsFileInUse(file)) leftovers.push_back(file);
  if (!leftovers.empty()) KeepRecording(leftovers);
}

bool AlignWaveStart(const std::wstring& wavePath, int32_t offsetMs) {
  if (offsetMs == 0) return true;
  bool done = false;
  base::GuardVoid("wave start alignment", [&] {
    audio::TFileStream file(wavePath, audio::fmOpenReadWrite);
    audio::TWaveStreamAdapter wave(&file, audio::soReference);
    done = offsetMs > 0 ? wave.InsertSilentSpan(0, static_cast<uint32_t>(offsetMs))
                        : wave.DeleteHead(static_cast<uint32_t>(-offsetMs));
  });
  return done;
}

}  // namespace ScrCam
