// Helpers for driving the modal dialogs from a test: steps posted to the main thread run
// inside the dialog's own loop, and a watchdog closes a dialog that a failing step left open,
// so a broken test fails instead of hanging.
#pragma once

#include <windows.h>
#include <dlgs.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "base/dispatch.h"
#include "tests/app/scratch.h"

namespace testapp {

inline void Press(HWND dialog, int id) { ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

inline void SetText(HWND dialog, int id, const std::wstring& text) {
  ::SetWindowTextW(::GetDlgItem(dialog, id), text.c_str());
}

inline std::wstring TextOf(HWND wnd) {
  wchar_t buffer[512] = {};
  ::GetWindowTextW(wnd, buffer, 512);
  return buffer;
}

inline std::wstring ItemTextOf(HWND dialog, int id) { return TextOf(::GetDlgItem(dialog, id)); }

inline std::function<HWND()>& WatchedDialog() {
  static std::function<HWND()> watched;
  return watched;
}

inline void CALLBACK WatchdogTick(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  HWND dialog = WatchedDialog() ? WatchedDialog()() : nullptr;
  if (dialog && ::IsWindowVisible(dialog)) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
}

// Runs step inside the next modal loop, with the dialog that dialogOf() names then; closes that
// dialog after 20 s if the step did not end it.
inline void WhenShown(std::function<HWND()> dialogOf, std::function<void(HWND)> step) {
  WatchedDialog() = dialogOf;
  ::SetTimer(nullptr, 0, 20000, &WatchdogTick);
  base::PostToMain([dialogOf, step] { step(dialogOf()); });
}

inline BOOL CALLBACK FindVisibleDialog(HWND wnd, LPARAM out) {
  wchar_t cls[32] = {};
  ::GetClassNameW(wnd, cls, 32);
  if (std::wstring(cls) != L"#32770" || !::IsWindowVisible(wnd)) return TRUE;
  *reinterpret_cast<HWND*>(out) = wnd;
  return FALSE;
}

// The system open dialog this thread shows now, or nullptr.
inline HWND OpenDialog() {
  HWND found = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), &FindVisibleDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Types path into the open dialog's file name box and presses its open button.
inline void ChooseFile(HWND dialog, const std::wstring& path) {
  ASSERT_NE(dialog, nullptr) << "no open dialog";
  HWND box = ::GetDlgItem(dialog, cmb13);
  if (!box) box = ::GetDlgItem(dialog, edt1);
  ASSERT_NE(box, nullptr) << "no file name box";
  ::SetWindowTextW(box, path.c_str());
  ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
}

// A scratch folder with the few file helpers these tests need.
class ScratchFolder : public apptest::ScratchFolder {
 public:
  void Touch(const std::wstring& name) const { apptest::WriteBytes(path() + name, std::string()); }
  bool Has(const std::wstring& name) const { return apptest::FileExists(path() + name); }
  // The exact name a file has on disk (the letter case included), or empty.
  std::wstring StoredName(const std::wstring& name) const {
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW((path() + name).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return std::wstring();
    ::FindClose(find);
    return data.cFileName;
  }
};

}  // namespace testapp
