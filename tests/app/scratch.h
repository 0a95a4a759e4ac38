// The scratch folder of the application's tests (the shared one), and small file helpers for
// checking what the program wrote, byte for byte.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/scratch_folder.h"

namespace apptest {

using testsupport::ScratchFolder;

using testsupport::ReadBytes;
using testsupport::WriteBytes;
// The text of a file: UTF-16LE after a byte-order mark, otherwise each byte as one character.
std::wstring ReadText(const std::wstring& path);
bool FileExists(const std::wstring& path);
using testsupport::RemoveTree;

}  // namespace apptest
