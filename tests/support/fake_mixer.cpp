// The fake mixer service: devices built by the test, answered as the platform's mixer calls
// would answer them for one uniform channel.
#include "tests/support/fake_mixer.h"

#include <algorithm>
#include <cwchar>
#include <stdexcept>

#include <gtest/gtest.h>

namespace testsupport {
namespace {

// The object kind in a mixer call's flags (the platform's header names no mask for it).
constexpr DWORD kObjectKindMask = 0xF0000000;

void CopyName(wchar_t* to, size_t size, const std::wstring& from) {
  std::wmemset(to, 0, size);
  std::wcsncpy(to, from.c_str(), size - 1);
}

bool IsList(audio::TMixerControlType type) { return type == audio::mcSelect || type == audio::mcMix; }

}  // namespace

FakeMixerControl Volume(DWORD value, DWORD maximum) {
  FakeMixerControl c;
  c.type = audio::mcVolume;
  c.maximum = maximum;
  c.values = {value};
  return c;
}

FakeMixerControl Mute() {
  FakeMixerControl c;
  c.type = audio::mcMute;
  c.maximum = 1;
  return c;
}

FakeMixerControl Selector(audio::TMixerControlType type, std::vector<std::wstring> items, std::vector<int> checked) {
  FakeMixerControl c;
  c.type = type;
  c.maximum = 1;
  c.values.assign(items.size(), 0);
  for (int i : checked)
    if (i >= 0 && static_cast<size_t>(i) < items.size()) c.values[static_cast<size_t>(i)] = 1;
  c.items = std::move(items);
  return c;
}

UINT FakeMixerDevices::Add(FakeMixerDevice device) {
  for (size_t d = 0; d < device.destinations.size(); ++d) {
    FakeMixerDestination& dest = device.destinations[d];
    // Line ids as the platform makes them: the destination in the high word.
    // A test may give ids of its own (to make two lines share one).
    if (!dest.line.lineId) dest.line.lineId = static_cast<DWORD>(d << 16) | 0xFFFF;
    for (auto& c : dest.line.controls)
      if (!c.id) c.id = nextControlId_++;
    for (size_t s = 0; s < dest.sources.size(); ++s) {
      if (!dest.sources[s].lineId) dest.sources[s].lineId = static_cast<DWORD>(d << 16) | static_cast<DWORD>(s);
      for (auto& c : dest.sources[s].controls)
        if (!c.id) c.id = nextControlId_++;
    }
  }
  devices_.push_back(std::move(device));
  return static_cast<UINT>(devices_.size() - 1);
}

const FakeMixerLine& FakeMixerDevices::LineOf(UINT device, UINT destination, int source) const {
  const FakeMixerDestination& dest = devices_.at(device).destinations.at(destination);
  return source < 0 ? dest.line : dest.sources.at(static_cast<size_t>(source));
}

FakeMixerControl& FakeMixerDevices::ControlOf(UINT device, UINT destination, int source, audio::TMixerControlType type) {
  auto& line = const_cast<FakeMixerLine&>(LineOf(device, destination, source));
  for (auto& c : line.controls)
    if (c.type == type) return c;
  throw std::out_of_range("fake mixer: no such control");
}

HMIXER FakeMixerDevices::OpenHandle(UINT device) const {
  HMIXER newest = nullptr;
  for (const auto& [handle, open] : open_)
    if (open.device == device && (!newest || handle > newest)) newest = handle;
  return newest;
}

bool FakeMixerDevices::Post(HMIXER to, UINT msg, DWORD id, HMIXER named) {
  auto found = open_.find(to);
  if (found == open_.end() || !found->second.callback) return false;
  return ::PostMessageW(found->second.callback, msg, reinterpret_cast<WPARAM>(named ? named : to), id) != 0;
}

bool FakeMixerDevices::PostLineChange(HMIXER to, DWORD lineId, HMIXER named) {
  return Post(to, MM_MIXM_LINE_CHANGE, lineId, named);
}

bool FakeMixerDevices::PostControlChange(HMIXER to, DWORD controlId, HMIXER named) {
  return Post(to, MM_MIXM_CONTROL_CHANGE, controlId, named);
}

UINT FakeMixerDevices::GetNumDevs() { return static_cast<UINT>(devices_.size()); }

MMRESULT FakeMixerDevices::GetDevCaps(UINT_PTR id, MIXERCAPSW* caps) {
  if (id >= devices_.size()) return MMSYSERR_BADDEVICEID;
  *caps = MIXERCAPSW{};
  CopyName(caps->szPname, MAXPNAMELEN, devices_[id].name);
  caps->cDestinations = static_cast<DWORD>(devices_[id].destinations.size());
  return MMSYSERR_NOERROR;
}

MMRESULT FakeMixerDevices::Open(HMIXER* mixer, UINT id, DWORD_PTR callback, DWORD_PTR, DWORD flags) {
  if (id >= devices_.size()) return MMSYSERR_BADDEVICEID;
  ++opens;
  HMIXER handle = reinterpret_cast<HMIXER>(nextHandle_++);
  open_[handle] = {id, (flags & CALLBACK_TYPEMASK) == CALLBACK_WINDOW ? reinterpret_cast<HWND>(callback) : nullptr};
  *mixer = handle;
  return MMSYSERR_NOERROR;
}

MMRESULT FakeMixerDevices::Close(HMIXER mixer) {
  if (!open_.erase(mixer)) return MMSYSERR_INVALHANDLE;
  ++closes;
  return MMSYSERR_NOERROR;
}

FakeMixerDevice* FakeMixerDevices::DeviceOf(HMIXEROBJ object) {
  auto found = open_.find(reinterpret_cast<HMIXER>(object));
  return found == open_.end() ? nullptr : &devices_[found->second.device];
}

FakeMixerLine* FakeMixerDevices::FindLine(FakeMixerDevice& device, DWORD lineId) {
  for (auto& dest : device.destinations) {
    if (dest.line.lineId == lineId) return &dest.line;
    for (auto& source : dest.sources)
      if (source.lineId == lineId) return &source;
  }
  return nullptr;
}

FakeMixerControl* FakeMixerDevices::FindControl(FakeMixerDevice& device, DWORD controlId) {
  for (auto& dest : device.destinations) {
    for (auto& c : dest.line.controls)
      if (c.id == controlId) return &c;
    for (auto& source : dest.sources)
      for (auto& c : source.controls)
        if (c.id == controlId) return &c;
  }
  return nullptr;
}

MMRESULT FakeMixerDevices::GetLineInfo(HMIXEROBJ object, MIXERLINEW* line, DWORD flags) {
  FakeMixerDevice* device = DeviceOf(object);
  if (!device || (flags & kObjectKindMask) != MIXER_OBJECTF_HMIXER) return MMSYSERR_INVALHANDLE;
  const DWORD query = flags & MIXER_GETLINEINFOF_QUERYMASK;
  if (line->dwDestination >= device->destinations.size()) return MIXERR_INVALLINE;
  FakeMixerDestination& dest = device->destinations[line->dwDestination];
  const FakeMixerLine* found = nullptr;
  if (query == MIXER_GETLINEINFOF_DESTINATION) {
    found = &dest.line;
    line->dwSource = 0;
    line->cConnections = static_cast<DWORD>(dest.sources.size());
  } else if (query == MIXER_GETLINEINFOF_SOURCE) {
    if (line->dwSource >= dest.sources.size()) return MIXERR_INVALLINE;
    found = &dest.sources[line->dwSource];
    line->cConnections = 0;
  } else {
    return MMSYSERR_NOTSUPPORTED;
  }
  line->dwLineID = found->lineId;
  line->cControls = static_cast<DWORD>(found->controls.size());
  line->cChannels = 1;
  CopyName(line->szShortName, MIXER_SHORT_NAME_CHARS, found->name);
  CopyName(line->szName, MIXER_LONG_NAME_CHARS, found->name);
  return MMSYSERR_NOERROR;
}

MMRESULT FakeMixerDevices::GetLineControls(HMIXEROBJ object, MIXERLINECONTROLSW* controls, DWORD flags) {
  FakeMixerDevice* device = DeviceOf(object);
  if (!device) return MMSYSERR_INVALHANDLE;
  if ((flags & MIXER_GETLINECONTROLSF_QUERYMASK) != MIXER_GETLINECONTROLSF_ONEBYTYPE) return MMSYSERR_NOTSUPPORTED;
  FakeMixerLine* line = FindLine(*device, controls->dwLineID);
  if (!line) return MIXERR_INVALLINE;
  for (const auto& c : line->controls) {
    if (audio::MixerControlTypeCode(c.type) != controls->dwControlType) continue;
    MIXERCONTROLW& out = *controls->pamxctrl;
    out = MIXERCONTROLW{};
    out.cbStruct = sizeof(out);
    out.dwControlID = c.id;
    out.dwControlType = controls->dwControlType;
    out.cMultipleItems = IsList(c.type) ? static_cast<DWORD>(c.items.size()) : 0;
    if (IsList(c.type)) out.fdwControl = MIXERCONTROL_CONTROLF_MULTIPLE;
    out.Bounds.dwMaximum = c.maximum;
    CopyName(out.szName, MIXER_LONG_NAME_CHARS, line->name);
    return MMSYSERR_NOERROR;
  }
  return MIXERR_INVALCONTROL;
}

MMRESULT FakeMixerDevices::GetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) {
  FakeMixerDevice* device = DeviceOf(object);
  if (!device) return MMSYSERR_INVALHANDLE;
  FakeMixerControl* c = FindControl(*device, details->dwControlID);
  if (!c) return MIXERR_INVALCONTROL;
  const DWORD count = IsList(c->type) ? static_cast<DWORD>(c->items.size()) : 1;
  if ((IsList(c->type) ? count : 0) != details->cMultipleItems) return MMSYSERR_INVALPARAM;
  switch (flags & MIXER_GETCONTROLDETAILSF_QUERYMASK) {
    case MIXER_GETCONTROLDETAILSF_VALUE: {
      if (c->failReads) return MMSYSERR_ERROR;
      if (details->cbDetails != sizeof(DWORD)) return MMSYSERR_INVALPARAM;
      auto* out = static_cast<DWORD*>(details->paDetails);
      for (DWORD i = 0; i < count; ++i) out[i] = i < c->values.size() ? c->values[i] : 0;
      return MMSYSERR_NOERROR;
    }
    case MIXER_GETCONTROLDETAILSF_LISTTEXT: {
      if (!IsList(c->type) || details->cbDetails != sizeof(MIXERCONTROLDETAILS_LISTTEXTW)) return MMSYSERR_INVALPARAM;
      auto* out = static_cast<MIXERCONTROLDETAILS_LISTTEXTW*>(details->paDetails);
      for (DWORD i = 0; i < count; ++i) {
        out[i] = MIXERCONTROLDETAILS_LISTTEXTW{};
        CopyName(out[i].szName, MIXER_LONG_NAME_CHARS, c->items[i]);
      }
      return MMSYSERR_NOERROR;
    }
    default:
      return MMSYSERR_NOTSUPPORTED;
  }
}

MMRESULT FakeMixerDevices::SetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) {
  FakeMixerDevice* device = DeviceOf(object);
  if (!device) return MMSYSERR_INVALHANDLE;
  if ((flags & MIXER_SETCONTROLDETAILSF_QUERYMASK) != MIXER_SETCONTROLDETAILSF_VALUE) return MMSYSERR_NOTSUPPORTED;
  FakeMixerControl* c = FindControl(*device, details->dwControlID);
  if (!c) return MIXERR_INVALCONTROL;
  const DWORD count = IsList(c->type) ? static_cast<DWORD>(c->items.size()) : 1;
  if ((IsList(c->type) ? count : 0) != details->cMultipleItems || details->cbDetails != sizeof(DWORD))
    return MMSYSERR_INVALPARAM;
  const auto* in = static_cast<const DWORD*>(details->paDetails);
  c->values.assign(in, in + count);
  writes.push_back({open_.at(reinterpret_cast<HMIXER>(object)).device, c->id, c->values});
  return MMSYSERR_NOERROR;
}

MMRESULT FakeMixerDevices::GetID(HMIXEROBJ object, UINT* id, DWORD flags) {
  if ((flags & kObjectKindMask) == MIXER_OBJECTF_WAVEIN) {
    auto found = waveInMixer.find(static_cast<UINT>(reinterpret_cast<UINT_PTR>(object)));
    if (found == waveInMixer.end()) return MMSYSERR_INVALHANDLE;
    *id = found->second;
    return MMSYSERR_NOERROR;
  }
  auto open = open_.find(reinterpret_cast<HMIXER>(object));
  if ((flags & kObjectKindMask) != MIXER_OBJECTF_HMIXER || open == open_.end()) return MMSYSERR_INVALHANDLE;
  *id = open->second.device;
  return MMSYSERR_NOERROR;
}

void ExpectNoMixerDevice(audio::TAudioMixer& mixer) {
  EXPECT_EQ(mixer.GetMixerCount(), 0u);
  EXPECT_EQ(mixer.GetDestinationCount(), 0u);
  EXPECT_EQ(mixer.GetLineCount(), 0u);
  EXPECT_EQ(mixer.Handle(), nullptr);
  EXPECT_NE(mixer.LastError(), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_TRUE(mixer.Destination().AvailableControls().Empty());
  EXPECT_EQ(mixer.Destination().GetVolume(), -1);
  EXPECT_EQ(mixer.Destination().GetSelectedSource(), -1);
  mixer.Destination().SetVolume(50);
  mixer.Destination().SelectSource(0);
  mixer.SetMixerID(0);
  mixer.SetDestinationID(1);
  EXPECT_EQ(mixer.DestinationID(), 0u);
  EXPECT_EQ(mixer.MixerName(), L"");
  EXPECT_EQ(mixer.DestinationName(), L"");
}

}  // namespace testsupport
