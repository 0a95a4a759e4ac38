// The product text table (the main window's captions, hints and messages) and the language
// loader that fills both text tables at start-up.
#pragma once

#include <string>

#include "app/texts/allparam.h"
#include "app/texts/texttable.h"

namespace app {

// The rows of the product text table, in row order.
#define RECLUME_PRODUCT_TEXT_ROWS(ROW)                                                              \
  ROW(StrEnterRecName) ROW(StrEnterValidPath) ROW(StrNoSuchDrive) ROW(StrAddPictures)               \
  ROW(StrCreatedOk) ROW(StrCurrentPicture) ROW(StrNoRecordings) ROW(StrSelectRecording)             \
  ROW(StrStartPlaying) ROW(StrSelectVideoInList) ROW(StrVideoFileMissing) ROW(StrCurrentFile)       \
  ROW(StrRecCurrentPath) ROW(StrEnterScreenRecName) ROW(StrIllegalPath) ROW(StrAutoRecFile)         \
  ROW(StrRecFile) ROW(StrSplitCountFmt) ROW(StrGenerated) ROW(StrLocation) ROW(StrFullScreenRec)    \
  ROW(StrAreaScreenRec) ROW(StrStopPlayback) ROW(StrPlayRecording) ROW(StrSplitToPictures)          \
  ROW(StrPicturesToVideo) ROW(StrOpenWithDefault) ROW(StrDeleteRecording) ROW(StrRenameRecording)   \
  ROW(StrOpenRecording) ROW(StrFullScreenView) ROW(StrRecSettings) ROW(StrHotkeySettings)           \
  ROW(StrHelpDoc) ROW(StrAboutProduct) ROW(StrExitSystem) ROW(StrSendToUDisk) ROW(StrListHint)      \
  ROW(StrPathEditHint) ROW(StrAddPicturesMenu) ROW(StrRemovePictures) ROW(StrCreateAVI)             \
  ROW(StrPicturePath) ROW(StrCurrentPictureLabel) ROW(StrDragToPlace) ROW(StrEnterInteger)          \
  ROW(StrCompression) ROW(StrVideoQuality) ROW(StrRecordingParams) ROW(StrMsPerFrame)               \
  ROW(StrMinutePerFrame) ROW(StrKeyFrameRate) ROW(StrFramesPerKey) ROW(StrPlaybackRate)             \
  ROW(StrRunAtStartup) ROW(StrHotkeySet) ROW(StrStopKey) ROW(StrHotkeyConflict) ROW(StrWithSound)   \
  ROW(StrAreaRecording) ROW(StrDemoAddress) ROW(StrStartRecHint) ROW(StrNoRecordingFiles)           \
  ROW(StrSelectRecordingDot) ROW(StrStartPlayingFmt) ROW(StrMnRefresh) ROW(StrMnOpen)               \
  ROW(StrMnDelete) ROW(StrMnRename) ROW(StrMnDefaultOpen) ROW(StrMnOpenFolder) ROW(StrTabRecording) \
  ROW(StrTabDemo)

enum class ProductText : int { RECLUME_PRODUCT_TEXT_ROWS(RECLUME_TEXT_ENUMERATOR) Count };

inline constexpr int kProductTextCount = static_cast<int>(ProductText::Count);
static_assert(kProductTextCount == 73, "the product table has 73 rows");
static_assert(static_cast<int>(ProductText::StrVideoFileMissing) == 10 &&
                  static_cast<int>(ProductText::StrFullScreenRec) == 20 &&
                  static_cast<int>(ProductText::StrFullScreenView) == 30 &&
                  static_cast<int>(ProductText::StrRemovePictures) == 40 &&
                  static_cast<int>(ProductText::StrMinutePerFrame) == 50 &&
                  static_cast<int>(ProductText::StrWithSound) == 58 &&
                  static_cast<int>(ProductText::StrDemoAddress) == 60 &&
                  static_cast<int>(ProductText::StrMnOpenFolder) == 70,
              "product rows keep their numbers");

// The row texts, indexed by ProductText; each row is also a variable of its own name.
extern std::wstring gProductTexts[kProductTextCount];
inline constexpr const wchar_t* kProductTextNames[kProductTextCount] = {
    RECLUME_PRODUCT_TEXT_ROWS(RECLUME_TEXT_NAME)};

inline std::wstring& ProductTextOf(ProductText row) { return gProductTexts[static_cast<int>(row)]; }

#define RECLUME_PRODUCT_TEXT_VARIABLE(name) \
  inline std::wstring& name = gProductTexts[static_cast<int>(ProductText::name)];
RECLUME_PRODUCT_TEXT_ROWS(RECLUME_PRODUCT_TEXT_VARIABLE)
#undef RECLUME_PRODUCT_TEXT_VARIABLE

// Fills every text variable for LanguageID: the common table, then the product table. Called
// once on the main thread while the main window is created. Never throws: an exception (only
// out of memory can raise one) ends the loading where it happened.
void LoadLanguageTexts() noexcept;

// Each also sets the parameters that belong to its language (ProductName, DemoPath, ...).
void LoadProductTextsSimplified();
void LoadProductTextsTraditional();
void LoadProductTextsEnglish();

// Empties every text variable and puts the parameters the loaders write (ProductName,
// PanelButtonHeight, DonateURL, OmbrixCOMUpdate, HomePageURL, DemoPath) back to their values at
// program start, so the texts can be loaded again for another language.
void ResetLanguageTexts();

}  // namespace app
