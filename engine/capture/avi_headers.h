// Two header fields of a finished AVI file that this platform's writer gets wrong, put right
// in place once the file is closed: the main header's microseconds per frame (written as the
// frame rate x 10^6) and a sound stream's length (written as its chunk count instead of its
// length in blocks, so readers that trust it find no sound duration). And the frames of a file
// whose disk filled under the writer, kept to the whole ones.
#pragma once

#include <cstdint>
#include <string>

namespace engine {

// Reads the file's headers and its sound bytes and rewrites the two fields where they differ
// from what the streams say. False when the file could not be read or written; a file that
// needs nothing is left untouched.
bool CorrectAviHeaders(const std::wstring& path);

// A closed AVI file of one video stream whose writes met a full disk: its bytes from `reached`
// on (the file's size on the disk when it filled) were held by the writer and may never have
// reached the disk, while the writer reported success. Keeps the frame positions whose chunks
// lie whole below reached: the 'movi' list ends after the last of them, the index of those
// positions follows it, and the headers' lengths count them. The number of positions kept, or
// -1 when the file is not such a file or could not be rewritten (it is then left as it was);
// a file with nothing past reached is left untouched.
int64_t KeepWholeFrames(const std::wstring& path, uint64_t reached);

}  // namespace engine
