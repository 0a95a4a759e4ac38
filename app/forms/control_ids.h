// The fixed ids of every child window, menu command and timer of the program's forms.
//
// Controls are real child windows with these ids (GetDlgItem finds them under their parent
// panel; tests press them with BM_CLICK). A hidden button and the menu item that shares its
// action are routed to the same handler. The names are the controls' own names.
#pragma once

namespace app::id {

// --- TFrmMain: frame pictures ---
inline constexpr int PnlTop = 1001;
inline constexpr int Image4 = 1002;
inline constexpr int ImgCenter = 1003;
inline constexpr int ImgTopRight = 1004;
inline constexpr int PnlBottom = 1005;
inline constexpr int ImgBottomLeft2 = 1006;
inline constexpr int ImgBottomLeft = 1007;
inline constexpr int bot = 1008;
inline constexpr int ImgLeft = 1009;
inline constexpr int ImgRight = 1010;

// --- TFrmMain: the left bar ---
inline constexpr int SbLeft = 1100;
inline constexpr int LblWithSound = 1101;
inline constexpr int CbSound = 1102;
inline constexpr int BtnSartRec = 1103;
inline constexpr int BtnAreaScreenREC = 1104;
inline constexpr int BtnReplayRec = 1105;
inline constexpr int BtnStopRec = 1106;
inline constexpr int BtnOtherFun = 1107;
inline constexpr int PnlOmbrixParent = 1108;
inline constexpr int SpeedButton7 = 1109;
inline constexpr int BtnHotKeySet = 1110;
inline constexpr int BtnFullScreen = 1111;
inline constexpr int SpeedButton5 = 1112;
inline constexpr int BtnAlterName = 1113;
inline constexpr int BtnRectSet = 1114;
inline constexpr int BtnDefaultOpen = 1115;
inline constexpr int BtnAVIToPIC = 1116;
inline constexpr int BtnPicToAVI = 1117;
inline constexpr int BtnSendToUDisk = 1118;
inline constexpr int SpeedButton1 = 1119;

// --- TFrmMain: the main area ---
inline constexpr int SbMain = 1200;
inline constexpr int SbFileSelect = 1201;
inline constexpr int EdtRECPath = 1202;
inline constexpr int BtnSelectPath = 1203;
inline constexpr int BtnOpenDir = 1204;
inline constexpr int BtnAutoSave = 1205;
inline constexpr int EdtREC = 1206;
inline constexpr int ImgTopBG = 1207;
inline constexpr int ImgToolBar = 1208;
inline constexpr int ImgRectName = 1209;
inline constexpr int Image25 = 1210;
inline constexpr int PnlHint = 1211;
inline constexpr int ProgressBar1 = 1212;
inline constexpr int SbCenter = 1213;
inline constexpr int PnlVideo = 1214;
inline constexpr int SbVideoLeft = 1215;
inline constexpr int LbVideoList = 1216;
inline constexpr int SplL2 = 1217;
inline constexpr int SbVideo = 1218;
inline constexpr int PageControl1 = 1219;
inline constexpr int SplB1 = 1220;
inline constexpr int PnlPic = 1221;

// --- TFrmMain: the playback tab ---
inline constexpr int TabSheet1 = 1250;
inline constexpr int SbVideoScreen = 1251;
inline constexpr int PnlScreen = 1252;
inline constexpr int PnlVideoControl = 1253;
inline constexpr int BtnPlay = 1254;
inline constexpr int BtnPause = 1255;
inline constexpr int BtnStop = 1256;
inline constexpr int FullScreenBtn = 1257;

// --- TFrmMain: the picture panel (PnlPic) ---
inline constexpr int ToolBar1 = 1300;
inline constexpr int Panel1 = 1301;
inline constexpr int BtnLoadPics = 1302;
inline constexpr int SpeedButton13 = 1303;
inline constexpr int BtnCreateAVI = 1304;
inline constexpr int BtnClosePICPan = 1305;
inline constexpr int SpeedButton14 = 1306;
inline constexpr int BtnPicMoveDown = 1307;
inline constexpr int BtnPicSort = 1308;
inline constexpr int spinRate = 1309;
inline constexpr int GBPicList = 1310;
inline constexpr int BitmapListBox = 1311;
inline constexpr int ScrollBox2 = 1312;
inline constexpr int LblCurPicName = 1313;
inline constexpr int BitmapImage = 1314;

// --- TFrmMain: the web tabs and the web pop-up panel's address bar ---
inline constexpr int TbDemo = 1260;
inline constexpr int PnlDemo = 1261;
inline constexpr int TsHot = 1262;
inline constexpr int PnlHot = 1263;
inline constexpr int TopBar = 1264;
inline constexpr int AddressLabel = 1265;
inline constexpr int UrlEdit = 1266;
inline constexpr int BtnNewWin = 1267;
inline constexpr int BtnCloseAvert = 1268;

// --- TPnlOmbrix: the branded panel on PnlOmbrixParent ---
inline constexpr int PnlButtons = 1400;
inline constexpr int BtnOrder = 1401;
inline constexpr int BtnHelp = 1402;
inline constexpr int BtnExit = 1403;
inline constexpr int PnlBanner = 1404;
inline constexpr int ImgBanner = 1405;

// --- TFrmMain: menu commands ---
// MnOtherFunButton, the other-functions button's menu.
inline constexpr int MnOpenAREC = 2001;
inline constexpr int MnDefaultOpen = 2002;
inline constexpr int MnAVIToPIC = 2003;
inline constexpr int MnCreateAVI = 2004;
inline constexpr int MnDeleteREC2 = 2005;
inline constexpr int MnUpdateRECName2 = 2006;
inline constexpr int MnFullScreen = 2007;
inline constexpr int MnRectSet = 2008;
inline constexpr int MnHotKeySet = 2009;
// PmApp, the window's own context menu.
inline constexpr int OpenApplicationPath1 = 2020;
// PmRecList, the recordings list's menu.
inline constexpr int MnRefresh = 2030;
inline constexpr int MnOpenREC = 2031;
inline constexpr int MnDeleteREC = 2032;
inline constexpr int MnUpdateRECName = 2033;
inline constexpr int MnDefaultOpenREC = 2034;
inline constexpr int MnOpenCurDir = 2035;
// PmPicList, the picture list's menu.
inline constexpr int MnOpenPicPath = 2050;
// PmHelp, the branded panel's help menu (2060 + the item's tag).
inline constexpr int MnHelpDemo = 2061;
inline constexpr int MnHelpHomePage = 2062;
inline constexpr int MnHelpAbout = 2064;
// PopupMenu1 (attached to no control; only its check marks are set).
inline constexpr int PmAutoRun = 2040;
inline constexpr int PmPicAutoSave = 2041;

// --- TFrmMain: timers (SetTimer ids on the main window) ---
inline constexpr int TimerFirstRun = 1;
inline constexpr int TimerRun = 2;
inline constexpr int TimerRefreshWB = 3;
inline constexpr int TimerRECing = 4;
// Polls for the end of a finishing recording's thread (50 ms, only while one finishes).
inline constexpr int TimerRecordingEnd = 5;

// --- TFrmUpdate, the update dialog ---
inline constexpr int UpdatePanel2 = 3101;
inline constexpr int UpdateProgressBar1 = 3102;
inline constexpr int UpdateLblHint = 3103;
inline constexpr int UpdateSpeedButton3 = 3104;
inline constexpr int UpdatePnlMain = 3105;
inline constexpr int UpdateImage1 = 3106;
inline constexpr int UpdateWebBrowser1 = 3107;
// Its timers: Timer1 (250 ms after a completed navigation) and the one-shot 1 s wait before
// the download.
inline constexpr int UpdateTimer1 = 1;
inline constexpr int UpdateTimerStartDownload = 2;

// --- TFrmUninstall ---
inline constexpr int UninstallPanel1 = 3001;
inline constexpr int UninstallImage1 = 3002;
inline constexpr int BtnStartUnstall = 3003;
inline constexpr int BtnClose = 3004;
inline constexpr int Label2 = 3005;

// --- TFrmAreaSelect, the see-through area window (its controls sit on AreaPnlMain) ---
inline constexpr int AreaPnlMain = 3201;
inline constexpr int EdtLeft = 3202;
inline constexpr int EdtTop = 3203;
inline constexpr int EdtWidth = 3204;
inline constexpr int EdtHeight = 3205;
inline constexpr int BtnConfirm = 3206;
inline constexpr int AreaBtnClose = 3207;
inline constexpr int AreaImage1 = 3208;     // the top band's picture
inline constexpr int AreaImage2 = 3209;     // the bottom band's picture
inline constexpr int AreaLabels = 3210;     // the picture that holds the four edits' labels
// The decoration's panels: the bands at the top and the bottom (holding AreaImage1 and
// AreaImage2), the side borders (Panel1, Panel2, each holding its border picture) and the
// labels' panel (Panel3, holding AreaLabels).
inline constexpr int AreaPnlTop = 3212;
inline constexpr int AreaPnlBottom = 3213;
inline constexpr int AreaPanel1 = 3214;
inline constexpr int AreaPanel2 = 3215;
inline constexpr int AreaPanel3 = 3216;
inline constexpr int AreaBorderLeft = 3217;
inline constexpr int AreaBorderRight = 3218;

// --- TFrmTool, the tool window beside a recorded area ---
inline constexpr int ToolBtnStopRec = 3211;
inline constexpr int ToolFrameFirst = 3221;  // the frame pictures, in FramePiece order (8 ids)

}  // namespace app::id
