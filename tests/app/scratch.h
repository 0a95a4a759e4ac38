// A scratch folder for one test: made empty under the temporary folder, removed with
// everything in it when the test ends. Also small file helpers for checking what the program
// wrote, byte for byte.
#pragma once

#include <windows.h>

#include <string>

namespace apptest {

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  // Ends with "\".
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + name; }

 private:
  std::wstring path_;
};

std::string ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// The text of a file: UTF-16LE after a byte-order mark, otherwise each byte as one character.
std::wstring ReadText(const std::wstring& path);
bool FileExists(const std::wstring& path);
// Removes a folder tree (files first).
void RemoveTree(const std::wstring& folder);

}  // namespace apptest
