// The verified downloader (see verified_download.h). URLDownloadToFile is not used: it
// answers S_OK for a 404 page and for a body cut short, so a failure would read as a program.
// The file is checked as it lies on disk, read back after the download, so what is renamed is
// exactly what was verified. CryptoAPI wants the signature little-endian: openssl's is reversed.
#include "online/verified_download.h"

#include <wincrypt.h>

#include <algorithm>
#include <vector>

#include "base/resources.h"
#include "base/unique.h"
#include "online/content.h"
#include "online/http_get.h"
#include "online/text_case.h"

namespace online {

namespace {

constexpr DWORD kTimeoutMs = 5000;
constexpr DWORD kBlock = 64 * 1024;

struct ProvTraits {
  using Handle = HCRYPTPROV;
  static Handle Invalid() noexcept { return 0; }
  static void Close(Handle h) noexcept { ::CryptReleaseContext(h, 0); }
};
struct KeyTraits {
  using Handle = HCRYPTKEY;
  static Handle Invalid() noexcept { return 0; }
  static void Close(Handle h) noexcept { ::CryptDestroyKey(h); }
};
struct HashTraits {
  using Handle = HCRYPTHASH;
  static Handle Invalid() noexcept { return 0; }
  static void Close(Handle h) noexcept { ::CryptDestroyHash(h); }
};
struct LocalTraits {
  using Handle = HLOCAL;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::LocalFree(h); }
};

// The file's body into part; the file is closed when this returns.
DownloadResult FetchToFile(const std::wstring& url, const std::wstring& part, const DownloadProgress& progress) {
  HttpGet request;
  if (!request.Send(url, kTimeoutMs)) return DownloadResult::NoConnection;
  if (request.StatusText() != L"200") return DownloadResult::BadStatus;
  const std::optional<uint64_t> announced = request.ContentLength();
  if (announced && *announced >= kMaxDownloadBytes) return DownloadResult::TooLarge;
  base::UniqueFile file(::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return DownloadResult::WriteFailed;
  std::vector<uint8_t> block(kBlock);
  uint64_t done = 0;
  for (;;) {
    DWORD read = 0;
    if (!request.Read(block.data(), kBlock, read)) return DownloadResult::NoConnection;
    if (read == 0) break;
    done += read;
    if (done >= kMaxDownloadBytes || (announced && done > *announced)) return DownloadResult::TooLarge;
    DWORD written = 0;
    if (!::WriteFile(file.get(), block.data(), read, &written, nullptr) || written != read)
      return DownloadResult::WriteFailed;
    if (progress && !progress(done, announced.value_or(0))) return DownloadResult::Cancelled;
  }
  if (announced && done != *announced) return DownloadResult::ShortBody;
  if (!::FlushFileBuffers(file.get())) return DownloadResult::WriteFailed;
  return DownloadResult::Ok;
}

// The detached signature, into memory.
DownloadResult FetchSignature(const std::wstring& url, std::vector<uint8_t>& signature) {
  HttpGet request;
  if (!request.Send(url, kTimeoutMs)) return DownloadResult::NoSignature;
  if (request.StatusText() != L"200") return DownloadResult::NoSignature;
  const std::optional<uint64_t> announced = request.ContentLength();
  if (announced && *announced > kMaxSignatureBytes) return DownloadResult::NoSignature;
  uint8_t block[kMaxSignatureBytes + 1];
  signature.clear();
  for (;;) {
    DWORD read = 0;
    if (!request.Read(block, sizeof block, read)) return DownloadResult::NoSignature;
    if (read == 0) break;
    signature.insert(signature.end(), block, block + read);
    if (signature.size() > kMaxSignatureBytes) return DownloadResult::NoSignature;
  }
  if (signature.empty() || (announced && signature.size() != *announced)) return DownloadResult::NoSignature;
  return DownloadResult::Ok;
}

bool ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes) {
  base::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
      static_cast<uint64_t>(size.QuadPart) >= kMaxDownloadBytes)
    return false;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  return bytes.empty() ||
         (::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size());
}

DownloadResult Download(const std::wstring& url, const std::wstring& file, const std::wstring& part,
                        std::span<const uint8_t> publicKeyDer, const DownloadProgress& progress) {
  if (!IsDownloadAddress(url)) return DownloadResult::BadAddress;
  if (DownloadResult r = FetchToFile(url, part, progress); r != DownloadResult::Ok) return r;
  std::vector<uint8_t> signature;
  if (DownloadResult r = FetchSignature(url + kSignatureSuffix, signature); r != DownloadResult::Ok) return r;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(part, bytes)) return DownloadResult::WriteFailed;
  if (!IsI386Program(bytes)) return DownloadResult::NotProgram;
  if (!VerifySignature(bytes, signature, publicKeyDer)) return DownloadResult::BadSignature;
  // A last word before the file takes its name.
  if (progress && !progress(bytes.size(), bytes.size())) return DownloadResult::Cancelled;
  if (!::MoveFileExW(part.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return DownloadResult::WriteFailed;
  return DownloadResult::Ok;
}

}  // namespace

const char* DownloadResultName(DownloadResult result) {
  switch (result) {
    case DownloadResult::Ok: return "Ok";
    case DownloadResult::BadAddress: return "BadAddress";
    case DownloadResult::NoConnection: return "NoConnection";
    case DownloadResult::BadStatus: return "BadStatus";
    case DownloadResult::TooLarge: return "TooLarge";
    case DownloadResult::ShortBody: return "ShortBody";
    case DownloadResult::WriteFailed: return "WriteFailed";
    case DownloadResult::Cancelled: return "Cancelled";
    case DownloadResult::NotProgram: return "NotProgram";
    case DownloadResult::NoSignature: return "NoSignature";
    case DownloadResult::BadSignature: return "BadSignature";
  }
  return "?";
}

bool IsDownloadAddress(const std::wstring& url) {
  const std::wstring lower = LowerCase(url);
  return lower.rfind(L"http://", 0) == 0 || lower.rfind(L"https://", 0) == 0;
}

bool IsI386Program(std::span<const uint8_t> bytes) {
  if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return false;
  const uint32_t peOffset = bytes[0x3C] | bytes[0x3D] << 8 | bytes[0x3E] << 16 | static_cast<uint32_t>(bytes[0x3F]) << 24;
  if (peOffset > bytes.size() || bytes.size() - peOffset < 6) return false;
  const uint8_t* pe = bytes.data() + peOffset;
  if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return false;
  return (pe[4] | pe[5] << 8) == IMAGE_FILE_MACHINE_I386;
}

bool VerifySignature(std::span<const uint8_t> data, std::span<const uint8_t> signature,
                     std::span<const uint8_t> publicKeyDer) {
  if (signature.empty() || signature.size() > kMaxSignatureBytes || publicKeyDer.empty()) return false;
  base::Unique<ProvTraits> provider;
  if (!::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return false;
  CERT_PUBLIC_KEY_INFO* info = nullptr;
  DWORD infoSize = 0;
  if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, publicKeyDer.data(),
                             static_cast<DWORD>(publicKeyDer.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr, &info, &infoSize))
    return false;
  base::Unique<LocalTraits> infoOwner(info);
  base::Unique<KeyTraits> key;
  if (!::CryptImportPublicKeyInfo(provider.get(), X509_ASN_ENCODING, info, key.put())) return false;
  base::Unique<HashTraits> hash;
  if (!::CryptCreateHash(provider.get(), CALG_SHA_256, 0, 0, hash.put())) return false;
  // In blocks: CryptHashData takes a DWORD length.
  for (size_t at = 0; at < data.size();) {
    const DWORD n = static_cast<DWORD>(std::min<size_t>(data.size() - at, 1u << 20));
    if (!::CryptHashData(hash.get(), data.data() + at, n, 0)) return false;
    at += n;
  }
  std::vector<uint8_t> reversed(signature.rbegin(), signature.rend());
  return ::CryptVerifySignatureW(hash.get(), reversed.data(), static_cast<DWORD>(reversed.size()), key.get(), nullptr,
                                 0) != FALSE;
}

DownloadResult DownloadVerified(const std::wstring& url, const std::wstring& file, std::span<const uint8_t> publicKeyDer,
                                const DownloadProgress& progress) {
  const std::wstring part = file + L".part";
  DownloadResult result = DownloadResult::WriteFailed;
  try {
    result = Download(url, file, part, publicKeyDer, progress);
  } catch (...) {
    result = DownloadResult::WriteFailed;  // out of memory on the way
  }
  if (result != DownloadResult::Ok) ::DeleteFileW(part.c_str());
  return result;
}

std::span<const uint8_t> CompiledUpdateKey() { return base::FindResourceBytes(L"UPDATEKEY", MAKEINTRESOURCEW(10)); }

}  // namespace online
