// Files of the source tree for tests that replay committed inputs (the fuzzing seeds).
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// The Windows path of a folder of the source tree ("fuzz/corpus"), found from this file's
// own path.
std::wstring SourceFolder(const std::string& relative);
// Names of the files in folder (no folders, none starting with '.').
std::vector<std::wstring> FilesIn(const std::wstring& folder);

}  // namespace testsupport
