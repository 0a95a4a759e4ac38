// The verified downloader against the local content server with a key pair and signatures
// made by openssl (update_download.test.sh names their folder in RECLUME_UPDATE_FILES; skipped
// without it): every way a download can go wrong gives its reason and leaves neither the file
// nor its ".part"; the good one gives the exact bytes. The checks on their own run everywhere.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "online/verified_download.h"
#include "tests/online/content_log.h"
#include "tests/online/update_files.h"
#include "tests/support/scratch_folder.h"

namespace {

using online::DownloadResult;
using testsupport::ReadBytes;

using onlinetest::Bytes;
using onlinetest::Exists;

// The folder the shell test made: pub.der (the test key), good.exe and its signature.
class UpdateFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    files_ = onlinetest::UpdateFilesFolder();
    if (files_.empty()) GTEST_SKIP() << "run by update_download.test.sh";
    key_ = ReadBytes(files_ + L"pub.der");
    good_ = ReadBytes(files_ + L"good.exe");
    ASSERT_FALSE(key_.empty());
    ASSERT_FALSE(good_.empty());
  }
  std::wstring files_;
  std::string key_, good_;
};

TEST(ProgramCheck, OnlyAnI386PeImagePasses) {
  std::string pe(0x100, '\0');
  pe[0] = 'M', pe[1] = 'Z';
  pe[0x3C] = 0x80;
  pe.replace(0x80, 6, std::string("PE\0\0\x4c\x01", 6));
  EXPECT_TRUE(online::IsI386Program(Bytes(pe)));
  struct Case {
    const char* name;
    size_t at;
    char value;
  };
  const Case cases[] = {{"no MZ", 0, 'X'},          {"e_lfanew past the end", 0x3D, 0x10},
                        {"no PE signature", 0x82, 'x'}, {"x64 machine", 0x84, 0x64},
                        {"ARM machine", 0x85, 0x02}};
  for (const Case& c : cases) {
    std::string bad = pe;
    bad[c.at] = c.value;
    EXPECT_FALSE(online::IsI386Program(Bytes(bad))) << c.name;
  }
  EXPECT_FALSE(online::IsI386Program(Bytes(pe.substr(0, 0x83)))) << "cut inside the PE header";
  EXPECT_FALSE(online::IsI386Program({}));
}

TEST(ProgramCheck, DownloadAddressesAreHttpOrHttpsOnly) {
  for (const wchar_t* good : {L"http://a.example/x.exe", L"HTTPS://a.example/x.exe", L"Http://a"})
    EXPECT_TRUE(online::IsDownloadAddress(good)) << base::WideToUtf8(good);
  for (const wchar_t* bad : {L"", L"ftp://a.example/x.exe", L"file:///C:/x.exe", L"C:\\x.exe", L" http://a.example/",
                             L"\\\\server\\share\\x.exe", L"httpx://a"})
    EXPECT_FALSE(online::IsDownloadAddress(bad)) << base::WideToUtf8(bad);
}

TEST_F(UpdateFiles, TheSignatureVerifiesOnlyOverTheExactBytesWithItsKey) {
  const std::string signature = ReadBytes(files_ + L"good.exe.sig");
  const std::string other = ReadBytes(files_ + L"otherkey.sig");
  EXPECT_TRUE(online::VerifySignature(Bytes(good_), Bytes(signature), Bytes(key_)));
  std::string changed = good_;
  changed[changed.size() / 2] ^= 1;
  EXPECT_FALSE(online::VerifySignature(Bytes(changed), Bytes(signature), Bytes(key_)));
  EXPECT_FALSE(online::VerifySignature(Bytes(good_), Bytes(other), Bytes(key_)));
  EXPECT_FALSE(online::VerifySignature(Bytes(good_), {}, Bytes(key_)));
  EXPECT_FALSE(online::VerifySignature(Bytes(good_), Bytes(signature), {}));
  EXPECT_FALSE(online::VerifySignature(Bytes(good_), Bytes(signature), Bytes(std::string("not a key"))));
}

TEST_F(UpdateFiles, EveryFailureGivesItsReasonAndLeavesNoFile) {
  if (onlinetest::ContentLogPath().empty()) GTEST_SKIP() << "needs the content server";
  struct Case {
    const char* path;
    DownloadResult expected;
  };
  const Case cases[] = {
      {"missing.exe", DownloadResult::BadStatus},     // 404 with a page
      {"short.exe", DownloadResult::ShortBody},       // the body cut short
      {"silent.exe", DownloadResult::NoConnection},   // accepted, never answered
      {"moved.exe", DownloadResult::BadStatus},       // a 302 to the good file is not followed
      {"endless.exe", DownloadResult::TooLarge},      // announced far past the limit
      {"unannounced.exe", DownloadResult::TooLarge},  // no length, more than the limit sent
      {"text.exe", DownloadResult::NotProgram},       // signed, but no program
      {"otherkey.exe", DownloadResult::BadSignature}, // signed with another key
      {"changed.exe", DownloadResult::BadSignature},  // one byte changed
      {"nosig.exe", DownloadResult::NoSignature},     // no .sig
      {"longsig.exe", DownloadResult::NoSignature},   // a .sig past 1 KiB
  };
  testsupport::ScratchFolder scratch;
  for (const Case& c : cases) {
    const std::wstring target = scratch / L"setupKV.exe";
    const std::wstring url = L"http://dl.example/" + base::Utf8ToWide(c.path);
    const DownloadResult got = online::DownloadVerified(url, target, Bytes(key_), {});
    EXPECT_EQ(online::DownloadResultName(got), std::string(online::DownloadResultName(c.expected))) << c.path;
    EXPECT_FALSE(Exists(target)) << c.path;
    EXPECT_FALSE(Exists(target + L".part")) << c.path;
  }
  // A bad address asks nothing of the server.
  const size_t before = onlinetest::ReadContentLog().size();
  EXPECT_EQ(online::DownloadVerified(L"ftp://dl.example/good.exe", scratch / L"a.exe", Bytes(key_), {}),
            DownloadResult::BadAddress);
  EXPECT_EQ(onlinetest::ReadContentLog().size(), before);
}

TEST_F(UpdateFiles, AFailureLeavesAnEarlierFileOfTheNameAlone) {
  if (onlinetest::ContentLogPath().empty()) GTEST_SKIP() << "needs the content server";
  testsupport::ScratchFolder scratch;
  const std::wstring target = scratch / L"setupKV.exe";
  ASSERT_TRUE(testsupport::WriteBytes(target, "earlier"));
  EXPECT_EQ(online::DownloadVerified(L"http://dl.example/changed.exe", target, Bytes(key_), {}),
            DownloadResult::BadSignature);
  EXPECT_EQ(ReadBytes(target), "earlier");
}

TEST_F(UpdateFiles, TheGoodFileArrivesWithItsExactBytesAndProgressToItsSize) {
  if (onlinetest::ContentLogPath().empty()) GTEST_SKIP() << "needs the content server";
  testsupport::ScratchFolder scratch;
  const std::wstring target = scratch / L"setupKV.exe";
  uint64_t lastDone = 0, lastTotal = 0;
  int calls = 0;
  const DownloadResult got = online::DownloadVerified(L"http://DL.example/good.exe", target, Bytes(key_),
                                                      [&](uint64_t done, uint64_t total) {
                                                        EXPECT_GE(done, lastDone);
                                                        lastDone = done, lastTotal = total, ++calls;
                                                        return true;
                                                      });
  ASSERT_EQ(online::DownloadResultName(got), std::string("Ok"));
  EXPECT_TRUE(ReadBytes(target) == good_) << "the downloaded file differs";
  EXPECT_FALSE(Exists(target + L".part"));
  EXPECT_EQ(lastDone, good_.size());
  EXPECT_EQ(lastTotal, good_.size());
  EXPECT_GT(calls, 1);
  EXPECT_EQ(onlinetest::RequestsTo("/good.exe.sig").size(), 1u);
}

TEST_F(UpdateFiles, AProgressThatSaysStopCancelsAtOnce) {
  if (onlinetest::ContentLogPath().empty()) GTEST_SKIP() << "needs the content server";
  testsupport::ScratchFolder scratch;
  const std::wstring target = scratch / L"setupKV.exe";
  int calls = 0;
  EXPECT_EQ(online::DownloadVerified(L"http://dl.example/good.exe", target, Bytes(key_),
                                     [&](uint64_t, uint64_t) { return ++calls < 1; }),
            DownloadResult::Cancelled);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(Exists(target));
  EXPECT_FALSE(Exists(target + L".part"));
}

TEST_F(UpdateFiles, ARefusedConnectionIsNoConnection) {
  if (!onlinetest::ContentLogPath().empty()) GTEST_SKIP() << "run with the proxy on a closed port";
  testsupport::ScratchFolder scratch;
  const std::wstring target = scratch / L"setupKV.exe";
  EXPECT_EQ(online::DownloadVerified(L"http://dl.example/good.exe", target, Bytes(key_), {}),
            DownloadResult::NoConnection);
  EXPECT_FALSE(Exists(target));
  EXPECT_FALSE(Exists(target + L".part"));
}

}  // namespace
