// The mirror probe (see ServerManageUnit.h). The request is made by hand (HttpGet) rather than
// with InternetOpenUrl: a mirror that accepts and never answers must not hold the walk for
// minutes, and without automatic redirects a 301 to a live page would read as "200", and a 302
// loop would be followed for ever.
#include "online/ServerManageUnit.h"

#include <memory>

#include "app/texts/allparam.h"
#include "app/texts/siteaddresses.h"
#include "base/barrier.h"
#include "engine/effects/scMemUtils.h"
#include "online/http_get.h"
#include "online/text_case.h"

namespace online {

TSereverMan* ServerMan = nullptr;

namespace {

constexpr DWORD kTimeoutMs = 5000;

}  // namespace

MirrorList BuildMirrorList(int order) {
  MirrorList list;
  if (order < 1 || order > 5) return list;
  for (int entry : kProbeOrders[order - 1]) list.emplace_back(app::site::kMirrorBaseUrls[entry]);
  return list;
}

TSereverMan::TSereverMan() {
  base::GuardVoid("TSereverMan.Create", [&] {
    app::ServerReady.store(false, std::memory_order_release);
    engine::Randomize();
    order_ = static_cast<int>(engine::Random(5)) + 1;
    mirrors_ = BuildMirrorList(order_);
  });
}

bool TestServerUrl(std::wstring url) {
  return base::Guard("TestServerUrl", [&]() -> bool {
    if (LowerCase(url).find(L"http://") == std::wstring::npos) url = L"http://" + url;

    HttpGet request;
    if (!request.Send(url, kTimeoutMs)) return false;
    const std::wstring status = request.StatusText();
    return status == L"200" || status == L"302";
  }, false);
}

bool RunProbe(const MirrorList& list, const UrlTester& tester) {
  for (const std::wstring& entry : list) {
    if (!tester(entry)) continue;
    app::SetServerBaseUrl(entry);
    app::ServerReady.store(true, std::memory_order_release);
    return true;
  }
  return false;
}

DWORD WINAPI ServerProbeThread(void* parameter) {
  std::unique_ptr<MirrorList> list(static_cast<MirrorList*>(parameter));
  base::GuardVoid("ServerProbeThread", [&] {
    app::SetServerBaseUrl(app::site::kDefaultBaseUrl);
    if (list) RunProbe(*list, [](const std::wstring& url) { return TestServerUrl(url); });
  });
  return 0;
}

void StartServerProbe() {
  ServerMan = new TSereverMan();  // never freed; a probe thread works on its own copy
  auto* list = new MirrorList(ServerMan->Mirrors());
  HANDLE thread = ::CreateThread(nullptr, 0, &ServerProbeThread, list, 0, nullptr);
  if (thread)
    ::CloseHandle(thread);
  else
    delete list;
}

}  // namespace online
