// The open dialogs and paths longer than MAX_PATH. Wine's dialog copies the chosen folder and
// name into MAX_PATH buffers of its own before it returns, and a longer path overwrites its
// stack (measured: a larger buffer of ours with OFN_EXPLORER, and the item dialog, crash the
// same way; with several files chosen each one's path goes through such a buffer). So a choice
// whose path would not fit is refused while the dialog is still open: every way of choosing
// (the open button, Enter, a double-click or Enter in the file list, which posts the same
// command) reaches the dialog as its IDOK command, checked here first.
#include "app/main_window/open_guard.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "app/main_window/main_form.h"
#include "base/seams.h"
#include "base/text.h"

namespace app {

namespace {

constexpr UINT_PTR kOpenGuardId = 0x7E04;
const wchar_t kPathTooLong[] =
    L"所选文件的路径太长（超过 259 个字符），无法打开。请把文件移到路径较短的文件夹中，或改短它的名称。";

// The names in the file name box: one as typed, or several, each in double quotes.
std::vector<std::wstring> TypedNames(const std::wstring& text) {
  const std::wstring typed = base::Trim(text);
  if (typed.find(L'"') == std::wstring::npos) return {typed};
  std::vector<std::wstring> names;
  for (size_t open = typed.find(L'"'); open != std::wstring::npos;) {
    const size_t close = typed.find(L'"', open + 1);
    if (close == std::wstring::npos) {
      names.push_back(typed.substr(open + 1));
      break;
    }
    names.push_back(typed.substr(open + 1, close - open - 1));
    open = typed.find(L'"', close + 1);
  }
  return names;
}

// The length of the path the dialog would make of name in its current folder.
size_t PathLength(const std::wstring& name, const std::wstring& folder) {
  if (name.size() >= 2 && (name[1] == L':' || (name[0] == L'\\' && name[1] == L'\\'))) return name.size();
  if (!name.empty() && name[0] == L'\\') return std::min<size_t>(folder.size(), 2) + name.size();
  return folder.size() + (!folder.empty() && folder.back() == L'\\' ? 0 : 1) + name.size();
}

// The longest path the dialog would make of its file name box.
size_t LongestChosenPath(HWND dialog) {
  HWND box = ::GetDlgItem(dialog, cmb13);
  if (!box) box = ::GetDlgItem(dialog, edt1);
  if (!box) return 0;
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
  wchar_t folder[MAX_PATH + 1] = {};
  ::SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH + 1, reinterpret_cast<LPARAM>(folder));
  size_t longest = 0;
  for (const std::wstring& name : TypedNames(text)) longest = std::max(longest, PathLength(name, folder));
  return longest;
}

LRESULT CALLBACK GuardOpenCommand(HWND dialog, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (msg == WM_COMMAND && LOWORD(wp) == IDOK && LongestChosenPath(dialog) >= MAX_PATH) {
    base::ShowMessage(dialog, kPathTooLong, kApplicationTitle, MB_OK | MB_ICONWARNING);
    return 0;
  }
  if (msg == WM_NCDESTROY) ::RemoveWindowSubclass(dialog, &GuardOpenCommand, kOpenGuardId);
  return ::DefSubclassProc(dialog, msg, wp, lp);
}

}  // namespace

// The hook's child dialog is made inside the system dialog: its parent is the dialog itself.
UINT_PTR CALLBACK LongPathOpenHook(HWND child, UINT msg, WPARAM, LPARAM) {
  if (msg == WM_INITDIALOG) ::SetWindowSubclass(::GetParent(child), &GuardOpenCommand, kOpenGuardId, 0);
  return 0;
}

}  // namespace app
