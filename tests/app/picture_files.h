// What the split tests read back from a folder of pictures.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/split/avi_split.h"

namespace testapp {

// The names of the files directly in folder (no folders), sorted.
inline std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data{};
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

// The picture names of the counts first to last, in that order.
inline std::vector<std::wstring> FrameNames(int first, int last) {
  std::vector<std::wstring> names;
  for (int i = first; i <= last; ++i) names.push_back(app::PictureName(i));
  return names;
}

}  // namespace testapp
