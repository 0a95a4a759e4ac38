// The update dialog over a browser view of the tests' own (under Wine no page ever completes),
// with stand-in downloads, message boxes and shell: the check after a completed navigation,
// the decision, the download with its progress applied on the main thread, the restart
// button, and the package's start. The dialog itself is a real window.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/texts/allparam.h"
#include "base/dispatch.h"
#include "base/shell_opener.h"
#include "base/text.h"
#include "online/AutoUpdateUnit.h"
#include "online/QIVUpdateUnit.h"
#include "tests/online/content_log.h"
#include "tests/online/page_view.h"
#include "tests/online/update_files.h"
#include "tests/support/doubles.h"
#include "tests/support/scratch_folder.h"

namespace {

using online::DownloadResult;
using online::TFrmUpdate;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

const std::wstring kMarker = L"<!-- qivsoft reclume update page, read by the program: v1 -->";

using onlinetest::PageView;

class RecordingOpener : public base::ShellOpener {
 public:
  bool Open(HWND, const std::wstring& verb, const std::wstring& target, const std::wstring& parameters,
            int show) override {
    calls.push_back(verb + L"|" + target + L"|" + parameters + L"|" + std::to_wstring(show));
    return answer;
  }
  std::vector<std::wstring> calls;
  bool answer = true;
};

std::wstring Text(HWND wnd) {
  wchar_t text[256] = {};
  ::GetWindowTextW(wnd, text, 256);
  return text;
}

class UpdateDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    app::SoftVersion = 3.6f;
    app::OmbrixCOMUpdate = L"update/kv/";
    TFrmUpdate::Seams seams;
    seams.makeBrowser = [this](HWND, online::BrowserEvents&) {
      auto made = std::make_unique<PageView>();
      view_ = made.get();
      return made;
    };
    seams.download = [this](const std::wstring& url, const std::wstring& file, const online::DownloadProgress& progress) {
      downloads_.push_back(url + L"|" + file);
      onMain_ = base::IsMainThread();
      for (uint64_t done = 0; done < kSize;) {
        done = std::min<uint64_t>(done + 40000, kSize);
        if (!progress(done, kSize)) return DownloadResult::Cancelled;
      }
      return downloadResult_;
    };
    seams.endApplication = [this] { ++ends_; };
    dialog_ = std::make_unique<TFrmUpdate>(nullptr, L"C:\\Program Files\\Tools\\Reclume.exe", std::move(seams));
    ASSERT_TRUE(dialog_->Create());
    ASSERT_TRUE(view_);
    // Left hidden: under Wine hiding or destroying a shown window costs two seconds.
  }
  void TearDown() override {
    dialog_.reset();
    base::PumpPending();
  }

  // A completed navigation of a page with this body, and the check 250 ms later.
  void Complete(const std::wstring& body) {
    view_->body = body;
    dialog_->WebBrowser1NavigateComplete2();
    ASSERT_TRUE(base::PumpUntil([&] { return !dialog_->Timer1Enabled(); }, 5000));
  }
  std::wstring Page(const wchar_t* version, const wchar_t* url = L"http://dl.example/update.exe") {
    return L"<BODY>" + kMarker + L"softversion_" + version + L"_softversion softurl_" + url + L"_softurl</BODY>";
  }
  int AlreadyNewest() const {
    int n = 0;
    for (const auto& q : prompter_.asked()) n += q.text == L"已经是最新版本";
    return n;
  }
  bool Visible(HWND wnd) const { return ::GetWindowLongW(wnd, GWL_STYLE) & WS_VISIBLE; }

  static constexpr uint64_t kSize = 150000;
  testsupport::ScriptedPrompter prompter_;
  base::ScopedPrompter usePrompter_{prompter_};
  std::unique_ptr<TFrmUpdate> dialog_;
  PageView* view_ = nullptr;
  std::vector<std::wstring> downloads_;
  std::atomic<bool> onMain_{true};
  DownloadResult downloadResult_ = DownloadResult::Ok;
  int ends_ = 0;
};

TEST_F(UpdateDialog, ItsShapeAndItsStart) {
  RECT r{};
  ::GetWindowRect(dialog_->hwnd(), &r);
  EXPECT_EQ(r.right - r.left, 650);
  EXPECT_EQ(r.bottom - r.top, 155);
  EXPECT_EQ(Narrow(Text(dialog_->hwnd())), "QIV软件在线升级");
  EXPECT_EQ(Narrow(Text(dialog_->LblHint())), "正在更新软件，请稍候...");
  EXPECT_EQ(dialog_->MsgX, r.left + 80);
  EXPECT_EQ(dialog_->MsgY, r.top + 30);
  EXPECT_EQ(Narrow(dialog_->UpdateFileName), "C:\\Program Files\\Tools\\update.exe");
  RECT frame{};
  ::GetWindowRect(dialog_->WebBrowser1Frame(), &frame);
  ::MapWindowPoints(HWND_DESKTOP, dialog_->PnlMain(), reinterpret_cast<POINT*>(&frame), 2);
  EXPECT_EQ(frame.top, -2000) << "the browser starts out of sight";
  EXPECT_FALSE(Visible(dialog_->SpeedButton3().hwnd()));
  EXPECT_TRUE(Visible(dialog_->Image1()));
  EXPECT_TRUE(::SendMessageW(dialog_->Image1(), STM_GETIMAGE, IMAGE_BITMAP, 0)) << "the picture";
  EXPECT_TRUE(dialog_->SpeedButton3().HasGlyph());
}

TEST_F(UpdateDialog, OpeningLoadsTheUpdatePageAndAnEmptyPathSaysSo) {
  app::SetServerBaseUrl(L"http://cloud1.qivsoft.example/ombrix/");
  dialog_->OpenUpdatePage();
  app::OmbrixCOMUpdate.clear();
  dialog_->OpenUpdatePage();
  ASSERT_EQ(view_->navigations.size(), 2u);
  EXPECT_EQ(Narrow(view_->navigations[0]), "http://cloud1.qivsoft.example/ombrix/update/kv/");
  EXPECT_EQ(Narrow(view_->navigations[1]), "http://cloud1.qivsoft.example/ombrix/");
  ASSERT_EQ(prompter_.asked().size(), 1u);
  EXPECT_EQ(Narrow(prompter_.asked()[0].text), "OmbrixCOMUpdate is null");
}

TEST_F(UpdateDialog, APageThatIsNotNewerOrNotGenuineSaysSoAndCloses) {
  const std::wstring cases[] = {
      Page(L"3.61"),                                                                     // not above 0.01
      L"<body>softversion_3.7_softversion softurl_http://dl.example/u.exe_softurl</body>",  // no marker line
      Page(L"3,7"),                                                                      // no version
  };
  ::ShowWindow(dialog_->hwnd(), SW_SHOWNA);
  for (const std::wstring& body : cases) {
    const int before = AlreadyNewest();
    Complete(body);
    EXPECT_EQ(AlreadyNewest(), before + 1) << Narrow(body);
    EXPECT_FALSE(Visible(dialog_->hwnd())) << Narrow(body) << ": the dialog closes";
  }
  base::PumpUntil([] { return false; }, 1300);
  EXPECT_TRUE(downloads_.empty());
}

TEST_F(UpdateDialog, TwoCompletionsCheckOnceALaterOneAgainAndAFailedNavigationToo) {
  view_->body = L"<body>no update page</body>";
  dialog_->WebBrowser1NavigateComplete2();
  dialog_->WebBrowser1NavigateComplete2();
  ASSERT_TRUE(base::PumpUntil([&] { return !dialog_->Timer1Enabled(); }, 5000));
  EXPECT_EQ(AlreadyNewest(), 1);
  dialog_->WebBrowser1NavigateComplete2();
  ASSERT_TRUE(base::PumpUntil([&] { return !dialog_->Timer1Enabled(); }, 5000));
  EXPECT_EQ(AlreadyNewest(), 2);
  dialog_->WebBrowser1NavigateError();
  EXPECT_TRUE(dialog_->Timer1Enabled());
  ASSERT_TRUE(base::PumpUntil([&] { return !dialog_->Timer1Enabled(); }, 5000));
  EXPECT_EQ(AlreadyNewest(), 3);
}

TEST_F(UpdateDialog, ANewerVersionIsDownloadedWithProgressAndThenTheRestartButtonShows) {
  Complete(Page(L"3.7", L"HTTP://DL.Example/Update.EXE"));
  EXPECT_EQ(AlreadyNewest(), 0);
  EXPECT_EQ(Narrow(Text(dialog_->LblHint())), "软件正在更新中，请稍候...");
  EXPECT_FALSE(Visible(dialog_->Image1())) << "the page covers the picture";
  EXPECT_TRUE(downloads_.empty()) << "the download waits a second";
  ASSERT_TRUE(base::PumpUntil([&] { return Text(dialog_->LblHint()) == L"更新完成，关闭后将自动重启软件"; }, 10000));
  ASSERT_EQ(downloads_.size(), 1u);
  EXPECT_EQ(Narrow(downloads_[0]), "http://dl.example/update.exe|C:\\Program Files\\Tools\\update.exe")
      << "the address stays lower-cased";
  EXPECT_FALSE(onMain_.load()) << "the download runs on a thread of its own";
  EXPECT_EQ(::SendMessageW(dialog_->ProgressBar1(), PBM_GETPOS, 0, 0),
            ::SendMessageW(dialog_->ProgressBar1(), PBM_GETRANGE, FALSE, 0));
  EXPECT_EQ(::SendMessageW(dialog_->ProgressBar1(), PBM_GETPOS, 0, 0), static_cast<LRESULT>((kSize + 1023) / 1024));
  EXPECT_TRUE(Visible(dialog_->SpeedButton3().hwnd()));
  EXPECT_NEAR(online::UpdatePageVersion, 3.7f, 1e-6);
}

TEST_F(UpdateDialog, AFailedDownloadSaysSoAndShowsNoRestartButton) {
  downloadResult_ = DownloadResult::BadSignature;
  Complete(Page(L"3.7"));
  ASSERT_TRUE(base::PumpUntil([&] { return Text(dialog_->LblHint()) == online::kUpdateFailedText; }, 10000));
  EXPECT_FALSE(Visible(dialog_->SpeedButton3().hwnd()));
}

TEST_F(UpdateDialog, TheRestartStartsThePackageHiddenWithTheQuotedPathOrStaysWhenItCannot) {
  RecordingOpener opener;
  base::ScopedShellOpener useOpener(opener);
  opener.answer = false;
  dialog_->SpeedButton3Click();
  EXPECT_EQ(Narrow(Text(dialog_->LblHint())), Narrow(online::kUpdaterNotStartedText));
  EXPECT_EQ(ends_, 0) << "Reclume stays when the package cannot start";
  opener.answer = true;
  dialog_->SpeedButton3().Click();
  EXPECT_EQ(ends_, 1);
  ASSERT_EQ(opener.calls.size(), 2u);
  EXPECT_EQ(Narrow(opener.calls[1]), "open|C:\\Program Files\\Tools\\update.exe|\"C:\\Program Files\\Tools\\Reclume.exe\"|" +
                                          std::to_string(SW_HIDE));
}

}  // namespace

// The package fetched by the real downloader and started by the shell (update_dialog.test.sh).
namespace {

TEST(UpdateDialogServed, AVerifiedPackageStartsHiddenWithTheQuotedProgramPath) {
  const std::wstring files = onlinetest::UpdateFilesFolder();
  if (files.empty() || onlinetest::ContentLogPath().empty()) GTEST_SKIP() << "run by update_dialog.test.sh";
  const std::string key = testsupport::ReadBytes(files + L"pub.der");
  ASSERT_FALSE(key.empty());
  testsupport::ScratchFolder scratch;
  const std::wstring folder = scratch / L"Tools dir\\";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  testsupport::ScriptedPrompter prompter;
  base::ScopedPrompter usePrompter(prompter);
  PageView* view = nullptr;
  int ends = 0;
  TFrmUpdate::Seams seams;
  seams.makeBrowser = [&](HWND, online::BrowserEvents&) {
    auto made = std::make_unique<PageView>();
    view = made.get();
    return made;
  };
  seams.download = [&](const std::wstring& url, const std::wstring& file, const online::DownloadProgress& progress) {
    return online::DownloadVerified(url, file, onlinetest::Bytes(key), progress);
  };
  seams.endApplication = [&] { ++ends; };
  app::SoftVersion = 3.6f;
  TFrmUpdate dialog(nullptr, folder + L"Reclume.exe", std::move(seams));
  ASSERT_TRUE(dialog.Create());
  ASSERT_TRUE(view);
  view->body = L"<body>" + kMarker + L"softversion_3.7_softversion softurl_http://DL.example/kv/update.exe_softurl</body>";
  dialog.WebBrowser1NavigateComplete2();
  ASSERT_TRUE(base::PumpUntil([&] { return Text(dialog.LblHint()) == L"更新完成，关闭后将自动重启软件"; }, 30000))
      << Narrow(Text(dialog.LblHint()));
  EXPECT_TRUE(testsupport::ReadBytes(folder + L"update.exe") == testsupport::ReadBytes(files + L"update.exe"));
  dialog.SpeedButton3().Click();
  EXPECT_EQ(ends, 1);
  const std::wstring record = folder + L"update_started.txt";
  ASSERT_TRUE(base::PumpUntil([&] { return onlinetest::Exists(record); }, 30000)) << "the package did not start";
  const std::string started = testsupport::ReadBytes(record);
  EXPECT_EQ(started, "\"" + Narrow(folder) + "Reclume.exe\"\n" + std::to_string(SW_HIDE) + "\n");
}

}  // namespace
