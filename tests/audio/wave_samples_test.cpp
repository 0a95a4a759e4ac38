// The PCM sample routines, conversion through the real compression manager, and the
// message-pumping wait.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

#include "audio/scWaveUtils.h"
#include "tests/audio/wave_test_util.h"

using namespace audio;
using wavetest::Pcm;

namespace {

std::vector<uint8_t> Bytes16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out(samples.size() * 2);
  std::memcpy(out.data(), samples.data(), out.size());
  return out;
}

std::vector<int16_t> Samples16(const void* data, size_t bytes) {
  std::vector<int16_t> out(bytes / 2);
  std::memcpy(out.data(), data, out.size() * 2);
  return out;
}

int gDispatched = 0;

LRESULT CALLBACK CountingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER + 7) gDispatched += 1;
  if (m == WM_KEYDOWN) gDispatched += 100;
  return ::DefWindowProcW(h, m, w, l);
}

const WAVEFORMATEX kMono8 = Pcm(Mono8Bit8000Hz);
const WAVEFORMATEX kMono16 = Pcm(Mono16bit8000Hz);

}  // namespace

TEST(SampleRoutines, PeakLevel) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    const WAVEFORMATEX* format;
    int expected;
  };
  const Case cases[] = {
      {"8-bit all 128", std::vector<uint8_t>(64, 128), &kMono8, 0},
      {"8-bit all 255", std::vector<uint8_t>(64, 255), &kMono8, 100},
      {"8-bit below the zero level", std::vector<uint8_t>(64, 3), &kMono8, 0},
      {"8-bit 192 peak", {128, 192, 64, 130}, &kMono8, 50},
      {"8-bit empty", {}, &kMono8, 0},
      {"16-bit only negative", Bytes16({-1, -32768, -200}), &kMono16, 0},
      {"16-bit full scale", Bytes16({0, 32767, -5}), &kMono16, 100},
      {"16-bit half", Bytes16({16384, -32000}), &kMono16, 50},
      {"16-bit odd size ignores the last byte", {0x00, 0x10, 0xFF}, &kMono16, 12},
  };
  for (const Case& c : cases) EXPECT_EQ(GetPeakLevel(c.data.data(), uint32_t(c.data.size()), c.format), c.expected) << c.what;
}

TEST(SampleRoutines, ReverseSilenceAndVolume) {
  std::vector<uint8_t> bytes8 = {1, 2, 3, 4, 5};
  ASSERT_TRUE(ReverseWaveData(bytes8.data(), 5, &kMono8));
  EXPECT_EQ(bytes8, (std::vector<uint8_t>{5, 4, 3, 2, 1}));

  // 16-bit values are swapped whole; a trailing odd byte stays.
  std::vector<uint8_t> bytes16 = Bytes16({1, 2, 3, -4});
  bytes16.push_back(0x77);
  ASSERT_TRUE(ReverseWaveData(bytes16.data(), uint32_t(bytes16.size()), &kMono16));
  EXPECT_EQ(Samples16(bytes16.data(), 8), (std::vector<int16_t>{-4, 3, 2, 1}));
  EXPECT_EQ(bytes16.back(), 0x77);

  std::vector<uint8_t> silence(7, 9);
  ASSERT_TRUE(FillSilence(silence.data(), 7, &kMono8));
  EXPECT_EQ(silence, std::vector<uint8_t>(7, 127));
  ASSERT_TRUE(FillSilence(silence.data(), 7, &kMono16));
  EXPECT_EQ(silence, std::vector<uint8_t>(7, 0));

  struct VolumeCase {
    int percent;
    std::vector<int16_t> in, out;
  };
  const VolumeCase volumes[] = {
      {0, {-32768, 5, -7}, {-32767, 5, -7}},
      {100, {1000, -1000, 20000, -20000}, {2000, -2000, 32767, -32767}},
      {-100, {1000, -32768, 3}, {0, 0, 0}},
      {-50, {1001, -1001}, {501, -501}},  // v + v * p div 100 truncates toward zero
      {2000000000, {1, -1, 0}, {32767, -32767, 0}},
  };
  for (const VolumeCase& v : volumes) {
    std::vector<uint8_t> data = Bytes16(v.in);
    ASSERT_TRUE(ScaleWaveVolume(data.data(), uint32_t(data.size()), &kMono16, v.percent));
    EXPECT_EQ(Samples16(data.data(), data.size()), v.out) << "percent " << v.percent;
  }
  std::vector<uint8_t> data8 = {0, 64, 128, 200, 255};
  ASSERT_TRUE(ScaleWaveVolume(data8.data(), 5, &kMono8, 100));
  EXPECT_EQ(data8, (std::vector<uint8_t>{0, 0, 128, 255, 255}));
  data8 = {0, 64, 128, 200, 255};
  ASSERT_TRUE(ScaleWaveVolume(data8.data(), 5, &kMono8, -50));
  EXPECT_EQ(data8, (std::vector<uint8_t>{64, 96, 128, 164, 192}));
}

TEST(SampleRoutines, MixingAveragesOverAllInputs) {
  // Two seconds and one second of 16-bit 8000 Hz: the second half holds half the longer one.
  std::vector<int16_t> longer(16000), shorter(8000);
  for (size_t i = 0; i < longer.size(); ++i) longer[i] = int16_t(int(i % 2000) - 1000);
  for (size_t i = 0; i < shorter.size(); ++i) shorter[i] = int16_t(300 - int(i % 600));
  const TWaveBufferItem inputs[] = {{longer.data(), uint32_t(longer.size() * 2)},
                                    {shorter.data(), uint32_t(shorter.size() * 2)}};
  std::vector<int16_t> out(16000, 12345);
  ASSERT_TRUE(MixWaveBuffers(inputs, 2, &kMono16, 32000, out.data()));
  for (size_t i = 0; i < out.size(); ++i) {
    int expected = i < 8000 ? (longer[i] + shorter[i]) / 2 : longer[i] / 2;
    ASSERT_EQ(out[i], expected) << "sample " << i;
  }

  const uint8_t a[] = {255, 255, 10}, b[] = {255, 1};
  const TWaveBufferItem bytes[] = {{a, 3}, {b, 2}};
  uint8_t mixed[3] = {};
  ASSERT_TRUE(MixWaveBuffers(bytes, 2, &kMono8, 3, mixed));
  EXPECT_EQ(std::vector<uint8_t>(mixed, mixed + 3), (std::vector<uint8_t>{255, 128, 5}));

  EXPECT_FALSE(MixWaveBuffers(nullptr, 0, &kMono16, 0, nullptr)) << "no inputs";
  EXPECT_FALSE(MixWaveBuffers(bytes, 0, &kMono8, 3, mixed)) << "a count of 0";
}

TEST(SampleRoutines, NotApplicableFormatsLeaveTheBufferAlone) {
  WAVEFORMATEX pcm24 = kMono16;
  pcm24.wBitsPerSample = 24;
  pcm24.nBlockAlign = 3;
  WAVEFORMATEX adpcm = kMono16;
  adpcm.wFormatTag = 2;
  WAVEFORMATEX float32 = kMono16;
  float32.wFormatTag = 3;
  float32.wBitsPerSample = 16;
  const WAVEFORMATEX* const formats[] = {&pcm24, &adpcm, &float32, nullptr};
  for (const WAVEFORMATEX* f : formats) {
    std::vector<uint8_t> data = {9, 200, 31, 7, 250, 1};
    const std::vector<uint8_t> before = data;
    const uint8_t* in = data.data();
    const TWaveBufferItem item{in, 6};
    uint8_t out[6] = {};
    EXPECT_EQ(GetPeakLevel(data.data(), 6, f), -1);
    EXPECT_FALSE(ReverseWaveData(data.data(), 6, f));
    EXPECT_FALSE(FillSilence(data.data(), 6, f));
    EXPECT_FALSE(ScaleWaveVolume(data.data(), 6, f, 50));
    EXPECT_FALSE(MixWaveBuffers(&item, 1, f, 6, out));
    EXPECT_EQ(data, before);
  }
}

TEST(Conversion, SineThroughTheCompressionManager) {
  // One second of a 440 Hz sine, 8 kHz mono 16-bit, to 44.1 kHz stereo 16-bit.
  const double kPi = 3.14159265358979323846;
  std::vector<int16_t> sine(8000);
  for (size_t i = 0; i < sine.size(); ++i) sine[i] = int16_t(std::lround(16000 * std::sin(2 * kPi * 440 * i / 8000.0)));
  const WAVEFORMATEX src = kMono16, dst = Pcm(Stereo16bit44100Hz);
  std::vector<uint8_t> converted;
  uint32_t size = 0;
  ASSERT_TRUE(ConvertWaveData(&src, sine.data(), 16000, size, converted, &dst));
  ASSERT_EQ(size, converted.size());
  EXPECT_NEAR(double(size), 176400.0, 176400 * 0.01) << "one second of 44.1 kHz stereo";
  EXPECT_EQ(size % 4, 0u);
  std::vector<int16_t> out = Samples16(converted.data(), converted.size());
  int crossings = 0, peak = 0;
  for (size_t i = 0; i + 1 < out.size() / 2; ++i) {
    int16_t l = out[2 * i], r = out[2 * i + 1], next = out[2 * i + 2];
    ASSERT_EQ(l, r) << "both channels carry the mono signal at frame " << i;
    if ((l < 0) != (next < 0)) ++crossings;
    peak = std::max<int>(peak, std::abs(int(l)));
  }
  EXPECT_NEAR(crossings, 880, 20) << "a 440 Hz tone crosses zero 880 times a second";
  EXPECT_NEAR(peak, 16000, 2000);

  // A conversion the manager cannot do: false, nothing handed out.
  WAVEFORMATEX bogus = src;
  bogus.wFormatTag = 0x7777;
  std::vector<uint8_t> none;
  uint32_t noneSize = 0;
  EXPECT_FALSE(ConvertWaveData(&bogus, sine.data(), 16000, noneSize, none, &dst));
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(noneSize, 0u);
}

TEST(WaitWithMessages, DispatchesMessagesAndDropsInput) {
  MSG msg;
  ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // make sure the queue exists
  gDispatched = 0;
  WNDCLASSW wc{};
  wc.lpfnWndProc = CountingProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"WaitWithMessagesTest";
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);

  HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread signaller([&] {
    ::PostMessageW(window, WM_USER + 7, 0, 0);
    ::PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0);
    ::Sleep(200);
    ::SetEvent(event);
  });
  EXPECT_EQ(WaitWithMessages(event, 10000), WAIT_OBJECT_0);
  signaller.join();
  EXPECT_EQ(gDispatched, 1) << "the private message is dispatched, the key press thrown away";

  ::ResetEvent(event);
  DWORD start = ::GetTickCount();
  EXPECT_EQ(WaitWithMessages(event, 300), DWORD(WAIT_TIMEOUT));
  EXPECT_GE(::GetTickCount() - start, 250u);

  // The pseudo-handle of the process is waited on through a real one.
  EXPECT_EQ(WaitWithMessages(::GetCurrentProcess(), 50), DWORD(WAIT_TIMEOUT));

  // A quit message does not end the wait (a caller waiting in a loop would spin on it), and
  // is still there for the caller's loop.
  ::PostQuitMessage(42);
  EXPECT_EQ(WaitWithMessages(event, 100), DWORD(WAIT_TIMEOUT));
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, UINT(WM_QUIT));
  EXPECT_EQ(msg.wParam, 42u);

  ::CloseHandle(event);
  ::DestroyWindow(window);
  ::UnregisterClassW(wc.lpszClassName, wc.hInstance);
}
