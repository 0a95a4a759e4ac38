// The one scratch folder of the tests: every file a test writes goes into a folder of its own
// under the temporary folder, made empty at the start and removed with everything in it at the
// end. A shell test that checks the files afterwards names an environment variable: when it is
// set, its folder is used instead and kept.
#pragma once

#include <string>

namespace testsupport {

class ScratchFolder {
 public:
  // keepVariable: the environment variable that names a folder to use and keep (nullptr: none).
  explicit ScratchFolder(const wchar_t* keepVariable = nullptr);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Ends with "\".
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + name; }
  // The folder came from the environment and stays after the test.
  bool kept() const { return kept_; }

 private:
  std::wstring path_;
  bool kept_ = false;
};

// Removes a folder and everything in it (read-only files too).
void RemoveTree(const std::wstring& folder);

// A file's bytes (empty when it cannot be read), and a file written with bytes.
std::string ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);

}  // namespace testsupport
