// The recordings list of the main window: a multi-select list box of the AVI file names of one
// folder, in the numeric order of their leading numbers, and the file operations on its entries.
//
// The list remembers the folder it was filled from. Every action on an entry (play, open,
// delete, rename) takes the file from that folder, never from a folder typed into the path edit
// since the last refresh, so a same-named file elsewhere is never touched. Main thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace app {

class RecordingList {
 public:
  RecordingList() = default;
  explicit RecordingList(HWND listBox) noexcept : list_(listBox) {}
  void Attach(HWND listBox) noexcept { list_ = listBox; }
  HWND hwnd() const noexcept { return list_; }

  // Lists the recordings of folder (which ends with "\"), creating it with every missing
  // parent first. When the folder cannot be created (or is empty) nothing changes: the entries
  // and the folder they came from stay, and the answer is false. An existing folder without
  // recordings empties the list.
  bool Refresh(const std::wstring& folder);

  // The folder the entries were listed from ("" before the first refresh).
  const std::wstring& Folder() const noexcept { return folder_; }
  // The full path of an entry's file.
  std::wstring PathOf(const std::wstring& name) const { return folder_ + name; }

  int Count() const noexcept;
  std::vector<std::wstring> Names() const;
  // The entry with the keyboard focus, selected or not; nothing in an empty list.
  std::optional<std::wstring> Current() const;
  // The names of every selected entry, top to bottom.
  std::vector<std::wstring> Selected() const;

 private:
  std::wstring Item(int index) const;

  HWND list_ = nullptr;
  std::wstring folder_;
};

// Deletes folder + name for each name, asking nothing; a file that cannot be deleted stays.
// Returns how many were deleted.
int DeleteRecordingFiles(const std::wstring& folder, const std::vector<std::wstring>& names);

// The extension of a file name with its dot ("" when it has none).
std::wstring ExtensionOf(const std::wstring& name);

// The rename road of the list: releases the recording (closeFile, e.g. the player's close) and
// then lets rename(folder, name, extension) ask for the new name and rename the file once.
// Without a current entry nothing happens. The list is refreshed afterwards in every case, so it
// shows what the folder holds. True when rename answered true.
using RenameStep = std::function<bool(const std::wstring& folder, const std::wstring& name,
                                      const std::wstring& extension)>;
bool RenameCurrentRecording(RecordingList& list, const std::function<void()>& closeFile, const RenameStep& rename);

// The delete road of the list: releases the recording (closeFile), deletes every selected
// entry's file and refreshes the list from its folder. Returns how many files were deleted.
int DeleteSelectedRecordings(RecordingList& list, const std::function<void()>& closeFile);

// Opening a recording in the system's default player (through the shell opener).
enum class DefaultOpenResult {
  NoFile,    // no file name (blank): nothing chosen yet
  Missing,   // the file does not exist
  Opened,    // the shell took it
  Refused,   // the shell refused it (no program for the type, ...)
};
// fileName: the chosen recording's name; path: its full path.
DefaultOpenResult OpenInDefaultPlayer(HWND owner, const std::wstring& fileName, const std::wstring& path);

}  // namespace app
