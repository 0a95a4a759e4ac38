// TWaveStreamAdapter gives a RIFF WAVE held in a TStream an object face: the header is parsed
// on demand, the audio is read or rewritten through an mmio handle, and whole-wave operations
// (comparison, loading and saving, conversion, cutting, inserting, joining, mixing, reversing,
// volume) rewrite the stream. TCustomWaveStorage is the abstract keeper of a wave stream that a
// recorder can record into.
//
// The adapter has no lock: one thread at a time uses it (the recorder uses it only under its
// device's critical section).
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "audio/scWaveUtils.h"
#include "audio/streams.h"

namespace audio {

enum TStreamOwnership : uint8_t {
  soReference = 0,  // the caller keeps the stream
  soOwned = 1,      // the adapter frees the stream when it is destroyed
};

enum TWaveStreamState { wsIdle, wsReading, wsWriting };

class TWaveStreamAdapter {
 public:
  using TNotifyEvent = std::function<void(TWaveStreamAdapter* sender)>;

  // Starts dirty and idle; nothing is read yet.
  TWaveStreamAdapter(TStream* stream, TStreamOwnership ownership);
  // Ends a read or rewrite in progress; frees the stream when it is owned.
  virtual ~TWaveStreamAdapter();
  TWaveStreamAdapter(const TWaveStreamAdapter&) = delete;
  TWaveStreamAdapter& operator=(const TWaveStreamAdapter&) = delete;

  // Copies another adapter's stream; assigning the adapter itself does nothing.
  virtual void Assign(TWaveStreamAdapter& source);
  // Parses the header when dirty (and not rewriting); returns whether the wave is valid.
  virtual bool EnsureParsed();
  // Points data at the audio bytes: straight into a memory stream unless forceCopy, else a new
  // block that ReleaseData frees. False (data nullptr) for an invalid or empty wave.
  virtual bool AccessData(uint8_t*& data, bool forceCopy);
  // Ends an AccessData. A block the adapter allocated is written back when asked and freed; a
  // pointer into the stream's memory needs nothing. False for nullptr or a pointer the adapter
  // did not hand out.
  virtual bool ReleaseData(uint8_t* data, bool writeBack);
  virtual uint32_t MsToBytes(uint32_t ms);
  virtual void NotifyChanging();
  virtual void NotifyChanged();

  virtual bool IsEqual(TWaveStreamAdapter& other);
  virtual bool HasSameFormat(TWaveStreamAdapter& other);
  virtual bool IsFormat(const WAVEFORMATEX* format);

  // Replaces the stream's content by source's bytes from source's position (source must hold
  // them all: EReadError otherwise, before anything is changed).
  virtual void LoadFromStream(TStream& source);
  virtual void SaveToStream(TStream& dest);
  virtual void LoadFromFile(const std::wstring& fileName);
  virtual void SaveToFile(const std::wstring& fileName);
  virtual void Clear();
  virtual void Invalidate();
  // Cuts the stream after the data (and its pad byte).
  virtual void TrimStream();

  virtual bool ReverseSamples();
  virtual bool ScaleVolume(int percent);
  virtual bool ConvertFormat(const WAVEFORMATEX* format);
  virtual bool CopyRange(TWaveStreamAdapter& source, uint32_t startMs, uint32_t lengthMs);
  virtual bool KeepRange(uint32_t startMs, uint32_t lengthMs);
  virtual bool DeleteRange(uint32_t startMs, uint32_t lengthMs);
  virtual bool InsertWave(uint32_t posMs, TWaveStreamAdapter& source);
  virtual bool InsertSilentSpan(uint32_t posMs, uint32_t lengthMs);
  virtual bool DeleteHead(uint32_t lengthMs);
  virtual bool DeleteTail(uint32_t lengthMs);
  virtual bool JoinWaves(const std::vector<TWaveStreamAdapter*>& sources, uint32_t silenceMs);
  virtual bool MixWaves(const std::vector<TWaveStreamAdapter*>& sources);

  // The rewrite the recorder and every editing operation use: StartWriting empties the stream
  // and writes the header, WriteData appends audio, FinishWriting patches the sizes, parses
  // the new header and cuts the stream after the data. FinishWriting cuts nothing unless the
  // sizes were patched and the header parses.
  virtual bool StartWriting(const WAVEFORMATEX& format);
  virtual bool FinishWriting();
  // -1 when not writing. A short write (a full disk) keeps whole blocks of the format: the
  // part of a block it wrote is taken back, so the wave ends on a block.
  virtual int32_t WriteData(const void* buffer, int32_t count);
  virtual bool StartReading();
  virtual bool FinishReading();
  virtual int32_t ReadData(void* buffer, int32_t count);  // -1 when not reading

  // Each parses first; 0 or nullptr for an invalid wave (and while a rewrite is in progress).
  bool Valid();
  uint32_t DataSize();
  uint32_t DataOffset();
  const WAVEFORMATEX* WaveFormat();
  uint32_t Length();  // milliseconds

  TStream* Stream() const noexcept { return stream_; }
  TStreamOwnership Ownership() const noexcept { return ownership_; }
  TWaveStreamState State() const noexcept { return state_; }

  TNotifyEvent OnChanging;
  TNotifyEvent OnChange;

 private:
  struct Range {
    uint32_t start, end;
  };
  // The byte range [start, end) of startMs/lengthMs, end capped at DataSize.
  Range BytesOf(uint32_t startMs, uint32_t lengthMs);
  // The audio bytes read into a vector (false on a short read).
  bool CopyData(std::vector<uint8_t>& out);
  // A memory copy of this adapter, for operations whose source is the adapter itself.
  std::unique_ptr<TWaveStreamAdapter> Snapshot();
  // sources with this adapter, and any other over the same stream, replaced by a snapshot
  // (kept in kept), and a copy of the first one's format when asked; empty when a source is
  // missing or the first is not a valid wave.
  using Snapshots = std::vector<std::pair<TWaveStreamAdapter*, std::unique_ptr<TWaveStreamAdapter>>>;
  std::vector<TWaveStreamAdapter*> ResolveSelf(const std::vector<TWaveStreamAdapter*>& sources, Snapshots& kept,
                                               WaveFormatPtr* firstFormat = nullptr);
  // Rewrites the stream with format and data; true when everything was written and it was
  // more than 0 bytes.
  bool Rewrite(const WAVEFORMATEX& format, const void* data, uint32_t size);
  // Closes a read or rewrite handle without finishing anything.
  void DropHandle();
  // Runs a sample routine on the audio in place (written back for a copied block when it
  // applied); its result.
  bool ApplyInPlace(const std::function<bool(uint8_t*, uint32_t, const WAVEFORMATEX*)>& routine);

  TStream* stream_;
  TStreamOwnership ownership_;
  bool dirty_ = true;
  bool valid_ = false;
  uint32_t dataSize_ = 0;
  uint32_t dataOffset_ = 0;
  WaveFormatPtr waveFormat_;
  TWaveStreamState state_ = wsIdle;
  MMCKINFO riffChunk_{};
  MMCKINFO dataChunk_{};
  UniqueMmio handle_;
  uint64_t written_ = 0;  // audio bytes written by the rewrite in progress
  uint16_t writeBlock_ = 1;  // ... and its format's block
  // Blocks AccessData allocated (freed by ReleaseData or with the adapter) and pointers it
  // handed out into a memory stream.
  struct Copy {
    std::unique_ptr<uint8_t[]> block;
    uint32_t size;
  };
  std::vector<Copy> copies_;
  std::vector<uint8_t*> direct_;
};

// The abstract keeper of a wave stream. A recorder asks it for the stream and records into
// it by reference.
class TCustomWaveStorage {
 public:
  virtual ~TCustomWaveStorage() = default;
  // The stream that holds the storage's wave; forReading False: the caller is about to write
  // a new wave into it.
  virtual TStream* GetWaveStream(bool forReading) = 0;
  // Tells the storage that the wave in its stream was rewritten.
  virtual void WaveStreamChanged() = 0;
};

}  // namespace audio
