// The product text table in simplified Chinese (the one in use), English and traditional
// Chinese, and LoadLanguageTexts, which fills both tables for the language LanguageID selects.
#include "app/texts/kv.h"

#include "app/texts/allneed.h"
#include "app/texts/siteaddresses.h"

namespace app {

std::wstring gProductTexts[kProductTextCount];

namespace {

using Row = TextEntry<ProductText>;
using P = ProductText;

constexpr Row kSimplified[] = {
    {P::StrEnterRecName, L"请输入一个录像名称"},
    {P::StrEnterValidPath, L"请输入一个合法的路径"},
    {P::StrNoSuchDrive, L"磁盘不存在"},
    {P::StrAddPictures, L"请加入一个以上的图片"},
    {P::StrCreatedOk, L"生成成功"},
    {P::StrCurrentPicture, L"当前图片"},
    {P::StrNoRecordings, L"没有录像"},
    {P::StrSelectRecording, L"请选择一个录像"},
    {P::StrStartPlaying, L"开始播放"},
    {P::StrSelectVideoInList, L"请选择『录像列表』中的一个视频文件"},
    {P::StrVideoFileMissing, L"视频文件不存在"},
    {P::StrCurrentFile, L"当前文件"},
    {P::StrRecCurrentPath, L"当前录像路径"},
    {P::StrEnterScreenRecName, L"请输入屏幕录像名称"},
    {P::StrIllegalPath, L"非法路径"},
    {P::StrAutoRecFile, L"自动生成录像文件"},
    {P::StrRecFile, L"生成录像文件"},
    {P::StrSplitCountFmt, L"可分解成%d个图片"},
    {P::StrGenerated, L"已生成"},
    {P::StrLocation, L"所在路径"},
    {P::StrFullScreenRec, L"全屏幕录像"},
    {P::StrAreaScreenRec, L"局部屏幕录像"},
    {P::StrStopPlayback, L"停止播放"},
    {P::StrPlayRecording, L"播放录像"},
    {P::StrSplitToPictures, L"录像分解为多个图片"},
    {P::StrPicturesToVideo, L"图片合成视频"},
    {P::StrOpenWithDefault, L"用默认播放器打开"},
    {P::StrDeleteRecording, L"删除录像"},
    {P::StrRenameRecording, L"更改录像名称"},
    {P::StrOpenRecording, L"打开录像"},
    {P::StrFullScreenView, L"全屏观看"},
    {P::StrRecSettings, L"录像设置"},
    {P::StrHotkeySettings, L"热键设置"},
    {P::StrHelpDoc, L"帮助文档"},
    {P::StrAboutProduct, L"关于Reclume"},
    {P::StrExitSystem, L"退出系统"},
    {P::StrSendToUDisk, L"发送到U盘"},
    {P::StrListHint, L"鼠标右键有更多功能"},
    {P::StrPathEditHint, L"直接写入子文件名，按回车键，新路径将自动生成"},
    {P::StrAddPicturesMenu, L"加入图片"},
    {P::StrRemovePictures, L"移除图片"},
    {P::StrCreateAVI, L"生成AVI录像"},
    {P::StrPicturePath, L"图片路径"},
    {P::StrCurrentPictureLabel, L"当前图片："},
    {P::StrDragToPlace, L"拖动图片可调整位置"},
    {P::StrEnterInteger, L"请输入一个整数"},
    {P::StrCompression, L"压缩方式"},
    {P::StrVideoQuality, L"视频质量"},
    {P::StrRecordingParams, L"录像参数"},
    {P::StrMsPerFrame, L"毫秒/帧"},
    {P::StrMinutePerFrame, L"分钟/帧"},
    {P::StrKeyFrameRate, L"关键帧频率"},
    {P::StrFramesPerKey, L"帧/关键帧"},
    {P::StrPlaybackRate, L"播放速率"},
    {P::StrRunAtStartup, L"开机时自动运行"},
    {P::StrHotkeySet, L"设置热键"},
    {P::StrStopKey, L"停止录像键"},
    {P::StrHotkeyConflict, L"此快捷键冲突，请修改"},
    {P::StrWithSound, L"录像时带声音"},
    {P::StrAreaRecording, nullptr},
    {P::StrDemoAddress, nullptr},
    {P::StrStartRecHint, L"开始录像后，按[ESC]可自动保存录像并返回本窗口"},
    {P::StrNoRecordingFiles, L"没有任何录像文件"},
    {P::StrSelectRecordingDot, L"请选择一个录像。"},
    {P::StrStartPlayingFmt, L"开始播放%s"},
    {P::StrMnRefresh, L"刷新"},
    {P::StrMnOpen, L"打开录像"},
    {P::StrMnDelete, L"删除录像"},
    {P::StrMnRename, L"更改录像名称"},
    {P::StrMnDefaultOpen, L"默认打开"},
    {P::StrMnOpenFolder, L"打开当前文件夹"},
    {P::StrTabRecording, L"屏幕录像"},
    {P::StrTabDemo, L"实例演示"},
};
static_assert(ListsEveryRowInOrder(kSimplified));

constexpr Row kEnglish[] = {
    {P::StrEnterRecName, L"Please enter video name"},
    {P::StrEnterValidPath, L"Please enter a valid path"},
    {P::StrNoSuchDrive, L"The disk does not exist"},
    {P::StrAddPictures, L"Plase join more than one picture"},
    {P::StrCreatedOk, L"Created successfully"},
    {P::StrCurrentPicture, L"Current picture"},
    {P::StrNoRecordings, L"No video"},
    {P::StrSelectRecording, L"Please select a video"},
    {P::StrStartPlaying, L"Start playing"},
    {P::StrSelectVideoInList, L"Please select a video in the list of video files"},
    {P::StrVideoFileMissing, L"Video file does not exist"},
    {P::StrCurrentFile, L"Current file"},
    {P::StrRecCurrentPath, L"Current video path"},
    {P::StrEnterScreenRecName, L"Please enter the screen video name"},
    {P::StrIllegalPath, L"Illegal path"},
    {P::StrAutoRecFile, L"Automatic generation of video file"},
    {P::StrRecFile, L"Generate video file"},
    {P::StrSplitCountFmt, L"Can be broken down into %d picture"},
    {P::StrGenerated, L"Generated"},
    {P::StrLocation, L"Where the path"},
    {P::StrFullScreenRec, L"Full Screen Record"},
    {P::StrAreaScreenRec, L"Area Screen Record"},
    {P::StrStopPlayback, L"Stop Playing"},
    {P::StrPlayRecording, L"Play Video"},
    {P::StrSplitToPictures, L"Split video into pictures"},
    {P::StrPicturesToVideo, L"Pictures to video"},
    {P::StrOpenWithDefault, L"Open with default player"},
    {P::StrDeleteRecording, L"Delete video"},
    {P::StrRenameRecording, L"Rename video"},
    {P::StrOpenRecording, L"Open video"},
    {P::StrFullScreenView, L"Full Screen View"},
    {P::StrRecSettings, L"Record Settings"},
    {P::StrHotkeySettings, L"Hotkey Settings"},
    {P::StrHelpDoc, L"Help"},
    {P::StrAboutProduct, L"About Reclume"},
    {P::StrExitSystem, L"Exit"},
    {P::StrSendToUDisk, L"Send to USB disk"},
    {P::StrListHint, L"mouse right click for more features"},
    {P::StrPathEditHint, L"direct write sub-file name, press Enter, the new path will be automatically generated"},
    {P::StrAddPicturesMenu, L"Add pictures"},
    {P::StrRemovePictures, L"Remove pictures"},
    {P::StrCreateAVI, L"Create AVI"},
    {P::StrPicturePath, L"Picture path"},
    {P::StrCurrentPictureLabel, L"Current picture:"},
    {P::StrDragToPlace, L"Drag a picture to move it"},
    {P::StrEnterInteger, L"Please enter an integer"},
    {P::StrCompression, L"Compression"},
    {P::StrVideoQuality, L"Video quality"},
    {P::StrRecordingParams, L"Recording parameters"},
    {P::StrMsPerFrame, L"ms/frame"},
    {P::StrMinutePerFrame, L"minute/frame"},
    {P::StrKeyFrameRate, L"Key frame rate"},
    {P::StrFramesPerKey, L"frames/key frame"},
    {P::StrPlaybackRate, L"Playback rate"},
    {P::StrRunAtStartup, L"Run at startup"},
    {P::StrHotkeySet, L"Set hotkey"},
    {P::StrStopKey, L"Stop key"},
    {P::StrHotkeyConflict, L"This hotkey is taken, please change it"},
    {P::StrWithSound, L"with sound"},
    {P::StrAreaRecording, L"Area recording"},
    {P::StrDemoAddress, RECLUME_ENGLISH_DEMO_PAGE},
    {P::StrStartRecHint, nullptr},
    {P::StrNoRecordingFiles, L"No Record"},
    {P::StrSelectRecordingDot, L"Please select a file"},
    {P::StrStartPlayingFmt, L"Start %s"},
    {P::StrMnRefresh, L"Refresh"},
    {P::StrMnOpen, L"Replay"},
    {P::StrMnDelete, L"Delete"},
    {P::StrMnRename, L"Alter Name"},
    {P::StrMnDefaultOpen, L"Default Open"},
    {P::StrMnOpenFolder, L"Open Current Path"},
    {P::StrTabRecording, nullptr},
    {P::StrTabDemo, nullptr},
};
static_assert(ListsEveryRowInOrder(kEnglish));

constexpr Row kTraditional[] = {
    {P::StrEnterRecName, L"請輸入一個錄像名稱"},
    {P::StrEnterValidPath, L"請輸入一個合法的路徑"},
    {P::StrNoSuchDrive, L"磁盤不存在"},
    {P::StrAddPictures, L"请加入一个以上的图片"},
    {P::StrCreatedOk, L"生成成功"},
    {P::StrCurrentPicture, L"當前圖片"},
    {P::StrNoRecordings, L"沒有錄像"},
    {P::StrSelectRecording, L"請選擇一個錄像"},
    {P::StrStartPlaying, L"開始播放"},
    {P::StrSelectVideoInList, L"請選擇『錄像列表』中的一個視頻文件"},
    {P::StrVideoFileMissing, L"視頻文件不存在"},
    {P::StrCurrentFile, L"當前文件"},
    {P::StrRecCurrentPath, L"當前錄像路徑"},
    {P::StrEnterScreenRecName, L"請輸入屏幕錄像名稱"},
    {P::StrIllegalPath, L"非法路徑"},
    {P::StrAutoRecFile, L"自動生成錄像文件"},
    {P::StrRecFile, L"生成錄像文件"},
    {P::StrSplitCountFmt, L"可分解成%d個圖片"},
    {P::StrGenerated, L"已生成"},
    {P::StrLocation, L"所在路徑"},
    {P::StrFullScreenRec, L"全屏幕錄像"},
    {P::StrAreaScreenRec, L"局部屏幕錄像"},
    {P::StrStopPlayback, L"停止播放"},
    {P::StrPlayRecording, L"播放錄像"},
    {P::StrSplitToPictures, L"錄像分解為多個圖片"},
    {P::StrPicturesToVideo, L"圖片合成視頻"},
    {P::StrOpenWithDefault, L"用默認播放器打開"},
    {P::StrDeleteRecording, L"刪除錄像"},
    {P::StrRenameRecording, L"更改錄像名稱"},
    {P::StrOpenRecording, L"打開錄像"},
    {P::StrFullScreenView, L"全屏觀看"},
    {P::StrRecSettings, L"錄像設置"},
    {P::StrHotkeySettings, L"熱鍵設置"},
    {P::StrHelpDoc, L"幫助文檔"},
    {P::StrAboutProduct, L"關於Reclume"},
    {P::StrExitSystem, L"退出系統"},
    {P::StrSendToUDisk, L"發送到U盤"},
    {P::StrListHint, L"鼠標右鍵有更多功能"},
    {P::StrPathEditHint, L"直接寫入子文件名，按回車鍵，新路徑將自動生成"},
    {P::StrAddPicturesMenu, L"加入圖片"},
    {P::StrRemovePictures, L"移除圖片"},
    {P::StrCreateAVI, L"生成AVI錄像"},
    {P::StrPicturePath, L"圖片路徑"},
    {P::StrCurrentPictureLabel, L"當前圖片："},
    {P::StrDragToPlace, L"拖動圖片可調整位置"},
    {P::StrEnterInteger, L"請輸入一個整數"},
    {P::StrCompression, L"壓縮方式"},
    {P::StrVideoQuality, L"視頻質量"},
    {P::StrRecordingParams, L"錄像參數"},
    {P::StrMsPerFrame, L"毫秒/幀"},
    {P::StrMinutePerFrame, L"分鐘/幀"},
    {P::StrKeyFrameRate, L"關鍵幀頻率"},
    {P::StrFramesPerKey, L"幀/關鍵幀"},
    {P::StrPlaybackRate, L"播放速率"},
    {P::StrRunAtStartup, L"開機時自動運行"},
    {P::StrHotkeySet, L"設置熱鍵"},
    {P::StrStopKey, L"停止錄像鍵"},
    {P::StrHotkeyConflict, L"此快捷鍵衝突，請修改"},
    {P::StrWithSound, L"錄制聲音"},
    {P::StrAreaRecording, nullptr},
    {P::StrDemoAddress, nullptr},
    {P::StrStartRecHint, nullptr},
    {P::StrNoRecordingFiles, L"没有任何录像文件"},
    {P::StrSelectRecordingDot, L"请选择一个录像。"},
    {P::StrStartPlayingFmt, L"开始播放%s"},
    {P::StrMnRefresh, L"刷新"},
    {P::StrMnOpen, L"打开录像"},
    {P::StrMnDelete, L"删除录像"},
    {P::StrMnRename, L"更改录像名称"},
    {P::StrMnDefaultOpen, L"默认打开"},
    {P::StrMnOpenFolder, L"打开当前文件夹"},
    {P::StrTabRecording, nullptr},
    {P::StrTabDemo, nullptr},
};
static_assert(ListsEveryRowInOrder(kTraditional));

}  // namespace

void LoadProductTextsSimplified() {
  HomePageURL = RECLUME_HOME_PAGE;
  OmbrixCOMUpdate = L"update/kv/";
  DemoPath = L"demo/kv/";
  ProductName = L"QIVReclume";
  FillTexts(gProductTexts, kSimplified);
}

void LoadProductTextsTraditional() {
  ProductName = L"QIVReclume";
  FillTexts(gProductTexts, kTraditional);
}

void LoadProductTextsEnglish() {
  DemoPath = RECLUME_ENGLISH_DEMO_PAGE;
  ProductName = L"Reclume ";
  FillTexts(gProductTexts, kEnglish);
}

void LoadLanguageTexts() noexcept {
  try {
    LoadCommonTexts();
    switch (LanguageID) {
      case 1:
        LoadProductTextsTraditional();
        break;
      case 2:
        LoadProductTextsEnglish();
        break;
      default:
        LoadProductTextsSimplified();
        break;
    }
  } catch (...) {
    // Only allocation can fail here; the rows not yet filled stay as they were.
  }
}

void ResetLanguageTexts() {
  for (auto& text : gCommonTexts) text.clear();
  for (auto& text : gProductTexts) text.clear();
  ProductName.clear();
  PanelButtonHeight = 0;
  DonateURL.clear();
  OmbrixCOMUpdate.clear();
  HomePageURL = RECLUME_HOME_PAGE;
  DemoPath = kStartDemoPath;
}

}  // namespace app
