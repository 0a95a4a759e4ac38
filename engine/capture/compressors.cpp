#include "engine/capture/compressors.h"

#include <iterator>

#include "engine/capture/vfw_handles.h"

namespace engine {

DWORD UpperFourCC(DWORD code) {
  DWORD out = 0;
  for (int i = 0; i < 4; ++i) {
    auto c = static_cast<unsigned char>((code >> (8 * i)) & 0xFF);
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
    out |= static_cast<DWORD>(c) << (8 * i);
  }
  return out;
}

bool SameFourCC(DWORD a, DWORD b) { return UpperFourCC(a) == UpperFourCC(b); }

int ListVideoCompressors(const BITMAPINFOHEADER* testFrame, ICINFO* slots, int capacity) {
  int count = 0;
  if (testFrame && capacity > 0) {
    for (DWORD index = 0; index < static_cast<DWORD>(capacity) && count < capacity; ++index) {
      ICINFO& slot = slots[count];
      slot = ICINFO{};
      slot.dwSize = sizeof(ICINFO);
      if (!::ICInfo(ICTYPE_VIDEO, index, &slot)) continue;
      const DWORD type = slot.fccType ? slot.fccType : ICTYPE_VIDEO;
      const DWORD handler = slot.fccHandler;
      bool listed = false;
      for (int i = 0; i < count; ++i) listed = listed || SameFourCC(slots[i].fccHandler, handler);
      if (listed || handler == 0) continue;
      UniqueHic ic(::ICOpen(type, handler, ICMODE_QUERY));
      if (!ic) continue;
      if (::ICCompressQuery(ic.get(), const_cast<BITMAPINFOHEADER*>(testFrame), nullptr) != ICERR_OK) continue;
      ::ICGetInfo(ic.get(), &slot, sizeof(ICINFO));
      // The list is opened again by these codes; a driver that leaves them out keeps the
      // enumerated ones.
      slot.fccType = type;
      slot.fccHandler = handler;
      slot.szDescription[std::size(slot.szDescription) - 1] = L'\0';
      slot.szName[std::size(slot.szName) - 1] = L'\0';
      ++count;
    }
  }
  for (int i = count; i < capacity; ++i) slots[i] = ICINFO{};
  return count;
}

namespace {
UniqueHic OpenForQuery(const ICINFO& compressor) {
  return UniqueHic(::ICOpen(compressor.fccType, compressor.fccHandler, ICMODE_QUERY));
}
}  // namespace

void ShowCompressorAbout(const ICINFO& compressor, HWND parent) {
  UniqueHic ic = OpenForQuery(compressor);
  if (ic) ::ICSendMessage(ic.get(), ICM_ABOUT, reinterpret_cast<DWORD_PTR>(parent), 0);
}

void ShowCompressorConfigure(const ICINFO& compressor, HWND parent) {
  UniqueHic ic = OpenForQuery(compressor);
  if (ic) ::ICSendMessage(ic.get(), ICM_CONFIGURE, reinterpret_cast<DWORD_PTR>(parent), 0);
}

void QueryCompressorDialogs(const ICINFO& compressor, bool& hasAbout, bool& hasConfigure) {
  hasAbout = false;
  hasConfigure = false;
  UniqueHic ic = OpenForQuery(compressor);
  if (!ic) return;
  hasAbout = ::ICSendMessage(ic.get(), ICM_ABOUT, static_cast<DWORD_PTR>(-1), ICMF_ABOUT_QUERY) == ICERR_OK;
  hasConfigure =
      ::ICSendMessage(ic.get(), ICM_CONFIGURE, static_cast<DWORD_PTR>(-1), ICMF_CONFIGURE_QUERY) == ICERR_OK;
}

}  // namespace engine
