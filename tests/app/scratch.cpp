// File helpers for the application's tests.
#include "tests/app/scratch.h"

#include "base/text.h"
#include "base/unique.h"

namespace apptest {

std::wstring ReadText(const std::wstring& path) {
  std::string bytes = ReadBytes(path);
  std::wstring text;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
  } else {
    for (char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
  }
  return text;
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace apptest
