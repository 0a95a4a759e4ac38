// Recordings that could not be saved where they belonged, kept under names that no recording
// writes or deletes: "Reclume recording <time>[-n]<extension>" in a folder the caller names.
// Both recorders keep so: the camera its temporary video and wave after a failed merge, the
// sound-less recorder its detour file when the copy into place failed.
#pragma once

#include <string>
#include <vector>

namespace engine {

struct KeptFile {
  std::wstring from;  // the file as it was
  std::wstring kept;  // where the recording now is (from itself when it stayed there)
  // Neither moved nor copied: the recording is only in `from`, which nobody may delete.
  bool inPlace = false;
  // Copied (the move was refused): `from` still exists and may go.
  bool copied = false;
};

// The local time as the kept names give it: "YYYYMMDD-HHMMSS".
std::wstring KeptStamp();

// Keeps files (those that exist) in folder (ending in "\") under one name with the files' own
// extensions: the first "Reclume recording <stamp>[-n]" that none of them would meet there, so
// the video and the wave of one recording always share it. Each is moved; a move refused for a
// reason other than an existing name (the file held by another program, no access, another
// volume) is replaced by a copy; a file that can be neither moved nor copied stays where it is.
std::vector<KeptFile> KeepUnderRecordingNames(const std::vector<std::wstring>& files, const std::wstring& folder,
                                              const std::wstring& stamp = KeptStamp());

}  // namespace engine
