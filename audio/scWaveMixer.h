// TAudioMixer: one mixer device of the sound card, one of its destination lines (for example
// the recording destination) and that destination's source lines (microphone, line in, ...).
// A TAudioMixerLine knows which of four controls it has (volume, mute, single-select,
// multiple-select), reads and sets its volume in percent and, on a destination, reads and sets
// the selected source. The device's line and control notifications arrive at a message-only
// window of the component and become OnLineChange and OnControlChange.
//
// Nothing here throws (but for running out of memory): a failing mixer call goes into
// LastError (the component's for the open, the line's for everything else) and shows as a -1
// result or as missing controls. Without any mixer device every count is 0.
//
// Threads: one thread at a time; the notifications are handled on the thread that made the
// component, when it dispatches messages.
//
// Every mixer call goes through the current MixerDevices, the platform's mixer service unless
// a test installed a stand-in (ScopedMixerDevices).
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace audio {

// ---- the mixer service

class MixerDevices {
 public:
  virtual ~MixerDevices() = default;
  virtual UINT GetNumDevs() = 0;
  virtual MMRESULT GetDevCaps(UINT_PTR id, MIXERCAPSW* caps) = 0;
  virtual MMRESULT Open(HMIXER* mixer, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) = 0;
  virtual MMRESULT Close(HMIXER mixer) = 0;
  virtual MMRESULT GetLineInfo(HMIXEROBJ object, MIXERLINEW* line, DWORD flags) = 0;
  virtual MMRESULT GetLineControls(HMIXEROBJ object, MIXERLINECONTROLSW* controls, DWORD flags) = 0;
  virtual MMRESULT GetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
  virtual MMRESULT SetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
  virtual MMRESULT GetID(HMIXEROBJ object, UINT* id, DWORD flags) = 0;
};

MixerDevices& CurrentMixerDevices();  // the platform's unless a test installed another

// Installs devices while alive; the previous ones come back on destruction.
class ScopedMixerDevices {
 public:
  explicit ScopedMixerDevices(MixerDevices& devices);
  ~ScopedMixerDevices();
  ScopedMixerDevices(const ScopedMixerDevices&) = delete;
  ScopedMixerDevices& operator=(const ScopedMixerDevices&) = delete;

 private:
  MixerDevices* previous_;
};

// ---- controls

enum TMixerControlType { mcVolume, mcMute, mcSelect, mcMix };
inline constexpr int kMixerControlTypes = 4;
// The platform's control type of each TMixerControlType.
constexpr DWORD MixerControlTypeCode(TMixerControlType type) {
  switch (type) {
    case mcVolume:
      return MIXERCONTROL_CONTROLTYPE_VOLUME;
    case mcMute:
      return MIXERCONTROL_CONTROLTYPE_MUTE;
    case mcSelect:
      return MIXERCONTROL_CONTROLTYPE_MUX;
    case mcMix:
      return MIXERCONTROL_CONTROLTYPE_MIXER;
  }
  return 0;
}

// A set of TMixerControlType.
class TMixerControls {
 public:
  constexpr TMixerControls() = default;
  constexpr TMixerControls(std::initializer_list<TMixerControlType> types) {
    for (TMixerControlType t : types) Add(t);
  }
  constexpr void Add(TMixerControlType type) { bits_ = static_cast<uint8_t>(bits_ | (1u << type)); }
  constexpr bool Has(TMixerControlType type) const { return (bits_ >> type) & 1u; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr bool operator==(const TMixerControls&) const = default;

 private:
  uint8_t bits_ = 0;
};

class TAudioMixer;

class TAudioMixerLine {
 public:
  // lineIndex: a source index of the mixer's destination, or -1 for the destination itself.
  TAudioMixerLine(TAudioMixer& mixer, int lineIndex);
  TAudioMixerLine(const TAudioMixerLine&) = delete;
  TAudioMixerLine& operator=(const TAudioMixerLine&) = delete;

  int LineIndex() const { return lineIndex_; }
  TAudioMixer& Mixer() const { return mixer_; }
  const MIXERLINEW& Line() const { return line_; }
  // Valid for the types in AvailableControls.
  const MIXERCONTROLW& Control(TMixerControlType type) const { return controls_[type]; }
  MMRESULT LastError() const { return lastError_; }
  TMixerControls AvailableControls() const { return available_; }

  // Reads the line and its controls again from the mixer's open device.
  void Init(int lineIndex);
  std::wstring GetName() const;
  // Percent of the volume control's maximum (rounded), or -1 without one or when it cannot be
  // read.
  int GetVolume();
  // Clamped to 0..100; nothing without a volume control.
  void SetVolume(int percent);
  // The source whose list item is the first checked one (of the multiple-select control when
  // the line has one, else of the single-select one), or -1.
  int GetSelectedSource();
  // Leaves exactly the source's item checked; LastError MMSYSERR_INVALPARAM when no item
  // names it.
  void SelectSource(int sourceIndex);
  // The source index named by list item `item` of the control, or -1.
  int ItemToSourceIndex(int item, TMixerControlType type);
  // The first list item of the control naming source `sourceIndex`, or -1.
  int SourceIndexToItem(int sourceIndex, TMixerControlType type);

 private:
  bool ListControl(TMixerControlType& type);
  std::vector<std::wstring> ItemTexts(TMixerControlType type);

  TAudioMixer& mixer_;
  int lineIndex_ = -1;
  MIXERLINEW line_{};
  MMRESULT lastError_ = MMSYSERR_NOERROR;
  TMixerControls available_;
  MIXERCONTROLW controls_[kMixerControlTypes]{};
};

class TAudioMixer {
 public:
  using TMixerLineNotifyEvent = std::function<void(TAudioMixer& sender, TAudioMixerLine& line)>;
  using TMixerControlNotifyEvent =
      std::function<void(TAudioMixer& sender, TAudioMixerLine& line, TMixerControlType type)>;

  // Opens mixer 0 and reads its destination 0 (with no device: nothing open, every count 0).
  TAudioMixer();
  ~TAudioMixer();
  TAudioMixer(const TAudioMixer&) = delete;
  TAudioMixer& operator=(const TAudioMixer&) = delete;

  UINT MixerID() const { return mixerId_; }
  // Only a different device below GetMixerCount is taken; it is opened at once.
  void SetMixerID(UINT id);
  std::wstring MixerName() const;
  // The first device of that name, case ignored; an unknown name changes nothing.
  void SetMixerName(const std::wstring& name);
  UINT DestinationID() const { return destinationId_; }
  // A different value rebuilds the lines; one beyond the destinations becomes 0.
  void SetDestinationID(UINT id);
  std::wstring DestinationName() const { return destination_->GetName(); }
  void SetDestinationName(const std::wstring& name);

  TAudioMixerLine& Destination() { return *destination_; }
  HMIXER Handle() const { return handle_; }
  MMRESULT LastError() const { return lastError_; }
  HWND CallbackWindow() const;

  UINT GetMixerCount();
  UINT GetDestinationCount() const { return static_cast<uint16_t>(caps_.cDestinations); }
  UINT GetLineCount() const { return static_cast<uint16_t>(destination_->Line().cConnections); }
  // Source line `index`, or null outside 0 .. lines made - 1.
  TAudioMixerLine* GetLine(int index);
  int GetMixerNames(std::vector<std::wstring>& names);
  int GetDestinationNames(std::vector<std::wstring>& names);

  // Rebuilds the lines; unless destinationOnly, the device is closed and opened again first.
  void Reopen(bool destinationOnly);

  TMixerLineNotifyEvent OnLineChange;
  TMixerControlNotifyEvent OnControlChange;

  // The callback window's procedure: MM_MIXM_LINE_CHANGE and MM_MIXM_CONTROL_CHANGE of this
  // mixer become the events.
  LRESULT WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  class CallbackWnd;
  void Close();

  std::unique_ptr<CallbackWnd> window_;
  HMIXER handle_ = nullptr;
  UINT mixerId_ = 0;
  MIXERCAPSW caps_{};
  UINT destinationId_ = 0;
  std::vector<std::unique_ptr<TAudioMixerLine>> lines_;
  std::unique_ptr<TAudioMixerLine> destination_;
  MMRESULT lastError_ = MMSYSERR_NOERROR;
};

}  // namespace audio
