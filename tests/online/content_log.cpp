// Reading the content server's log (see content_log.h).
#include "tests/online/content_log.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace onlinetest {

std::wstring ContentLogPath() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = ::GetEnvironmentVariableW(L"RECLUME_CONTENT_LOG", path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(path, n) : std::wstring();
}

std::vector<LoggedRequest> ReadContentLog() {
  std::vector<LoggedRequest> requests;
  std::ifstream in{std::filesystem::path(ContentLogPath())};
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    LoggedRequest r;
    std::getline(fields, r.method, '\t');
    std::getline(fields, r.url, '\t');
    std::getline(fields, r.agent);
    requests.push_back(r);
  }
  return requests;
}

std::vector<LoggedRequest> RequestsTo(const std::string& text) {
  std::vector<LoggedRequest> found;
  for (const auto& r : ReadContentLog())
    if (r.url.find(text) != std::string::npos) found.push_back(r);
  return found;
}

}  // namespace onlinetest
