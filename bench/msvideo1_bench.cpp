// Figures of the MS Video 1 coder behind the machine's 'msvc' driver at 1920 x 1080 x 32,
// against a cold memcpy of the same frame in the same run: compressing a changing and an
// unchanged desktop frame (and a key frame), decompressing a desktop key frame to 32 bits, and the bytes per
// frame of a static desktop, a scrolling text window and the test pattern at quality 6550 and
// 10000. The desktop is the screenshot of tests/codec/data (desktop.bmp beside this program).
// Run without arguments it starts itself five times and prints the medians of the runs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/unique.h"
#include "bench/bench_timing.h"
#include "codec/msvideo1.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kRuns = 5, kRounds = 15;
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * 4;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// A cold copy: six source/target pairs (100 MB) cycled, so none is in the cache.
double ColdCopyMs() { return bench::MemcpyMs(kFrameBytes, 24, 6); }

// A 32-bit bottom-up DIB section to draw frames on.
class Surface {
 public:
  Surface() {
    BITMAPINFO bi{};
    bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), kWidth, kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    dc_ = ::CreateCompatibleDC(nullptr);
    bitmap_ = ::CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = ::SelectObject(dc_, bitmap_);
  }
  ~Surface() {
    ::SelectObject(dc_, old_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  std::vector<uint8_t> Pixels() const {
    ::GdiFlush();
    return std::vector<uint8_t>(bits_, bits_ + kFrameBytes);
  }

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint8_t* bits_ = nullptr;
};

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s = path;
  return s.substr(0, s.rfind(L'\\') + 1);
}

bool DesktopFrame(std::vector<uint8_t>& out, int scroll = 0) {
  HBITMAP picture = static_cast<HBITMAP>(::LoadImageW(nullptr, (ProgramFolder() + L"desktop.bmp").c_str(),
                                                      IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (!picture) return false;
  Surface surface;
  HDC source = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(source, picture);
  ::BitBlt(surface.dc(), 0, 0, kWidth, kHeight, source, 0, scroll, SRCCOPY);
  ::SelectObject(source, old);
  ::DeleteDC(source);
  ::DeleteObject(picture);
  out = surface.Pixels();
  return true;
}

// A text window's frame: black text on white, scrolled up by `scroll` pixels.
std::vector<uint8_t> TextFrame(int scroll) {
  Surface surface;
  RECT all{0, 0, kWidth, kHeight};
  ::FillRect(surface.dc(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  for (int line = 0; line < 100; ++line) {
    const int y = line * 16 - scroll;
    if (y < -16 || y > kHeight) continue;
    wchar_t text[160];
    std::swprintf(text, 160, L"%4d  for (int i = 0; i < count; ++i) total += values[i] * weights[(i + %d) %% 7];  // line %d",
                  line, line % 13, line);
    ::TextOutW(surface.dc(), 8, y, text, int(wcslen(text)));
  }
  return surface.Pixels();
}

// Colour bars, a ramp and lines of text, as the tests' pattern.
std::vector<uint8_t> PatternFrame() {
  std::vector<uint8_t> frame = TextFrame(0);
  const uint32_t bars[] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};
  for (int y = 0; y < 2 * kHeight / 3; ++y)  // rows from the bottom
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t v = y < kHeight / 3 ? bars[x * 8 / kWidth] : 0x010101u * uint32_t(x * 255 / (kWidth - 1));
      std::memcpy(&frame[(size_t(y) * kWidth + x) * 4], &v, 4);
    }
  return frame;
}

msvideo1::Picture PictureOf(const std::vector<uint8_t>& frame) {
  return msvideo1::Picture{frame.data(), kWidth * 4, kWidth, kHeight, msvideo1::Layout::Bgrx32};
}

// Mean bytes of the delta frames of a sequence (the first frame, a key frame, not counted).
double DeltaBytes(const std::vector<std::vector<uint8_t>>& frames, int quality) {
  msvideo1::Encoder encoder;
  encoder.Begin(kWidth, kHeight, false, {});
  std::vector<uint8_t> out(msvideo1::MaxFrameBytes(kWidth, kHeight, false));
  double total = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    size_t n = encoder.Encode(PictureOf(frames[i]), quality, i == 0, out.data(), out.size());
    if (i > 0) total += double(n);
  }
  return total / double(frames.size() - 1);
}

size_t KeyBytes(const std::vector<uint8_t>& frame, int quality) {
  msvideo1::Encoder encoder;
  encoder.Begin(kWidth, kHeight, false, {});
  std::vector<uint8_t> out(msvideo1::MaxFrameBytes(kWidth, kHeight, false));
  return encoder.Encode(PictureOf(frame), quality, true, out.data(), out.size());
}

// One run: prints "name value" lines for the parent to collect.
int Child() {
  std::vector<uint8_t> desktop, scrolled;
  if (!DesktopFrame(desktop) || !DesktopFrame(scrolled, 1)) {
    std::fprintf(stderr, "desktop.bmp is missing beside the benchmark\n");
    return 1;
  }
  const double copy = ColdCopyMs();
  std::printf("copy_ms %.3f\n", copy);

  msvideo1::Encoder encoder;
  encoder.Begin(kWidth, kHeight, false, {});
  std::vector<uint8_t> out(msvideo1::MaxFrameBytes(kWidth, kHeight, false));
  encoder.Encode(PictureOf(desktop), 6550, true, out.data(), out.size());
  std::vector<double> changing, unchanged;
  for (int i = 0; i < kRounds; ++i) {
    // Every frame differs from the last (the desktop moves by a row): delta frames that code
    // nearly every block.
    const std::vector<uint8_t>& next = i % 2 ? desktop : scrolled;
    double start = bench::NowMsPrecise();
    encoder.Encode(PictureOf(next), 6550, false, out.data(), out.size());
    changing.push_back(bench::NowMsPrecise() - start);
    start = bench::NowMsPrecise();
    encoder.Encode(PictureOf(next), 6550, false, out.data(), out.size());
    unchanged.push_back(bench::NowMsPrecise() - start);
  }
  std::printf("changing_x %.2f\nunchanged_x %.2f\n", Median(changing) / copy, Median(unchanged) / copy);
  std::vector<double> key;
  for (int i = 0; i < kRounds; ++i) {  // every block coded
    double start = bench::NowMsPrecise();
    encoder.Encode(PictureOf(i % 2 ? desktop : scrolled), 6550, true, out.data(), out.size());
    key.push_back(bench::NowMsPrecise() - start);
  }
  std::printf("key_frame_x %.2f\n", Median(key) / copy);

  const size_t keySize = encoder.Encode(PictureOf(desktop), 10000, true, out.data(), out.size());
  msvideo1::Decoder decoder;
  decoder.Begin(kWidth, kHeight, false, {});
  std::vector<uint8_t> picture(kFrameBytes);
  std::vector<double> decode;
  for (int i = 0; i < kRounds; ++i) {
    double start = bench::NowMsPrecise();
    decoder.Decode(out.data(), keySize);
    decoder.Convert(picture.data(), kWidth * 4, 32);
    decode.push_back(bench::NowMsPrecise() - start);
  }
  std::printf("decompress_x %.2f\n", Median(decode) / copy);

  std::vector<std::vector<uint8_t>> still(3, desktop), text, pattern(3, PatternFrame());
  for (int i = 0; i < 6; ++i) text.push_back(TextFrame(i * 16));
  for (int quality : {6550, 10000}) {
    std::printf("static_desktop_key_%d %zu\nstatic_desktop_delta_%d %.0f\n", quality, KeyBytes(desktop, quality),
                quality, DeltaBytes(still, quality));
    std::printf("scrolling_text_delta_%d %.0f\n", quality, DeltaBytes(text, quality));
    std::printf("pattern_key_%d %zu\n", quality, KeyBytes(pattern[0], quality));
  }
  return 0;
}

// Starts this program with "--child" and collects its "name value" lines.
bool RunChild(std::vector<std::pair<std::string, double>>& figures) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --child";
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!::CreatePipe(&read, &write, &sa, 0)) return false;
  base::UniqueHandle reader(read), writer(write);
  ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = write;
  si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return false;
  base::UniqueHandle process(pi.hProcess), thread(pi.hThread);
  writer.reset();
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  ::GetExitCodeProcess(pi.hProcess, &code);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    size_t space = line.find(' ');
    if (space != std::string::npos) figures.emplace_back(line.substr(0, space), std::atof(line.c_str() + space + 1));
    pos = end + 1;
  }
  return code == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wstring(argv[1]) == L"--child") return Child();
  std::vector<std::string> order;
  std::vector<std::vector<double>> values;
  for (int run = 0; run < kRuns; ++run) {
    std::vector<std::pair<std::string, double>> figures;
    if (!RunChild(figures)) {
      std::printf("run %d failed\n", run + 1);
      return 1;
    }
    for (auto& [name, value] : figures) {
      auto at = std::find(order.begin(), order.end(), name);
      if (at == order.end()) {
        order.push_back(name);
        values.emplace_back();
        at = order.end() - 1;
      }
      values[size_t(at - order.begin())].push_back(value);
    }
  }
  std::printf("MS Video 1 coder at %dx%dx32, medians of %d processes (x: times a cold memcpy of the frame)\n",
              kWidth, kHeight, kRuns);
  for (size_t i = 0; i < order.size(); ++i) std::printf("  %-28s %10.2f\n", order[i].c_str(), Median(values[i]));
  const auto figure = [&](const char* name) {
    auto at = std::find(order.begin(), order.end(), name);
    return at == order.end() ? 1e9 : Median(values[size_t(at - order.begin())]);
  };
  const bool met = figure("changing_x") <= 10 && figure("unchanged_x") <= 2 && figure("decompress_x") <= 3;
  std::printf("goals (changing <= 10x, unchanged <= 2x, decompress <= 3x): %s\n", met ? "met" : "NOT met");
  return 0;
}
