// The screen camera's queries for the options dialog: the compressor dialogs over the shared
// compressor code, the recording inputs of the sound card's mixer with the selected one and
// its volume, and the list of PCM recording formats.
//
// Each audio query makes its own mixer (or recorder) and lets go of it before it returns, on
// every path. The dialog passes list positions: the camera keeps the line each position of
// the last listing stands for, so a position reaches that line only, and a position outside
// the list (-1 when nothing is chosen) does nothing.
#include <cwctype>

#include "audio/scWaveMixer.h"
#include "audio/scWaveRecorders.h"
#include "audio/scWaveUtils.h"
#include "base/barrier.h"
#include "engine/camera/ScrCam.h"
#include "engine/capture/compressors.h"

namespace ScrCam {
namespace {

bool IsRecordingControl(const std::wstring& name) {
  std::wstring lower = name;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
  return lower == L"recording control";
}

bool HasSelector(audio::TAudioMixerLine& line) {
  const audio::TMixerControls controls = line.AvailableControls();
  // A multiple-select control selects like a single-select one: the mixer checks one item only.
  return controls.Has(audio::mcSelect) || controls.Has(audio::mcMix);
}

// The wave-in device the recorder opens is the wave mapper, then device 0.
UINT WaveInMixer() {
  audio::MixerDevices& devices = audio::CurrentMixerDevices();
  UINT id = 0;
  const auto mapper = reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(WAVE_MAPPER));
  if (devices.GetID(mapper, &id, MIXER_OBJECTF_WAVEIN) == MMSYSERR_NOERROR) return id;
  if (devices.GetID(reinterpret_cast<HMIXEROBJ>(0), &id, MIXER_OBJECTF_WAVEIN) == MMSYSERR_NOERROR) return id;
  return 0;
}

// Opens the recording mixer: the last device whose current (first) destination is the
// recording control; without one, the mixer of the recorder's wave-in device.
void OpenRecordingMixer(audio::TAudioMixer& mixer) {
  const UINT count = mixer.GetMixerCount();
  int recording = -1;
  for (UINT device = 0; device < count; ++device) {
    mixer.SetMixerID(device);
    if (IsRecordingControl(mixer.DestinationName())) recording = static_cast<int>(device);
  }
  if (count == 0) return;
  mixer.SetMixerID(recording >= 0 ? static_cast<UINT>(recording) : WaveInMixer());
}

}  // namespace

void TScreenCamera::CompressorAbout(BYTE index, HWND parentWnd) {
  base::GuardVoid("compressor about", [&] {
    if (index < CompressorCount) engine::ShowCompressorAbout(Compressors[index], parentWnd);
  });
}

void TScreenCamera::CompressorConfigure(BYTE index, HWND parentWnd) {
  base::GuardVoid("compressor configure", [&] {
    if (index < CompressorCount) engine::ShowCompressorConfigure(Compressors[index], parentWnd);
  });
}

void TScreenCamera::QueryCompressorDialogs(BYTE index, bool& hasAbout, bool& hasConfigure) {
  hasAbout = false;
  hasConfigure = false;
  base::GuardVoid("compressor dialogs", [&] {
    if (index < CompressorCount) engine::QueryCompressorDialogs(Compressors[index], hasAbout, hasConfigure);
  });
}

TAudioInputInfo TScreenCamera::GetAudioInputs() {
  TAudioInputInfo& info = AudioInputInfo;
  info.Inputs.clear();
  inputLines_.clear();
  info.SelectedInput = -1;
  info.Volume = -1;
  info.HasVolume = false;
  audio::TAudioMixer mixer;
  OpenRecordingMixer(mixer);
  const UINT destinations = mixer.GetDestinationCount();
  for (UINT d = 0; d < destinations; ++d) {
    mixer.SetDestinationID(d);
    audio::TAudioMixerLine& destination = mixer.Destination();
    const audio::TMixerControls controls = destination.AvailableControls();
    const int first = static_cast<int>(info.Inputs.size());
    if (HasSelector(destination)) {
      const int selected = destination.GetSelectedSource();
      const int lines = static_cast<int>(mixer.GetLineCount());
      for (int i = 0; i < lines; ++i) {
        audio::TAudioMixerLine* line = mixer.GetLine(i);
        if (!line) break;
        info.Inputs.push_back(line->GetName());
        inputLines_.push_back({d, i});
      }
      // No source checked (or one the listing does not reach): nothing selected, no volume.
      audio::TAudioMixerLine* chosen = mixer.GetLine(selected);
      info.SelectedInput = chosen ? first + selected : -1;
      info.Volume = chosen ? chosen->GetVolume() : -1;
      info.HasVolume = chosen && chosen->AvailableControls().Has(audio::mcVolume);
    } else if (controls.Has(audio::mcVolume) || controls.Has(audio::mcMute)) {
      // A destination without a selector is an input of its own (under Wine every one is).
      info.Inputs.push_back(destination.GetName());
      inputLines_.push_back({d, -1});
      info.SelectedInput = first;
      info.Volume = destination.GetVolume();
      info.HasVolume = controls.Has(audio::mcVolume);
    }
  }
  return info;
}

void TScreenCamera::SelectAudioInput(int index) {
  if (index < 0 || static_cast<size_t>(index) >= inputLines_.size()) return;
  const InputLine target = inputLines_[static_cast<size_t>(index)];
  if (target.source < 0) return;  // a destination's own input has nothing to select
  audio::TAudioMixer mixer;
  OpenRecordingMixer(mixer);
  if (target.destination >= mixer.GetDestinationCount()) return;
  mixer.SetDestinationID(target.destination);
  if (HasSelector(mixer.Destination())) mixer.Destination().SelectSource(target.source);
}

void TScreenCamera::SetAudioInputVolume(int index, int percent) {
  if (index < 0 || static_cast<size_t>(index) >= inputLines_.size()) return;
  const InputLine target = inputLines_[static_cast<size_t>(index)];
  audio::TAudioMixer mixer;
  OpenRecordingMixer(mixer);
  if (target.destination >= mixer.GetDestinationCount()) return;
  mixer.SetDestinationID(target.destination);
  audio::TAudioMixerLine* line = target.source < 0 ? &mixer.Destination() : mixer.GetLine(target.source);
  if (line) line->SetVolume(percent);
}

const std::vector<std::wstring>& TScreenCamera::GetAudioFormats() {
  // A recorder only to read its default format.
  const audio::TStockAudioRecorder recorder;
  AudioFormats.clear();
  for (int pcm = 1; pcm <= audio::kPCMFormatCount; ++pcm) {
    WAVEFORMATEX format{};
    audio::MakePCMFormat(format, static_cast<audio::TPCMFormat>(pcm));
    AudioFormats.push_back(audio::WaveFormatDescription(format));
  }
  if (SelectedAudioFormat == -1) SelectedAudioFormat = static_cast<int>(recorder.PCMFormat()) - 1;
  return AudioFormats;
}

}  // namespace ScrCam
