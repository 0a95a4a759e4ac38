// Disk budget of a recording: the free space of the volumes it writes to and the size limit of
// an AVI 1.0 file, watched by the record loops of both recorders.
//
// AVIFile writes AVI 1.0 files, whose RIFF sizes are 32-bit: past 2 GiB a file stops growing
// while the writes still return success, and the result decodes only to where it stopped. On a
// full disk this Wine's AVIStreamWrite keeps returning success too. So a recording cannot rely
// on its write results: it polls a DiskBudget, which looks at the sizes of its files and the
// free space of their volumes about once a second, and ends the recording before either runs
// out for the next seconds. One second can hold a burst of full-screen changes after a still
// stretch (megabytes a frame), so between those looks every pass counts what it handed to the
// writer against the limit and the free space seen, keeping one worst-case frame in hand.
//
// A DiskBudget belongs to the thread that polls it (the record thread). The test seams below are
// process-wide and may be set from any thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace engine {

// What an AVI 1.0 file holds: its RIFF size is a 32-bit signed figure in every reader.
constexpr uint64_t kAviFileLimit = 0x7FFFFFFFull;

// The limit in force: kAviFileLimit unless a test lowered it.
uint64_t AviFileLimit();

// Free bytes (for the caller) of the volume that holds path: a file, or a folder; a path that
// does not exist yet is taken through its nearest existing parent folder, so a folder link to
// another file system answers for that file system. Nothing when the volume cannot be asked.
std::optional<uint64_t> FreeBytesOfVolume(const std::wstring& path);

// Current size of a file; 0 when it does not exist.
uint64_t FileSizeOf(const std::wstring& path);

// Makes and removes a probe file of this process's own in folder (with or without its trailing
// backslash): ERROR_SUCCESS when the folder takes a new file, else the system's error.
DWORD ProbeNewFile(const std::wstring& folder);

// The folder that holds path (as for FreeBytesOfVolume) refuses new files: a probe file cannot
// be made there for want of rights or because the volume is write-protected. A full disk, or a
// folder that does not exist, is no refusal. The probe is gone again when this returns.
bool FolderRefusesWriting(const std::wstring& path);

// Test seams: a lower AVI file limit, and free space answered by the test in place of the
// volume's (nullopt from the function falls through to the real volume). Each installs while
// alive and restores the previous one on destruction.
class ScopedAviFileLimit {
 public:
  explicit ScopedAviFileLimit(uint64_t bytes);
  ~ScopedAviFileLimit();
  ScopedAviFileLimit(const ScopedAviFileLimit&) = delete;
  ScopedAviFileLimit& operator=(const ScopedAviFileLimit&) = delete;

 private:
  uint64_t previous_;
};

using FreeBytesFunction = std::function<std::optional<uint64_t>(const std::wstring& path)>;
class ScopedFreeBytes {
 public:
  explicit ScopedFreeBytes(FreeBytesFunction function);
  ~ScopedFreeBytes();
  ScopedFreeBytes(const ScopedFreeBytes&) = delete;
  ScopedFreeBytes& operator=(const ScopedFreeBytes&) = delete;

 private:
  FreeBytesFunction previous_;
};

enum class DiskVerdict {
  Ok,
  DiskLow,    // a volume's free space is below what the next seconds need (Check::path)
  SizeLimit,  // the AVI file made of the parts would pass the AVI file limit with the next seconds
};

struct DiskCheck {
  DiskVerdict verdict = DiskVerdict::Ok;
  std::wstring path;  // the watched file or folder whose volume ran low, or the first part
  uint64_t freeBytes = 0;   // that volume's free space (DiskLow)
  uint64_t neededBytes = 0; // what it had to hold
  explicit operator bool() const { return verdict == DiskVerdict::Ok; }
};

class DiskBudget {
 public:
  // secondsAhead: how long the free space and the size limit must last at the rates seen;
  // intervalMs: how often Poll really asks the file system.
  explicit DiskBudget(double secondsAhead = 5.0, uint32_t intervalMs = 1000);

  // A file being written at about bytesPerSecond (0 when unknown: the growth seen between
  // checks counts, and the larger of the two). A part (partOfAvi) counts towards one AVI file
  // whose size must stay below the limit: the sound-less recorder's target, or the camera's
  // temporary video and wave files, which its merge joins into one target.
  void WatchFile(const std::wstring& path, uint64_t bytesPerSecond, bool partOfAvi);
  // The file the recorder's frames go into, a part of the AVI file: what each pass hands to it
  // is told through Handed.
  void WatchWriter(const std::wstring& path);
  // The largest frame one write can add (the compressor's worst case, or a raw frame): kept in
  // hand below the limit and on every volume before each write.
  void SetFrameMargin(uint64_t bytes) { frameMargin_ = bytes + kChunkOverhead; }
  // A pass handed a frame of bytes to the writer (its chunk's header and index entry are
  // counted through SetChunks).
  void Handed(uint64_t bytes) { handed_ += bytes + (bytes & 1); }
  // A folder that a file will be written into later and must then have room for every part
  // written so far (the camera's target, saved at the stop), besides the next seconds.
  void WatchTarget(const std::wstring& folder);
  // The chunks the AVI file of the parts holds so far (frames, and sound chunks once merged):
  // each costs a chunk header and an index entry beyond the parts' bytes. Cheap; call freely.
  void SetChunks(uint64_t chunks) { chunks_ = chunks; }

  // Cheap when called every pass: asks the file system at most once per interval (the first
  // call asks); in between it judges what was handed to the writer since (and the sound grown
  // at its rate) against the limit and the free space last seen, without asking.
  DiskCheck Poll();
  // Asks now.
  DiskCheck CheckNow();

  // The parts' total size at the last check, and the rate of all watched files (bytes/s).
  uint64_t PartsBytes() const { return partsBytes_; }
  uint64_t BytesPerSecond() const;

 private:
  struct Watched {
    std::wstring path;
    uint64_t toldRate = 0;
    uint64_t seenRate = 0;
    uint64_t lastSize = 0;
    bool partOfAvi = false;
    bool target = false;  // a folder to be written at the stop
    bool writer = false;  // the frames' file (see Handed)
    std::optional<uint64_t> freeBytes;  // its volume's free space at the last check
  };
  static constexpr uint64_t kChunkOverhead = 8 + 16;  // as kAviBytesPerChunk
  // Between the checks: the parts and the volumes as the bytes handed since make them.
  DiskCheck Estimate(uint32_t sinceMs);
  std::vector<Watched> watched_;
  double secondsAhead_;
  uint32_t intervalMs_;
  uint32_t lastCheckMs_ = 0;
  bool checked_ = false;
  uint64_t partsBytes_ = 0;
  uint64_t chunks_ = 0;
  uint64_t frameMargin_ = 0;
  uint64_t handed_ = 0;           // bytes handed to the writer so far
  uint64_t handedAtCheck_ = 0;    // ... at the last check
  DiskCheck last_;
};

// Room that AVIFile adds to a file when it is closed (RIFF and list headers, padding), kept
// free besides the next seconds' data; and what each chunk adds (its header and index entry).
constexpr uint64_t kAviCloseReserve = 1u << 20;
constexpr uint64_t kAviBytesPerChunk = 8 + 16;

}  // namespace engine
