// The vocabulary and low-level routines of the wave library: the PCM format list and the
// format records built from it, format names and descriptions, milliseconds and bytes, RIFF
// WAVE reading and writing inside any TStream, sample routines on PCM buffers, conversion
// through the Audio Compression Manager, a message-pumping wait, and the library's
// exceptions.
//
// A format record is a WAVEFORMATEX in a heap block of at least 18 bytes (18 + cbSize when
// it carries extra bytes). WaveFormatPtr owns one; the routines here never keep a pointer to
// a record they are given. The routines report failure by their results and never throw,
// except that running out of memory throws std::bad_alloc.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audio/streams.h"

namespace audio {

// The PCM formats in ordinal order: rate groups of four (8000, 11025, 22050, 44100, 48000 Hz),
// each 8-bit mono, 8-bit stereo, 16-bit mono, 16-bit stereo.
enum TPCMFormat : uint8_t {
  nonePCM,
  Mono8Bit8000Hz,
  Stereo8bit8000Hz,
  Mono16bit8000Hz,
  Stereo16bit8000Hz,
  Mono8bit11025Hz,
  Stereo8bit11025Hz,
  Mono16bit11025Hz,
  Stereo16bit11025Hz,
  Mono8bit22050Hz,
  Stereo8bit22050Hz,
  Mono16bit22050Hz,
  Stereo16bit22050Hz,
  Mono8bit44100Hz,
  Stereo8bit44100Hz,
  Mono16bit44100Hz,
  Stereo16bit44100Hz,
  Mono8bit48000Hz,
  Stereo8bit48000Hz,
  Mono16bit48000Hz,
  Stereo16bit48000Hz,
};
constexpr int kPCMFormatCount = 20;  // the values after nonePCM

// ---- format records

constexpr uint32_t kWaveFormatRecordSize = 18;  // WAVEFORMATEX up to and including cbSize

struct WaveFormatDeleter {
  void operator()(WAVEFORMATEX* format) const noexcept { std::free(format); }
};
using WaveFormatPtr = std::unique_ptr<WAVEFORMATEX, WaveFormatDeleter>;

// A zero-filled record block of max(bytes, 18) bytes.
WaveFormatPtr NewWaveFormat(size_t bytes = kWaveFormatRecordSize);
// 18 + cbSize: the bytes of a record that count.
uint32_t WaveFormatSize(const WAVEFORMATEX& format);
// A copy of the 18 + cbSize bytes of format (nullptr for nullptr).
WaveFormatPtr CopyWaveFormat(const WAVEFORMATEX* format);

// Fills the first 18 bytes of format as PCM (rateIndex 0..4 picks 8000 .. 48000 Hz).
void FillPCMFormat(WAVEFORMATEX& format, bool stereo, int rateIndex, bool sixteenBit);
// The same from the list; nonePCM leaves the record untouched.
void MakePCMFormat(WAVEFORMATEX& format, TPCMFormat pcm);

// "PCM", "IMA ADPCM", ... for the known tags, empty for the others.
std::wstring WaveFormatTagName(uint16_t tag);
// "8.000 kHz, 16 Bit, Mono: PCM" and the like (the decimal separator is the user's).
std::wstring WaveFormatDescription(const WAVEFORMATEX& format);

// ---- milliseconds and bytes (64-bit arithmetic; results saturate at 0xFFFFFFFF)

// Device buffer size: rounded to the nearest byte, then up to whole blocks.
uint32_t MsToBufferBytes(const WAVEFORMATEX& format, uint32_t ms);
// Position or length inside wave data: rounded to the nearest byte, then down to whole blocks.
uint32_t MsToDataBytes(const WAVEFORMATEX& format, uint32_t ms);
// 0 for a format without a byte rate.
uint32_t BytesToMs(const WAVEFORMATEX& format, uint32_t bytes);

// ---- RIFF WAVE over a stream

// The multimedia I/O procedure that serves a TStream: the stream travels in adwInfo[0] and
// the handle's position in lDiskOffset, so several handles can share one stream.
LRESULT CALLBACK StreamIOProc(LPSTR info, UINT message, LPARAM param1, LPARAM param2);

struct MmioTraits {
  using Handle = HMMIO;
  static Handle Invalid() noexcept { return nullptr; }
  // The stream stays open; the I/O procedure only lets go of it.
  static void Close(Handle h) noexcept { ::mmioClose(h, MMIO_FHOPEN); }
};
using UniqueMmio = base::Unique<MmioTraits>;

// An mmio handle over stream for reading and writing, or nullptr.
HMMIO OpenStreamMmio(TStream* stream);

// Reads the format record, the data size and the offset of the first audio byte. The walk is
// bounded (see audio/riff_walker.h); the handle's position is restored.
bool ReadWaveHeader(HMMIO handle, WaveFormatPtr& format, uint32_t& dataSize, uint32_t& dataOffset);
// The same on a stream (false at once for an empty one); the stream's position is kept.
bool ReadStreamWaveHeader(TStream& stream, WaveFormatPtr& format, uint32_t& dataSize, uint32_t& dataOffset);

// Writes "RIFF" .. "WAVE", the 'fmt ' chunk (18 + cbSize bytes) and opens the 'data' chunk.
bool WriteWaveHeader(HMMIO handle, const WAVEFORMATEX& format, MMCKINFO& riffChunk, MMCKINFO& dataChunk);
// Empties stream and writes the header; the caller writes the audio, ascends from dataChunk,
// then riffChunk, and closes the handle. nullptr on failure (nothing left open).
HMMIO CreateStreamWave(TStream& stream, const WAVEFORMATEX& format, MMCKINFO& riffChunk, MMCKINFO& dataChunk);

// ---- sample routines on 8- and 16-bit PCM (anything else: the not-applicable result)

int GetPeakLevel(const void* buffer, uint32_t size, const WAVEFORMATEX* format);  // 0..100, -1
bool ReverseWaveData(void* buffer, uint32_t size, const WAVEFORMATEX* format);
bool FillSilence(void* buffer, uint32_t size, const WAVEFORMATEX* format);
// Each sample v becomes v + v * percent / 100, clamped (16-bit: -32767..32767; 8-bit: around
// the zero level 128, within 0..255).
bool ScaleWaveVolume(void* buffer, uint32_t size, const WAVEFORMATEX* format, int percent);

struct TWaveBufferItem {
  const void* data;
  uint32_t size;
};
// out (outSize bytes, the longest input's size) gets, per sample, the sum of the inputs that
// still have data there divided by the number of all inputs. False for no inputs.
bool MixWaveBuffers(const TWaveBufferItem* inputs, int count, const WAVEFORMATEX* format, uint32_t outSize,
                    void* out);

// ---- conversion and waiting

// Converts srcData from srcFormat to dstFormat in one pass through the compression manager.
// dstData and dstSize get the converted bytes (empty and 0 after a failed conversion).
bool ConvertWaveData(const WAVEFORMATEX* srcFormat, const void* srcData, uint32_t srcSize, uint32_t& dstSize,
                     std::vector<uint8_t>& dstData, const WAVEFORMATEX* dstFormat);

// Waits for handle (or the pseudo-handle of this thread or process) while dispatching this
// thread's messages; keyboard and mouse input is thrown away meanwhile. Returns WAIT_OBJECT_0,
// WAIT_TIMEOUT or WAIT_FAILED. A WM_QUIT taken from the queue does not end the wait (a caller
// that waits again in a loop would spin on it); it is posted again for the caller's message
// loop when the wait returns.
DWORD WaitWithMessages(HANDLE handle, DWORD timeoutMs);

// ---- exceptions

class EWaveAudioError : public Exception {
 protected:
  using Exception::Exception;
};
class EWaveAudioSysError : public EWaveAudioError {
 public:
  explicit EWaveAudioSysError(const std::wstring& message) : EWaveAudioError(message) {}
};
class EWaveAudioInvalidOperation : public EWaveAudioError {
 public:
  explicit EWaveAudioInvalidOperation(const std::wstring& message) : EWaveAudioError(message) {}
};

// The messages of EWaveAudioInvalidOperation.
inline constexpr wchar_t kFormatChangeWhileOpenText[] = L"Audio format cannot be changed while device is open";
inline constexpr wchar_t kDeviceAlreadyOpenText[] = L"Device is aleardy open";
inline constexpr wchar_t kStockNotAssignedText[] = L"Stock property is not assigned";

}  // namespace audio
