// The update page's globals (see QIVUpdateUnit.h).
#include "online/QIVUpdateUnit.h"

#include "online/content.h"
#include "online/text_case.h"
#include "online/version_check.h"

namespace online {

std::wstring UpdatePageHtml;
float UpdatePageVersion = 0.0f;
std::wstring UpdateDownloadUrl;

void ParseUpdatePage() {
  const UpdatePageInfo info = ReadUpdatePage(UpdatePageHtml);
  UpdatePageVersion = info.version.value_or(0.0f);
  UpdateDownloadUrl = info.downloadUrl;
}

std::wstring LowerBodyOf(BrowserView& browser) {
  if (browser.LocationURL().empty() || !browser.HasDocument()) return {};
  return LowerCase(browser.BodyOuterHtml());
}

bool IsNewVersionAvailable(BrowserView& browser, float current) {
  UpdatePageHtml = LowerBodyOf(browser);
  if (UpdatePageHtml.find(kUpdatePageMarker) == std::wstring::npos) return false;
  ParseUpdatePage();
  return IsNewerVersion(UpdatePageVersion, current);
}

}  // namespace online
