// A stand-in update package for the update dialog's test: it writes how it was started, its
// arguments after its own name and the show command it was given, as UTF-8 lines into
// "update_started.txt" beside itself, then ends.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  wchar_t self[MAX_PATH * 2] = {};
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  std::wstring record(self, n);
  record = record.substr(0, record.find_last_of(L'\\') + 1) + L"update_started.txt";
  const std::wstring text = std::wstring(arguments ? arguments : L"") + L"\n" + std::to_wstring(show) + L"\n";
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
  // Written under another name first, so the test never reads half a record.
  const std::wstring part = record + L".part";
  HANDLE file = ::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  ::CloseHandle(file);
  return ::MoveFileExW(part.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
