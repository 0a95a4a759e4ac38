// The common text table in simplified Chinese, English and traditional Chinese. The simplified
// table is the one in use; the others are selected by LanguageID 2 and 1. Rows that a language
// does not fill stay as they were (empty at start-up).
#include "app/texts/allneed.h"

#include "app/texts/allparam.h"
#include "app/texts/siteaddresses.h"
#include "base/resources.h"

namespace app {

namespace {

using Row = TextEntry<CommonText>;
using C = CommonText;

#define RECLUME_LINKS_SIMPLIFIED RECLUME_HOME_PAGE L",QIV软件工作室," RECLUME_DONATE_PAGE L",捐助QIV软件工作室"
#define RECLUME_LINKS_ENGLISH RECLUME_HOME_PAGE L",QIV Software Studio," RECLUME_DONATE_PAGE L",Donate"

constexpr Row kSimplified[] = {
    {C::StrRenameFile, L"重命名文件"},
    {C::StrSelectFolder, L"选择文件夹"},
    {C::StrCurrentPath, L"当前路径"},
    {C::StrSelectPath, L"选择路径"},
    {C::StrEnterFolder, L"请输入文件夹名称"},
    {C::StrFolderName, L"文件夹名称"},
    {C::StrAlterFileName, L"更改文件名称"},
    {C::StrName, L"名称"},
    {C::StrNewFolder, L"新建文件夹"},
    {C::StrInvalidFolder, L"请选择一个合法的文件夹名称"},
    {C::StrDiskMissingFmt, L"磁盘%s不存在，请重选择一个路径。"},
    {C::StrSelectFile, L"选择文件"},
    {C::StrCurrentFileFmt, L"当前文件：%s"},
    {C::StrFileRecovery, L"文件恢复"},
    {C::StrSelectFiles, L"选择多个文件"},
    {C::StrLinkList, RECLUME_LINKS_SIMPLIFIED},
    {C::StrPathMissingFmt, L"路径%s不存在"},
    {C::StrDeleteFolderQuery, L"确定要删除这个文件夹吗？"},
    {C::StrIllegalPathFmt, L"非法路径：%s"},
    {C::StrSaveFailedFmt, L"保存失败：%s"},
    {C::StrRightClickHint, L"鼠标右键有更多功能"},
    {C::StrExitQuery, L"确定要退出吗？"},
    {C::StrSavedAsFmt, L"已保存为：%s"},
    {C::StrAbout, L"关于"},
    {C::StrHelpDocument, L"帮助文档"},
    {C::StrRightClickHint2, L"单击鼠标右键可查看更多功能"},
    {C::StrSubfolderHint, L"直接写入子文件夹名称，按回车键即可生成"},
    {C::StrDeleteQuery, L"确定要删除吗？"},
    {C::StrReminder, L"提醒"},
    {C::StrConfirm, L"确定"},
    {C::StrOrderInfo, L"订购信息"},
    {C::StrAgree, L"同意"},
    {C::StrExit, L"退出"},
    {C::StrAlterName, L"更改名称"},
    {C::StrNameLabel, L"名称"},
    {C::StrClickToUpdate, L"点击此处升级"},
    {C::StrVersionLabel, L"版本号："},
    {C::StrAuthorLine, L"作者：QIV软件工作室"},
    {C::StrHomePageLine, L"官方主页：" RECLUME_HOME_PAGE},
    {C::StrPublisherLine, L"发布自QIV软件工作室"},
    {C::StrRightClickLatest, L"鼠标右键可查看最新QIV软件"},
    {C::StrDemoMenu, nullptr},
    {C::StrHomePageMenu, nullptr},
};
static_assert(ListsEveryRowInOrder(kSimplified));

constexpr Row kEnglish[] = {
    {C::StrRenameFile, L"Rename File"},
    {C::StrSelectFolder, L"Select Folder"},
    {C::StrCurrentPath, L"cur path"},
    {C::StrSelectPath, L"Select Path"},
    {C::StrEnterFolder, L"Please enter a folder name"},
    {C::StrFolderName, L"Folder Name"},
    {C::StrAlterFileName, L"Alter File Name"},
    {C::StrName, L"Name"},
    {C::StrNewFolder, L"New Folder"},
    {C::StrInvalidFolder, L"Please Choose a valid path"},
    {C::StrDiskMissingFmt, L"Not exist disk:%s ,please reselect a path."},
    {C::StrSelectFile, L"Select File"},
    {C::StrCurrentFileFmt, L"Current File：%s"},
    {C::StrFileRecovery, L"File Recovery"},
    {C::StrSelectFiles, L"Select Files"},
    {C::StrLinkList, RECLUME_LINKS_ENGLISH},
    {C::StrPathMissingFmt, L"Path %s does not exist"},
    {C::StrDeleteFolderQuery, L"Delete this folder?"},
    {C::StrIllegalPathFmt, L"Illegal path: %s"},
    {C::StrSaveFailedFmt, L"Save failed: %s"},
    {C::StrRightClickHint, L"mouse right click for more features"},
    {C::StrExitQuery, L"Exit now?"},
    {C::StrSavedAsFmt, L"Saved as: %s"},
    {C::StrAbout, L"About"},
    {C::StrHelpDocument, L"Help Document"},
    {C::StrRightClickHint2, L"Right click for more features"},
    {C::StrSubfolderHint, L"Type a sub-folder name and press Enter to create it"},
    {C::StrDeleteQuery, L"Delete it?"},
    {C::StrReminder, L"Reminder"},
    {C::StrConfirm, L"OK"},
    {C::StrOrderInfo, L"Order Information"},
    {C::StrAgree, L"Agree"},
    {C::StrExit, L"Exit"},
    {C::StrAlterName, L"Alter Name"},
    {C::StrNameLabel, L"Name"},
    {C::StrClickToUpdate, L"Click here to update"},
    {C::StrVersionLabel, nullptr},
    {C::StrAuthorLine, nullptr},
    {C::StrHomePageLine, nullptr},
    {C::StrPublisherLine, nullptr},
    {C::StrRightClickLatest, nullptr},
    {C::StrDemoMenu, L"Demo"},
    {C::StrHomePageMenu, L"Home Page"},
};
static_assert(ListsEveryRowInOrder(kEnglish));

// Where each of the first 36 rows is found among the resource's lines.
constexpr int kTraditionalLineOfRow[36] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17,
    18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 37, 38, 39, 40, 42, 43, 44,
};
constexpr size_t kTraditionalLines = 45;

}  // namespace

void LoadCommonTextsSimplified() {
  FillTexts(gCommonTexts, kSimplified);
  DonateURL = RECLUME_DONATE_PAGE;
}

void LoadCommonTextsEnglish() { FillTexts(gCommonTexts, kEnglish); }

bool FillCommonTextsTraditional(const std::vector<std::wstring>& lines) {
  if (lines.size() < kTraditionalLines) return false;
  for (int row = 0; row < 36; ++row) gCommonTexts[row] = lines[size_t(kTraditionalLineOfRow[row])];
  return true;
}

void LoadCommonTextsTraditional() {
  PanelButtonHeight = 26;
  // Decoded from UTF-8 straight to UTF-16: no detour through the ANSI code page, which would
  // turn every character it lacks into "?".
  FillCommonTextsTraditional(base::LoadStringsFromRes(L"allneed"));
}

void LoadCommonTexts() {
  PanelButtonHeight = 26;
  switch (LanguageID) {
    case 1:
      LoadCommonTextsTraditional();
      break;
    case 2:
      LoadCommonTextsEnglish();
      break;
    default:
      LoadCommonTextsSimplified();
      break;
  }
}

}  // namespace app
