// The one pumping wait, the one modal loop and the thread wrapper: which messages each serves,
// what a WM_QUIT does to them, the exception barrier of a thread's body and its joins.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "base/dispatch.h"
#include "base/thread.h"
#include "base/unique.h"

namespace {

constexpr UINT kPosted = WM_APP + 20;
constexpr UINT kSent = WM_APP + 21;
constexpr UINT kTaken = WM_APP + 22;
constexpr UINT kEnd = WM_APP + 23;

// A message-only window that counts what reaches its procedure.
struct Counts {
  int posted = 0, sent = 0, keys = 0, mouse = 0, taken = 0;
  bool ended = false;
};
Counts gCounts;

LRESULT CALLBACK CountingProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kPosted: ++gCounts.posted; return 0;
    case kSent: ++gCounts.sent; return 0;
    case kTaken: ++gCounts.taken; return 0;
    case kEnd: gCounts.ended = true; return 0;
    case WM_KEYDOWN: ++gCounts.keys; return 0;
    case WM_LBUTTONDOWN: ++gCounts.mouse; return 0;
  }
  return ::DefWindowProcW(wnd, msg, wp, lp);
}

class CountingWindow {
 public:
  CountingWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ReclumeWaitTestWindow";
    ::RegisterClassW(&wc);
    wnd_.reset(::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                                 nullptr));
    gCounts = Counts{};
  }
  HWND get() const { return wnd_.get(); }

 private:
  base::UniqueWindow wnd_;
};

std::string Show(base::WaitResult r) {
  switch (r) {
    case base::WaitResult::Signalled: return "signalled";
    case base::WaitResult::Timeout: return "timeout";
    case base::WaitResult::Failed: return "failed";
  }
  return "?";
}

bool TakeQuit(WPARAM& code) {
  MSG msg;
  if (!::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
  code = msg.wParam;
  return true;
}

// A worker posts a private message, a key and a click, then sends a message (which blocks it
// until the waiting thread serves it) and only then sets the event.
TEST(Wait, EachPumpServesItsMessagesAndAlwaysTheSentOnes) {
  struct Case {
    base::Pump pump;
    const char* name;
    Counts during;  // dispatched while waiting
    Counts after;   // dispatched by a later PumpPending (what stayed queued)
  } cases[] = {
      {base::Pump::All, "all", {1, 1, 1, 1, 0, false}, {0, 0, 0, 0, 0, false}},
      {base::Pump::NoInput, "no input", {1, 1, 0, 0, 0, false}, {0, 0, 0, 0, 0, false}},
      {base::Pump::SentOnly, "sent only", {0, 1, 0, 0, 0, false}, {1, 0, 1, 1, 0, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CountingWindow window;
    ASSERT_NE(window.get(), nullptr);
    base::UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HWND wnd = window.get();
    HANDLE h = event.get();
    std::thread worker([wnd, h] {
      ::PostMessageW(wnd, kPosted, 0, 0);
      ::PostMessageW(wnd, WM_KEYDOWN, VK_DELETE, 0);
      ::PostMessageW(wnd, WM_LBUTTONDOWN, 0, 0);
      ::SendMessageW(wnd, kSent, 0, 0);
      ::SetEvent(h);
    });
    const base::WaitResult r = base::WaitPumping(h, 10000, c.pump);
    worker.join();
    EXPECT_EQ(Show(r), "signalled") << "a sent message was not served";
    EXPECT_EQ(gCounts.posted, c.during.posted);
    EXPECT_EQ(gCounts.sent, c.during.sent);
    EXPECT_EQ(gCounts.keys, c.during.keys);
    EXPECT_EQ(gCounts.mouse, c.during.mouse);
    gCounts = Counts{};
    base::PumpPending();
    EXPECT_EQ(gCounts.posted, c.after.posted) << "left in the queue";
    EXPECT_EQ(gCounts.keys, c.after.keys) << "left in the queue";
    EXPECT_EQ(gCounts.mouse, c.after.mouse) << "left in the queue";
  }
}

// The quit is taken while nothing else is queued; what the wait is for arrives later as a
// posted closure, which must still run. The quit is back in the queue afterwards, once.
TEST(Wait, AQuitIsKeptForTheCallerAndThePumpingGoesOn) {
  base::UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE h = event.get();
  ::PostQuitMessage(3);
  std::thread worker([h] {
    ::Sleep(200);
    base::PostToMain([h] { ::SetEvent(h); });
  });
  EXPECT_EQ(Show(base::WaitPumping(h, 10000)), "signalled");
  worker.join();
  WPARAM code = 0;
  ASSERT_TRUE(TakeQuit(code)) << "the quit was swallowed";
  EXPECT_EQ(code, 3u);
  EXPECT_FALSE(TakeQuit(code)) << "the quit was posted twice";

  // The same for PumpUntil, which also returns at its deadline with the quit kept.
  std::atomic<bool> ran{false};
  ::PostQuitMessage(4);
  std::thread poster([&ran] {
    ::Sleep(200);
    base::PostToMain([&ran] { ran = true; });
  });
  EXPECT_TRUE(base::PumpUntil([&] { return ran.load(); }, 10000));
  poster.join();
  ASSERT_TRUE(TakeQuit(code));
  EXPECT_EQ(code, 4u);
  ::PostQuitMessage(5);
  EXPECT_FALSE(base::PumpUntil([] { return false; }, 50));
  ASSERT_TRUE(TakeQuit(code));
  EXPECT_EQ(code, 5u);
}

TEST(ModalLoop, OffersEachMessageToTakeAndEndsWhenAsked) {
  CountingWindow window;
  HWND wnd = window.get();
  ::PostMessageW(wnd, kPosted, 0, 0);
  ::PostMessageW(wnd, kTaken, 0, 0);
  ::PostMessageW(wnd, kEnd, 0, 0);
  ::PostMessageW(wnd, kPosted, 0, 0);  // after the end: left for the outer loop
  int offered = 0;
  EXPECT_TRUE(base::RunModalLoop([] { return gCounts.ended; }, [&](MSG& msg) {
    ++offered;
    return msg.message == kTaken;
  }));
  EXPECT_EQ(offered, 3);
  EXPECT_EQ(gCounts.taken, 0) << "a taken message was dispatched too";
  EXPECT_EQ(gCounts.posted, 1);
  base::PumpPending();
  EXPECT_EQ(gCounts.posted, 2);

  // A quit ends the loop and stays for the outer one.
  gCounts = Counts{};
  ::PostQuitMessage(6);
  EXPECT_FALSE(base::RunModalLoop([] { return gCounts.ended; }));
  WPARAM code = 0;
  ASSERT_TRUE(TakeQuit(code));
  EXPECT_EQ(code, 6u);
}

TEST(Thread, AnExceptionStopsAtTheBodyAndTheJoinKeepsTheMainThreadServing) {
  base::Thread thrower;
  ASSERT_TRUE(thrower.Start("test thread", [] { throw std::runtime_error("body failed"); }));
  EXPECT_EQ(Show(thrower.Join(10000)), "signalled");
  EXPECT_FALSE(thrower.Started()) << "a joined thread is let go";

  // The body needs the main thread (a synchronous hand-over): a join that did not pump would
  // never end.
  base::Thread worker;
  std::atomic<bool> handedOver{false};
  base::UniqueHandle ran(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE h = ran.get();
  ASSERT_TRUE(worker.Start("test thread", [&handedOver, h] {
    base::PostToMain([h] { ::SetEvent(h); });
    handedOver = ::WaitForSingleObject(h, 10000) == WAIT_OBJECT_0;
  }));
  EXPECT_EQ(Show(worker.Join(20000)), "signalled");
  EXPECT_TRUE(handedOver);

  // Suspended: nothing runs before Resume.
  std::atomic<int> runs{0};
  base::Thread later;
  ASSERT_TRUE(later.Start("test thread", [&runs] { ++runs; }, base::Thread::Begin::Suspended));
  EXPECT_EQ(Show(later.Join(200)), "timeout");
  EXPECT_EQ(runs.load(), 0);
  later.Resume();
  EXPECT_EQ(Show(later.Join(10000)), "signalled");
  EXPECT_EQ(runs.load(), 1);
}

// State shared with the body, which may end up holding the last reference: the Thread inside
// it is then destroyed on its own thread and must not wait for itself.
TEST(Thread, DestroyedByItsOwnBodyItDoesNotWaitForItself) {
  struct Flag {
    std::atomic<bool>* set;
    ~Flag() { *set = true; }
  };
  struct Shared {
    explicit Shared(std::atomic<bool>* gone) : flag{gone} {}
    Flag flag;  // destroyed last, once the Thread is gone
    base::Thread thread;
  };
  std::atomic<bool> gone{false};
  base::UniqueHandle go(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE h = go.get();
  auto shared = std::make_shared<Shared>(&gone);
  ASSERT_TRUE(shared->thread.Start("test thread", [shared, h] { ::WaitForSingleObject(h, 10000); }));
  shared.reset();
  ::SetEvent(h);
  EXPECT_TRUE(base::PumpUntil([&] { return gone.load(); }, 10000)) << "the thread waited for itself";
}

}  // namespace

namespace {

// The message hook sees what the program's loop and a wait between handlers take, but not
// what a wait inside a handler takes: that wait is in the middle of the handler's work. The
// messages themselves are dispatched either way.
TEST(Wait, AWaitInsideAHandlerOffersNothingToTheMessageHook) {
  CountingWindow w;
  int offeredKeys = 0;
  const base::MessageHook previous = base::SetMessageHook([&](MSG& msg) {
    if (msg.message == WM_KEYDOWN && msg.hwnd == w.get()) ++offeredKeys;
    return false;
  });
  ::PostMessageW(w.get(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(base::PumpUntil([] { return gCounts.keys == 1; }, 2000));
  EXPECT_EQ(offeredKeys, 1) << "a wait between handlers";

  bool handlerDone = false;
  ASSERT_TRUE(base::PostToMain([&] {
    ::PostMessageW(w.get(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(base::PumpUntil([] { return gCounts.keys == 2; }, 2000));
    handlerDone = true;
  }));
  EXPECT_TRUE(base::PumpUntil([&] { return handlerDone; }, 5000));
  EXPECT_EQ(offeredKeys, 1) << "a wait inside a handler offered its key to the hook";
  EXPECT_EQ(gCounts.keys, 2);

  // The modal loop of a dialog opened by a handler takes the dialog's input: it still offers.
  ASSERT_TRUE(base::PostToMain([&] {
    ::PostMessageW(w.get(), WM_KEYDOWN, VK_ESCAPE, 0);
    base::RunModalLoop([] { return gCounts.keys == 3; });
  }));
  EXPECT_TRUE(base::PumpUntil([] { return gCounts.keys == 3; }, 5000));
  EXPECT_EQ(offeredKeys, 2);
  base::SetMessageHook(previous);
}

}  // namespace
