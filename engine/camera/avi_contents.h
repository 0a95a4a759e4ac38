// What an AVI or WAVE file really holds, read from its RIFF chunks without AVIFile: the
// recordings' checks after a merge and before a temporary file is opened.
//
// AVIFile cannot be trusted for this here: on a full disk its writes and AVISaveV return
// success for files it could not write whole, and avifil32 ends the process (an assertion)
// when it reads a stream whose header claims more frames than the file holds. The walk reads
// only chunk headers (it seeks over the data), so a 2 GB file costs a few thousand reads.
#pragma once

#include <cstdint>
#include <string>

namespace engine {

struct AviContents {
  bool readable = false;   // a RIFF 'AVI ' file whose sizes stay inside the file
  bool whole = false;      // readable, its RIFF chunk ends inside the file, and 'movi' and 'idx1' are there
  uint32_t headerFrames = 0;  // what the main header claims (dwTotalFrames)
  uint32_t videoLength = 0;   // what the video stream's header claims (dwLength)
  uint64_t videoChunks = 0;   // frame positions held ('##dc' / '##db', empty ones included)
  uint64_t videoFrames = 0;   // of them, the ones holding a frame
  uint64_t audioChunks = 0;
  uint64_t audioBytes = 0;    // sound bytes held ('##wb')
};
AviContents ReadAviContents(const std::wstring& path);

struct WaveContents {
  bool readable = false;   // RIFF 'WAVE' with 'fmt ' and a 'data' chunk inside the file
  uint32_t bytesPerSecond = 0;
  uint16_t blockAlign = 0;
  uint64_t dataBytes = 0;
};
WaveContents ReadWaveContents(const std::wstring& path);

}  // namespace engine
