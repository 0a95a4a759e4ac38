// The mirror probe: the five orders, the walk with a stand-in tester, the hand-over of the base
// address to a reader on another thread, and TestServerUrl against the local content server
// (run by content_server.test.sh; skipped without it).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/texts/allparam.h"
#include "app/texts/siteaddresses.h"
#include "base/text.h"
#include "online/ServerManageUnit.h"
#include "tests/online/content_log.h"

namespace {

using online::MirrorList;

int EntryOf(const std::wstring& url) {
  for (int i = 0; i < 13; ++i)
    if (url == app::site::kMirrorBaseUrls[i]) return i;
  return -1;
}

TEST(MirrorList, EachOrderIsItsTableRowAndAPermutationWithTheMakersHostsFirst) {
  const std::vector<std::vector<int>> expected = {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
                                                  {1, 3, 4, 2, 5, 0, 6, 7, 9, 8, 11, 12, 10},
                                                  {3, 4, 2, 5, 0, 6, 7, 1, 10, 9, 11, 12, 8},
                                                  {2, 1, 4, 5, 3, 0, 6, 7, 11, 12, 10, 9, 8},
                                                  {5, 6, 0, 1, 4, 3, 7, 2, 11, 12, 10, 9, 8}};
  for (int order = 1; order <= 5; ++order) {
    const MirrorList list = online::BuildMirrorList(order);
    std::vector<int> entries;
    for (const auto& url : list) {
      entries.push_back(EntryOf(url));
      EXPECT_EQ(url.back(), L'/') << base::WideToUtf8(url);
    }
    EXPECT_EQ(entries, expected[order - 1]) << "order " << order;
    EXPECT_EQ(std::set<int>(entries.begin(), entries.end()).size(), 13u) << "order " << order;
    EXPECT_TRUE(std::all_of(entries.begin(), entries.begin() + 8, [](int e) { return e >= 0 && e <= 7; }))
        << "order " << order;
  }
  EXPECT_TRUE(online::BuildMirrorList(0).empty());
  EXPECT_TRUE(online::BuildMirrorList(6).empty());
}

TEST(MirrorList, TheManagerClearsTheReadyFlagAndDrawsEveryOrder) {
  std::set<int> seen;
  for (int i = 0; i < 200 && seen.size() < 5; ++i) {
    app::ServerReady = true;
    online::TSereverMan man;
    EXPECT_FALSE(app::ServerReady.load());
    ASSERT_GE(man.Order(), 1);
    ASSERT_LE(man.Order(), 5);
    EXPECT_EQ(man.Mirrors(), online::BuildMirrorList(man.Order()));
    seen.insert(man.Order());
  }
  EXPECT_EQ(seen.size(), 5u);
}

class ProbeWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    app::SetServerBaseUrl(app::site::kDefaultBaseUrl);
    app::ServerReady = false;
  }
  void TearDown() override { SetUp(); }
};

TEST_F(ProbeWalk, StopsAtTheFirstMirrorThatAnswers) {
  struct Case {
    int order;
    std::set<int> up;
    std::vector<int> tried;
    int chosen;  // -1: none
  };
  const Case cases[] = {
      {3, {1}, {3, 4, 2, 5, 0, 6, 7, 1}, 1},
      {1, {0, 5}, {0}, 0},
      {5, {8}, {5, 6, 0, 1, 4, 3, 7, 2, 11, 12, 10, 9, 8}, 8},
      {2, {}, {1, 3, 4, 2, 5, 0, 6, 7, 9, 8, 11, 12, 10}, -1},
  };
  for (const Case& c : cases) {
    SetUp();
    std::vector<int> tried;
    const bool found = online::RunProbe(online::BuildMirrorList(c.order), [&](const std::wstring& url) {
      tried.push_back(EntryOf(url));
      return c.up.count(EntryOf(url)) != 0;
    });
    EXPECT_EQ(tried, c.tried) << "order " << c.order;
    EXPECT_EQ(found, c.chosen >= 0) << "order " << c.order;
    EXPECT_EQ(app::ServerReady.load(), c.chosen >= 0) << "order " << c.order;
    EXPECT_EQ(app::ServerBaseUrl(),
              c.chosen >= 0 ? std::wstring(app::site::kMirrorBaseUrls[c.chosen]) : app::site::kDefaultBaseUrl)
        << "order " << c.order;
  }
}

TEST_F(ProbeWalk, AReaderOnAnotherThreadSeesTheDefaultOrTheChosenAddressWhole) {
  // A long mirror address, so a torn copy would show.
  const std::wstring chosen = L"http://" + std::wstring(300, L'm') + L".example/ombrix/";
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0}, readyWithoutMirror{0};
  std::thread reader([&] {
    while (!stop) {
      const bool ready = app::ServerReady.load(std::memory_order_acquire);
      const std::wstring url = app::ServerBaseUrl();
      if (url != app::site::kDefaultBaseUrl && url != chosen) ++bad;
      if (ready && url != chosen) ++readyWithoutMirror;
    }
  });
  for (int round = 0; round < 2000; ++round) {
    app::ServerReady = false;
    app::SetServerBaseUrl(app::site::kDefaultBaseUrl);
    online::RunProbe({L"http://down.example/", chosen}, [&](const std::wstring& url) { return url == chosen; });
  }
  stop = true;
  reader.join();
  EXPECT_EQ(bad.load(), 0);
  EXPECT_EQ(readyWithoutMirror.load(), 0);
}

// --- against the local content server ---

class ServerUrl : public ::testing::Test {
 protected:
  void SetUp() override {
    if (onlinetest::ContentLogPath().empty()) GTEST_SKIP() << "no content server (content_server.test.sh runs these)";
  }
};

double SecondsOf(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(ServerUrl, AcceptsOnly200And302WithOneRequestEach) {
  struct Case {
    const char* host;
    bool expected;
    double maxSeconds;
  };
  const Case cases[] = {
      {"ok.example", true, 3},        {"found.example", true, 3},  {"loop.example", true, 3},  {"moved.example", false, 3},
      {"missing.example", false, 3},  {"broken.example", false, 3}, {"slow.example", true, 5}, {"endless.example", true, 3},
      {"short.example", true, 3},
  };
  for (const Case& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const bool got = online::TestServerUrl(L"http://" + base::Utf8ToWide(c.host) + L"/ombrix/");
    const double seconds = SecondsOf(start);
    EXPECT_EQ(got, c.expected) << c.host;
    EXPECT_LT(seconds, c.maxSeconds) << c.host;
    EXPECT_EQ(onlinetest::RequestsTo(std::string("//") + c.host + "/").size(), 1u) << c.host;
  }
}

TEST_F(ServerUrl, AServerThatNeverAnswersCountsAsDownWithinTheTimeOut) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(online::TestServerUrl(L"http://silent.example/ombrix/"));
  const double seconds = SecondsOf(start);
  EXPECT_GE(seconds, 4.0);
  EXPECT_LT(seconds, 8.0);
}

TEST_F(ServerUrl, SendsTheProbeAgentAndAddsTheSchemeOnlyWhenMissing) {
  EXPECT_TRUE(online::TestServerUrl(L"plain.example/ombrix/"));
  EXPECT_TRUE(online::TestServerUrl(L"HTTP://caps.example/ombrix/"));
  EXPECT_TRUE(online::TestServerUrl(L"HTTP://caps.example/ombrix/"));
  const auto plain = onlinetest::RequestsTo("//plain.example/ombrix/");
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(plain[0].method, "GET");
  EXPECT_EQ(plain[0].agent, "InetURL:/1.0");
  // Two calls, two requests: nothing is served from a cache.
  EXPECT_EQ(onlinetest::RequestsTo("//caps.example/ombrix/").size(), 2u);
  EXPECT_TRUE(onlinetest::RequestsTo("http://http").empty());
}

TEST(ServerUrlRefused, AClosedPortIsDown) {
  // Run with http_proxy naming a closed port (content_server.test.sh does).
  if (!onlinetest::ContentLogPath().empty()) GTEST_SKIP() << "a content server answers here";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(online::TestServerUrl(L"http://refused.example/ombrix/"));
  EXPECT_LT(SecondsOf(start), 6.0);
}

}  // namespace
