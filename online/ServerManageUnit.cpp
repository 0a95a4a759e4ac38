// The mirror probe (see ServerManageUnit.h). The request is made by hand
// (InternetConnect/HttpOpenRequest) rather than with InternetOpenUrl: only a request handle
// takes send and receive time-outs, and without them a mirror that accepts and never answers
// holds the walk for minutes; and without automatic redirects a 301 to a live page would read
// as "200", and a 302 loop would be followed for ever.
#include "online/ServerManageUnit.h"

#include <wininet.h>

#include <algorithm>
#include <memory>
#include <thread>

#include "app/allparam.h"
#include "app/siteaddresses.h"
#include "base/barrier.h"
#include "engine/scMemUtils.h"
#include "online/content.h"
#include "online/text_case.h"

namespace online {

TSereverMan* ServerMan = nullptr;

namespace {

constexpr DWORD kTimeoutMs = 5000;

// Closes the three handles off the calling thread: a request whose server still sends a long
// announced body blocks its close while Wine drains it.
void CloseLater(HINTERNET request, HINTERNET connection, HINTERNET session) {
  try {
    std::thread([request, connection, session] {
      if (request) ::InternetCloseHandle(request);
      if (connection) ::InternetCloseHandle(connection);
      if (session) ::InternetCloseHandle(session);
    }).detach();
  } catch (...) {
    // No thread to spare: close here and wait.
    if (request) ::InternetCloseHandle(request);
    if (connection) ::InternetCloseHandle(connection);
    if (session) ::InternetCloseHandle(session);
  }
}

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

    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
    std::wstring path(url.size() + 2, L'\0');
    parts.lpszHostName = host;
    parts.dwHostNameLength = static_cast<DWORD>(std::size(host));
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts)) return false;
    path.resize(parts.dwUrlPathLength);
    if (path.empty()) path = L"/";

    HINTERNET session = ::InternetOpenW(kProbeAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session) return false;
    DWORD timeout = kTimeoutMs;
    ::InternetSetOptionW(session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    HINTERNET connection = ::InternetConnectW(session, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = nullptr;
    bool answered = false;
    if (connection) {
      DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT;
      if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
      request = ::HttpOpenRequestW(connection, L"GET", path.c_str(), nullptr, nullptr, nullptr, flags, 0);
    }
    if (request) {
      for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        ::InternetSetOptionW(request, option, &timeout, sizeof timeout);
      if (::HttpSendRequestW(request, nullptr, 0, nullptr, 0)) {
        // The status as text, in a 10-byte buffer.
        wchar_t status[5] = {};
        DWORD size = sizeof status;
        if (::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, status, &size, nullptr)) {
          const std::wstring text(status, size / sizeof(wchar_t));
          answered = text == L"200" || text == L"302";
        }
      }
    }
    CloseLater(request, connection, session);
    return answered;
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
