// Reclume itself against the local content server (run by startup_probe.test.sh, which names
// the program in RECLUME_EXE and the mirrors that answer in RECLUME_UP_ENTRIES; skipped
// without them): the probe walks the mirrors in one of the five orders up to the first that
// answers and the demonstration tab asks that mirror for its page; with every mirror silent
// the window still answers and closes promptly.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/texts/siteaddresses.h"
#include "base/text.h"
#include "online/ServerManageUnit.h"
#include "tests/online/content_log.h"
#include "tests/support/scratch_folder.h"

namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(value, n) : std::wstring();
}

struct Found {
  DWORD pid;
  HWND wnd;
};
BOOL CALLBACK FindMainWindow(HWND wnd, LPARAM lp) {
  auto* found = reinterpret_cast<Found*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(wnd, &pid);
  wchar_t cls[32] = {};
  ::GetClassNameW(wnd, cls, 32);
  if (pid == found->pid && std::wstring(cls) == L"TFrmMain") {
    found->wnd = wnd;
    return FALSE;
  }
  return TRUE;
}

template <typename F>
bool WaitFor(F&& condition, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return condition();
}

class ReclumeRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Env(L"RECLUME_EXE").empty() || onlinetest::ContentLogPath().empty())
      GTEST_SKIP() << "startup_probe.test.sh runs these";
    const std::wstring exe = folder_.path() + L"Reclume.exe";
    ASSERT_TRUE(::CopyFileW(Env(L"RECLUME_EXE").c_str(), exe.c_str(), FALSE));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring line = L"\"" + exe + L"\"";
    ASSERT_TRUE(::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.path().c_str(),
                                 &si, &process_));
    Found found{process_.dwProcessId, nullptr};
    ASSERT_TRUE(WaitFor([&] {
      ::EnumWindows(&FindMainWindow, reinterpret_cast<LPARAM>(&found));
      return found.wnd != nullptr;
    }, 30000)) << "no main window";
    main_ = found.wnd;
  }
  void TearDown() override {
    if (!process_.hProcess) return;
    if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(process_.hProcess, 1);
    ::CloseHandle(process_.hProcess);
    ::CloseHandle(process_.hThread);
  }
  // Closes the window as the user would; true when the program ended within ms.
  bool CloseWithin(int ms) {
    ::PostMessageW(main_, WM_CLOSE, 0, 0);
    return ::WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0;
  }

  testsupport::ScratchFolder folder_;
  PROCESS_INFORMATION process_{};
  HWND main_ = nullptr;
};

int EntryOf(const std::string& url) {
  for (int i = 0; i < 13; ++i)
    if (url == base::WideToUtf8(app::site::kMirrorBaseUrls[i])) return i;
  return -1;
}

TEST_F(ReclumeRun, ProbesInOneOrderAndLoadsTheDemonstrationPageFromTheFirstMirrorThatAnswers) {
  std::set<int> up;
  std::wstringstream entries(Env(L"RECLUME_UP_ENTRIES"));
  for (int e; entries >> e;) {
    up.insert(e);
    if (entries.peek() == L',') entries.ignore();
  }
  ASSERT_FALSE(up.empty());
  ASSERT_TRUE(WaitFor([] { return !onlinetest::RequestsTo("/demo/kv/").empty(); }, 60000))
      << "the demonstration page was never asked for";
  std::vector<int> probed;
  std::string demo;
  for (const auto& r : onlinetest::ReadContentLog()) {
    if (r.agent == "InetURL:/1.0") {
      EXPECT_TRUE(demo.empty()) << "a probe after the page: " << r.url;
      probed.push_back(EntryOf(r.url));
    } else if (r.url.find("/demo/kv/") != std::string::npos && demo.empty()) {
      demo = r.url;
      EXPECT_EQ(r.method, "GET");
    }
  }
  ASSERT_FALSE(probed.empty());
  bool matched = false;
  for (int order = 1; order <= 5 && !matched; ++order) {
    const online::MirrorList list = online::BuildMirrorList(order);
    std::vector<int> expected;
    for (const auto& url : list) {
      expected.push_back(EntryOf(base::WideToUtf8(url)));
      if (up.count(expected.back())) break;
    }
    matched = probed == expected;
  }
  std::string got;
  for (int e : probed) got += std::to_string(e) + " ";
  EXPECT_TRUE(matched) << "probed " << got << "is no order up to its first mirror that answers";
  EXPECT_EQ(demo, base::WideToUtf8(app::site::kMirrorBaseUrls[probed.back()]) + "demo/kv/");
  EXPECT_TRUE(CloseWithin(15000));
}

TEST_F(ReclumeRun, WithEveryMirrorSilentTheWindowAnswersAndClosesPromptly) {
  ASSERT_TRUE(WaitFor([] { return !onlinetest::ReadContentLog().empty(); }, 30000)) << "no probe started";
  for (int i = 0; i < 5; ++i) {
    DWORD_PTR result = 0;
    EXPECT_NE(::SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result), 0) << "try " << i;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(CloseWithin(15000));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 8.0);
  EXPECT_TRUE(onlinetest::RequestsTo("/demo/kv/").empty());
}

}  // namespace
