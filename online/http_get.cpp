// The hand-made GET request (see http_get.h).
#include "online/http_get.h"

#include <iterator>
#include <thread>

#include "online/content.h"

namespace online {

namespace {

void CloseAll(HINTERNET request, HINTERNET connection, HINTERNET session) {
  if (request) ::InternetCloseHandle(request);
  if (connection) ::InternetCloseHandle(connection);
  if (session) ::InternetCloseHandle(session);
}

}  // namespace

HttpGet::~HttpGet() {
  if (!request_ && !connection_ && !session_) return;
  HINTERNET request = request_, connection = connection_, session = session_;
  try {
    std::thread([request, connection, session] { CloseAll(request, connection, session); }).detach();
  } catch (...) {
    // No thread to spare: close here and wait.
    CloseAll(request, connection, session);
  }
}

bool HttpGet::Send(const std::wstring& url, DWORD timeoutMs) {
  if (session_) return false;  // one request per object
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

  session_ = ::InternetOpenW(kProbeAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session_) return false;
  DWORD timeout = timeoutMs;
  ::InternetSetOptionW(session_, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
  connection_ = ::InternetConnectW(session_, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (!connection_) return false;
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
  request_ = ::HttpOpenRequestW(connection_, L"GET", path.c_str(), nullptr, nullptr, nullptr, flags, 0);
  if (!request_) return false;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
    ::InternetSetOptionW(request_, option, &timeout, sizeof timeout);
  return ::HttpSendRequestW(request_, nullptr, 0, nullptr, 0) != FALSE;
}

std::wstring HttpGet::StatusText() {
  if (!request_) return {};
  wchar_t status[16] = {};
  DWORD size = sizeof status - sizeof(wchar_t);
  if (!::HttpQueryInfoW(request_, HTTP_QUERY_STATUS_CODE, status, &size, nullptr)) return {};
  return std::wstring(status, size / sizeof(wchar_t));
}

std::optional<uint64_t> HttpGet::ContentLength() {
  if (!request_) return std::nullopt;
  wchar_t text[32] = {};
  DWORD size = sizeof text - sizeof(wchar_t);
  if (!::HttpQueryInfoW(request_, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return std::nullopt;
  const std::wstring digits(text, size / sizeof(wchar_t));
  if (digits.empty()) return std::nullopt;
  uint64_t value = 0;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return std::nullopt;
    // Past 19 digits the length is only "too long".
    value = value > UINT64_MAX / 10 - 1 ? UINT64_MAX : value * 10 + static_cast<uint64_t>(c - L'0');
  }
  return value;
}

bool HttpGet::Read(void* buffer, DWORD size, DWORD& read) {
  read = 0;
  return request_ && ::InternetReadFile(request_, buffer, size, &read) != FALSE;
}

}  // namespace online
