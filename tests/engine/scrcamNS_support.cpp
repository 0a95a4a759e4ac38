// Helpers for the sound-less recorder's tests: AVI read-back, decoded pixels
// and the event counters.
#include "tests/engine/scrcamNS_support.h"

#include <cwctype>

#include "base/dispatch.h"
#include "base/text.h"
#include "base/unique.h"

namespace scrcamNStest {

namespace {

DWORD Upper(DWORD code) {
  DWORD out = 0;
  for (int i = 0; i < 4; ++i) {
    auto c = static_cast<wchar_t>((code >> (8 * i)) & 0xFF);
    out |= static_cast<DWORD>(std::towupper(c) & 0xFF) << (8 * i);
  }
  return out;
}

// Opens path's first video stream for reading; AVIFileInit/Exit around it.
struct AviReader {
  AviReader(const std::wstring& path) {
    ::AVIFileInit();
    if (::AVIFileOpenW(&file, path.c_str(), OF_READ | OF_SHARE_DENY_WRITE, nullptr) != AVIERR_OK) file = nullptr;
    if (file && ::AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) != AVIERR_OK) stream = nullptr;
  }
  ~AviReader() {
    if (stream) ::AVIStreamRelease(stream);
    if (file) ::AVIFileRelease(file);
    ::AVIFileExit();
  }
  PAVIFILE file = nullptr;
  PAVISTREAM stream = nullptr;
};

}  // namespace

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteTextFile(const std::wstring& path, const std::string& text) {
  base::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (file) ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

int AviFacts::nonEmpty() const {
  int n = 0;
  for (LONG s : sizes) n += s > 0;
  return n;
}

AviFacts ReadAvi(const std::wstring& path) {
  AviFacts facts;
  AviReader avi(path);
  if (!avi.stream) return facts;
  AVIFILEINFOW fileInfo{};
  ::AVIFileInfoW(avi.file, &fileInfo, sizeof fileInfo);
  facts.streams = static_cast<int>(fileInfo.dwStreams);
  AVISTREAMINFOW info{};
  if (::AVIStreamInfoW(avi.stream, &info, sizeof info) != AVIERR_OK) return facts;
  facts.width = info.rcFrame.right - info.rcFrame.left;
  facts.height = info.rcFrame.bottom - info.rcFrame.top;
  facts.fps = info.dwScale ? static_cast<double>(info.dwRate) / info.dwScale : 0;
  facts.length = ::AVIStreamLength(avi.stream);
  for (LONG pos = 0; pos < facts.length; ++pos) {
    LONG bytes = 0, samples = 0;
    if (::AVIStreamRead(avi.stream, pos, 1, nullptr, 0, &bytes, &samples) != AVIERR_OK) bytes = -1;
    facts.sizes.push_back(bytes);
  }
  facts.ok = true;
  return facts;
}

COLORREF DecodedPixel(const std::wstring& path, LONG position, int x, int y) {
  AviReader avi(path);
  if (!avi.stream) return CLR_INVALID;
  PGETFRAME getter = ::AVIStreamGetFrameOpen(avi.stream, nullptr);
  if (!getter) return CLR_INVALID;
  COLORREF color = CLR_INVALID;
  auto* bi = static_cast<BITMAPINFOHEADER*>(::AVIStreamGetFrame(getter, position));
  if (bi && bi->biCompression == BI_RGB && x >= 0 && x < bi->biWidth && y >= 0 && y < std::labs(bi->biHeight)) {
    const int bits = bi->biBitCount;
    DWORD colors = bits <= 8 ? (bi->biClrUsed ? bi->biClrUsed : 1u << bits) : 0;
    const BYTE* table = reinterpret_cast<const BYTE*>(bi) + bi->biSize;
    const BYTE* rows = table + 4 * colors;
    const LONG stride = ((bi->biWidth * bits + 31) / 32) * 4;
    const int row = bi->biHeight > 0 ? bi->biHeight - 1 - y : y;
    const BYTE* p = rows + row * stride;
    if (bits == 32 || bits == 24) {
      const BYTE* q = p + x * (bits / 8);
      color = RGB(q[2], q[1], q[0]);
    } else if (bits == 8) {
      const BYTE* q = table + 4 * p[x];
      color = RGB(q[2], q[1], q[0]);
    } else if (bits == 16) {
      WORD v = static_cast<WORD>(p[2 * x] | p[2 * x + 1] << 8);
      // Full-range expansion of each 5-bit channel, so pure colours read as pure.
      auto expand = [](int c) { return (c << 3) | (c >> 2); };
      color = RGB(expand(v >> 10 & 31), expand(v >> 5 & 31), expand(v & 31));
    }
  }
  ::AVIStreamGetFrameClose(getter);
  return color;
}

void EventLog::Bind(scrcamNS::TScreenCamNS& cam) {
  cam.OnStart = [this](scrcamNS::TScreenCamNS& s) {
    writtenAtStart = s.FramesWritten();
    ++starts;
  };
  cam.OnStop = [this](scrcamNS::TScreenCamNS&) { ++stops; };
  cam.OnError = [this](scrcamNS::TScreenCamNS&) { ++errors; };
  cam.OnProgress = [this](scrcamNS::TScreenCamNS&) { ++progresses; };
}

int FindCompressor(const scrcamNS::TScreenCamNS& cam, DWORD fourcc) {
  for (int i = 0; i < cam.CompressorCount(); ++i)
    if (Upper(cam.Compressor(i).fccHandler) == Upper(fourcc)) return i;
  return -1;
}

bool WaitIdle(scrcamNS::TScreenCamNS& cam, DWORD timeoutMs) {
  return base::PumpUntil([&] { return !cam.HasRecordThread() && !cam.Recording(); }, timeoutMs);
}

}  // namespace scrcamNStest
