// The fixed ids of the child controls of the small dialogs (the hotkey, rename, about and
// sound-less recorder options dialogs), of the camera host form and of its audio/video options and
// filter effects dialogs. Tests find the controls with GetDlgItem and press them
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
inline constexpr int HotkeyFrameFirst = 4011;  // the frame pictures, in FramePiece order (8 ids)
inline constexpr int HotkeyBtnConfirm = IDOK;
inline constexpr int HotkeyBtnClose = IDCANCEL;

// --- TFrmReName ---
inline constexpr int RenameLabel1 = 4101;
inline constexpr int EdtName = 4102;
inline constexpr int RenameFrameFirst = 4111;  // the frame pictures, in FramePiece order (8 ids)
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
inline constexpr int VersionFrameFirst = 4211;  // the frame pictures, in FramePiece order (8 ids)
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
inline constexpr int OptFrameFirst = 4321;  // the frame pictures, in FramePiece order (8 ids)
inline constexpr int BitBtn1 = IDOK;
inline constexpr int BitBtn2 = IDCANCEL;

// --- TFrmMainWithSound (the camera host form) ---
inline constexpr int RecBut = 4401;
inline constexpr int PauseBut = 4402;
inline constexpr int StopBut = 4403;
inline constexpr int ExitBut = 4404;
inline constexpr int AudVidOptBut = 4405;
inline constexpr int FilterEffectsBut = 4406;
inline constexpr int AboutBut = 4407;
inline constexpr int WsEdtRECPath = 4408;
inline constexpr int WsBitBtn1 = 4409;
inline constexpr int RegSelect = 4410;  // the group box; its items are the five buttons below
inline constexpr int RegSelectItem0 = 4411;
inline constexpr int RegSelectItem1 = 4412;
inline constexpr int RegSelectItem2 = 4413;
inline constexpr int RegSelectItem3 = 4414;
inline constexpr int RegSelectItem4 = 4415;
inline constexpr int Edit1 = 4416;
inline constexpr int UpDownTop = 4417;
inline constexpr int Edit2 = 4418;
inline constexpr int UpDownLeft = 4419;
inline constexpr int Edit3 = 4420;
inline constexpr int UpDownWidth = 4421;
inline constexpr int Edit4 = 4422;
inline constexpr int UpDownHeight = 4423;
inline constexpr int CheckBox1 = 4424;
inline constexpr int CheckBox2 = 4425;
inline constexpr int CheckBox3 = 4426;
inline constexpr int CheckBox4 = 4427;
inline constexpr int CheckBox5 = 4428;
inline constexpr int CheckBox6 = 4429;
inline constexpr int CheckBox7 = 4430;
inline constexpr int CheckBox8 = 4431;
inline constexpr int CheckBox9 = 4432;
inline constexpr int CheckBox10 = 4433;
inline constexpr int ComboBox1 = 4434;
inline constexpr int ComboBox2 = 4435;
inline constexpr int ComboBox3 = 4436;
inline constexpr int ComboBox4 = 4437;
inline constexpr int Label14 = 4438;
inline constexpr int WsGroupBox1 = 4439;
inline constexpr int Edit5 = 4440;
inline constexpr int UpDown1 = 4441;
inline constexpr int Edit6 = 4442;
inline constexpr int UpDown2 = 4443;
inline constexpr int Edit7 = 4444;
inline constexpr int UpDown3 = 4445;
inline constexpr int Label6 = 4446;  // "Hour"
inline constexpr int Label7 = 4447;  // "Min"
inline constexpr int Label8 = 4448;  // "Sec"
inline constexpr int WsGroupBox2 = 4449;
inline constexpr int Edit9 = 4450;
inline constexpr int UpDown4 = 4451;
inline constexpr int VideoCodecValue = 4452;
inline constexpr int ElapsedTimeValue = 4453;
inline constexpr int RealCapturingValue = 4454;
inline constexpr int CurrentCapturedValue = 4455;
inline constexpr int FramesCapturedValue = 4456;
inline constexpr int DropedFramesValue = 4457;
inline constexpr int Label9 = 4458;  // the status line
inline constexpr int WsPanel1 = 4459;
inline constexpr int Image1 = 4460;
inline constexpr int WsPanel2 = 4461;
inline constexpr int LStatus = 4462;
inline constexpr int Progress = 4463;
inline constexpr int BCancel = 4464;
inline constexpr int WsCaptionLabel = 4465;  // the captions of the edits and lists (no handler)

// --- TfrmOption (the audio/video options of the recorder with sound) ---
inline constexpr int OptWsCompressor = 4501;  // the group box
inline constexpr int OptWsLabel8 = 4502;
inline constexpr int VideoCompressor = 4503;
inline constexpr int AboutB = 4504;
inline constexpr int ConfigB = 4505;
inline constexpr int OptWsLabel1 = 4506;
inline constexpr int VideoQuality = 4507;
inline constexpr int OptWsLabelQuality = 4508;
inline constexpr int AudioRecord = 4509;
inline constexpr int OptWsLabel9 = 4510;
inline constexpr int AudioFormat = 4511;
inline constexpr int OptWsLabel11 = 4512;
inline constexpr int AudioInput = 4513;
inline constexpr int OptWsLabel10 = 4514;
inline constexpr int AudioVolume = 4515;
inline constexpr int LabelVolume = 4516;
inline constexpr int OptWsGroupBox1 = 4517;
inline constexpr int AutoMode = 4518;
inline constexpr int OptWsTrackBarRecord = 4519;
inline constexpr int LabelmspFrecordWs = 4520;
inline constexpr int OptWsTrackBarPlayback = 4521;
inline constexpr int LabelFPSPlaybackWs = 4522;
inline constexpr int OptWsEditKeyFrames = 4523;
inline constexpr int OptWsCaption = 4524;  // the captions of the hidden panel (no handler)
inline constexpr int OptWsBtnConfirm = IDOK;
inline constexpr int OptWsBtnClose = IDCANCEL;

// --- TfrmFilterEffects ---
inline constexpr int BrightnessBox = 4601;
inline constexpr int UseBrightnessEffect = 4602;
inline constexpr int BrightnessTrackBar = 4603;
inline constexpr int BrightnessLabel = 4604;
inline constexpr int ContrastBox = 4605;
inline constexpr int UseContrastEffect = 4606;
inline constexpr int ContrastTrackBar = 4607;
inline constexpr int ContrastLabel = 4608;
inline constexpr int ColorAdjustingBox = 4609;
inline constexpr int UseColorAdjustingEffect = 4610;
inline constexpr int RedTrackBar = 4611;
inline constexpr int RedLabel = 4612;
inline constexpr int GreenTrackBar = 4613;
inline constexpr int GreenLabel = 4614;
inline constexpr int BlueTrackBar = 4615;
inline constexpr int BlueLabel = 4616;
inline constexpr int SaturationBox = 4617;
inline constexpr int UseSaturationEffect = 4618;
inline constexpr int SaturationTrackBar = 4619;
inline constexpr int SaturationLabel = 4620;
inline constexpr int SolarizeBox = 4621;
inline constexpr int UseNoiseEffect = 4622;
inline constexpr int NoiseTrackBar = 4623;
inline constexpr int NoiseLabel = 4624;
inline constexpr int CheckGrayScale = 4625;
inline constexpr int UseScreenRotation = 4626;
inline constexpr int ScreenRotation = 4627;  // the group box; its items are the five buttons below
inline constexpr int ScreenRotationItem0 = 4628;
inline constexpr int ScreenRotationItem1 = 4629;
inline constexpr int ScreenRotationItem2 = 4630;
inline constexpr int ScreenRotationItem3 = 4631;
inline constexpr int ScreenRotationItem4 = 4632;
inline constexpr int DefaultValueBtn = 4633;
inline constexpr int OkBtn = IDOK;
inline constexpr int FilterCaption = 4634;  // the colour names (no handler)

}  // namespace app::id
