// Small real recordings for the playback tests: 8-bit MRLE AVI files written through AVIFile,
// every frame a key frame (the only way the installed RLE compressor compresses), and the
// sound-less recorder set up to record the same way.
#pragma once

#include <windows.h>

#include <string>

#include "engine/soundless/scrcamNS.h"

namespace apptest {

// Puts the sound-less recorder on the installed MRLE compressor at 8 bits, a key frame every
// frame. False when MRLE is not listed.
bool UseMrleAt8Bits(scrcamNS::TScreenCamNS& camera);

// Writes an MRLE video of width x height with frames frames at fps frames a second; each frame
// is a solid pure colour. False when any AVIFile step fails.
bool WriteMrleAvi(const std::wstring& path, int width, int height, int frames, int fps);
// What the frames show: Halves, the top half one pure colour and the bottom half the next,
// changing every frame; MovingStripes, vertical stripes 16 pixels wide in four pure colours
// that move 8 pixels to the left every frame.
enum class FixturePattern { Halves, MovingStripes };
// The same frames at 8 or 32 bits through another installed compressor, with a key frame every
// keyFrameEvery frames.
bool WriteFixtureAvi(const std::wstring& path, int width, int height, int frames, int fps, DWORD codec,
                     int keyFrameEvery, int bits, FixturePattern pattern = FixturePattern::Halves);

bool Exists(const std::wstring& path);
bool TouchFile(const std::wstring& path);

}  // namespace apptest
