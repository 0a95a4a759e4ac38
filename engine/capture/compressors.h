// The installed video compressors: one listing and the driver dialogs, shared by both recorders.
#pragma once

#include <windows.h>
#include <vfw.h>

namespace engine {

// Four-character codes compare without regard to case ('mrle' is 'MRLE').
DWORD UpperFourCC(DWORD code);
bool SameFourCC(DWORD a, DWORD b);

// Fills slots[0..capacity) with the compressors that accept testFrame (a packed frame: header,
// colour table, rows) and returns how many were listed. Each slot is zeroed before it is
// asked; an enumeration entry ICInfo refuses is skipped; no driver is listed twice; the listed
// entries keep the enumerated type and handler and have terminated name and description; the
// slots after the last listed one are zeroed. Without a test frame nothing is queried and the
// count is 0.
int ListVideoCompressors(const BITMAPINFOHEADER* testFrame, ICINFO* slots, int capacity);

// The driver's own About and Configure dialogs, owned by parent; nothing when it cannot be
// opened.
void ShowCompressorAbout(const ICINFO& compressor, HWND parent);
void ShowCompressorConfigure(const ICINFO& compressor, HWND parent);
// Whether the driver has an About and a Configure dialog (both false when it cannot be opened).
void QueryCompressorDialogs(const ICINFO& compressor, bool& hasAbout, bool& hasConfigure);

}  // namespace engine
