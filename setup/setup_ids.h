// The fixed ids of the setup window's child controls and timers (tests press the buttons with
// BM_CLICK and find the rest with GetDlgItem). The names are the controls' own names.
#pragma once

namespace setup::id {

inline constexpr int BtnNext = 101;
inline constexpr int BtnClose = 102;
inline constexpr int Label2 = 103;
inline constexpr int BtnSelectDir = 104;
inline constexpr int Label1 = 105;
inline constexpr int EdtPicPath = 106;
inline constexpr int GbSoftAgreement = 107;
inline constexpr int Memo1 = 108;
inline constexpr int PnlProgress = 109;
inline constexpr int Gauge1 = 110;
inline constexpr int LblHint = 111;
inline constexpr int CbRunNow = 112;
inline constexpr int CbAddToDeskTop = 113;
inline constexpr int CbQuickStart = 114;
inline constexpr int Label4 = 115;
inline constexpr int Image1 = 116;

// Timers on the window.
inline constexpr int Timer1 = 1;
inline constexpr int TimerFirstRun = 2;

}  // namespace setup::id
