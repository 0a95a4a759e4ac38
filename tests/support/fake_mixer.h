// A stand-in for the platform's mixer service (audio::MixerDevices), for what Wine's mixers do
// not have: "Recording Control" destinations, input selectors, several destinations and
// notifications. It holds devices with destinations, sources and controls with values and
// list items, records every write, counts opens and closes, answers mixerGetID from a table
// and posts the two notifications to the window an open named. Install it with
// audio::ScopedMixerDevices. Main thread only.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <map>
#include <string>
#include <vector>

#include "audio/scWaveMixer.h"

namespace testsupport {

struct FakeMixerControl {
  audio::TMixerControlType type = audio::mcVolume;
  DWORD maximum = 65535;
  // One value for a volume or mute control; one per item (0 or 1) for a list control.
  std::vector<DWORD> values{0};
  std::vector<std::wstring> items;  // list items of a single- or multiple-select control
  bool failReads = false;           // value queries answer MMSYSERR_ERROR
  DWORD id = 0;                     // given by the fake unless set
};

struct FakeMixerLine {
  std::wstring name;
  std::vector<FakeMixerControl> controls;
  DWORD lineId = 0;  // given by the fake unless set
};

struct FakeMixerDestination {
  FakeMixerLine line;
  std::vector<FakeMixerLine> sources;
};

struct FakeMixerDevice {
  std::wstring name;
  std::vector<FakeMixerDestination> destinations;
};

// Shorthands for building devices.
FakeMixerControl Volume(DWORD value, DWORD maximum = 65535);
FakeMixerControl Mute();
// A list control over the items with the given item checked (-1: none).
FakeMixerControl Selector(audio::TMixerControlType type, std::vector<std::wstring> items, std::vector<int> checked);

// Checks (gtest) what a mixer shows with no device behind it, the fake's or the platform's: every
// count 0, nothing open, no controls, -1 answers, and setters and writes that change nothing.
void ExpectNoMixerDevice(audio::TAudioMixer& mixer);

class FakeMixerDevices : public audio::MixerDevices {
 public:
  struct Write {
    UINT device;
    DWORD controlId;
    std::vector<DWORD> values;
  };

  // Adds a device and gives its lines and controls their ids; returns its index.
  UINT Add(FakeMixerDevice device);
  // A control of a line (source -1: the destination itself); throws when there is none.
  FakeMixerControl& ControlOf(UINT device, UINT destination, int source, audio::TMixerControlType type);
  const FakeMixerLine& LineOf(UINT device, UINT destination, int source) const;
  // The handle of the newest open of device, or null.
  HMIXER OpenHandle(UINT device) const;
  // The mixer that mixerGetID gives for a wave-in device id (WAVE_MAPPER included); ids
  // missing here fail with MMSYSERR_INVALHANDLE.
  std::map<UINT, UINT> waveInMixer;

  // Posts MM_MIXM_LINE_CHANGE / MM_MIXM_CONTROL_CHANGE to the window that opened `to`, naming
  // `named` as the mixer (by default `to` itself).
  bool PostLineChange(HMIXER to, DWORD lineId, HMIXER named = nullptr);
  bool PostControlChange(HMIXER to, DWORD controlId, HMIXER named = nullptr);

  std::vector<Write> writes;
  int opens = 0, closes = 0;
  int OpenNow() const { return static_cast<int>(open_.size()); }

  UINT GetNumDevs() override;
  MMRESULT GetDevCaps(UINT_PTR id, MIXERCAPSW* caps) override;
  MMRESULT Open(HMIXER* mixer, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override;
  MMRESULT Close(HMIXER mixer) override;
  MMRESULT GetLineInfo(HMIXEROBJ object, MIXERLINEW* line, DWORD flags) override;
  MMRESULT GetLineControls(HMIXEROBJ object, MIXERLINECONTROLSW* controls, DWORD flags) override;
  MMRESULT GetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override;
  MMRESULT SetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override;
  MMRESULT GetID(HMIXEROBJ object, UINT* id, DWORD flags) override;

 private:
  struct OpenMixer {
    UINT device;
    HWND callback;
  };
  FakeMixerDevice* DeviceOf(HMIXEROBJ object);
  FakeMixerLine* FindLine(FakeMixerDevice& device, DWORD lineId);
  FakeMixerControl* FindControl(FakeMixerDevice& device, DWORD controlId);
  bool Post(HMIXER to, UINT msg, DWORD id, HMIXER named);

  std::vector<FakeMixerDevice> devices_;
  std::map<HMIXER, OpenMixer> open_;
  UINT_PTR nextHandle_ = 0x4D00;
  DWORD nextControlId_ = 1;
};

}  // namespace testsupport
