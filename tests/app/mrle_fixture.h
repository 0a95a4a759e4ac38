// Small real recordings for the playback tests: 8-bit MRLE AVI files written through AVIFile,
// every frame a key frame (the only way the installed RLE compressor compresses).
#pragma once

#include <windows.h>

#include <string>

namespace apptest {

// Writes an MRLE video of width x height with frames frames at fps frames a second; each frame
// is a solid pure colour. False when any AVIFile step fails.
bool WriteMrleAvi(const std::wstring& path, int width, int height, int frames, int fps);
// The same frames at 8 or 32 bits through another installed compressor, with a key frame every
// keyFrameEvery frames.
bool WriteFixtureAvi(const std::wstring& path, int width, int height, int frames, int fps, DWORD codec,
                     int keyFrameEvery, int bits);

// A folder for one test under the temporary folder (ending with "\"), removed with its files.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

bool Exists(const std::wstring& path);
bool TouchFile(const std::wstring& path);

}  // namespace apptest
