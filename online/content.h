// What the program requests from the maker's content servers, below the base address the
// mirror probe chose (every base ends with "/", so these are appended directly), and the
// markers it looks for in their answers.
#pragma once

namespace online {

// The demonstration page, shown in the main window's demonstration tab.
inline constexpr const wchar_t* kDemoPagePath = L"demo/kv/";
// Appended to the demonstration page for the help menu, in the user's browser.
inline constexpr const wchar_t* kDemoDetailAnchor = L"#detail";
// The order page, in the user's browser.
inline constexpr const wchar_t* kOrderPagePath = L"order/";
// The new setup program that the self-update downloads.
inline constexpr const wchar_t* kSetupDownloadPath = L"update/kv/setupKV.exe";
// The update page of the update dialog.
inline constexpr const wchar_t* kUpdatePagePath = L"update/kv/";

// The newest version on the demonstration page stands between these two.
inline constexpr const wchar_t* kVersionBegin = L"<!---qvb---";
inline constexpr const wchar_t* kVersionEnd = L"---qve--->";
// The update page's version and package address, in its lower-cased body.
inline constexpr const wchar_t* kSoftVersionBegin = L"softversion_";
inline constexpr const wchar_t* kSoftVersionEnd = L"_softversion";
inline constexpr const wchar_t* kSoftUrlBegin = L"softurl_";
inline constexpr const wchar_t* kSoftUrlEnd = L"_softurl";

// The update page's fixed marker line (61 characters, lower case): a page without it is not
// the update page.
inline constexpr const wchar_t* kUpdatePageMarker = L"<!-- qivsoft reclume update page, read by the program: v1 -->";

// Every downloaded program comes with a detached signature at the same address + this.
inline constexpr const wchar_t* kSignatureSuffix = L".sig";

// The mirror probe's request: its agent, and the statuses that mark a mirror as answering.
inline constexpr const wchar_t* kProbeAgent = L"InetURL:/1.0";

}  // namespace online
