// The local content server's request log, read back by the tests that run against it
// (tests/support/content_server.py writes one "METHOD<TAB>URL<TAB>AGENT" line per request).
// The shell test that starts the server names the log in RECLUME_CONTENT_LOG; without it the
// server tests are skipped.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace onlinetest {

struct LoggedRequest {
  std::string method, url, agent;
};

// The log's path, or empty when no server runs for this test program.
std::wstring ContentLogPath();
std::vector<LoggedRequest> ReadContentLog();
// The requests whose URL holds text.
std::vector<LoggedRequest> RequestsTo(const std::string& text);

}  // namespace onlinetest
