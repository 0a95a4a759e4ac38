// The text tables and global parameters: what each language fills and leaves empty, the
// caption and format texts the main window builds from them, the maker's addresses, and the
// server base address shared with the mirror probe thread.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/texts/allneed.h"
#include "app/texts/allparam.h"
#include "app/texts/kv.h"
#include "app/texts/siteaddresses.h"
#include "base/text.h"

namespace {

using app::CommonText;
using app::ProductText;

std::string Show(const std::wstring& s) { return base::WideToUtf8(s); }

enum Language { kSimplified = 0, kTraditional = 1, kEnglish = 2 };

// Loads the tables of one language from a clean start and puts everything back afterwards.
class Texts : public ::testing::Test {
 protected:
  void SetUp() override { app::ResetLanguageTexts(); }
  void TearDown() override {
    app::LanguageID = 0;
    app::ResetLanguageTexts();
  }
  static void Load(int language) {
    app::ResetLanguageTexts();
    app::LanguageID = language;
    app::LoadLanguageTexts();
  }
};

const char* LanguageName(int language) {
  return language == kTraditional ? "traditional" : language == kEnglish ? "English" : "simplified";
}

// The common rows the user meets: simplified and English texts (nullptr: left empty).
struct CommonCase {
  CommonText row;
  const wchar_t* simplified;
  const wchar_t* english;
};
const CommonCase kCommonCases[] = {
    {CommonText::StrCurrentPath, L"当前路径", L"cur path"},
    {CommonText::StrInvalidFolder, L"请选择一个合法的文件夹名称", L"Please Choose a valid path"},
    {CommonText::StrDiskMissingFmt, L"磁盘%s不存在，请重选择一个路径。", L"Not exist disk:%s ,please reselect a path."},
    {CommonText::StrCurrentFileFmt, L"当前文件：%s", L"Current File：%s"},
    {CommonText::StrAbout, L"关于", L"About"},
    {CommonText::StrAlterName, L"更改名称", L"Alter Name"},
    {CommonText::StrNameLabel, L"名称", L"Name"},
    {CommonText::StrVersionLabel, L"版本号：", nullptr},
    {CommonText::StrAuthorLine, L"作者：QIV软件工作室", nullptr},
    {CommonText::StrHomePageLine, L"官方主页：" RECLUME_HOME_PAGE, nullptr},
    {CommonText::StrPublisherLine, L"发布自QIV软件工作室", nullptr},
    {CommonText::StrRightClickLatest, L"鼠标右键可查看最新QIV软件", nullptr},
};

// The product rows the user meets, in all three languages (nullptr: left empty).
struct ProductCase {
  ProductText row;
  const wchar_t* simplified;
  const wchar_t* english;
  const wchar_t* traditional;
};
const ProductCase kProductCases[] = {
    {ProductText::StrEnterRecName, L"请输入一个录像名称", L"Please enter video name", L"請輸入一個錄像名稱"},
    {ProductText::StrAddPictures, L"请加入一个以上的图片", L"Plase join more than one picture", L"请加入一个以上的图片"},
    {ProductText::StrCurrentPicture, L"当前图片", L"Current picture", L"當前圖片"},
    {ProductText::StrSelectRecording, L"请选择一个录像", L"Please select a video", L"請選擇一個錄像"},
    {ProductText::StrSelectVideoInList, L"请选择『录像列表』中的一个视频文件",
     L"Please select a video in the list of video files", L"請選擇『錄像列表』中的一個視頻文件"},
    {ProductText::StrVideoFileMissing, L"视频文件不存在", L"Video file does not exist", L"視頻文件不存在"},
    {ProductText::StrAutoRecFile, L"自动生成录像文件", L"Automatic generation of video file", L"自動生成錄像文件"},
    {ProductText::StrRecFile, L"生成录像文件", L"Generate video file", L"生成錄像文件"},
    {ProductText::StrSplitCountFmt, L"可分解成%d个图片", L"Can be broken down into %d picture", L"可分解成%d個圖片"},
    {ProductText::StrGenerated, L"已生成", L"Generated", L"已生成"},
    {ProductText::StrLocation, L"所在路径", L"Where the path", L"所在路徑"},
    {ProductText::StrListHint, L"鼠标右键有更多功能", L"mouse right click for more features", L"鼠標右鍵有更多功能"},
    {ProductText::StrPathEditHint, L"直接写入子文件名，按回车键，新路径将自动生成",
     L"direct write sub-file name, press Enter, the new path will be automatically generated",
     L"直接寫入子文件名，按回車鍵，新路徑將自動生成"},
    {ProductText::StrWithSound, L"录像时带声音", L"with sound", L"錄制聲音"},
    {ProductText::StrStartRecHint, L"开始录像后，按[ESC]可自动保存录像并返回本窗口", nullptr, nullptr},
    {ProductText::StrNoRecordingFiles, L"没有任何录像文件", L"No Record", L"没有任何录像文件"},
    {ProductText::StrSelectRecordingDot, L"请选择一个录像。", L"Please select a file", L"请选择一个录像。"},
    {ProductText::StrStartPlayingFmt, L"开始播放%s", L"Start %s", L"开始播放%s"},
    {ProductText::StrMnRefresh, L"刷新", L"Refresh", L"刷新"},
    {ProductText::StrMnOpen, L"打开录像", L"Replay", L"打开录像"},
    {ProductText::StrMnDelete, L"删除录像", L"Delete", L"删除录像"},
    {ProductText::StrMnRename, L"更改录像名称", L"Alter Name", L"更改录像名称"},
    {ProductText::StrMnDefaultOpen, L"默认打开", L"Default Open", L"默认打开"},
    {ProductText::StrMnOpenFolder, L"打开当前文件夹", L"Open Current Path", L"打开当前文件夹"},
    {ProductText::StrTabRecording, L"屏幕录像", nullptr, nullptr},
    {ProductText::StrTabDemo, L"实例演示", nullptr, nullptr},
};

TEST_F(Texts, UserFacingRowsOfEachLanguage) {
  for (int language : {kSimplified, kEnglish, kTraditional}) {
    Load(language);
    for (const CommonCase& c : kCommonCases) {
      // Without the optional "allneed" resource the traditional common rows stay empty.
      const wchar_t* expected = language == kSimplified ? c.simplified : language == kEnglish ? c.english : nullptr;
      const std::wstring& got = app::CommonTextOf(c.row);
      EXPECT_EQ(got, expected ? expected : L"") << LanguageName(language) << " "
                                                << Show(app::kCommonTextNames[int(c.row)]) << ": got \"" << Show(got) << "\"";
    }
    for (const ProductCase& c : kProductCases) {
      const wchar_t* expected =
          language == kSimplified ? c.simplified : language == kEnglish ? c.english : c.traditional;
      const std::wstring& got = app::ProductTextOf(c.row);
      EXPECT_EQ(got, expected ? expected : L"") << LanguageName(language) << " "
                                                << Show(app::kProductTextNames[int(c.row)]) << ": got \"" << Show(got) << "\"";
    }
  }
}

TEST_F(Texts, EachLanguageFillsExactlyItsRows) {
  struct Case {
    int language;
    std::set<int> emptyCommon, emptyProduct;
  };
  std::set<int> allCommon;
  for (int i = 0; i < app::kCommonTextCount; ++i) allCommon.insert(i);
  const Case cases[] = {
      {kSimplified, {41, 42}, {59, 60}},
      {kEnglish, {36, 37, 38, 39, 40}, {61, 71, 72}},
      {kTraditional, allCommon, {59, 60, 61, 71, 72}},
  };
  for (const Case& c : cases) {
    Load(c.language);
    for (int row = 0; row < app::kCommonTextCount; ++row)
      EXPECT_EQ(app::gCommonTexts[row].empty(), c.emptyCommon.count(row) == 1)
          << LanguageName(c.language) << " common row " << row << " " << Show(app::kCommonTextNames[row]) << ": \""
          << Show(app::gCommonTexts[row]) << "\"";
    for (int row = 0; row < app::kProductTextCount; ++row)
      EXPECT_EQ(app::gProductTexts[row].empty(), c.emptyProduct.count(row) == 1)
          << LanguageName(c.language) << " product row " << row << " " << Show(app::kProductTextNames[row]) << ": \""
          << Show(app::gProductTexts[row]) << "\"";
    EXPECT_EQ(app::PanelButtonHeight, 26) << LanguageName(c.language);
  }
}

TEST_F(Texts, ParametersEachLanguageSets) {
  Load(kSimplified);
  EXPECT_EQ(app::ProductName, L"QIVReclume");
  EXPECT_EQ(app::DemoPath, L"demo/kv/");
  EXPECT_EQ(app::OmbrixCOMUpdate, L"update/kv/");
  EXPECT_EQ(app::HomePageURL, app::site::kHomePage);
  EXPECT_EQ(app::DonateURL, app::site::kDonatePage);
  EXPECT_EQ(app::ProductTextOf(ProductText::StrAboutProduct), L"关于Reclume");

  Load(kEnglish);
  EXPECT_EQ(app::ProductName, L"Reclume ");
  EXPECT_EQ(app::DemoPath, app::site::kEnglishDemoPage);
  EXPECT_NE(app::DemoPath.find(L"://"), std::wstring::npos);
  EXPECT_EQ(app::OmbrixCOMUpdate, L"") << "only the simplified table sets it";
  EXPECT_EQ(app::DonateURL, L"");
  EXPECT_EQ(app::WebAddress(app::DemoPath), app::site::kEnglishDemoPage) << "a full address is used alone";

  Load(kTraditional);
  EXPECT_EQ(app::ProductName, L"QIVReclume");
  EXPECT_EQ(app::DemoPath, app::kStartDemoPath);
  EXPECT_EQ(app::OmbrixCOMUpdate, L"");
}

TEST_F(Texts, StartValuesBeforeAnyTableIsLoaded) {
  EXPECT_EQ(app::ProductName, L"");
  EXPECT_EQ(app::PanelButtonHeight, 0);
  EXPECT_EQ(app::OmbrixCOMUpdate, L"");
  EXPECT_EQ(app::DemoPath, L"demo/sc/");
  EXPECT_EQ(app::OrderPath, L"order/");
  EXPECT_EQ(app::HomePageURL, app::site::kHomePage);
  EXPECT_EQ(app::LanguageID, 0);
}

TEST_F(Texts, TraditionalCommonRowsComeFromTheResourceLines) {
  std::vector<std::wstring> lines;
  for (int i = 0; i < 45; ++i) lines.push_back(base::Format(L"第%d行?", i));  // "?" survives
  ASSERT_TRUE(app::FillCommonTextsTraditional(lines));
  const int lineOfRow[36] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17,
                             18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 37, 38, 39, 40, 42, 43, 44};
  for (int row = 0; row < 36; ++row)
    EXPECT_EQ(app::gCommonTexts[row], lines[size_t(lineOfRow[row])]) << "row " << row;
  for (int row = 36; row < app::kCommonTextCount; ++row) EXPECT_EQ(app::gCommonTexts[row], L"") << "row " << row;

  // A short resource takes nothing.
  app::ResetLanguageTexts();
  lines.pop_back();
  EXPECT_FALSE(app::FillCommonTextsTraditional(lines));
  for (int row = 0; row < app::kCommonTextCount; ++row) EXPECT_EQ(app::gCommonTexts[row], L"") << "row " << row;
}

TEST_F(Texts, CaptionAndFormatTexts) {
  const float savedVersion = app::SoftVersion;
  app::SoftVersion = 3.6f;
  uint32_t bits = 0;
  std::memcpy(&bits, &app::SoftVersion, sizeof bits);
  EXPECT_EQ(bits, 0x40666666u);
  Load(kSimplified);
  EXPECT_EQ(base::Format(app::CaptionFormat, app::ProductName, app::SoftVersion),
            std::wstring(L"QIVReclume v3.6 - ") + app::site::kMakerHost);
  app::SoftVersion = savedVersion;

  EXPECT_EQ(base::Format(app::StrDiskMissingFmt, L"X:"), L"磁盘X:不存在，请重选择一个路径。");
  EXPECT_EQ(base::Format(app::StrCurrentFileFmt, L"1.avi"), L"当前文件：1.avi");
  EXPECT_EQ(base::Format(app::StrSplitCountFmt, 12), L"可分解成12个图片");
  Load(kEnglish);
  EXPECT_EQ(base::Format(app::StrDiskMissingFmt, L"X:"), L"Not exist disk:X: ,please reselect a path.");
}

// Every address any table or parameter holds lies under the reserved ".example" domain.
TEST_F(Texts, EveryAddressIsUnderTheExampleDomain) {
  std::vector<std::wstring> texts = {app::site::kMakerHost, app::site::kHomePage, app::site::kDonatePage,
                                     app::site::kEnglishDemoPage, app::site::kDefaultBaseUrl, app::CaptionFormat,
                                     app::ServerBaseUrl()};
  for (const wchar_t* mirror : app::site::kMirrorBaseUrls) texts.push_back(mirror);
  for (int language : {kSimplified, kEnglish, kTraditional}) {
    Load(language);
    texts.insert(texts.end(), std::begin(app::gCommonTexts), std::end(app::gCommonTexts));
    texts.insert(texts.end(), std::begin(app::gProductTexts), std::end(app::gProductTexts));
    texts.push_back(app::HomePageURL);
    texts.push_back(app::DonateURL);
    texts.push_back(app::DemoPath);
  }
  int addresses = 0;
  for (const std::wstring& text : texts) {
    for (size_t at = text.find(L"://"); at != std::wstring::npos; at = text.find(L"://", at + 3)) {
      ++addresses;
      const size_t hostStart = at + 3;
      const size_t hostEnd = text.find_first_of(L"/,", hostStart);
      const std::wstring host = text.substr(hostStart, hostEnd == std::wstring::npos ? std::wstring::npos : hostEnd - hostStart);
      EXPECT_TRUE(host.ends_with(L".example")) << "host \"" << Show(host) << "\" in \"" << Show(text) << "\"";
    }
  }
  EXPECT_GT(addresses, 20);
  EXPECT_NE(app::CaptionFormat.find(L".example"), std::wstring::npos);
  for (const wchar_t* mirror : app::site::kMirrorBaseUrls) {
    const std::wstring m = mirror;
    EXPECT_TRUE(m.starts_with(L"http://") && m.ends_with(L"/ombrix/")) << Show(m);
  }
}

TEST(ServerBaseUrl, StartsAsTheDefaultAndJoinsRelativePaths) {
  EXPECT_EQ(app::ServerBaseUrl(), app::site::kDefaultBaseUrl);
  EXPECT_TRUE(app::ServerBaseUrl().starts_with(L"http://"));
  EXPECT_TRUE(app::ServerBaseUrl().ends_with(L"/"));
  EXPECT_EQ(app::WebAddress(L"demo/kv/"), std::wstring(app::site::kDefaultBaseUrl) + L"demo/kv/");
  EXPECT_EQ(app::WebAddress(L"https://x.example/p"), L"https://x.example/p");
}

// The probe thread publishes while the main thread reads: every read is one whole address, and
// a reader that sees ServerReady finds the published one.
TEST(ServerBaseUrl, PublishedAcrossThreadsWhole) {
  const std::wstring first = std::wstring(app::site::kMirrorBaseUrls[3]) + std::wstring(200, L'a') + L"/";
  const std::wstring second = std::wstring(app::site::kMirrorBaseUrls[9]) + std::wstring(300, L'b') + L"/";
  const std::wstring original = app::ServerBaseUrl();
  app::ServerReady = false;
  std::thread probe([&] {
    for (int i = 0; i < 20000; ++i) app::SetServerBaseUrl(i % 2 ? first : second);
    app::SetServerBaseUrl(first);
    app::ServerReady.store(true, std::memory_order_release);
  });
  int torn = 0;
  while (!app::ServerReady.load(std::memory_order_acquire)) {
    const std::wstring seen = app::ServerBaseUrl();
    if (seen != first && seen != second && seen != original) ++torn;
  }
  EXPECT_EQ(app::ServerBaseUrl(), first);
  probe.join();
  EXPECT_EQ(torn, 0);
  app::SetServerBaseUrl(original);
  app::ServerReady = false;
}

}  // namespace
