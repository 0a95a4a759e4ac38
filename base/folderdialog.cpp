// The shell's folder dialog. Only the W functions are used, so folder names outside the ANSI
// code page (Chinese names on a Western system, for one) come back intact.
#include "base/folderdialog.h"

#include <shlobj.h>

#include "base/barrier.h"
#include "base/files.h"
#include "base/unique.h"

namespace base {

namespace {

constexpr wchar_t kDriveRoot[] = L"C:\\";

// lpData carries the start folder: the dialog selects it as soon as it is ready.
int CALLBACK BrowseFolderCallback(HWND dialog, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED && data) ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

}  // namespace

std::wstring BrowseForFolder(const std::wstring& title, const std::wstring& start, HWND owner) noexcept {
  return Guard("BrowseForFolder", [&]() -> std::wstring {
    // The new dialog style needs an apartment; if the thread already has one this only counts.
    ComInit com(COINIT_APARTMENTTHREADED);
    wchar_t display[MAX_PATH + 1] = {};
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pszDisplayName = display;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    if (!start.empty()) {
      info.lpfn = BrowseFolderCallback;
      info.lParam = reinterpret_cast<LPARAM>(start.c_str());
    }
    PIDLIST_ABSOLUTE item = ::SHBrowseForFolderW(&info);
    if (!item) return {};
    wchar_t path[MAX_PATH + 1] = {};
    const bool ok = ::SHGetPathFromIDListW(item, path);
    ::CoTaskMemFree(item);
    return ok ? std::wstring(path) : std::wstring();
  }, std::wstring());
}

std::wstring SelectFolder(const std::wstring& folder, HWND owner) noexcept {
  return Guard("SelectFolder", [&]() -> std::wstring {
    const std::wstring title = FolderExists(folder) ? folder : std::wstring(kDriveRoot);
    return BrowseForFolder(title, kDriveRoot, owner);
  }, std::wstring());
}

}  // namespace base
