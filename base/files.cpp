// Folder-path normalising, folder checks and creation, flat folder listings with a name filter, and the "leading number"
// order in which the recordings list shows its files (1.avi, 2.avi, 10.avi rather than the
// alphabetical 1, 10, 2). Reclume's main window and the setup program both use these.
#include "base/files.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include <shlobj.h>

#include "base/barrier.h"
#include "base/text.h"
#include "base/unique.h"

namespace base {

namespace {

std::wstring UpperCased(std::wstring s) {
  if (!s.empty()) ::CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

int DigitValue(wchar_t c, int radix) {
  int d = -1;
  if (c >= L'0' && c <= L'9') d = c - L'0';
  else if (c >= L'a' && c <= L'f') d = c - L'a' + 10;
  else if (c >= L'A' && c <= L'F') d = c - L'A' + 10;
  return d < radix ? d : -1;
}

}  // namespace

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ProgramPath() {
  std::wstring path(32768, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length < path.size() ? length : 0);
  return path;
}

std::wstring FullLongPath(const std::wstring& path) {
  std::wstring full(32768, L'\0');
  const DWORD size = static_cast<DWORD>(full.size());
  DWORD n = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  const std::wstring absolute = n == 0 || n >= size ? path : full.substr(0, n);
  n = ::GetLongPathNameW(absolute.c_str(), full.data(), size);
  if (n != 0 && n < size) return full.substr(0, n);
  // A file that does not exist yet has no long name: its folder's, then the name as given
  // (which is the long name of the file made from it).
  const std::wstring name = FileNameOf(absolute);
  std::wstring folder = FolderOf(absolute);
  if (name.empty() || folder.empty()) return absolute;
  n = ::GetLongPathNameW(folder.c_str(), full.data(), size);
  if (n == 0 || n >= size) return absolute;
  folder = full.substr(0, n);
  NormalizeDirPath(folder);
  return folder + name;
}

std::wstring PathObjectName(const wchar_t* prefix, const std::wstring& path) {
  const std::wstring upper = UpperCased(path);
  // FNV-1a, 64 bits, as hexadecimal digits.
  uint64_t hash = 14695981039346656037ull;
  for (wchar_t c : upper) {
    hash ^= static_cast<uint16_t>(c);
    hash *= 1099511628211ull;
  }
  wchar_t hex[17] = {};
  for (int i = 15; i >= 0; --i, hash >>= 4) hex[i] = L"0123456789ABCDEF"[hash & 15];
  return std::wstring(prefix) + hex;
}

void NormalizeDirPath(std::wstring& path) noexcept {
  try {
    std::wstring_view text = TrimView(path);
    if (text.empty()) return;
    std::wstring out;
    out.reserve(text.size() + 1);
    // "\\server\share": the doubled backslash is what makes it a network path, so it stays.
    size_t lead = 0;
    while (lead < text.size() && text[lead] == L'\\') ++lead;
    if (lead >= 2 && lead < text.size()) {
      out = L"\\\\";
      text.remove_prefix(lead);  // the rest starts with the server name, not a backslash
    }
    for (wchar_t c : text) {
      if (c == L'\\' && !out.empty() && out.back() == L'\\') continue;
      out.push_back(c);
    }
    if (out.back() != L'\\') out.push_back(L'\\');
    path = std::move(out);
  } catch (...) {
    // Out of memory: the path stays as it was.
  }
}

bool FolderExists(const std::wstring& path) noexcept {
  if (path.empty()) return false;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::wstring& path) noexcept {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileIsEmpty(const std::wstring& path) noexcept {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeHigh == 0 &&
         data.nFileSizeLow == 0;
}

bool CreateFolderTree(const std::wstring& folder) noexcept {
  if (TrimView(folder).empty()) return false;
  if (FolderExists(folder)) return true;
  return Guard("CreateFolderTree", [&] {
    std::wstring path = folder;
    // The shell wants no trailing separator, except on a drive root.
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    return FolderExists(folder);
  }, false);
}

void GetFileList(const std::wstring& folder, const std::wstring& filter,
                 std::vector<std::wstring>& list) noexcept {
  try {
    std::wstring_view trimmed = TrimView(filter);
    const bool passAll = trimmed.empty() || trimmed == L".*";
    const std::wstring wanted = passAll ? std::wstring() : UpperCased(filter);

    // Without its final separator "C:\Rec" would search "C:\Rec*.*": the files of the parent
    // folder whose names begin with "Rec".
    std::wstring prefix = folder;
    if (!prefix.empty() && prefix.back() != L'\\' && prefix.back() != L'/') prefix.push_back(L'\\');

    WIN32_FIND_DATAW data{};
    UniqueFind find(::FindFirstFileExW((prefix + L"*.*").c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, 0));
    if (!find) return;
    do {
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      const std::wstring name = data.cFileName;
      if (!passAll && UpperCased(name).find(wanted) == std::wstring::npos) continue;
      list.push_back(prefix + name);
    } while (::FindNextFileW(find.get(), &data));
  } catch (...) {
    // Out of memory: the list keeps what was added so far.
  }
}

int64_t LeadingNumber(std::wstring_view text) noexcept {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  int radix = 10;
  if (i < text.size() && (text[i] == L'$' || text[i] == L'x' || text[i] == L'X')) {
    radix = 16;
    ++i;
  }
  // Accumulate the magnitude unsigned; the negative range is one larger than the positive one.
  const uint64_t limit = negative ? uint64_t{1} << 63 : uint64_t(std::numeric_limits<int64_t>::max());
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int d = DigitValue(text[i], radix);
    if (d < 0) break;
    if (value > (limit - d) / radix) {
      value = limit;
      break;
    }
    value = value * radix + d;
  }
  if (!negative) return static_cast<int64_t>(value);
  return value == (uint64_t{1} << 63) ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(value);
}

int CompareByLeadingNumber(std::wstring_view a, std::wstring_view b) noexcept {
  const int64_t ka = LeadingNumber(a), kb = LeadingNumber(b);
  return ka < kb ? -1 : (ka > kb ? 1 : 0);
}

void SortByLeadingNumber(std::vector<std::wstring>& items) {
  std::vector<int64_t> keys;
  keys.reserve(items.size());
  for (const auto& item : items) keys.push_back(LeadingNumber(item));
  std::vector<size_t> order(items.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return keys[x] < keys[y]; });
  std::vector<std::wstring> sorted;
  sorted.reserve(items.size());
  for (size_t index : order) sorted.push_back(std::move(items[index]));
  items = std::move(sorted);
}

bool SortListByNumber(HWND listBox) {
  // Other controls answer LB_GETCOUNT with 0 rather than an error, so ask for the class.
  wchar_t cls[32] = {};
  ::RealGetWindowClassW(listBox, cls, 32);
  if (::lstrcmpiW(cls, L"ListBox") != 0 && ::lstrcmpiW(cls, L"ComboLBox") != 0) return false;
  const LRESULT count = ::SendMessageW(listBox, LB_GETCOUNT, 0, 0);
  if (count == LB_ERR || count < 0) return false;
  std::vector<std::wstring> items;
  items.reserve(static_cast<size_t>(count));
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = ::SendMessageW(listBox, LB_GETTEXTLEN, i, 0);
    std::wstring text(length > 0 ? static_cast<size_t>(length) : 0, L'\0');
    if (length > 0) {
      // LB_GETTEXT writes the terminating zero too; the string's own buffer has room for it.
      const LRESULT got = ::SendMessageW(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
      text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    }
    items.push_back(std::move(text));
  }
  SortByLeadingNumber(items);
  ::SendMessageW(listBox, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(listBox, LB_RESETCONTENT, 0, 0);
  for (const auto& item : items) ::SendMessageW(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  ::SendMessageW(listBox, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(listBox, nullptr, TRUE);
  return true;
}

}  // namespace base
