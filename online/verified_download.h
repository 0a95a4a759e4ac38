// The one way the program fetches something it will run: a GET of the file into "<file>.part"
// with progress that can cancel, a GET of its detached signature (the same address + ".sig"),
// the checks below, and only then the rename to the file's own name. Any thread; blocking.
//
// Nothing reaches the final name unless: the address begins with "http://" or "https://"; the
// file's status is 200; its length is the announced one (when one is announced) and under
// 64 MiB; it is an i386 PE image; the signature's status is 200, it holds 1 to 1024 bytes, and
// it is an RSA-SHA256 (PKCS#1 v1.5) signature of the file's exact bytes by the given key. On
// any failure the ".part" file is gone and an existing file of the final name is untouched.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace online {

enum class DownloadResult {
  Ok,
  BadAddress,       // not an http:// or https:// address
  NoConnection,     // no session, connection or answer (refused, timed out)
  BadStatus,        // the file's status is not 200 (a 404 page, a redirect)
  TooLarge,         // announced or received past the limit
  ShortBody,        // fewer bytes than announced arrived
  WriteFailed,      // the ".part" file could not be written or renamed
  Cancelled,        // the progress callback said stop
  NotProgram,       // not an i386 PE image
  NoSignature,      // the signature is missing, empty, over 1 KiB or not served with 200
  BadSignature,     // the signature does not verify against the key
};

// A short English name of a result, for test output.
const char* DownloadResultName(DownloadResult result);

inline constexpr uint64_t kMaxDownloadBytes = 64ull << 20;  // the limit is exclusive
inline constexpr size_t kMaxSignatureBytes = 1024;

// Called after every block read: bytes so far, the announced total (0 when none). Return false
// to stop; the download then ends with Cancelled at once, before the next read.
using DownloadProgress = std::function<bool(uint64_t done, uint64_t total)>;

// The key's DER form is a SubjectPublicKeyInfo, as "openssl pkey -pubout -outform DER" writes it.
DownloadResult DownloadVerified(const std::wstring& url, const std::wstring& file, std::span<const uint8_t> publicKeyDer,
                                const DownloadProgress& progress);

// The checks on their own, for the downloader and its tests.
bool IsI386Program(std::span<const uint8_t> bytes);
// signature as openssl writes it (big-endian).
bool VerifySignature(std::span<const uint8_t> data, std::span<const uint8_t> signature,
                     std::span<const uint8_t> publicKeyDer);

// True for an address that may be downloaded and run: "http://" or "https://", any case.
bool IsDownloadAddress(const std::wstring& url);

// The key compiled into the program (the RCDATA "UPDATEKEY"); empty when there is none.
std::span<const uint8_t> CompiledUpdateKey();

}  // namespace online
