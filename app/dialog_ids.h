// The fixed ids of the child controls of the small dialogs: the hotkey, rename, about and
// sound-less recorder options dialogs. Tests find the controls with GetDlgItem and press them
// with BM_CLICK. The confirm and cancel buttons carry IDOK and IDCANCEL, so Enter and Esc act
// on them.
#pragma once

#include <windows.h>

namespace app::id {

// --- TFrmHotkeySet ---
inline constexpr int HotkeyLabel1 = 4001;
inline constexpr int LnlHint1 = 4002;
inline constexpr int CbHotkey1 = 4003;
inline constexpr int CbHotkey2 = 4004;
inline constexpr int CbHotkey3 = 4005;
inline constexpr int BtnDefaultSet = 4006;
inline constexpr int HotkeyBtnConfirm = IDOK;
inline constexpr int HotkeyBtnClose = IDCANCEL;

// --- TFrmReName ---
inline constexpr int RenameLabel1 = 4101;
inline constexpr int EdtName = 4102;
inline constexpr int RenameBtnConfirm = IDOK;
inline constexpr int RenameBtnClose = IDCANCEL;

// --- TFrmVersion ---
inline constexpr int LblVersion = 4201;
inline constexpr int VersionLabel1 = 4202;
inline constexpr int VersionLabel2 = 4203;
inline constexpr int VersionLabel3 = 4204;
inline constexpr int VersionLabel4 = 4205;
inline constexpr int LblL5 = 4206;
inline constexpr int VersionImage1 = 4207;
inline constexpr int VersionBtnClose = IDCANCEL;

// --- TOptionDlg ---
inline constexpr int GrpCompressor = 4301;
inline constexpr int ComboBoxCompressor = 4302;
inline constexpr int ButtonAbout = 4303;
inline constexpr int ButtonConfig = 4304;
inline constexpr int OptLabel1 = 4305;
inline constexpr int TrackBarQuality = 4306;
inline constexpr int LabelQuality = 4307;
inline constexpr int GroupBox1 = 4308;
inline constexpr int TrackBarRecord = 4309;
inline constexpr int LabelRecordMin = 4310;
inline constexpr int LabelRecordMax = 4311;
inline constexpr int LabelmspFrecord = 4312;
inline constexpr int OptLabel8 = 4313;
inline constexpr int EditKeyFrames = 4314;
inline constexpr int OptLabel2 = 4315;
inline constexpr int GroupBox2 = 4316;
inline constexpr int TrackBarPlayback = 4317;
inline constexpr int LabelPlaybackMin = 4318;
inline constexpr int LabelPlaybackMax = 4319;
inline constexpr int LabelFPSPlayback = 4320;
inline constexpr int BitBtn1 = IDOK;
inline constexpr int BitBtn2 = IDCANCEL;

}  // namespace app::id
