// Pictures and text lists taken out of a program's own resources.
//
// Resource names and types are matched without regard to case ("fs" finds "FS"). Every loader
// is quiet: a missing or unreadable resource leaves its target exactly as it was and reports
// false (or an empty list), so a missing glyph just leaves a button without a picture.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/unique.h"

namespace base {

// The bytes of a resource; empty when there is none. module nullptr: the program itself.
// The bytes live as long as the module stays loaded.
std::span<const uint8_t> FindResourceBytes(const wchar_t* name, const wchar_t* type,
                                           HMODULE module = nullptr) noexcept;

// Decoders for the picture formats the resources hold: a whole .bmp file (uncompressed or
// bit-field DIBs of 1 to 32 bits) and a JPEG file (grey or colour; decoded to 32 bits).
// Both give a DIB section, or a null bitmap when the data is malformed.
UniqueBitmap DecodeBmp(std::span<const uint8_t> file) noexcept;
UniqueBitmap DecodeJpeg(std::span<const uint8_t> file) noexcept;
// Encodes width x height top-down 32-bit rows (blue, green, red, unused; stride bytes apart)
// as a baseline JPEG of quality 100 and decodes it as one grey channel into gray (one byte per
// pixel, top row first). False without libjpeg or on a codec error.
bool JpegGrayRoundTrip(const uint8_t* rows, int stride, int width, int height, std::vector<uint8_t>& gray) noexcept;

// The program's own icon ("MAINICON") at size x size pixels, shared (never destroyed); null when
// the program has none.
HICON ProgramIcon(int size = 32) noexcept;

// A .bmp picture from the resource name of the given type (button glyphs use "bmp"). On
// success the target gets the new bitmap; otherwise it keeps what it had.
bool LoadGraphicFromRes(UniqueBitmap& target, const wchar_t* name, const wchar_t* type,
                        HMODULE module = nullptr) noexcept;

// The same for a JPEG picture (panels and banners use type "jpg").
bool LoadJpegFromRes(UniqueBitmap& target, const wchar_t* name, const wchar_t* type,
                     HMODULE module = nullptr) noexcept;

// The lines of the text resource name of type "TXT", read as UTF-8 (a leading byte-order mark
// is dropped); lines end at CR LF, LF or CR, and a final line break adds no empty line.
// A missing resource gives an empty list.
std::vector<std::wstring> LoadStringsFromRes(const wchar_t* name, HMODULE module = nullptr) noexcept;

// The same splitting for text already in memory.
std::vector<std::wstring> SplitLines(std::wstring_view text);

}  // namespace base
