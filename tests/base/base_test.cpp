// Tests of the base layer: rounding, text, owning handles, the window base, the dispatcher and
// waits.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <memory>
#include <thread>

#include "base/barrier.h"
#include "base/dispatch.h"
#include "base/rounding.h"
#include "base/text.h"
#include "base/unique.h"
#include "base/window.h"

namespace {

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
  struct Case {
    double value;
    int64_t expected;
  } cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
               {2.4999, 2}, {2.5001, 3}, {-2.5001, -3}, {0, 0}, {7, 7}, {1e30, INT64_MAX}};
  for (const Case& c : cases)
    EXPECT_EQ(base::RoundHalfEven(c.value), c.expected) << "value " << c.value;
}

TEST(Rounding, IntegerQuotients) {
  struct Case {
    int64_t num, den, expected;
  } cases[] = {{5, 2, 2},   {7, 2, 4},   {-5, 2, -2}, {5, -2, -2}, {250, 100, 2}, {350, 100, 4},
               {349, 100, 3}, {351, 100, 4}, {0, 7, 0},  {1, 3, 0},   {2, 3, 1},     {-2, 3, -1},
               {INT64_MAX, 1, INT64_MAX}};
  for (const Case& c : cases)
    EXPECT_EQ(base::RoundHalfEvenDiv(c.num, c.den), c.expected) << c.num << "/" << c.den;
}

TEST(Text, Utf8RoundTrip) {
  std::wstring chinese = L"屏幕录像已保存为";
  EXPECT_EQ(base::Utf8ToWide(base::WideToUtf8(chinese)), chinese);
  EXPECT_EQ(base::WideToUtf8(L"a\u00e9"), "a\xc3\xa9");
  EXPECT_EQ(base::Utf8ToWide(""), L"");
}

TEST(Text, TrimDropsBlanksAndControlCharactersAtBothEndsOnly) {
  struct Case {
    std::wstring text, expected;
  } cases[] = {{L"", L""},
               {L"   ", L""},
               {L" \t\r\n 录像 \r\n", L"录像"},
               {L"\x01" L"a b\x1f", L"a b"},
               {L"  my clip  ", L"my clip"},
               {L"a\u3000", L"a\u3000"},  // the ideographic space is no blank
               {L"x", L"x"}};
  for (const Case& c : cases) {
    EXPECT_EQ(base::Trim(c.text), c.expected) << "text [" << base::WideToUtf8(c.text) << "]";
    EXPECT_EQ(base::TrimView(c.text), c.expected) << "text [" << base::WideToUtf8(c.text) << "]";
  }
}

TEST(Text, FormatTable) {
  EXPECT_EQ(base::Format(L"保存为%s", std::wstring(L"D:\\录像\\1.avi")), L"保存为D:\\录像\\1.avi");
  EXPECT_EQ(base::Format(L"%s|%ls|%s", L"wide", std::wstring(L"two"), "utf8 \xe5\xb1\x8f"),
            L"wide|two|utf8 屏");
  EXPECT_EQ(base::Format(L"%1.1f", 3.25), L"3.2");
  EXPECT_EQ(base::Format(L"%1.1f MB", 12.36), L"12.4 MB");
  EXPECT_EQ(base::Format(L"Frame%2.2d.BMP", 7), L"Frame07.BMP");
  EXPECT_EQ(base::Format(L"%d%%", 50), L"50%");
  EXPECT_EQ(base::Format(L"[%5d][%-5d][%05d]", 42, 42, -42), L"[   42][42   ][-0042]");
  EXPECT_EQ(base::Format(L"%x %X %u", 255u, 255u, 4000000000u), L"ff FF 4000000000");
  EXPECT_EQ(base::Format(L"%c%c", L'A', L'屏'), L"A屏");
  EXPECT_EQ(base::Format(L"no args %s"), L"no args %s");
  EXPECT_EQ(base::Format(L"%-4s|", L"ab"), L"ab  |");
}

TEST(Text, FormatUsesADotWhateverTheLocale) {
  const char* old = setlocale(LC_ALL, nullptr);
  std::string saved = old ? old : "C";
  if (setlocale(LC_ALL, "German_Germany.1252") || setlocale(LC_ALL, "de-DE")) {
    EXPECT_EQ(base::Format(L"%1.1f", 2.75), L"2.8");
  }
  setlocale(LC_ALL, saved.c_str());
}

struct CountingTraits {
  using Handle = int;
  static inline int closed = 0;
  static inline int lastClosed = 0;
  static Handle Invalid() noexcept { return 0; }
  static void Close(Handle h) noexcept {
    ++closed;
    lastClosed = h;
  }
};

TEST(Unique, ClosesExactlyOnce) {
  CountingTraits::closed = 0;
  {
    base::Unique<CountingTraits> a(7);
    base::Unique<CountingTraits> b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.get(), 7);
    base::Unique<CountingTraits> c;
    c = std::move(b);
    c = std::move(c);  // self-move keeps the handle
    EXPECT_EQ(c.get(), 7);
    EXPECT_EQ(CountingTraits::closed, 0);
  }
  EXPECT_EQ(CountingTraits::closed, 1);
  EXPECT_EQ(CountingTraits::lastClosed, 7);

  CountingTraits::closed = 0;
  base::Unique<CountingTraits> d(3);
  d.reset(4);
  EXPECT_EQ(CountingTraits::closed, 1);
  EXPECT_EQ(CountingTraits::lastClosed, 3);
  EXPECT_EQ(d.release(), 4);
  d.reset();
  EXPECT_EQ(CountingTraits::closed, 1);
}

TEST(Unique, RealKernelAndFileHandles) {
  HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    base::UniqueHandle event(raw);
    DWORD flags = 0;
    EXPECT_TRUE(::GetHandleInformation(raw, &flags));
  }
  DWORD flags = 0;
  EXPECT_FALSE(::GetHandleInformation(raw, &flags)) << "the event was not closed";

  base::UniqueFile missing(::CreateFileW(L"Z:\\no\\such\\file.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(missing) << "INVALID_HANDLE_VALUE must read as no handle";

  base::UniqueDC dc(::CreateCompatibleDC(nullptr));
  base::UniqueBitmap bmp(::CreateCompatibleBitmap(dc.get(), 4, 4));
  ASSERT_TRUE(dc && bmp);
  {
    base::SelectGuard select(dc.get(), bmp.get());
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BITMAP), bmp.get());
  }
  EXPECT_NE(::GetCurrentObject(dc.get(), OBJ_BITMAP), bmp.get()) << "SelectGuard did not restore";

  base::UniqueGlobal mem(::GlobalAlloc(GHND, 16));
  {
    base::GlobalLockGuard lock(mem.get());
    ASSERT_TRUE(lock);
    lock.as<char>()[0] = 'x';
  }
  EXPECT_EQ(::GlobalFlags(mem.get()) & GMEM_LOCKCOUNT, 0u);
}

LRESULT CALLBACK PassOn(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  return ::DefSubclassProc(wnd, msg, wp, lp);
}

// A window's user data is trusted only in windows of our own classes: a foreign window whose
// user data holds something else (here a pointer-sized number) is no Window.
TEST(Window, FromHandleTrustsOnlyWindowsOfOurClasses) {
  base::WindowClass cls;
  cls.name = L"ReclumeFromHandleTest";
  base::WindowSpec spec;
  spec.style = WS_POPUP;
  base::Window ours;
  ASSERT_TRUE(ours.Create(cls, spec));
  EXPECT_EQ(base::Window::FromHandle(ours.hwnd()), &ours);
  ASSERT_TRUE(::SetWindowSubclass(ours.hwnd(), PassOn, 1, 0));
  EXPECT_EQ(base::Window::FromHandle(ours.hwnd()), &ours) << "a subclassed window of ours is still ours";
  ::RemoveWindowSubclass(ours.hwnd(), PassOn, 1);

  WNDCLASSW foreignClass{};
  foreignClass.lpfnWndProc = ::DefWindowProcW;
  foreignClass.hInstance = ::GetModuleHandleW(nullptr);
  foreignClass.lpszClassName = L"ReclumeForeignTest";
  ::RegisterClassW(&foreignClass);
  base::UniqueWindow foreign(::CreateWindowExW(0, L"ReclumeForeignTest", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                               nullptr, ::GetModuleHandleW(nullptr), nullptr));
  base::UniqueWindow control(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                               ::GetModuleHandleW(nullptr), nullptr));
  ASSERT_TRUE(foreign && control);
  ::SetWindowLongPtrW(foreign.get(), GWLP_USERDATA, 0x12345678);
  ::SetWindowLongPtrW(control.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&ours));
  EXPECT_EQ(base::Window::FromHandle(foreign.get()), nullptr);
  EXPECT_EQ(base::Window::FromHandle(control.get()), nullptr);
  EXPECT_EQ(base::Window::FromHandle(::GetDesktopWindow()), nullptr);
  EXPECT_EQ(base::Window::FromHandle(nullptr), nullptr);
}

TEST(Dispatcher, RunsAClosureFromAnotherThreadOnTheMainThread) {
  ASSERT_TRUE(base::IsMainThread());
  DWORD mainId = ::GetCurrentThreadId();
  std::atomic<DWORD> ranOn{0};
  std::atomic<bool> posted{false}, workerSawMain{true};
  std::thread worker([&] {
    workerSawMain = base::IsMainThread();
    posted = base::PostToMain([&] { ranOn = ::GetCurrentThreadId(); });
  });
  worker.join();
  EXPECT_FALSE(workerSawMain);
  ASSERT_TRUE(posted);
  EXPECT_TRUE(base::PumpUntil([&] { return ranOn != 0; }, 5000));
  EXPECT_EQ(ranOn.load(), mainId);
}

TEST(Dispatcher, DropsQueuedAndLaterClosuresAfterShutdownWithoutLeaking) {
  auto token = std::make_shared<int>(1);
  std::atomic<int> runs{0};
  std::thread worker([&, token] {
    base::PostToMain([&runs, t = token] { ++runs; });
  });
  worker.join();
  EXPECT_EQ(token.use_count(), 2) << "the queued closure holds its copy";
  base::StopMainDispatcher();
  EXPECT_EQ(token.use_count(), 1) << "shutdown must free the queued closure";
  EXPECT_FALSE(base::PostToMain([&runs, t = token] { ++runs; }));
  EXPECT_EQ(token.use_count(), 1) << "a refused closure must be freed";
  base::PumpPending();
  EXPECT_EQ(runs.load(), 0);
  ASSERT_TRUE(base::StartMainDispatcher());
}

TEST(Dispatcher, ClosuresRunInOrderAndAnExceptionStopsAtTheBoundary) {
  std::vector<int> order;
  for (int i = 0; i < 5; ++i) {
    base::PostToMain([&order, i] {
      if (i == 2) throw std::runtime_error("handler failed");
      order.push_back(i);
    });
  }
  EXPECT_TRUE(base::PumpUntil([&] { return order.size() == 4; }, 5000));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 3, 4}));
}

TEST(Wait, WaitPumpingKeepsMessagesFlowingAndKeepsAQuit) {
  base::UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::atomic<bool> ran{false};
  HANDLE h = event.get();
  std::thread worker([&, h] {
    // The main thread must run this while it waits, or the event is never set.
    base::PostToMain([&ran, h] {
      ran = true;
      ::SetEvent(h);
    });
  });
  EXPECT_EQ(base::WaitPumping(h, 5000), base::WaitResult::Signalled);
  worker.join();
  EXPECT_TRUE(ran);

  ::ResetEvent(h);
  EXPECT_EQ(base::WaitPumping(h, 50), base::WaitResult::Timeout);

  ::PostQuitMessage(3);
  EXPECT_EQ(base::WaitPumping(h, 50), base::WaitResult::Timeout);
  MSG msg;
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit was swallowed";
  EXPECT_EQ(msg.wParam, 3u);
}

TEST(Barrier, GuardReturnsTheFallback) {
  EXPECT_EQ(base::Guard("test", []() -> int { throw std::logic_error("x"); }, -1), -1);
  EXPECT_EQ(base::Guard("test", [] { return 5; }, -1), 5);
  EXPECT_FALSE(base::GuardVoid("test", [] { throw 42; }));
}

}  // namespace
