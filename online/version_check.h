// The pure parts of the version check and the update page: reading a version from a page's
// lower-cased body, comparing it with the running one, and the folder argument the setup
// program is started with. No platform calls; any thread.
#pragma once

#include <optional>
#include <string>

namespace online {

// A version as the pages write it: after trimming ASCII blanks, decimal digits, optionally
// one "." followed by more digits, read with "." whatever the locale. Anything else ("3,7",
// "3.7.1", "inf", "1e3", a number past single precision) gives nullopt.
std::optional<float> ParseVersionText(const std::wstring& text);

// The text between the first start marker and the first end marker of html, counted as the
// page check always has: the start marker's 1-based position + its length, up to the end
// marker's position; a count of zero or less gives the empty text. Without the start marker
// the text therefore runs from position 1 + its length; without the end marker it is empty.
std::wstring TextBetweenMarkers(const std::wstring& html, const std::wstring& begin, const std::wstring& end);

// The demonstration page's version: the text between "<!---qvb---" and "---qve--->" of the
// lower-cased body, parsed; nullopt when it does not parse.
std::optional<float> ExtractDemoVersion(const std::wstring& lowerHtml);

// True when page is more than 0.01 above current (the difference taken in double).
bool IsNewerVersion(float page, float current);

// What the update page announces.
struct UpdatePageInfo {
  bool genuine = false;          // the page holds the fixed marker line
  std::optional<float> version;  // "softversion_" ... "_softversion", parsed
  std::wstring downloadUrl;      // "softurl_" ... "_softurl" (empty without both markers)
};
UpdatePageInfo ReadUpdatePage(const std::wstring& lowerHtml);

// The setup program's only argument: the folder part of the program's path, ending with "\",
// with every blank written as "?" ("C:\Program Files\Tools\" travels as "C:\Program?Files\Tools\").
std::wstring SetupFolderArgument(const std::wstring& exePath);

}  // namespace online
