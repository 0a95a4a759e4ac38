// Files of the source tree, found from the path this file was compiled from.
#include "tests/support/source_files.h"

#include <windows.h>

namespace testsupport {

std::wstring SourceFolder(const std::string& relative) {
  std::string file = __FILE__;
  std::string root = file.substr(0, file.rfind("tests/support/"));
  std::string unixPath = root + relative;
  using ToDos = wchar_t*(CDECL*)(const char*);
  auto toDos = reinterpret_cast<ToDos>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (toDos && !unixPath.empty() && unixPath[0] == '/') {
    if (wchar_t* dos = toDos(unixPath.c_str())) {
      std::wstring result = dos;
      ::HeapFree(::GetProcessHeap(), 0, dos);
      return result;
    }
  }
  std::wstring wide(unixPath.begin(), unixPath.end());
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  return wide;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.cFileName[0] != L'.')
      names.push_back(found.cFileName);
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
  return names;
}

}  // namespace testsupport
