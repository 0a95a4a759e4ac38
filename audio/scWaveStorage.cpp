// The wave stream adapter: header parsing on demand, data access, the rewrite path the
// recorder uses, and the editing operations built on that rewrite.
//
// Every editing operation reads what it needs first and only then rewrites the stream
// (StartWriting empties it), so a failed precondition leaves the wave untouched. An operation
// whose source is the adapter itself works on a memory copy of it, because the rewrite would
// otherwise empty the source under it.
#include "audio/scWaveStorage.h"

#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <cstring>

namespace audio {

TWaveStreamAdapter::TWaveStreamAdapter(TStream* stream, TStreamOwnership ownership)
    : stream_(stream), ownership_(ownership) {}

TWaveStreamAdapter::~TWaveStreamAdapter() {
  // Destruction must not throw: a failing stream leaves what it has.
  try {
    if (state_ == wsReading) FinishReading();
    if (state_ == wsWriting) FinishWriting();
  } catch (...) {
  }
  handle_.reset();
  if (ownership_ == soOwned) delete stream_;
}

// ---- parsing and queries

bool TWaveStreamAdapter::EnsureParsed() {
  if (state_ == wsWriting) return false;
  if (dirty_) {
    dirty_ = false;
    waveFormat_.reset();
    valid_ = stream_ && ReadStreamWaveHeader(*stream_, waveFormat_, dataSize_, dataOffset_);
    if (!valid_) {
      waveFormat_.reset();
      dataSize_ = dataOffset_ = 0;
    }
    NotifyChanged();
  }
  return valid_;
}

void TWaveStreamAdapter::NotifyChanging() {
  valid_ = false;
  if (!dirty_) {
    dirty_ = true;
    if (OnChanging) OnChanging(this);
  }
}

void TWaveStreamAdapter::NotifyChanged() {
  if (OnChange) OnChange(this);
}

void TWaveStreamAdapter::Invalidate() { dirty_ = true; }

bool TWaveStreamAdapter::Valid() { return EnsureParsed(); }
uint32_t TWaveStreamAdapter::DataSize() { return EnsureParsed() ? dataSize_ : 0; }
uint32_t TWaveStreamAdapter::DataOffset() { return EnsureParsed() ? dataOffset_ : 0; }
const WAVEFORMATEX* TWaveStreamAdapter::WaveFormat() { return EnsureParsed() ? waveFormat_.get() : nullptr; }
uint32_t TWaveStreamAdapter::Length() { return EnsureParsed() ? BytesToMs(*waveFormat_, dataSize_) : 0; }

uint32_t TWaveStreamAdapter::MsToBytes(uint32_t ms) {
  return EnsureParsed() ? MsToDataBytes(*waveFormat_, ms) : 0;
}

TWaveStreamAdapter::Range TWaveStreamAdapter::BytesOf(uint32_t startMs, uint32_t lengthMs) {
  const uint64_t size = DataSize();
  const uint64_t start = std::min<uint64_t>(MsToBytes(startMs), size);
  const uint64_t end = std::min<uint64_t>(start + MsToBytes(lengthMs), size);
  return {uint32_t(start), uint32_t(end)};
}

// ---- data access

bool TWaveStreamAdapter::AccessData(uint8_t*& data, bool forceCopy) {
  data = nullptr;
  if (!EnsureParsed() || dataSize_ == 0) return false;
  // The header may have been parsed before the stream was cut by someone else.
  if (uint64_t(dataOffset_) + dataSize_ > uint64_t(std::max<int64_t>(stream_->Size(), 0))) return false;
  if (!forceCopy) {
    if (auto* memory = dynamic_cast<TCustomMemoryStream*>(stream_)) {
      data = memory->Memory() + dataOffset_;
      direct_.push_back(data);
      return true;
    }
  }
  std::unique_ptr<uint8_t[]> block(new uint8_t[dataSize_]);
  stream_->SetPosition(dataOffset_);
  for (uint32_t done = 0; done < dataSize_;) {
    int32_t n = stream_->Read(block.get() + done, int32_t(std::min<uint32_t>(dataSize_ - done, INT32_MAX)));
    if (n <= 0) return false;
    done += uint32_t(n);
  }
  data = block.get();
  copies_.push_back({std::move(block), dataSize_});
  return true;
}

bool TWaveStreamAdapter::ReleaseData(uint8_t* data, bool writeBack) {
  if (!data) return false;
  auto copy = std::find_if(copies_.begin(), copies_.end(), [&](const auto& c) { return c.block.get() == data; });
  if (copy != copies_.end()) {
    const std::unique_ptr<uint8_t[]> block = std::move(copy->block);
    const uint32_t blockSize = copy->size;
    copies_.erase(copy);
    if (!writeBack) return true;
    // The data may have been rewritten meanwhile: write back no more than the block holds,
    // and only where the current header says the data lives.
    if (!EnsureParsed()) return false;
    const uint32_t size = std::min(blockSize, dataSize_);
    stream_->SetPosition(dataOffset_);
    for (uint32_t done = 0; done < size;) {
      int32_t n = stream_->Write(block.get() + done, int32_t(std::min<uint32_t>(size - done, INT32_MAX)));
      if (n <= 0) return false;
      done += uint32_t(n);
    }
    return true;
  }
  auto direct = std::find(direct_.begin(), direct_.end(), data);
  if (direct != direct_.end()) {
    direct_.erase(direct);  // changes were made in place
    return true;
  }
  return false;
}

bool TWaveStreamAdapter::CopyData(std::vector<uint8_t>& out) {
  out.clear();
  if (!EnsureParsed()) return false;
  if (dataSize_ == 0) return true;
  uint8_t* data = nullptr;
  if (!AccessData(data, true)) return false;
  out.assign(data, data + dataSize_);
  ReleaseData(data, false);
  return true;
}

std::unique_ptr<TWaveStreamAdapter> TWaveStreamAdapter::Snapshot() {
  auto copy = std::make_unique<TWaveStreamAdapter>(new TMemoryStream, soOwned);
  if (EnsureParsed()) {
    std::vector<uint8_t> data;
    if (CopyData(data)) copy->Rewrite(*waveFormat_, data.data(), uint32_t(data.size()));
  }
  return copy;
}

// ---- comparison

bool TWaveStreamAdapter::IsFormat(const WAVEFORMATEX* format) {
  if (!EnsureParsed() || !format || format->cbSize != waveFormat_->cbSize) return false;
  return std::memcmp(waveFormat_.get(), format, WaveFormatSize(*format)) == 0;
}

bool TWaveStreamAdapter::HasSameFormat(TWaveStreamAdapter& other) { return IsFormat(other.WaveFormat()); }

bool TWaveStreamAdapter::IsEqual(TWaveStreamAdapter& other) {
  if (!HasSameFormat(other) || DataSize() != other.DataSize()) return false;
  if (dataSize_ == 0) return true;
  uint8_t* mine = nullptr;
  uint8_t* theirs = nullptr;
  bool equal = false;
  if (AccessData(mine, false)) {
    if (other.AccessData(theirs, false)) {
      equal = std::memcmp(mine, theirs, dataSize_) == 0;
      other.ReleaseData(theirs, false);
    }
    ReleaseData(mine, false);
  }
  return equal;
}

// ---- whole-stream operations

void TWaveStreamAdapter::DropHandle() {
  handle_.reset();
  state_ = wsIdle;
}

void TWaveStreamAdapter::Assign(TWaveStreamAdapter& source) {
  if (&source == this || !source.stream_) return;
  source.stream_->SetPosition(0);
  LoadFromStream(*source.stream_);
}

void TWaveStreamAdapter::LoadFromStream(TStream& source) {
  DropHandle();
  if (!stream_) return;
  if (&source == stream_) {  // the content stays what it is
    NotifyChanging();
    EnsureParsed();
    return;
  }
  const int64_t size = source.Size();
  // All of source's size must follow its position; refuse before anything is overwritten.
  if (size - source.Position() < size) throw EReadError(L"Stream read error");
  NotifyChanging();
  stream_->SetPosition(0);
  if (size > 0) stream_->CopyFrom(source, size);
  stream_->SetSize(size);
  EnsureParsed();
}

void TWaveStreamAdapter::SaveToStream(TStream& dest) {
  if (!stream_ || &dest == stream_) return;
  dest.CopyFrom(*stream_, 0);
}

void TWaveStreamAdapter::LoadFromFile(const std::wstring& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TWaveStreamAdapter::SaveToFile(const std::wstring& fileName) {
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
}

void TWaveStreamAdapter::Clear() {
  DropHandle();
  if (!stream_) return;
  NotifyChanging();
  stream_->SetSize(0);
  NotifyChanged();
}

void TWaveStreamAdapter::TrimStream() {
  if (state_ == wsWriting || !EnsureParsed()) return;
  // Keep the pad byte after odd data, but never grow the stream.
  const int64_t end = int64_t(dataOffset_) + dataSize_ + (dataSize_ & 1);
  if (end < stream_->Size()) stream_->SetSize(end);
}

// ---- rewriting and reading

bool TWaveStreamAdapter::StartWriting(const WAVEFORMATEX& format) {
  if (state_ != wsIdle || !stream_) return false;
  handle_.reset(CreateStreamWave(*stream_, format, riffChunk_, dataChunk_));
  if (!handle_) {
    Invalidate();  // the stream may have been emptied
    return false;
  }
  state_ = wsWriting;
  written_ = 0;
  writeBlock_ = format.nBlockAlign > 0 ? format.nBlockAlign : 1;
  dataOffset_ = uint32_t(::mmioSeek(handle_.get(), 0, SEEK_CUR));
  NotifyChanging();
  return true;
}

int32_t TWaveStreamAdapter::WriteData(const void* buffer, int32_t count) {
  if (state_ != wsWriting) return -1;
  if (count <= 0) return 0;
  LONG done = ::mmioWrite(handle_.get(), static_cast<const char*>(buffer), count);
  if (done > 0 && done < count) {
    const LONG part = LONG((written_ + uint64_t(done)) % writeBlock_);
    if (part > 0 && ::mmioSeek(handle_.get(), -part, SEEK_CUR) != -1) done -= part;
  }
  if (done > 0) written_ += uint64_t(done);
  return done;
}

bool TWaveStreamAdapter::FinishWriting() {
  if (state_ != wsWriting) return false;
  const bool patched = ::mmioAscend(handle_.get(), &dataChunk_, 0) == MMSYSERR_NOERROR &&
                       ::mmioAscend(handle_.get(), &riffChunk_, 0) == MMSYSERR_NOERROR;
  DropHandle();
  dirty_ = true;
  const bool parsed = EnsureParsed();
  // Cut only a wave whose header reads back with every byte that was written: a failed size
  // patch (the platform does not report a failing write inside it) keeps the whole recording.
  if (!patched || !parsed || dataSize_ != written_) return false;
  const int64_t end = int64_t(dataOffset_) + dataSize_ + (dataSize_ & 1);
  try {
    if (end < stream_->Size()) stream_->SetSize(end);
  } catch (const EStreamError&) {
    return false;
  }
  return true;
}

bool TWaveStreamAdapter::StartReading() {
  if (state_ != wsIdle || !EnsureParsed()) return false;
  handle_.reset(OpenStreamMmio(stream_));
  if (!handle_) return false;
  if (::mmioSeek(handle_.get(), LONG(dataOffset_), SEEK_SET) != LONG(dataOffset_)) {
    handle_.reset();
    return false;
  }
  state_ = wsReading;
  return true;
}

int32_t TWaveStreamAdapter::ReadData(void* buffer, int32_t count) {
  if (state_ != wsReading) return -1;
  if (count <= 0) return 0;
  return ::mmioRead(handle_.get(), static_cast<HPSTR>(buffer), count);
}

bool TWaveStreamAdapter::FinishReading() {
  if (state_ != wsReading) return false;
  DropHandle();
  return true;
}

bool TWaveStreamAdapter::Rewrite(const WAVEFORMATEX& format, const void* data, uint32_t size) {
  WaveFormatPtr kept = CopyWaveFormat(&format);  // format may be our own record
  if (!StartWriting(*kept)) return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  bool written = true;
  for (uint32_t done = 0; done < size;) {
    int32_t n = WriteData(bytes + done, int32_t(std::min<uint32_t>(size - done, 1u << 20)));
    if (n <= 0) {
      written = false;
      break;
    }
    done += uint32_t(n);
  }
  return FinishWriting() && written && size > 0;
}

// ---- editing

bool TWaveStreamAdapter::ApplyInPlace(const std::function<bool(uint8_t*, uint32_t, const WAVEFORMATEX*)>& routine) {
  uint8_t* data = nullptr;
  if (!AccessData(data, false)) return false;
  const bool applied = routine(data, dataSize_, waveFormat_.get());
  const bool released = ReleaseData(data, applied);
  return applied && released;
}

bool TWaveStreamAdapter::ReverseSamples() {
  return ApplyInPlace([](uint8_t* d, uint32_t n, const WAVEFORMATEX* f) { return ReverseWaveData(d, n, f); });
}

bool TWaveStreamAdapter::ScaleVolume(int percent) {
  return ApplyInPlace(
      [percent](uint8_t* d, uint32_t n, const WAVEFORMATEX* f) { return ScaleWaveVolume(d, n, f, percent); });
}

bool TWaveStreamAdapter::ConvertFormat(const WAVEFORMATEX* format) {
  if (!format) return false;
  if (IsFormat(format)) return true;
  WaveFormatPtr target = CopyWaveFormat(format);
  uint8_t* data = nullptr;
  if (!AccessData(data, false)) return false;
  std::vector<uint8_t> converted;
  uint32_t convertedSize = 0;
  bool ok = ConvertWaveData(waveFormat_.get(), data, dataSize_, convertedSize, converted, target.get());
  if (!ok) {
    // No direct route: through the PCM form of the current channels and rate.
    WaveFormatPtr pcm = NewWaveFormat();
    pcm->wFormatTag = WAVE_FORMAT_PCM;
    pcm->nChannels = waveFormat_->nChannels;
    pcm->nSamplesPerSec = waveFormat_->nSamplesPerSec;
    if (::acmFormatSuggest(nullptr, waveFormat_.get(), pcm.get(), kWaveFormatRecordSize,
                           ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NCHANNELS |
                               ACM_FORMATSUGGESTF_NSAMPLESPERSEC) == MMSYSERR_NOERROR) {
      pcm->cbSize = 0;
      std::vector<uint8_t> middle;
      uint32_t middleSize = 0;
      if (ConvertWaveData(waveFormat_.get(), data, dataSize_, middleSize, middle, pcm.get()))
        ok = ConvertWaveData(pcm.get(), middle.data(), middleSize, convertedSize, converted, target.get());
    }
  }
  ReleaseData(data, false);
  if (!ok) return false;
  return Rewrite(*target, converted.data(), convertedSize);
}

bool TWaveStreamAdapter::CopyRange(TWaveStreamAdapter& source, uint32_t startMs, uint32_t lengthMs) {
  if (&source == this) return KeepRange(startMs, lengthMs);
  if (source.stream_ == stream_) {
    Snapshots kept;
    return CopyRange(*ResolveSelf({&source}, kept).front(), startMs, lengthMs);
  }
  if (!source.Valid() || lengthMs == 0 || startMs >= source.Length()) return false;
  const Range range = source.BytesOf(startMs, lengthMs);
  if (range.end <= range.start) return false;  // nothing to copy: keep what is here
  uint8_t* data = nullptr;
  if (!source.AccessData(data, false)) return false;
  const bool ok = Rewrite(*source.WaveFormat(), data + range.start, range.end - range.start);
  source.ReleaseData(data, false);
  return ok;
}

bool TWaveStreamAdapter::KeepRange(uint32_t startMs, uint32_t lengthMs) {
  if (!EnsureParsed() || lengthMs == 0 || startMs >= Length()) return false;
  const Range range = BytesOf(startMs, lengthMs);
  if (range.end <= range.start) return false;  // keeping nothing would empty the wave
  std::vector<uint8_t> data;
  if (!CopyData(data)) return false;
  return Rewrite(*waveFormat_, data.data() + range.start, range.end - range.start);
}

bool TWaveStreamAdapter::DeleteRange(uint32_t startMs, uint32_t lengthMs) {
  if (!EnsureParsed() || lengthMs == 0 || startMs >= Length()) return false;
  const Range range = BytesOf(startMs, lengthMs);
  std::vector<uint8_t> data;
  if (!CopyData(data)) return false;
  data.erase(data.begin() + range.start, data.begin() + range.end);
  return Rewrite(*waveFormat_, data.data(), uint32_t(data.size()));
}

bool TWaveStreamAdapter::DeleteHead(uint32_t lengthMs) { return DeleteRange(0, lengthMs); }

bool TWaveStreamAdapter::DeleteTail(uint32_t lengthMs) {
  const uint32_t length = Length();
  const uint32_t cut = std::min(lengthMs, length);
  return DeleteRange(length - cut, cut);
}

bool TWaveStreamAdapter::InsertWave(uint32_t posMs, TWaveStreamAdapter& source) {
  Snapshots kept;
  TWaveStreamAdapter* from = ResolveSelf({&source}, kept).front();
  if (!HasSameFormat(*from) || DataSize() == 0 || from->DataSize() == 0) return false;
  const uint32_t pos = std::min(MsToBytes(posMs), dataSize_);
  std::vector<uint8_t> data;
  if (!CopyData(data)) return false;
  uint8_t* inserted = nullptr;
  if (!from->AccessData(inserted, false)) return false;
  data.insert(data.begin() + pos, inserted, inserted + from->DataSize());
  from->ReleaseData(inserted, false);
  return Rewrite(*waveFormat_, data.data(), uint32_t(data.size()));
}

bool TWaveStreamAdapter::InsertSilentSpan(uint32_t posMs, uint32_t lengthMs) {
  if (!EnsureParsed() || lengthMs == 0) return false;
  const uint32_t pos = std::min(MsToBytes(posMs), dataSize_);
  // A wave's sizes are 32-bit; a span that cannot fit is refused.
  if (uint64_t(dataSize_) + MsToBytes(lengthMs) > UINT32_MAX - dataOffset_ - 1) return false;
  std::vector<uint8_t> silence(MsToBytes(lengthMs));
  if (!FillSilence(silence.data(), uint32_t(silence.size()), waveFormat_.get())) return false;
  std::vector<uint8_t> data;
  if (!CopyData(data)) return false;
  data.insert(data.begin() + pos, silence.begin(), silence.end());
  return Rewrite(*waveFormat_, data.data(), uint32_t(data.size()));
}

namespace {

// Every source's data reached without copying; released (without writing back) when the
// holder goes away.
struct AccessedData {
  std::vector<std::pair<TWaveStreamAdapter*, uint8_t*>> held;
  ~AccessedData() {
    for (auto& [adapter, data] : held)
      if (data) adapter->ReleaseData(data, false);
  }
};

}  // namespace

std::vector<TWaveStreamAdapter*> TWaveStreamAdapter::ResolveSelf(const std::vector<TWaveStreamAdapter*>& sources,
                                                                Snapshots& kept, WaveFormatPtr* firstFormat) {
  std::vector<TWaveStreamAdapter*> items;
  for (TWaveStreamAdapter* s : sources) {
    if (!s) return {};
    // The adapter itself, or another one over the same stream: the rewrite would empty it.
    if (s == this || (stream_ && s->stream_ == stream_)) {
      auto known = std::find_if(kept.begin(), kept.end(), [&](const auto& k) { return k.first == s; });
      if (known == kept.end()) {
        kept.emplace_back(s, s->Snapshot());
        known = kept.end() - 1;
      }
      s = known->second.get();
    }
    items.push_back(s);
  }
  if (firstFormat && !items.empty()) {
    *firstFormat = CopyWaveFormat(items.front()->WaveFormat());
    if (!*firstFormat) return {};
  }
  return items;
}

bool TWaveStreamAdapter::JoinWaves(const std::vector<TWaveStreamAdapter*>& sources, uint32_t silenceMs) {
  Snapshots kept;
  WaveFormatPtr format;
  const std::vector<TWaveStreamAdapter*> items = ResolveSelf(sources, kept, &format);
  if (items.empty()) return false;

  std::vector<uint8_t> silence;
  if (silenceMs != 0 && items.size() >= 2) {
    silence.resize(MsToDataBytes(*format, silenceMs));
    if (!FillSilence(silence.data(), uint32_t(silence.size()), format.get())) return false;
  }
  // Reach every source before the stream is emptied, so a bad source loses nothing.
  AccessedData accessed;
  for (TWaveStreamAdapter* s : items) {
    uint8_t* data = nullptr;
    if (!s->AccessData(data, false)) return false;
    accessed.held.emplace_back(s, data);
  }
  if (!StartWriting(*format)) return false;
  bool written = true;
  for (size_t i = 0; i < accessed.held.size() && written; ++i) {
    auto [adapter, data] = accessed.held[i];
    if (i > 0 && !silence.empty())
      written = WriteData(silence.data(), int32_t(silence.size())) == int32_t(silence.size());
    const int32_t size = int32_t(adapter->DataSize());
    if (written) written = WriteData(data, size) == size;
  }
  return FinishWriting() && written;
}

bool TWaveStreamAdapter::MixWaves(const std::vector<TWaveStreamAdapter*>& sources) {
  Snapshots kept;
  WaveFormatPtr format;
  const std::vector<TWaveStreamAdapter*> items = ResolveSelf(sources, kept, &format);
  if (items.empty()) return false;

  AccessedData accessed;
  std::vector<TWaveBufferItem> inputs;
  uint32_t longest = 0;
  for (TWaveStreamAdapter* s : items) {
    if (!s->IsFormat(format.get())) return false;
    uint8_t* data = nullptr;
    if (s->DataSize() != 0 && !s->AccessData(data, false)) return false;
    accessed.held.emplace_back(s, data);
    inputs.push_back({data, s->DataSize()});
    longest = std::max(longest, s->DataSize());
  }
  std::vector<uint8_t> mixed(longest, 0);
  if (!MixWaveBuffers(inputs.data(), int(inputs.size()), format.get(), longest, mixed.data())) return false;
  return Rewrite(*format, mixed.data(), longest);
}

}  // namespace audio
