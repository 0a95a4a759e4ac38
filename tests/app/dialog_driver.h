// Helpers for driving the modal dialogs from a test: steps posted to the main thread run
// inside the dialog's own loop, and a watchdog closes a dialog that a failing step left open,
// so a broken test fails instead of hanging.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>

#include "base/dispatch.h"

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

// A scratch folder under the temporary folder, removed with its files afterwards.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + name + L"_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    std::filesystem::create_directories(path_, ec);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::wstring& path() const { return path_; }
  void Touch(const std::wstring& name) const {
    HANDLE h = ::CreateFileW((path_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  }
  bool Has(const std::wstring& name) const {
    return ::GetFileAttributesW((path_ + name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  // The exact name a file has on disk (the letter case included), or empty.
  std::wstring StoredName(const std::wstring& name) const {
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW((path_ + name).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return std::wstring();
    ::FindClose(find);
    return data.cFileName;
  }

 private:
  std::wstring path_;
};

}  // namespace testapp
