// The self-update's worker and its exit clean-up. With stand-in downloads and launchers (run
// everywhere): a setup that does not start or a rename that fails leaves the program file in
// place at once and shows no balloon; the clean-up's cases; an exit during the hand-over waits
// for it. Against the local content server with openssl's keys and the real Pelvane (run by
// self_update.test.sh, which names its files in RECLUME_UPDATE_FILES): the whole road from the
// download to the new program file, a setup signed with another key, and an exit while the
// server still holds the body.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/balloon.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "base/unique.h"
#include "online/MyPopWinManUnit.h"
#include "online/self_update.h"
#include "tests/online/content_log.h"
#include "tests/online/update_files.h"
#include "tests/support/scratch_folder.h"

namespace {

using online::DownloadResult;
using online::SelfUpdater;
using online::UpdateStage;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

using onlinetest::Bytes;
using onlinetest::Exists;

bool ProcessRunning(const wchar_t* exe) {
  base::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
    if (::lstrcmpiW(entry.szExeFile, exe) == 0) return true;
  return false;
}

// What the seams saw.
struct Seen {
  std::mutex mutex;
  std::vector<std::wstring> launches;  // "file|parameters"
  std::atomic<int> balloons{0};
  std::atomic<int> balloonsOffMain{0};
  std::atomic<bool> launchDone{false};
};

// A program folder with blanks, holding a program file.
class SelfUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = scratch_ / L"Program Files\\Tools dir\\";
    ASSERT_TRUE(::CreateDirectoryW((scratch_ / L"Program Files").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
    paths_ = {folder_ + L"Reclume.exe", folder_ + L"qivupdatetmp.exe", folder_ + L"setupKV.exe",
              L"http://update.example/ombrix/update/kv/setupKV.exe"};
    ASSERT_TRUE(WriteBytes(paths_.exeFileName, "the running program"));
  }

  // Seams that record; download and launch as given.
  SelfUpdater::Seams Recording(std::function<DownloadResult(const std::wstring&, const std::wstring&,
                                                              const online::DownloadProgress&)> download,
                               std::function<bool()> launch) {
    SelfUpdater::Seams seams;
    seams.download = std::move(download);
    seams.launch = [this, launch](const std::wstring& file, const std::wstring& parameters) {
      {
        std::lock_guard<std::mutex> lock(seen_.mutex);
        seen_.launches.push_back(file + L"|" + parameters);
      }
      const bool started = launch();
      seen_.launchDone = true;
      return started;
    };
    seams.updatedBalloon = [this] {
      ++seen_.balloons;
      if (!base::IsMainThread()) ++seen_.balloonsOffMain;
    };
    return seams;
  }

  // A download that writes the setup file and succeeds.
  static DownloadResult FakeDownload(const std::wstring&, const std::wstring& file, const online::DownloadProgress&) {
    return WriteBytes(file, "MZ setup") ? DownloadResult::Ok : DownloadResult::WriteFailed;
  }

  // Runs the worker and serves the main thread until it has finished.
  bool RunToEnd(const std::shared_ptr<SelfUpdater>& updater, DWORD timeoutMs = 60000) {
    if (!SelfUpdater::Start(updater)) return false;
    const bool finished = base::PumpUntil([&] { return updater->Finished(); }, timeoutMs);
    base::PumpPending();  // the balloon the worker posted, if any
    return finished;
  }

  testsupport::ScratchFolder scratch_;
  std::wstring folder_;
  online::SelfUpdatePaths paths_;
  Seen seen_;
};

TEST_F(SelfUpdate, ASetupThatDoesNotStartOrARenameThatFailsLeavesTheProgramInPlace) {
  struct Case {
    const char* name;
    bool tempTaken;  // a file already holds the temporary name: the rename fails
    bool launches;
  };
  const Case cases[] = {{"the setup does not start", false, false}, {"the rename fails", true, true}};
  for (const Case& c : cases) {
    seen_.launches.clear();
    seen_.balloons = 0;
    ASSERT_TRUE(!c.tempTaken || WriteBytes(paths_.tempExeName, "in the way"));
    auto updater = std::make_shared<SelfUpdater>(paths_, Recording(&FakeDownload, [&] { return c.launches; }));
    ASSERT_TRUE(RunToEnd(updater)) << c.name;
    EXPECT_EQ(updater->Stage(), UpdateStage::Done) << c.name;
    EXPECT_EQ(ReadBytes(paths_.exeFileName), "the running program") << c.name;
    EXPECT_FALSE(Exists(paths_.setupFileName)) << c.name;
    EXPECT_EQ(seen_.balloons.load(), 0) << c.name;
    EXPECT_EQ(seen_.launches.size(), c.tempTaken ? 0u : 1u) << c.name << ": a failed rename starts nothing";
    if (c.tempTaken) {
      EXPECT_EQ(ReadBytes(paths_.tempExeName), "in the way") << c.name;
      ::DeleteFileW(paths_.tempExeName.c_str());
    } else {
      EXPECT_FALSE(Exists(paths_.tempExeName)) << c.name;
    }
  }
}

TEST_F(SelfUpdate, AStartedSetupGetsTheFolderAndTheBalloonComesOnTheMainThread) {
  auto updater = std::make_shared<SelfUpdater>(paths_, Recording(&FakeDownload, [] { return true; }));
  ASSERT_TRUE(RunToEnd(updater));
  ASSERT_EQ(seen_.launches.size(), 1u);
  std::wstring expectedArgument = folder_;
  for (wchar_t& ch : expectedArgument)
    if (ch == L' ') ch = L'?';
  EXPECT_EQ(base::WideToUtf8(seen_.launches[0]), base::WideToUtf8(paths_.setupFileName + L"|" + expectedArgument));
  EXPECT_EQ(ReadBytes(paths_.tempExeName), "the running program");
  EXPECT_FALSE(Exists(paths_.exeFileName));
  EXPECT_EQ(seen_.balloons.load(), 1);
  EXPECT_EQ(seen_.balloonsOffMain.load(), 0);
  // No new program came: the exit puts the old one back and removes the rest.
  online::UpdateExitCleanUp(paths_, updater.get());
  EXPECT_EQ(ReadBytes(paths_.exeFileName), "the running program");
  EXPECT_FALSE(Exists(paths_.tempExeName));
  EXPECT_FALSE(Exists(paths_.setupFileName));
}

TEST_F(SelfUpdate, TheExitCleanUpWithoutAWorker) {
  struct Case {
    const char* name;
    bool exe, temp, setup, part;
    std::string exeAfter;  // empty: no file
  };
  const Case cases[] = {
      {"program missing, moved file present: moved back", false, true, true, true, "moved"},
      {"both present: the new program stays", true, true, true, false, "program"},
      {"nothing left over", true, false, false, false, "program"},
  };
  for (const Case& c : cases) {
    ::DeleteFileW(paths_.exeFileName.c_str());
    ASSERT_TRUE(!c.exe || WriteBytes(paths_.exeFileName, "program"));
    ASSERT_TRUE(!c.temp || WriteBytes(paths_.tempExeName, "moved"));
    ASSERT_TRUE(!c.setup || WriteBytes(paths_.setupFileName, "setup"));
    ASSERT_TRUE(!c.part || WriteBytes(paths_.setupFileName + L".part", "part"));
    online::UpdateExitCleanUp(paths_, nullptr);
    EXPECT_EQ(ReadBytes(paths_.exeFileName), c.exeAfter) << c.name;
    EXPECT_FALSE(Exists(paths_.tempExeName)) << c.name;
    EXPECT_FALSE(Exists(paths_.setupFileName)) << c.name;
    EXPECT_FALSE(Exists(paths_.setupFileName + L".part")) << c.name;
  }
}

TEST_F(SelfUpdate, AnExitDuringTheHandOverWaitsForIt) {
  // The setup takes a while to start; the exit comes meanwhile.
  auto updater = std::make_shared<SelfUpdater>(paths_, Recording(&FakeDownload, [] {
                                                 ::Sleep(1500);
                                                 return true;
                                               }));
  ASSERT_TRUE(SelfUpdater::Start(updater));
  ASSERT_TRUE(base::PumpUntil([&] { return updater->Stage() == UpdateStage::HandingOver; }, 10000));
  online::UpdateExitCleanUp(paths_, updater.get());
  EXPECT_TRUE(seen_.launchDone.load()) << "the clean-up did not wait for the hand-over";
  // The setup "started" but wrote nothing: the program is back, nothing else is left.
  EXPECT_EQ(ReadBytes(paths_.exeFileName), "the running program");
  EXPECT_FALSE(Exists(paths_.tempExeName));
  EXPECT_FALSE(Exists(paths_.setupFileName));
  ASSERT_TRUE(base::PumpUntil([&] { return updater->Finished(); }, 10000));
}

// The whole road against the content server (see self_update.test.sh).
class SelfUpdateServed : public SelfUpdate {
 protected:
  void SetUp() override {
    files_ = onlinetest::UpdateFilesFolder();
    if (files_.empty() || onlinetest::ContentLogPath().empty()) GTEST_SKIP() << "run by self_update.test.sh";
    key_ = ReadBytes(files_ + L"pub.der");
    ASSERT_FALSE(key_.empty());
    // The program folder of the task: C:\Program Files\Tools\.
    folder_ = L"C:\\Program Files\\Tools\\";
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    paths_ = {folder_ + L"Reclume.exe", folder_ + L"qivupdatetmp.exe", folder_ + L"setupKV.exe", L""};
    for (const auto& path : {paths_.exeFileName, paths_.tempExeName, paths_.setupFileName}) ::DeleteFileW(path.c_str());
    ASSERT_TRUE(WriteBytes(paths_.exeFileName, "the running program"));
  }
  void TearDown() override {
    if (folder_.rfind(L"C:\\Program Files\\Tools\\", 0) == 0) testsupport::RemoveTree(folder_);
  }

  SelfUpdater::Seams Served(std::function<bool(const std::wstring&, const std::wstring&)> launch) {
    auto seams = Recording(
        [this](const std::wstring& url, const std::wstring& file, const online::DownloadProgress& progress) {
          return online::DownloadVerified(url, file, Bytes(key_), progress);
        },
        [] { return true; });
    auto recordOnly = seams.launch;
    seams.launch = [recordOnly, launch](const std::wstring& file, const std::wstring& parameters) {
      recordOnly(file, parameters);
      return launch(file, parameters);
    };
    return seams;
  }

  std::wstring files_;
  std::string key_;
};

TEST_F(SelfUpdateServed, TheNewSetupIsVerifiedStartedAndReplacesTheProgram) {
  paths_.url = L"http://update.example/ombrix/update/kv/setupKV.exe";
  auto updater = std::make_shared<SelfUpdater>(paths_, Served(&online::LaunchSetup));
  ASSERT_TRUE(RunToEnd(updater));
  ASSERT_EQ(online::DownloadResultName(updater->LastDownload()), std::string("Ok"));
  const auto requests = onlinetest::RequestsTo("update.example/ombrix/update/kv/setupKV.exe");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].url, "http://update.example/ombrix/update/kv/setupKV.exe");
  EXPECT_EQ(requests[1].url, "http://update.example/ombrix/update/kv/setupKV.exe.sig");
  EXPECT_EQ(ReadBytes(paths_.tempExeName), "the running program");
  ASSERT_EQ(seen_.launches.size(), 1u);
  EXPECT_EQ(base::WideToUtf8(seen_.launches[0]), "C:\\Program Files\\Tools\\setupKV.exe|C:\\Program?Files\\Tools\\");
  EXPECT_EQ(seen_.balloons.load(), 1);
  EXPECT_EQ(seen_.balloonsOffMain.load(), 0);
  // Pelvane writes the program it carries into the folder and ends.
  const std::string built = ReadBytes(files_ + L"Reclume.exe");
  ASSERT_FALSE(built.empty());
  EXPECT_TRUE(base::PumpUntil([&] { return ReadBytes(paths_.exeFileName) == built && !ProcessRunning(L"setupKV.exe"); },
                              60000))
      << "Pelvane did not write the new program";
  online::UpdateExitCleanUp(paths_, updater.get());
  EXPECT_TRUE(ReadBytes(paths_.exeFileName) == built) << "the exit clean-up touched the new program";
  EXPECT_FALSE(Exists(paths_.setupFileName));
  EXPECT_FALSE(Exists(paths_.tempExeName));
}

TEST_F(SelfUpdateServed, ASetupSignedWithAnotherKeyChangesAndRunsNothing) {
  paths_.url = L"http://update.example/otherkey/setupKV.exe";
  auto updater = std::make_shared<SelfUpdater>(paths_, Served(&online::LaunchSetup));
  ASSERT_TRUE(RunToEnd(updater));
  EXPECT_EQ(online::DownloadResultName(updater->LastDownload()), std::string("BadSignature"));
  EXPECT_TRUE(seen_.launches.empty());
  EXPECT_FALSE(ProcessRunning(L"setupKV.exe"));
  EXPECT_EQ(ReadBytes(paths_.exeFileName), "the running program");
  EXPECT_FALSE(Exists(paths_.tempExeName));
  EXPECT_FALSE(Exists(paths_.setupFileName));
  EXPECT_FALSE(Exists(paths_.setupFileName + L".part"));
  EXPECT_EQ(seen_.balloons.load(), 0);
}

TEST_F(SelfUpdateServed, AnExitWhileTheServerHoldsTheBodyRenamesNothing) {
  paths_.url = L"http://update.example/held/setupKV.exe";
  auto updater = std::make_shared<SelfUpdater>(paths_, Served([](const std::wstring&, const std::wstring&) { return true; }));
  ASSERT_TRUE(SelfUpdater::Start(updater));
  // The body has begun to arrive: the .part file is there.
  ASSERT_TRUE(base::PumpUntil([&] { return Exists(paths_.setupFileName + L".part"); }, 20000));
  const auto start = std::chrono::steady_clock::now();
  online::UpdateExitCleanUp(paths_, updater.get());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "the exit waited for the download";
  EXPECT_EQ(updater->Stage(), UpdateStage::Cancelled);
  // The worker stops at its next read, touching nothing.
  ASSERT_TRUE(base::PumpUntil([&] { return updater->Finished(); }, 30000));
  EXPECT_EQ(online::DownloadResultName(updater->LastDownload()), std::string("Cancelled"));
  EXPECT_TRUE(seen_.launches.empty());
  EXPECT_EQ(ReadBytes(paths_.exeFileName), "the running program");
  EXPECT_FALSE(Exists(paths_.tempExeName));
  EXPECT_FALSE(Exists(paths_.setupFileName));
  EXPECT_FALSE(Exists(paths_.setupFileName + L".part"));
}

}  // namespace

namespace {

TEST(SelfUpdateStart, AProgramFileNotNamedReclumeDoesNotUpdateItself) {
  app::WebPanelArgs args;
  args.exeName = L"C:\\Program Files\\Tools\\Reclume copy.exe";
  args.tempExeName = L"C:\\Program Files\\Tools\\qivupdatetmp.exe";
  args.setupFileName = L"C:\\Program Files\\Tools\\setupKV.exe";
  args.updateUrlPath = L"update/kv/setupKV.exe";
  args.curVersion = 3.6f;
  online::TMyPopWin panel(args, nullptr);
  base::FreeActiveBalloon();
  online::StartSelfUpdate(panel);
  EXPECT_EQ(online::CurrentSelfUpdater(), nullptr);
  EXPECT_EQ(base::ActiveBalloon(), nullptr) << "no balloon either";
}

}  // namespace
