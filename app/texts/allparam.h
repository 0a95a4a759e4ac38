// The program's global parameters (product identity, version, web paths, the content-server
// base address) and the common text table.
//
// The text variables are filled once at start-up by LoadLanguageTexts (app/texts/kv.h) on the main
// thread and only read afterwards. Of the parameters only ServerBaseUrl and ServerReady change
// later: the mirror probe thread publishes the address, then sets the flag.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "app/texts/texttable.h"

namespace app {

// Written by the program block: "屏幕录像", then by the product table.
extern std::wstring ProductName;
// The short code, "QIVKV"; names the product's registry key.
extern std::wstring ProductCode;
// 1: traditional Chinese, 2: English, any other value: simplified Chinese (nothing sets it).
extern int32_t LanguageID;
// 3.6 in this release (single precision: bits 0x40666666).
extern float SoftVersion;
// Height of the branded panel's buttons in pixels.
extern int32_t PanelButtonHeight;
extern std::wstring DonateURL;
// Relative path of the update page below the server base address.
extern std::wstring OmbrixCOMUpdate;
// The main window's caption: Format(CaptionFormat, ProductName, SoftVersion).
extern std::wstring CaptionFormat;
extern std::wstring OrderPath;
extern std::wstring HomePageURL;
// The demonstration page: a path below the server base address, or a full address.
extern std::wstring DemoPath;
inline constexpr const wchar_t* kStartDemoPath = L"demo/sc/";

// The content-server base address, always a full address ending in "/": the default one until
// the mirror probe publishes the mirror that answered. Any thread; the value is copied under a
// lock, so a reader gets the old or the new address, whole.
std::wstring ServerBaseUrl();
void SetServerBaseUrl(std::wstring url);
// Set (release) after SetServerBaseUrl by the probe; a reader that sees it true (acquire) finds
// the chosen mirror in ServerBaseUrl().
extern std::atomic<bool> ServerReady;

// The web address of path: path alone when it is already a full address (contains "://"),
// otherwise ServerBaseUrl() + path.
std::wstring WebAddress(const std::wstring& path);

// The rows of the common text table, in row order.
#define RECLUME_COMMON_TEXT_ROWS(ROW)                                                             \
  ROW(StrRenameFile) ROW(StrSelectFolder) ROW(StrCurrentPath) ROW(StrSelectPath)                 \
  ROW(StrEnterFolder) ROW(StrFolderName) ROW(StrAlterFileName) ROW(StrName) ROW(StrNewFolder)    \
  ROW(StrInvalidFolder) ROW(StrDiskMissingFmt) ROW(StrSelectFile) ROW(StrCurrentFileFmt)         \
  ROW(StrFileRecovery) ROW(StrSelectFiles) ROW(StrLinkList) ROW(StrPathMissingFmt)               \
  ROW(StrDeleteFolderQuery) ROW(StrIllegalPathFmt) ROW(StrSaveFailedFmt) ROW(StrRightClickHint)  \
  ROW(StrExitQuery) ROW(StrSavedAsFmt) ROW(StrAbout) ROW(StrHelpDocument) ROW(StrRightClickHint2) \
  ROW(StrSubfolderHint) ROW(StrDeleteQuery) ROW(StrReminder) ROW(StrConfirm) ROW(StrOrderInfo)   \
  ROW(StrAgree) ROW(StrExit) ROW(StrAlterName) ROW(StrNameLabel) ROW(StrClickToUpdate)           \
  ROW(StrVersionLabel) ROW(StrAuthorLine) ROW(StrHomePageLine) ROW(StrPublisherLine)             \
  ROW(StrRightClickLatest) ROW(StrDemoMenu) ROW(StrHomePageMenu)

enum class CommonText : int { RECLUME_COMMON_TEXT_ROWS(RECLUME_TEXT_ENUMERATOR) Count };

inline constexpr int kCommonTextCount = static_cast<int>(CommonText::Count);
static_assert(kCommonTextCount == 43, "the common table has 43 rows");
static_assert(static_cast<int>(CommonText::StrDiskMissingFmt) == 10 &&
                  static_cast<int>(CommonText::StrRightClickHint) == 20 &&
                  static_cast<int>(CommonText::StrOrderInfo) == 30 &&
                  static_cast<int>(CommonText::StrClickToUpdate) == 35 &&
                  static_cast<int>(CommonText::StrRightClickLatest) == 40,
              "common rows keep their numbers");

// The row texts, indexed by CommonText; each row is also a variable of its own name.
extern std::wstring gCommonTexts[kCommonTextCount];
inline constexpr const wchar_t* kCommonTextNames[kCommonTextCount] = {
    RECLUME_COMMON_TEXT_ROWS(RECLUME_TEXT_NAME)};

inline std::wstring& CommonTextOf(CommonText row) { return gCommonTexts[static_cast<int>(row)]; }

#define RECLUME_COMMON_TEXT_VARIABLE(name) \
  inline std::wstring& name = gCommonTexts[static_cast<int>(CommonText::name)];
RECLUME_COMMON_TEXT_ROWS(RECLUME_COMMON_TEXT_VARIABLE)
#undef RECLUME_COMMON_TEXT_VARIABLE

}  // namespace app
