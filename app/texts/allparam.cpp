// Storage of the global parameters and of the common text table. The typed constants start
// with their values; everything else starts empty, 0 or false, as the program block and the
// language loaders fill it.
#include "app/texts/allparam.h"

#include <mutex>

#include "app/texts/siteaddresses.h"

namespace app {

std::wstring ProductName;
std::wstring ProductCode;
int32_t LanguageID = 0;
float SoftVersion = 0.0f;
int32_t PanelButtonHeight = 0;
std::wstring DonateURL;
std::wstring OmbrixCOMUpdate;
std::wstring CaptionFormat = L"%s v%1.1f - " RECLUME_MAKER_HOST;
std::wstring OrderPath = L"order/";
std::wstring HomePageURL = RECLUME_HOME_PAGE;
std::wstring DemoPath = kStartDemoPath;

std::atomic<bool> ServerReady{false};

std::wstring gCommonTexts[kCommonTextCount];

namespace {

// Made on first use, so a reader during static initialisation still finds the default, and
// never destroyed: the probe thread is detached and may still publish while the process ends.
struct ServerBase {
  std::mutex lock;
  std::wstring url = site::kDefaultBaseUrl;
};

ServerBase& TheServerBase() {
  static ServerBase* base = new ServerBase;
  return *base;
}

}  // namespace

std::wstring ServerBaseUrl() {
  ServerBase& base = TheServerBase();
  std::lock_guard<std::mutex> hold(base.lock);
  return base.url;
}

void SetServerBaseUrl(std::wstring url) {
  ServerBase& base = TheServerBase();
  std::lock_guard<std::mutex> hold(base.lock);
  base.url = std::move(url);
}

std::wstring WebAddress(const std::wstring& path) {
  if (path.find(L"://") != std::wstring::npos) return path;
  return ServerBaseUrl() + path;
}

}  // namespace app
