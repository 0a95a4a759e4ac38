// The pass-through test compressor: a driver procedure installed in this process that accepts
// BI_RGB frames of chosen depths and sizes and copies them through as key frames.
#include "tests/support/passthrough_codec.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

namespace testsupport {
namespace {

std::mutex gMutex;
std::map<DWORD, PassThroughOptions> gOptions;  // per installed FOURCC (upper case); guarded by gMutex
// The FOURCC each driver procedure is installed under (0: free); guarded by gMutex. Every
// installed copy has a procedure of its own: the platform's enumeration asks a function driver
// for its description without opening it (driver id 0), so only the procedure tells the copies
// apart.
constexpr int kCopies = 8;
std::array<DWORD, kCopies> gInstalled{};
std::atomic<int> gFrames{0};
std::atomic<int> gQueries{0};
std::atomic<int> gOpenInstances{0};  // opens with an ICOPEN (not the driver check) not yet closed
std::vector<PassThroughDialogCall> gDialogCalls;  // guarded by gMutex

DWORD Upper(DWORD fourcc) {
  DWORD result = 0;
  for (int i = 0; i < 4; ++i) {
    DWORD c = (fourcc >> (8 * i)) & 0xFF;
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    result |= c << (8 * i);
  }
  return result;
}

// The driver id of an open instance is the FOURCC it was opened for, so each installed copy
// follows its own options. Read in place with gMutex held: the compressor runs on every frame,
// and the tests that count what a recording allocates per frame count a copy's allocations too.
const PassThroughOptions& OptionsLocked(DWORD_PTR id) {
  static const PassThroughOptions none;
  auto found = gOptions.find(Upper(DWORD(id)));
  return found != gOptions.end() ? found->second : none;
}

int FailAtFrame(DWORD_PTR id) {
  std::lock_guard<std::mutex> lock(gMutex);
  return OptionsLocked(id).failAtFrame;
}

// ICM_ABOUT / ICM_CONFIGURE: a query (parent -1 or the query flag) is answered from the
// options; a real call is recorded and answered the same way.
LRESULT DialogMessage(DWORD_PTR id, UINT msg, LPARAM parent, LPARAM flags) {
  std::lock_guard<std::mutex> lock(gMutex);
  const PassThroughOptions& o = OptionsLocked(id);
  const bool has = msg == ICM_ABOUT ? o.hasAbout : o.hasConfigure;
  const bool query = parent == -1 || (flags & (msg == ICM_ABOUT ? ICMF_ABOUT_QUERY : ICMF_CONFIGURE_QUERY));
  if (!query) gDialogCalls.push_back({msg, reinterpret_cast<HWND>(parent), Upper(DWORD(id))});
  return has ? ICERR_OK : ICERR_UNSUPPORTED;
}

bool Accepts(DWORD_PTR id, const BITMAPINFOHEADER* in) {
  if (!in) return false;
  std::lock_guard<std::mutex> lock(gMutex);
  const PassThroughOptions& o = OptionsLocked(id);
  if (o.refuseAll) return false;
  if (in->biCompression != BI_RGB) return false;
  if (std::find(o.bitDepths.begin(), o.bitDepths.end(), in->biBitCount) == o.bitDepths.end()) return false;
  long w = in->biWidth, h = std::labs(in->biHeight);
  if (w <= 0 || h <= 0) return false;
  if (o.widthMultiple > 1 && w % o.widthMultiple) return false;
  if (o.heightMultiple > 1 && h % o.heightMultiple) return false;
  return true;
}

DWORD ImageSize(const BITMAPINFOHEADER* bi) {
  DWORD stride = ((static_cast<DWORD>(bi->biWidth) * bi->biBitCount + 31) / 32) * 4;
  return stride * static_cast<DWORD>(std::labs(bi->biHeight));
}

DWORD FormatSize(const BITMAPINFOHEADER* bi) {
  DWORD colors = bi->biBitCount <= 8 ? (bi->biClrUsed ? bi->biClrUsed : (1u << bi->biBitCount)) : 0;
  return bi->biSize + colors * sizeof(RGBQUAD);
}

LRESULT Answer(int copy, DWORD_PTR id, UINT msg, LPARAM lp1, LPARAM lp2) {
  switch (msg) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_INSTALL:
    case DRV_REMOVE:
      return 1;
    case DRV_OPEN: {
      auto* open = reinterpret_cast<ICOPEN*>(lp2);
      if (open && open->fccType != ICTYPE_VIDEO && open->fccType != 0) return 0;
      if (open) open->dwError = ICERR_OK;
      if (open) ++gOpenInstances;
      // The instance id tells a real open (the FOURCC, or 2) from the system's first check (1).
      return open ? (open->fccHandler ? LRESULT(open->fccHandler) : 2) : 1;
    }
    case DRV_CLOSE:
      if (id != 1 && id != 0) --gOpenInstances;
      return 1;
    case DRV_QUERYCONFIGURE:
    case DRV_CONFIGURE:
      return 0;
    case ICM_GETINFO: {
      auto* info = reinterpret_cast<ICINFO*>(lp1);
      if (!info || static_cast<DWORD>(lp2) < sizeof(ICINFO)) return 0;
      std::memset(info, 0, sizeof(ICINFO));
      info->dwSize = sizeof(ICINFO);
      info->fccType = ICTYPE_VIDEO;
      // Each installed copy names its own code, so the enumeration lists every copy.
      {
        std::lock_guard<std::mutex> lock(gMutex);
        info->fccHandler = gInstalled[copy] ? gInstalled[copy] : kPassThroughFourCC;
      }
      info->dwFlags = VIDCF_QUALITY;
      info->dwVersion = 1;
      info->dwVersionICM = ICVERSION;
      std::wcscpy(info->szName, L"PassThru");
      std::wcscpy(info->szDescription, L"Pass-through test compressor");
      return sizeof(ICINFO);
    }
    case ICM_GETDEFAULTQUALITY:
      if (lp1) *reinterpret_cast<DWORD*>(lp1) = 10000;
      return ICERR_OK;
    case ICM_GETDEFAULTKEYFRAMERATE:
      if (lp1) *reinterpret_cast<DWORD*>(lp1) = 1;
      return ICERR_OK;
    case ICM_GETSTATE:
      return 0;
    case ICM_SETSTATE:
      return 0;
    case ICM_ABOUT:
    case ICM_CONFIGURE:
      return DialogMessage(id, msg, lp1, lp2);
    case ICM_COMPRESS_QUERY: {
      ++gQueries;
      auto* in = reinterpret_cast<BITMAPINFO*>(lp1);
      auto* out = reinterpret_cast<BITMAPINFO*>(lp2);
      if (!in || !Accepts(id, &in->bmiHeader)) return ICERR_BADFORMAT;
      if (out && (out->bmiHeader.biWidth != in->bmiHeader.biWidth ||
                  std::labs(out->bmiHeader.biHeight) != std::labs(in->bmiHeader.biHeight) ||
                  out->bmiHeader.biBitCount != in->bmiHeader.biBitCount))
        return ICERR_BADFORMAT;
      return ICERR_OK;
    }
    case ICM_COMPRESS_GET_FORMAT: {
      auto* in = reinterpret_cast<BITMAPINFO*>(lp1);
      auto* out = reinterpret_cast<BITMAPINFO*>(lp2);
      if (!in) return ICERR_BADFORMAT;
      DWORD size = FormatSize(&in->bmiHeader);
      if (!out) return size;
      if (!Accepts(id, &in->bmiHeader)) return ICERR_BADFORMAT;
      std::memcpy(out, in, size);
      out->bmiHeader.biCompression = BI_RGB;
      out->bmiHeader.biSizeImage = ImageSize(&in->bmiHeader);
      return ICERR_OK;
    }
    case ICM_COMPRESS_GET_SIZE: {
      auto* in = reinterpret_cast<BITMAPINFO*>(lp1);
      return in ? ImageSize(&in->bmiHeader) : 0;
    }
    case ICM_COMPRESS_BEGIN: {
      auto* in = reinterpret_cast<BITMAPINFO*>(lp1);
      return in && Accepts(id, &in->bmiHeader) ? ICERR_OK : ICERR_BADFORMAT;
    }
    case ICM_COMPRESS_END:
    case ICM_COMPRESS_FRAMES_INFO:
      return ICERR_OK;
    case ICM_COMPRESS: {
      auto* c = reinterpret_cast<ICCOMPRESS*>(lp1);
      if (!c || !c->lpbiInput || !c->lpbiOutput || !c->lpInput || !c->lpOutput) return ICERR_BADPARAM;
      int fail = FailAtFrame(id);
      int n = gFrames.fetch_add(1);
      if (fail >= 0 && n >= fail) return ICERR_ERROR;
      DWORD size = ImageSize(c->lpbiInput);
      std::memcpy(c->lpOutput, c->lpInput, size);
      c->lpbiOutput->biSizeImage = size;
      c->lpbiOutput->biCompression = BI_RGB;
      if (c->lpckid) *c->lpckid = 0;
      if (c->lpdwFlags) *c->lpdwFlags = AVIIF_KEYFRAME;
      return ICERR_OK;
    }
    default:
      return msg >= DRV_USER ? ICERR_UNSUPPORTED : 0;
  }
}

// The pass-through's answer, through the filter of the copy's options when it has one.
LRESULT DriverProc(int copy, DWORD_PTR id, UINT msg, LPARAM lp1, LPARAM lp2) {
  const LRESULT answer = Answer(copy, id, msg, lp1, lp2);
  if (msg < DRV_USER) return answer;
  PassThroughFilter filter = nullptr;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    filter = OptionsLocked(id).filter;
  }
  return filter ? filter(msg, lp1, lp2, answer) : answer;
}

template <int Copy>
LRESULT CALLBACK CopyProc(DWORD_PTR id, HDRVR, UINT msg, LPARAM lp1, LPARAM lp2) {
  return DriverProc(Copy, id, msg, lp1, lp2);
}

constexpr DRIVERPROC kCopyProcs[kCopies] = {CopyProc<0>, CopyProc<1>, CopyProc<2>, CopyProc<3>,
                                            CopyProc<4>, CopyProc<5>, CopyProc<6>, CopyProc<7>};

// The copy installed under fourcc (any case), or with 0 a free one; -1 when there is none.
int CopyOf(DWORD fourcc) {
  for (int i = 0; i < kCopies; ++i)
    if (Upper(gInstalled[i]) == Upper(fourcc)) return i;
  return -1;
}

}  // namespace

// ICRemove of a code this process did not install removes the machine's own driver for it
// (its Drivers32 entry), so only codes installed here are ever removed.
bool InstallPassThrough(const PassThroughOptions& options, DWORD fourcc) {
  std::lock_guard<std::mutex> lock(gMutex);
  gOptions[Upper(fourcc)] = options;
  gFrames = 0;
  gQueries = 0;
  gDialogCalls.clear();
  if (fourcc == 0) return false;
  if (CopyOf(fourcc) >= 0) return true;  // installed: the new options apply
  const int copy = CopyOf(0);
  if (copy < 0) return false;
  if (!ICInstall(ICTYPE_VIDEO, fourcc, reinterpret_cast<LPARAM>(kCopyProcs[copy]), nullptr, ICINSTALL_FUNCTION))
    return false;
  gInstalled[copy] = fourcc;
  return true;
}

void RemovePassThrough(DWORD fourcc) {
  std::lock_guard<std::mutex> lock(gMutex);
  const int copy = fourcc ? CopyOf(fourcc) : -1;
  if (copy < 0) return;
  gInstalled[copy] = 0;
  ICRemove(ICTYPE_VIDEO, fourcc, 0);
}

int PassThroughFramesCompressed() { return gFrames.load(); }
int PassThroughCompressQueries() { return gQueries.load(); }
int PassThroughOpenInstances() { return gOpenInstances.load(); }

std::vector<PassThroughDialogCall> PassThroughDialogCalls() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gDialogCalls;
}

}  // namespace testsupport
