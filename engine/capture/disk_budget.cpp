// The disk budget of a recording: free space of the volumes its files live on, their sizes
// against the AVI 1.0 limit, and the once-a-second checker the record loops poll.
//
// Free space is asked of the file's own folder, not of its drive's root: under Wine a folder
// link in the prefix may lead to another file system, and GetDiskFreeSpaceExW answers for the
// file system of the folder it opens.
#include "engine/capture/disk_budget.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "base/seams.h"
#include "base/unique.h"

namespace engine {

namespace {

std::atomic<uint64_t> gAviFileLimit{kAviFileLimit};

std::mutex gFreeBytesLock;
FreeBytesFunction& FreeBytesSeam() {
  static FreeBytesFunction seam;
  return seam;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The nearest existing folder that holds path (path itself when it is one).
std::wstring ExistingFolderOf(std::wstring path) {
  while (!path.empty()) {
    if (IsFolder(path)) {
      if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
      return path;
    }
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return L"";
    path.erase(slash + 1);
  }
  return L"";
}

uint64_t Grown(uint64_t now, uint64_t before) { return now > before ? now - before : 0; }

}  // namespace

uint64_t AviFileLimit() { return gAviFileLimit.load(); }

std::optional<uint64_t> FreeBytesOfVolume(const std::wstring& path) {
  {
    std::lock_guard<std::mutex> lock(gFreeBytesLock);
    if (FreeBytesSeam()) {
      if (const std::optional<uint64_t> faked = FreeBytesSeam()(path)) return faked;
    }
  }
  const std::wstring folder = ExistingFolderOf(path);
  if (folder.empty()) return std::nullopt;
  ULARGE_INTEGER available{}, total{}, free{};
  if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, &total, &free)) return std::nullopt;
  return available.QuadPart;
}

DWORD ProbeNewFile(const std::wstring& folder) {
  std::wstring probe = folder;
  if (!probe.empty() && probe.back() != L'\\' && probe.back() != L'/') probe += L'\\';
  // A name of this process's own, so two threads or copies never probe with one file; it goes
  // when it is closed.
  static std::atomic<unsigned> probes{0};
  probe += L"reclume-probe-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++probes) + L".tmp";
  const base::UniqueFile file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  return file ? ERROR_SUCCESS : ::GetLastError();
}

bool FolderRefusesWriting(const std::wstring& path) {
  const std::wstring folder = ExistingFolderOf(path);
  if (folder.empty()) return false;
  const DWORD error = ProbeNewFile(folder);
  return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
}

uint64_t FileSizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

ScopedAviFileLimit::ScopedAviFileLimit(uint64_t bytes) : previous_(gAviFileLimit.exchange(bytes)) {}
ScopedAviFileLimit::~ScopedAviFileLimit() { gAviFileLimit.store(previous_); }

ScopedFreeBytes::ScopedFreeBytes(FreeBytesFunction function) {
  std::lock_guard<std::mutex> lock(gFreeBytesLock);
  previous_ = std::move(FreeBytesSeam());
  FreeBytesSeam() = std::move(function);
}
ScopedFreeBytes::~ScopedFreeBytes() {
  std::lock_guard<std::mutex> lock(gFreeBytesLock);
  FreeBytesSeam() = std::move(previous_);
}

DiskBudget::DiskBudget(double secondsAhead, uint32_t intervalMs)
    : secondsAhead_(secondsAhead), intervalMs_(intervalMs) {}

void DiskBudget::WatchFile(const std::wstring& path, uint64_t bytesPerSecond, bool partOfAvi) {
  Watched w;
  w.path = path;
  w.toldRate = bytesPerSecond;
  w.partOfAvi = partOfAvi;
  w.lastSize = FileSizeOf(path);
  watched_.push_back(std::move(w));
}

void DiskBudget::WatchWriter(const std::wstring& path) {
  WatchFile(path, 0, true);
  watched_.back().writer = true;
}

void DiskBudget::WatchTarget(const std::wstring& folder) {
  Watched w;
  w.path = folder;
  w.target = true;
  watched_.push_back(std::move(w));
}

uint64_t DiskBudget::BytesPerSecond() const {
  uint64_t rate = 0;
  for (const Watched& w : watched_) rate += std::max(w.toldRate, w.seenRate);
  return rate;
}

DiskCheck DiskBudget::Poll() {
  const uint32_t now = base::NowMs();
  if (checked_ && now - lastCheckMs_ < intervalMs_) return last_ ? Estimate(now - lastCheckMs_) : last_;
  return CheckNow();
}

DiskCheck DiskBudget::Estimate(uint32_t sinceMs) {
  // What the files have grown by since the check: the frames handed to the writer, the other
  // files at their rates (the sound).
  const uint64_t handedSince = handed_ - handedAtCheck_;
  uint64_t grown = 0, partsGrown = 0;
  for (const Watched& w : watched_) {
    if (w.target) continue;
    const uint64_t g = w.writer ? handedSince : std::max(w.toldRate, w.seenRate) * sinceMs / 1000;
    grown += g;
    if (w.partOfAvi) partsGrown += g;
  }
  const uint64_t parts = partsBytes_ + partsGrown;
  const uint64_t chunkBytes = chunks_ * kAviBytesPerChunk;
  // The next write may add one worst-case frame; the close adds its reserve.
  const uint64_t inHand = frameMargin_ + kAviCloseReserve;
  DiskCheck check;
  for (const Watched& w : watched_) {
    if (!w.partOfAvi || parts + chunkBytes + inHand <= AviFileLimit()) continue;
    check.verdict = DiskVerdict::SizeLimit;
    check.path = w.path;
    check.neededBytes = parts + chunkBytes + inHand;
    return check;
  }
  // Every volume is taken to hold the files that grew (they may share it with the targets).
  for (const Watched& w : watched_) {
    if (!w.freeBytes) continue;
    const uint64_t free = *w.freeBytes > grown ? *w.freeBytes - grown : 0;
    const uint64_t needed = inHand + (w.target ? parts + chunkBytes : 0);
    if (free < needed) {
      check.verdict = DiskVerdict::DiskLow;
      check.path = w.path;
      check.freeBytes = free;
      check.neededBytes = needed;
      break;
    }
  }
  return check;
}

DiskCheck DiskBudget::CheckNow() {
  const uint32_t now = base::NowMs();
  const uint32_t elapsedMs = checked_ ? now - lastCheckMs_ : 0;
  partsBytes_ = 0;
  for (Watched& w : watched_) {
    if (w.target) continue;
    // The writer's file may not show yet what was handed to it (the writer buffers).
    const uint64_t size = w.writer ? std::max(FileSizeOf(w.path), handed_) : FileSizeOf(w.path);
    if (elapsedMs > 0) w.seenRate = Grown(size, w.lastSize) * 1000 / elapsedMs;
    w.lastSize = size;
    if (w.partOfAvi) partsBytes_ += size;
  }
  checked_ = true;
  lastCheckMs_ = now;
  handedAtCheck_ = handed_;

  const auto ahead = [this](uint64_t rate) { return static_cast<uint64_t>(static_cast<double>(rate) * secondsAhead_); };
  const uint64_t nextSeconds = ahead(BytesPerSecond()) + kAviCloseReserve + frameMargin_;
  const uint64_t chunkBytes = chunks_ * kAviBytesPerChunk;

  DiskCheck check;
  uint64_t partsRate = 0;
  const Watched* firstPart = nullptr;
  for (const Watched& w : watched_) {
    if (!w.partOfAvi) continue;
    partsRate += std::max(w.toldRate, w.seenRate);
    if (!firstPart) firstPart = &w;
  }
  const uint64_t partsNeed = partsBytes_ + chunkBytes + ahead(partsRate) + kAviCloseReserve + frameMargin_;
  for (Watched& w : watched_) w.freeBytes.reset();
  if (firstPart && partsNeed > AviFileLimit()) {
    check.verdict = DiskVerdict::SizeLimit;
    check.path = firstPart->path;
    check.neededBytes = partsNeed;
    last_ = check;
    return check;
  }
  for (Watched& w : watched_) {
    // A target must still take everything written so far when it is saved.
    const uint64_t needed = nextSeconds + (w.target ? partsBytes_ + chunkBytes : 0);
    const std::optional<uint64_t> free = FreeBytesOfVolume(w.path);
    w.freeBytes = free;
    if (free && *free < needed) {
      check.verdict = DiskVerdict::DiskLow;
      check.path = w.path;
      check.freeBytes = *free;
      check.neededBytes = needed;
      break;
    }
  }
  last_ = check;
  return check;
}

}  // namespace engine
