// The version check's pure parts: the demonstration page's version and the compare, the update
// page, the setup's folder argument; and the check as the web panel runs it on its completed
// documents, through a browser view of the tests' own.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "app/forms/control_ids.h"
#include "app/forms/layout.h"
#include "base/text.h"
#include "online/MyPopWinManUnit.h"
#include "online/self_update.h"
#include "online/version_check.h"
#include "tests/online/page_view.h"

namespace {

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

using onlinetest::PageView;

TEST(VersionCheck, ThePageVersionAgainstTheRunningOne) {
  struct Case {
    const wchar_t* body;
    std::optional<float> version;  // what the page gives; nullopt: nothing parses
    bool newer;                    // against 3.6
  };
  const Case cases[] = {
      {L"<body><!---qvb---3.7---qve---></body>", 3.7f, true},
      {L"<body><!---qvb---3.62---qve---></body>", 3.62f, true},
      {L"<body><!---qvb---3.61---qve---></body>", 3.61f, false},  // 0.0099999 in single precision
      {L"<body><!---qvb---3.6---qve---></body>", 3.6f, false},
      {L"<body><!---qvb---3.5---qve---></body>", 3.5f, false},
      {L"<BODY><!---QVB---3.7---QVE---></BODY>", 3.7f, true},     // capitals: the body is lower-cased
      {L"<body><!---qvb--- 3.7 ---qve---></body>", 3.7f, true},   // blanks around count
      {L"<body><!---qvb---\t3.7\r\n---qve---></body>", 3.7f, true},
      {L"<body><!---qvb---10---qve---></body>", 10.0f, true},
      {L"<body>3.7---qve---></body>", std::nullopt, false},       // only the end marker
      {L"<body>---qve--->3.7<!---qvb---</body>", std::nullopt, false},  // reversed
      {L"<body><!---qvb---3.7</body>", std::nullopt, false},      // no end marker
      {L"<body><!---qvb------qve---></body>", std::nullopt, false},  // empty
      {L"<body><!---qvb---3,7---qve---></body>", std::nullopt, false},
      {L"<body><!---qvb---3.7.1---qve---></body>", std::nullopt, false},
      {L"<body><!---qvb---inf---qve---></body>", std::nullopt, false},
      {L"<body><!---qvb---nan---qve---></body>", std::nullopt, false},
      {L"<body><!---qvb---0x1p2---qve---></body>", std::nullopt, false},
      {L"<body><!---qvb---1e39---qve---></body>", std::nullopt, false},
      {L"<body><!---qvb---1000000000000000000000000000000000000000---qve---></body>", std::nullopt, false},
      {L"<body><!---qvb---3.---qve---></body>", std::nullopt, false},
      {L"<body><!---qvb---.7---qve---></body>", std::nullopt, false},
      {L"<body><!---qvb----3.7---qve---></body>", std::nullopt, false},
      {L"<body><!---qvb---3.7---qve---><!---qvb---9.9---qve---></body>", 3.7f, true},  // the first counts
  };
  for (const Case& c : cases) {
    const std::string name = Narrow(c.body);
    // The raw page through the view, as the panel reads it.
    PageView view;
    view.body = c.body;
    online::DemoPageVersion = 1.0f;
    EXPECT_EQ(online::DemoPageIsNewer(view, 3.6f), c.newer) << name;
    EXPECT_EQ(online::DemoPageVersion, c.version.value_or(0.0f)) << name << ": a failed parse reads as 0";
  }
}

TEST(VersionCheck, NothingIsReadWithoutAnAddressOrADocument) {
  PageView view;
  view.body = L"<body><!---qvb---3.7---qve---></body>";
  view.location.clear();
  EXPECT_FALSE(online::DemoPageIsNewer(view, 3.6f));
  view.location = L"http://a.example/";
  view.document = false;
  EXPECT_FALSE(online::DemoPageIsNewer(view, 3.6f));
}

TEST(VersionCheck, TheVersionParserAcceptsOnlyPlainDecimals) {
  for (const wchar_t* good : {L"3", L"3.6", L" 3.60 ", L"0.0", L"0003.5"})
    EXPECT_TRUE(online::ParseVersionText(good)) << Narrow(good);
  for (const wchar_t* bad : {L"", L" ", L"3,6", L"+3.6", L"3.6.0", L"3 .6", L"3. 6", L"INF", L"1e3", L"3.6a",
                             L"\x0663.6" /* an Arabic-Indic digit */})
    EXPECT_FALSE(online::ParseVersionText(bad)) << Narrow(bad);
  EXPECT_EQ(*online::ParseVersionText(L"3.62"), 3.62f);
}

TEST(UpdatePage, MarkerLineVersionAndAddressByTheirFirstOccurrence) {
  const std::wstring marker = L"<!-- qivsoft reclume update page, read by the program: v1 -->";
  ASSERT_EQ(marker.size(), 61u);
  struct Case {
    std::wstring html;
    bool genuine;
    std::optional<float> version;
    std::wstring url;
  };
  const Case cases[] = {
      {marker + L"softversion_3.7_softversion softurl_http://a.example/update.exe_softurl", true, 3.7f,
       L"http://a.example/update.exe"},
      {L"softversion_3.7_softversion softurl_http://a.example/u.exe_softurl", false, 3.7f, L"http://a.example/u.exe"},
      {marker + L"softversion_3.8_softversion softversion_9.9_softversion softurl_http://a/1_softurl "
                L"softurl_http://b/2_softurl",
       true, 3.8f, L"http://a/1"},
      {marker + L"softversion_3.7_softversion softurl_http://a.example/u.exe", true, 3.7f, L""},  // no end marker
      {marker + L"softversion_3,7_softversion", true, std::nullopt, L""},
      {marker.substr(0, 60) + L"softversion_3.7_softversion", false, 3.7f, L""},
  };
  for (const Case& c : cases) {
    const online::UpdatePageInfo info = online::ReadUpdatePage(c.html);
    EXPECT_EQ(info.genuine, c.genuine) << Narrow(c.html);
    EXPECT_EQ(info.version, c.version) << Narrow(c.html);
    EXPECT_EQ(Narrow(info.downloadUrl), Narrow(c.url)) << Narrow(c.html);
  }
}

TEST(SetupArgument, TheProgramsFolderWithQuestionMarksForBlanks) {
  EXPECT_EQ(Narrow(online::SetupFolderArgument(L"C:\\Program Files\\Tools\\Reclume.exe")), "C:\\Program?Files\\Tools\\");
  EXPECT_EQ(Narrow(online::SetupFolderArgument(L"C:\\a  b\\c d\\Reclume.exe")), "C:\\a??b\\c?d\\");
  EXPECT_EQ(Narrow(online::SetupFolderArgument(L"D:\\Reclume.exe")), "D:\\");
}

// The check as the panel runs it: on its first completed demonstration document only.
class PanelCheck : public ::testing::Test {
 protected:
  void TearDown() override { online::SetCheckForUpdateHook(nullptr); }

  // Completes two documents with the two bodies; answers how many updates would start.
  int StartsFor(const std::wstring& first, const std::wstring& second) {
    int starts = 0;
    online::SetCheckForUpdateHook([&](online::TMyPopWin& panel, online::BrowserView& view) {
      online::CheckForUpdate(panel, view, [&](online::TMyPopWin&) { ++starts; });
    });
    // The panel makes its browser in a panel of a window of the test's own.
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    app::Panel demo;
    EXPECT_TRUE(demo.Create(parent, app::id::PnlDemo));
    PageView* view = nullptr;
    app::WebPanelArgs args;
    args.demoPanel = demo.hwnd();
    args.curVersion = 3.6f;
    auto panel = std::make_unique<online::TMyPopWin>(args, [&](HWND, online::BrowserEvents&) {
      auto made = std::make_unique<PageView>();
      view = made.get();
      return made;
    });
    EXPECT_TRUE(view);
    if (!view) return -1;
    for (const std::wstring& body : {first, second}) {
      view->body = body;
      panel->DemoBrowserDocumentComplete();
    }
    panel.reset();
    ::DestroyWindow(parent);
    return starts;
  }
};

TEST_F(PanelCheck, OnlyTheFirstCompletedPageCounts) {
  const std::wstring v36 = L"<body><!---qvb---3.6---qve---></body>";
  const std::wstring v37 = L"<body><!---qvb---3.7---qve---></body>";
  const std::wstring v99 = L"<body><!---qvb---9.9---qve---></body>";
  EXPECT_EQ(StartsFor(v36, v99), 0);
  EXPECT_EQ(StartsFor(v37, v99), 1);
}

}  // namespace
