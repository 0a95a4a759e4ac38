// The recordings list: filling it from the recording folder in numeric order, reading the
// current and selected entries, and the delete and rename roads that must release a recording
// from the player before they touch its file (a file open in the player cannot be renamed or
// deleted).
#include "app/main_window/recordings.h"

#include <shlobj.h>

#include "base/shell_opener.h"
#include "base/files.h"

namespace app {

namespace {

bool IsBlankText(const std::wstring& text) {
  for (wchar_t c : text)
    if (c > L' ') return false;
  return true;
}

constexpr wchar_t kPartialSave[] = L".avi.saving.avi";

bool IsPartialSave(const std::wstring& name) {
  const size_t tail = ::wcslen(kPartialSave);
  return name.size() > tail && ::lstrcmpiW(name.c_str() + name.size() - tail, kPartialSave) == 0;
}

}  // namespace

bool RecordingList::Refresh(const std::wstring& folder) {
  if (!base::CreateFolderTree(folder)) return false;
  std::vector<std::wstring> files;
  base::GetFileList(folder, L"avi", files);
  std::vector<std::wstring> names;
  names.reserve(files.size());
  // GetFileList gives folder + name (adding a missing separator); the list shows the names.
  for (const auto& path : files) {
    const size_t slash = path.find_last_of(L'\\');
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    // A save in progress (or one a crash left) beside its target is not a recording.
    if (IsPartialSave(name)) continue;
    names.push_back(std::move(name));
  }
  base::SortByLeadingNumber(names);
  folder_ = folder;
  if (!folder_.empty() && folder_.back() != L'\\') folder_ += L'\\';
  ::SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  for (const auto& name : names) ::SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  ::SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list_, nullptr, TRUE);
  return true;
}

int RecordingList::Count() const noexcept {
  const LRESULT count = ::SendMessageW(list_, LB_GETCOUNT, 0, 0);
  return count == LB_ERR ? 0 : static_cast<int>(count);
}

std::wstring RecordingList::Item(int index) const {
  const LRESULT length = ::SendMessageW(list_, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT got = ::SendMessageW(list_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
  return text;
}

std::vector<std::wstring> RecordingList::Names() const {
  std::vector<std::wstring> names;
  for (int i = 0, n = Count(); i < n; ++i) names.push_back(Item(i));
  return names;
}

std::optional<std::wstring> RecordingList::Current() const {
  const LRESULT caret = ::SendMessageW(list_, LB_GETCARETINDEX, 0, 0);
  if (caret == LB_ERR || caret < 0 || caret >= Count()) return std::nullopt;
  return Item(static_cast<int>(caret));
}

std::vector<std::wstring> RecordingList::Selected() const {
  std::vector<std::wstring> names;
  const LRESULT count = ::SendMessageW(list_, LB_GETSELCOUNT, 0, 0);
  if (count == LB_ERR || count <= 0) return names;
  std::vector<int> indices(static_cast<size_t>(count));
  const LRESULT got = ::SendMessageW(list_, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(indices.data()));
  if (got == LB_ERR) return names;
  indices.resize(static_cast<size_t>(got));
  for (int index : indices) names.push_back(Item(index));
  return names;
}

int DeleteRecordingFiles(const std::wstring& folder, const std::vector<std::wstring>& names) {
  int deleted = 0;
  for (const auto& name : names)
    if (!name.empty() && ::DeleteFileW((folder + name).c_str())) ++deleted;
  return deleted;
}

std::wstring ExtensionOf(const std::wstring& name) {
  const size_t dot = name.find_last_of(L'.');
  const size_t slash = name.find_last_of(L"\\/");
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return {};
  return name.substr(dot);
}

bool RenameCurrentRecording(RecordingList& list, const std::function<void()>& closeFile, const RenameStep& rename) {
  const auto name = list.Current();
  if (!name) return false;
  const std::wstring folder = list.Folder();
  if (closeFile) closeFile();
  const bool renamed = rename && rename(folder, *name, ExtensionOf(*name));
  list.Refresh(folder);
  return renamed;
}

int DeleteSelectedRecordings(RecordingList& list, const std::function<void()>& closeFile) {
  if (closeFile) closeFile();
  const std::wstring folder = list.Folder();
  const int deleted = DeleteRecordingFiles(folder, list.Selected());
  list.Refresh(folder);
  return deleted;
}

DefaultOpenResult OpenInDefaultPlayer(HWND owner, const std::wstring& fileName, const std::wstring& path) {
  if (IsBlankText(fileName)) return DefaultOpenResult::NoFile;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return DefaultOpenResult::Missing;
  return base::ShellOpen(owner, L"open", path) ? DefaultOpenResult::Opened : DefaultOpenResult::Refused;
}

}  // namespace app
