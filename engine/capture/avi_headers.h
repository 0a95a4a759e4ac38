// Two header fields of a finished AVI file that this platform's writer gets wrong, put right
// in place once the file is closed: the main header's microseconds per frame (written as the
// frame rate x 10^6) and a sound stream's length (written as its chunk count instead of its
// length in blocks, so readers that trust it find no sound duration).
#pragma once

#include <string>

namespace engine {

// Reads the file's headers and its sound bytes and rewrites the two fields where they differ
// from what the streams say. False when the file could not be read or written; a file that
// needs nothing is left untouched.
bool CorrectAviHeaders(const std::wstring& path);

}  // namespace engine
