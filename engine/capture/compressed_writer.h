// The recorders' compressed video stream: a video compressor driven directly (ICCompressBegin,
// ICCompress, ICCompressEnd, ICClose) whose frames go into a plain AVI stream, in place of the
// platform's compressed stream (AVIMakeCompressedStream).
//
// Why: on this platform that stream never closes its compressor (the driver's per-run state, a
// frame's worth of memory, stays until the process ends) and each one leaves a handle behind,
// so every recording kept about one full frame and one handle. This writer makes the same
// calls on the plain stream as that stream does (the compressor's output format, then each
// compressed frame with the key-frame flag of the frames it asked to be key frames), so the
// files are the same, and it closes the compressor when it goes. One difference: its first
// frame is always a key frame, where that stream makes a first write past the stream's start
// a delta frame against nothing. And a first frame past the stream's first position has the
// positions before it written empty first: the platform's plain stream would otherwise start
// the stream at that frame's position and still index it from the first position, so every
// frame after it would play at the wrong time.
//
// Belongs to one thread (the record thread); movable, not copyable.
#pragma once

#include <windows.h>
#include <vfw.h>

#include <cstdint>
#include <vector>

#include "engine/capture/vfw_handles.h"

namespace engine {

class CompressedWriter {
 public:
  CompressedWriter() = default;
  ~CompressedWriter();
  CompressedWriter(const CompressedWriter&) = delete;
  CompressedWriter& operator=(const CompressedWriter&) = delete;

  // Opens options.fccHandler in compress mode over stream (which must outlive this writer);
  // a handler of 0 or 'DIB ' writes the frames as they come. AVIERR_OK, or
  // AVIERR_NOCOMPRESSOR when the compressor cannot be opened. As AVIMakeCompressedStream.
  HRESULT Open(PAVISTREAM stream, const AVICOMPRESSOPTIONS& options);
  // The frames' format (BI_RGB): the compressor is asked for its output format, begins, and
  // the stream gets that format. AVIERR_COMPRESSOR when the compressor refuses. As
  // AVIStreamSetFormat at position 0 on the compressed stream.
  HRESULT SetFormat(const BITMAPINFOHEADER* format, LONG formatSize);
  // Compresses one frame (the pixel rows of the format's size) and writes it at position
  // start. AVIERR_COMPRESSOR when the compressor failed, else what the stream's write gave.
  HRESULT Write(LONG start, const void* bits, LONG bytes);
  // Ends the compression and closes the compressor (also done by the destructor).
  void Close() noexcept;
  // Once the format is set: the most bytes one frame can take (the compressor's own answer,
  // ICCompressGetSize; a raw frame's size when it has none or passes frames through).
  uint64_t WorstFrameBytes() const { return worstFrame_; }
  // The bytes the last successful Write handed to the stream.
  uint64_t LastFrameBytes() const { return lastFrame_; }

 private:
  HRESULT EncodeFrame(const void* bits);

  PAVISTREAM stream_ = nullptr;
  UniqueHic hic_;
  bool passThrough_ = false;
  bool begun_ = false;
  bool decompressing_ = false;
  DWORD flags_ = 0;       // the compressor's VIDCF_ flags
  DWORD quality_ = 0;
  LONG keyFrameEvery_ = 1;
  LONG streamStart_ = 0;     // the stream's first position
  bool wroteAny_ = false;    // a frame went into the stream since Open
  bool keyWritten_ = false;  // until a key frame is written, every frame is one (the first write
                             // starts the stream's pictures wherever it lands)
  LONG current_ = -1;
  LONG lastKey_ = 0;
  uint64_t worstFrame_ = 0;
  uint64_t lastFrame_ = 0;
  std::vector<BYTE> input_;   // the input format
  std::vector<BYTE> output_;  // the output format
  std::vector<BYTE> frame_;   // the output format followed by the compressed frame
  std::vector<BYTE> previous_;  // the previous frame decompressed, for temporal compressors
                                // that need it (no VIDCF_FASTTEMPORALC): format, then pixels
};

}  // namespace engine
