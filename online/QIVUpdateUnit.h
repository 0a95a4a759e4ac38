// The update page as the update dialog last read it: its lower-cased body and the two values
// read from it. Main thread.
#pragma once

#include <string>

#include "online/browser_view.h"

namespace online {

// The lower-cased body of the last update page examined.
extern std::wstring UpdatePageHtml;
// The version it announced; 0 before any, and after a page whose version did not parse (every
// page is read afresh).
extern float UpdatePageVersion;
// The package address it named (lower case, as the body was); empty without both markers.
extern std::wstring UpdateDownloadUrl;

// Fills UpdatePageVersion and UpdateDownloadUrl from UpdatePageHtml.
void ParseUpdatePage();

// The lower-cased body of browser's document; empty when it has no address, document or body.
std::wstring LowerBodyOf(BrowserView& browser);

// Reads the page of browser into UpdatePageHtml; when it carries the marker line, parses it and
// answers whether its version is more than 0.01 above current.
bool IsNewVersionAvailable(BrowserView& browser, float current);

}  // namespace online
