// A temporal video compressor for tests, built on the pass-through one and installed the same
// way (ScopedPassThrough(TemporalOptions(), kTemporalFourCC)). It needs the previous frame: it
// reports VIDCF_TEMPORAL without VIDCF_FASTTEMPORALC, so a client decompresses every frame it
// compressed and hands it back with the next delta frame (ICCompress's lpbiPrev and lpPrev).
//
// A coded frame is a tag DWORD ('K' a key frame, 'D' a delta frame) and then the pixels: a key
// frame stores them whole, a delta frame as their XOR against the previous frame it was handed.
// Lossy on purpose: every byte loses its lowest bit, so the previous frame a client hands back
// must be the decompressed one, not the raw frame it compressed. It takes 32-bit BI_RGB input.
//
// It records what it was asked and given for each frame of the last compression (since
// ICM_COMPRESS_BEGIN); one compression at a time.
#pragma once

#include <windows.h>
#include <vfw.h>

#include <cstddef>
#include <vector>

#include "tests/support/passthrough_codec.h"

namespace testsupport {

inline constexpr DWORD kTemporalFourCC = mmioFOURCC('T', 'M', 'P', 'R');

struct TemporalFrame {
  LONG frame = 0;          // the frame number ICCompress was given
  bool keyAsked = false;   // with ICCOMPRESS_KEYFRAME
  bool prevGiven = false;  // with lpbiPrev and lpPrev
  // The previous frame given was the last frame this compression made, decompressed (and its
  // format that of the input).
  bool prevRight = false;
};

// The pass-through's options that make it this compressor.
PassThroughOptions TemporalOptions();
// The frames of the last compression, in order.
std::vector<TemporalFrame> TemporalFramesCompressed();
// Decodes one coded frame of bytes over picture (the frame decoded before it, pictureBytes
// long); false when it is not a frame of this compressor of that size.
bool TemporalDecode(const void* coded, size_t bytes, BYTE* picture, size_t pictureBytes);
// What a frame of pixels decodes to.
std::vector<BYTE> TemporalDecoded(const std::vector<BYTE>& pixels);

}  // namespace testsupport
