// Format records and texts, millisecond/byte arithmetic, RIFF WAVE over TStreams through the
// multimedia file I/O service, the PCM sample routines, compression-manager conversion and the
// message-pumping wait of the wave library.
//
// Writing goes through mmio chunk routines (they patch the sizes and pad odd chunks); reading
// goes through the bounded walker of riff_walker.h, because the platform's descent loops for
// ever on a crafted chunk size.
#include "audio/scWaveUtils.h"

#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "audio/riff_walker.h"
#include "base/barrier.h"
#include "base/dispatch.h"
#include "base/unique.h"
#include "base/text.h"

namespace audio {

static_assert(sizeof(WAVEFORMATEX) == kWaveFormatRecordSize, "the format record is 18 bytes");
// The I/O procedure's info word carries the stream: this is a 32-bit program.
static_assert(sizeof(TStream*) <= sizeof(DWORD), "a stream pointer must fit an mmio info word");

namespace {

const wchar_t* const kChannelNames[2] = {L"Mono", L"Stereo"};
const uint32_t kRates[5] = {8000, 11025, 22050, 44100, 48000};

// a * b / c rounded to the nearest integer, halves up (all operands are unsigned here), with
// a 64-bit intermediate; saturates at 0xFFFFFFFF. c must not be 0.
uint64_t MulDivRound(uint64_t a, uint64_t b, uint64_t c) {
  uint64_t product = a * b;  // both below 2^32: no overflow
  uint64_t q = product / c, r = product % c;
  if (r >= c - r) ++q;
  return q;
}

uint32_t Saturate(uint64_t v) { return v > UINT32_MAX ? UINT32_MAX : uint32_t(v); }

bool IsSamplePCM(const WAVEFORMATEX* format) {
  return format && format->wFormatTag == WAVE_FORMAT_PCM &&
         (format->wBitsPerSample == 8 || format->wBitsPerSample == 16);
}

std::wstring RateText(uint32_t samplesPerSec) {
  std::wstring text = base::Format(L"%.3f", samplesPerSec / 1000.0);
  wchar_t separator[8] = {};
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) > 1 && separator[0] != L'.') {
    std::wstring::size_type dot = text.find(L'.');
    if (dot != std::wstring::npos) text.replace(dot, 1, separator);
  }
  return text;
}

// The walker's view of an mmio handle.
class MmioSource : public riff::ByteSource {
 public:
  explicit MmioSource(HMMIO handle) : handle_(handle) {}
  uint64_t Size() override {
    LONG end = ::mmioSeek(handle_, 0, SEEK_END);
    return end < 0 ? 0 : uint64_t(end);
  }
  size_t ReadAt(uint64_t offset, void* dst, size_t n) override {
    if (offset > uint64_t(LONG_MAX)) return 0;
    if (::mmioSeek(handle_, LONG(offset), SEEK_SET) != LONG(offset)) return 0;
    LONG got = ::mmioRead(handle_, static_cast<HPSTR>(dst), LONG(std::min<size_t>(n, LONG_MAX)));
    return got < 0 ? 0 : size_t(got);
  }

 private:
  HMMIO handle_;
};

}  // namespace

// ---- format records

WaveFormatPtr NewWaveFormat(size_t bytes) {
  bytes = std::max<size_t>(bytes, kWaveFormatRecordSize);
  void* block = std::calloc(1, bytes);
  if (!block) throw std::bad_alloc();
  return WaveFormatPtr(static_cast<WAVEFORMATEX*>(block));
}

uint32_t WaveFormatSize(const WAVEFORMATEX& format) { return kWaveFormatRecordSize + format.cbSize; }

WaveFormatPtr CopyWaveFormat(const WAVEFORMATEX* format) {
  if (!format) return nullptr;
  WaveFormatPtr copy = NewWaveFormat(WaveFormatSize(*format));
  std::memcpy(copy.get(), format, WaveFormatSize(*format));
  return copy;
}

void FillPCMFormat(WAVEFORMATEX& format, bool stereo, int rateIndex, bool sixteenBit) {
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = stereo ? 2 : 1;
  format.nSamplesPerSec = kRates[std::clamp(rateIndex, 0, 4)];
  format.wBitsPerSample = sixteenBit ? 16 : 8;
  format.nBlockAlign = WORD(format.nChannels * format.wBitsPerSample / 8);
  format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
  format.cbSize = 0;
}

void MakePCMFormat(WAVEFORMATEX& format, TPCMFormat pcm) {
  if (pcm == nonePCM || pcm > kPCMFormatCount) return;
  int index = pcm - 1;
  FillPCMFormat(format, (index & 1) != 0, index / 4, (index & 2) != 0);
}

std::wstring WaveFormatTagName(uint16_t tag) {
  switch (tag) {
    case 1: return L"PCM";
    case 2: return L"Microsoft ADPCM";
    case 3: return L"PCM IEEE";
    case 4: return L"VSELP";
    case 5: return L"CSVD";
    case 6: return L"A-Law";
    case 7: return L"u-Law";
    case 8: return L"DTS";
    case 17: return L"IMA ADPCM";
    case 49: return L"GSM 6.10";
    case 67: return L"Microsoft G.723.1";
    case 80: return L"MPEG";
    case 85: return L"MPEG Layer-3";
    default: return L"";
  }
}

std::wstring WaveFormatDescription(const WAVEFORMATEX& format) {
  const std::wstring rate = RateText(format.nSamplesPerSec);
  const bool named = format.nChannels == 1 || format.nChannels == 2;
  std::wstring text;
  if (format.wBitsPerSample != 0) {
    text = named ? base::Format(L"%s kHz, %d Bit, %s", rate, int(format.wBitsPerSample),
                                kChannelNames[format.nChannels - 1])
                 : base::Format(L"%s kHz, %d Bit, %d Ch", rate, int(format.wBitsPerSample), int(format.nChannels));
  } else {
    text = named ? base::Format(L"%s kHz, %s", rate, kChannelNames[format.nChannels - 1])
                 : base::Format(L"%s kHz, %d Ch", rate, int(format.nChannels));
  }
  std::wstring tag = WaveFormatTagName(format.wFormatTag);
  if (!tag.empty()) text += L": " + tag;
  return text;
}

// ---- milliseconds and bytes

uint32_t MsToBufferBytes(const WAVEFORMATEX& format, uint32_t ms) {
  uint64_t bytes = MulDivRound(ms, format.nAvgBytesPerSec, 1000);
  const uint64_t align = format.nBlockAlign;
  if (align >= 2 && bytes % align != 0) bytes += align - bytes % align;
  if (bytes > UINT32_MAX) bytes = align >= 2 ? UINT32_MAX - UINT32_MAX % align : UINT32_MAX;
  return uint32_t(bytes);
}

uint32_t MsToDataBytes(const WAVEFORMATEX& format, uint32_t ms) {
  uint64_t bytes = std::min<uint64_t>(MulDivRound(format.nAvgBytesPerSec, ms, 1000), UINT32_MAX);
  const uint64_t align = format.nBlockAlign;
  if (align >= 2) bytes -= bytes % align;
  return uint32_t(bytes);
}

uint32_t BytesToMs(const WAVEFORMATEX& format, uint32_t bytes) {
  if (format.nAvgBytesPerSec == 0) return 0;
  return Saturate(MulDivRound(1000, bytes, format.nAvgBytesPerSec));
}

// ---- RIFF WAVE over a stream

LRESULT CALLBACK StreamIOProc(LPSTR infoText, UINT message, LPARAM param1, LPARAM param2) {
  auto* info = reinterpret_cast<MMIOINFO*>(infoText);
  if (!info) return -1;
  auto* stream = reinterpret_cast<TStream*>(static_cast<uintptr_t>(info->adwInfo[0]));
  if (!stream) return -1;
  // A stream error (a full disk, a failing seek) becomes -1 for mmio: nothing may cross this
  // callback.
  return base::Guard("StreamIOProc", [&]() -> LRESULT {
    switch (message) {
      case MMIOM_OPEN:
        stream->SetPosition(0);
        info->lDiskOffset = 0;
        return 0;
      case MMIOM_CLOSE:
        return 0;
      case MMIOM_READ: {
        if (param2 < 0) return -1;
        if (stream->Seek(info->lDiskOffset, SeekOrigin::Begin) < 0) return -1;
        LRESULT got = stream->Read(reinterpret_cast<void*>(param1), int32_t(param2));
        info->lDiskOffset = LONG(stream->Position());
        return got;
      }
      case MMIOM_WRITE:
      case MMIOM_WRITEFLUSH: {
        if (param2 < 0) return -1;
        if (stream->Seek(info->lDiskOffset, SeekOrigin::Begin) < 0) return -1;
        LRESULT done = stream->Write(reinterpret_cast<const void*>(param1), int32_t(param2));
        info->lDiskOffset = LONG(stream->Position());
        return done;
      }
      case MMIOM_SEEK: {
        int64_t position;
        if (param2 == SEEK_CUR) {
          if (stream->Seek(info->lDiskOffset, SeekOrigin::Begin) < 0) return -1;
          position = stream->Seek(param1, SeekOrigin::Current);
        } else {
          position = stream->Seek(param1, param2 == SEEK_END ? SeekOrigin::End : SeekOrigin::Begin);
        }
        if (position < 0 || position > LONG_MAX) return -1;
        info->lDiskOffset = LONG(position);
        return LRESULT(position);
      }
      default:
        return 0;
    }
  }, LRESULT(-1));
}

HMMIO OpenStreamMmio(TStream* stream) {
  if (!stream) return nullptr;
  MMIOINFO info{};
  info.pIOProc = StreamIOProc;
  info.adwInfo[0] = DWORD(reinterpret_cast<uintptr_t>(stream));
  // No file name: the I/O procedure ignores it. One handle serves reading and writing.
  return ::mmioOpenW(nullptr, &info, MMIO_READWRITE);
}

bool ReadWaveHeader(HMMIO handle, WaveFormatPtr& format, uint32_t& dataSize, uint32_t& dataOffset) {
  format.reset();
  dataSize = 0;
  dataOffset = 0;
  if (!handle) return false;
  const LONG remembered = ::mmioSeek(handle, 0, SEEK_CUR);
  MmioSource source(handle);
  riff::WaveHeader header;
  const bool ok = riff::ReadWaveHeader(source, header) == riff::HeaderError::None;
  if (ok) {
    format = NewWaveFormat(header.format.size());
    std::memcpy(format.get(), header.format.data(), header.format.size());
    dataSize = header.dataSize;
    dataOffset = header.dataOffset;
  }
  if (remembered >= 0) ::mmioSeek(handle, remembered, SEEK_SET);
  return ok;
}

bool ReadStreamWaveHeader(TStream& stream, WaveFormatPtr& format, uint32_t& dataSize, uint32_t& dataOffset) {
  format.reset();
  dataSize = 0;
  dataOffset = 0;
  int64_t position;
  try {
    if (stream.Size() <= 0) return false;
    position = stream.Position();
  } catch (const EStreamError&) {
    return false;
  }
  UniqueMmio handle(OpenStreamMmio(&stream));
  if (!handle) return false;
  bool ok = ReadWaveHeader(handle.get(), format, dataSize, dataOffset);
  handle.reset();
  try {
    stream.SetPosition(position);
  } catch (const EStreamError&) {
  }
  return ok;
}

bool WriteWaveHeader(HMMIO handle, const WAVEFORMATEX& format, MMCKINFO& riffChunk, MMCKINFO& dataChunk) {
  if (!handle || ::mmioSeek(handle, 0, SEEK_SET) != 0) return false;
  riffChunk = MMCKINFO{};
  riffChunk.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  if (::mmioCreateChunk(handle, &riffChunk, MMIO_CREATERIFF) != MMSYSERR_NOERROR) return false;

  MMCKINFO formatChunk{};
  formatChunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
  if (::mmioCreateChunk(handle, &formatChunk, 0) != MMSYSERR_NOERROR) return false;
  const LONG size = LONG(WaveFormatSize(format));
  if (::mmioWrite(handle, reinterpret_cast<const char*>(&format), size) != size) return false;
  if (::mmioAscend(handle, &formatChunk, 0) != MMSYSERR_NOERROR) return false;

  dataChunk = MMCKINFO{};
  dataChunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
  return ::mmioCreateChunk(handle, &dataChunk, 0) == MMSYSERR_NOERROR;
}

HMMIO CreateStreamWave(TStream& stream, const WAVEFORMATEX& format, MMCKINFO& riffChunk, MMCKINFO& dataChunk) {
  UniqueMmio handle(OpenStreamMmio(&stream));
  if (!handle) return nullptr;
  try {
    stream.SetSize(0);
  } catch (const EStreamError&) {
    return nullptr;
  }
  if (!WriteWaveHeader(handle.get(), format, riffChunk, dataChunk)) return nullptr;
  return handle.release();
}

// ---- sample routines

int GetPeakLevel(const void* buffer, uint32_t size, const WAVEFORMATEX* format) {
  if (!IsSamplePCM(format) || (!buffer && size)) return -1;
  if (format->wBitsPerSample == 8) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    uint8_t peak = 0;
    for (uint32_t i = 0; i < size; ++i) peak = std::max(peak, bytes[i]);
    return peak >= 128 ? (peak - 128) * 100 / 127 : 0;
  }
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  int peak = 0;
  for (uint32_t i = 0; i < size / 2; ++i) {
    int16_t v;
    std::memcpy(&v, bytes + 2 * i, 2);
    peak = std::max<int>(peak, v);
  }
  return peak * 100 / 32767;
}

bool ReverseWaveData(void* buffer, uint32_t size, const WAVEFORMATEX* format) {
  if (!IsSamplePCM(format) || (!buffer && size)) return false;
  if (format->wBitsPerSample == 8) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    std::reverse(bytes, bytes + size);
  } else {
    // 16-bit values may sit at an odd address inside a stream's memory: move them bytewise.
    auto* bytes = static_cast<uint8_t*>(buffer);
    for (uint32_t i = 0, j = size / 2; i + 1 < j; ++i, --j) {
      std::swap(bytes[2 * i], bytes[2 * (j - 1)]);
      std::swap(bytes[2 * i + 1], bytes[2 * (j - 1) + 1]);
    }
  }
  return true;
}

bool FillSilence(void* buffer, uint32_t size, const WAVEFORMATEX* format) {
  if (!IsSamplePCM(format) || (!buffer && size)) return false;
  if (size) std::memset(buffer, format->wBitsPerSample == 8 ? 127 : 0, size);
  return true;
}

bool ScaleWaveVolume(void* buffer, uint32_t size, const WAVEFORMATEX* format, int percent) {
  if (!IsSamplePCM(format) || (!buffer && size)) return false;
  auto* bytes = static_cast<uint8_t*>(buffer);
  if (format->wBitsPerSample == 8) {
    // Unsigned samples around the zero level 128.
    for (uint32_t i = 0; i < size; ++i) {
      int64_t v = int64_t(bytes[i]) - 128;
      v = std::clamp<int64_t>(v + v * percent / 100, -128, 127);
      bytes[i] = uint8_t(v + 128);
    }
  } else {
    for (uint32_t i = 0; i < size / 2; ++i) {
      int16_t sample;
      std::memcpy(&sample, bytes + 2 * i, 2);
      int64_t v = sample;
      sample = int16_t(std::clamp<int64_t>(v + v * percent / 100, -32767, 32767));
      std::memcpy(bytes + 2 * i, &sample, 2);
    }
  }
  return true;
}

bool MixWaveBuffers(const TWaveBufferItem* inputs, int count, const WAVEFORMATEX* format, uint32_t outSize,
                    void* out) {
  if (!IsSamplePCM(format) || count <= 0 || !inputs || (!out && outSize)) return false;
  for (int k = 0; k < count; ++k)
    if (!inputs[k].data && inputs[k].size) return false;
  auto* target = static_cast<uint8_t*>(out);
  if (format->wBitsPerSample == 8) {
    for (uint32_t i = 0; i < outSize; ++i) {
      int64_t sum = 0;
      for (int k = 0; k < count; ++k)
        if (i < inputs[k].size) sum += static_cast<const uint8_t*>(inputs[k].data)[i];
      target[i] = uint8_t(sum / count);
    }
  } else {
    for (uint32_t i = 0; i < outSize / 2; ++i) {
      int64_t sum = 0;
      for (int k = 0; k < count; ++k) {
        if (2 * uint64_t(i) + 2 > inputs[k].size) continue;
        int16_t v;
        std::memcpy(&v, static_cast<const uint8_t*>(inputs[k].data) + 2 * i, 2);
        sum += v;
      }
      int16_t mixed = int16_t(sum / count);
      std::memcpy(target + 2 * i, &mixed, 2);
    }
  }
  return true;
}

// ---- conversion

bool ConvertWaveData(const WAVEFORMATEX* srcFormat, const void* srcData, uint32_t srcSize, uint32_t& dstSize,
                     std::vector<uint8_t>& dstData, const WAVEFORMATEX* dstFormat) {
  if (!srcFormat || !dstFormat || (!srcData && srcSize)) return false;
  HACMSTREAM stream = nullptr;
  if (::acmStreamOpen(&stream, nullptr, const_cast<WAVEFORMATEX*>(srcFormat), const_cast<WAVEFORMATEX*>(dstFormat),
                      nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR)
    return false;
  struct StreamCloser {
    HACMSTREAM s;
    ~StreamCloser() { ::acmStreamClose(s, 0); }
  } closer{stream};

  DWORD size = 0;
  if (::acmStreamSize(stream, srcSize, &size, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR) return false;
  dstData.assign(size, 0);
  dstSize = size;

  ACMSTREAMHEADER header{};
  header.cbStruct = sizeof header;
  header.pbSrc = static_cast<BYTE*>(const_cast<void*>(srcData));
  header.cbSrcLength = srcSize;
  header.pbDst = dstData.data();
  header.cbDstLength = size;
  bool converted = false;
  if (::acmStreamPrepareHeader(stream, &header, 0) == MMSYSERR_NOERROR) {
    converted = ::acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END) ==
                MMSYSERR_NOERROR;
    ::acmStreamUnprepareHeader(stream, &header, 0);
  }
  const uint32_t used = converted ? std::min<uint32_t>(header.cbDstLengthUsed, size) : 0;
  dstData.resize(used);
  dstData.shrink_to_fit();
  dstSize = used;
  return converted;
}

// ---- waiting

DWORD WaitWithMessages(HANDLE handle, DWORD timeoutMs) {
  base::UniqueHandle real;
  if (handle == ::GetCurrentThread() || handle == ::GetCurrentProcess()) {
    HANDLE duplicate = nullptr;
    if (::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &duplicate, SYNCHRONIZE, FALSE, 0)) {
      real.reset(duplicate);
      handle = duplicate;
    }
  }
  switch (base::WaitPumping(handle, timeoutMs, base::Pump::NoInput)) {
    case base::WaitResult::Signalled: return WAIT_OBJECT_0;
    case base::WaitResult::Timeout: return WAIT_TIMEOUT;
    case base::WaitResult::Failed: break;
  }
  return WAIT_FAILED;
}

}  // namespace audio
