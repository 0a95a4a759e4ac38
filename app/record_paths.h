// Where a recording goes: the recording folder check, the next free automatic number and the
// rules for a typed recording name. Pure of windows: the main window shows the messages these
// answers call for and moves the focus.
#pragma once

#include <string>

#include "base/unique.h"

namespace app {

// The drive part of a folder: "Q:" for "Q:\rec\", "\\srv\share" for a network path, empty when
// the folder starts with neither.
std::wstring DrivePartOf(const std::wstring& folder);

// True when Drive (trimmed) plus "\" is one of the system's logical drive roots, compared in
// upper case. A network share or an empty text is no drive.
bool DriveExists(const std::wstring& drive);

// The outcome of checking the recording folder's text.
struct RecordFolderCheck {
  enum class Result {
    Ok,            // folder holds the normalised folder, which now exists
    DriveMissing,  // drive holds the missing drive part (possibly empty)
    Invalid,       // the folder is not usable (bad characters, a file in the way, no access)
  };
  Result result = Result::Invalid;
  std::wstring folder;
  std::wstring drive;
  bool ok() const { return result == Result::Ok; }
};

// Normalises text (trimmed, one trailing "\"), checks its drive and creates the folder with
// every missing parent.
RecordFolderCheck PrepareRecordFolder(const std::wstring& text);

// The file name of the next automatic recording in folder (which ends with "\" and exists):
// one more than the largest number N among the folder's "N.avi" files, and while a file or
// folder of that name exists in any letter case, the number after it. Only the exact
// lower-case ".avi" counts as the extension: "7.AVI" holds no number. With after (an earlier
// answer that another recording holds, whose file may not exist), a number above its own.
std::wstring NextAutoFileName(const std::wstring& folder, const std::wstring& after = std::wstring());

// A recording owns its target from the moment it takes it until its file is finished (with
// sound: merged and saved), by a named object the system takes away with its process, a
// crashed one too. Copies of the program running side by side (other installations) and this
// one never record into, or replace, a target that another recording holds: with sound the
// target stays an empty closed file until the save, so the file alone cannot tell.
//
// The object's name, the same for every spelling of one file (letter case, short folder names).
std::wstring TargetHoldName(const std::wstring& target);
// Takes target for a recording: holder is the holding object (empty when the system made
// none, and nothing can be told). False, with nothing held, when another recording holds it.
bool HoldTarget(const std::wstring& target, base::UniqueHandle& holder);
// A recording (of any copy, this one included) holds target.
bool TargetHeld(const std::wstring& target);

// What a typed recording name is worth as a file name.
enum class RecordName {
  Usable,
  Empty,    // nothing but blanks
  Invalid,  // holds \ / : * ? " < > | or a control character, or names a device (CON, NUL,
            // COM1, ...) that the system would open in place of a file
};
RecordName CheckRecordName(const std::wstring& typed);

// The file name of a typed recording: typed (as typed, or trimmed of blanks when trimBlanks)
// followed by ".avi"; empty when the name is not usable.
std::wstring TypedRecordFileName(const std::wstring& typed, bool trimBlanks);

// True for the characters no file or folder name may hold: \ / : * ? " < > | and control
// characters.
bool IsForbiddenNameChar(wchar_t c);

}  // namespace app
