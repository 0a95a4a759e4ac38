// One GET request made by hand (InternetConnect/HttpOpenRequest) with the agent of the
// program's requests, never from the cache and without following redirects, each step bounded
// by a time-out. Used by the mirror probe and the downloader.
//
// Only a request handle takes send and receive time-outs: without them a server that accepts
// and never answers holds the caller for minutes. Closing a request whose server still sends a
// long announced body blocks while Wine drains it, so the handles are closed on a detached
// thread of their own. Any thread; one object per request.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <optional>
#include <string>

namespace online {

class HttpGet {
 public:
  HttpGet() = default;
  ~HttpGet();
  HttpGet(const HttpGet&) = delete;
  HttpGet& operator=(const HttpGet&) = delete;

  // Connects, sends the request and waits for the answer's head; false when any step failed
  // (a bad address, no connection, no answer in time).
  bool Send(const std::wstring& url, DWORD timeoutMs);
  // The status code as the answer gives it ("200"); empty when there is none.
  std::wstring StatusText();
  // The announced Content-Length; nullopt when none was announced.
  std::optional<uint64_t> ContentLength();
  // Reads the next block of the body; false on an error. read is 0 at the body's end.
  bool Read(void* buffer, DWORD size, DWORD& read);

 private:
  HINTERNET session_ = nullptr, connection_ = nullptr, request_ = nullptr;
};

}  // namespace online
