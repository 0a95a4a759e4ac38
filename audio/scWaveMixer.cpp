// The audio mixer component and its line objects over the platform's mixer service (or a
// test's stand-in). A line is read once when it is made; its value operations ask the device
// each time. The list controls' items are matched to the destination's source lines by name,
// since the platform numbers them independently.
#include "audio/scWaveMixer.h"

#include <algorithm>
#include <atomic>

#include "base/window.h"

namespace audio {
namespace {

class PlatformMixers : public MixerDevices {
 public:
  UINT GetNumDevs() override { return ::mixerGetNumDevs(); }
  MMRESULT GetDevCaps(UINT_PTR id, MIXERCAPSW* caps) override { return ::mixerGetDevCapsW(id, caps, sizeof(*caps)); }
  MMRESULT Open(HMIXER* mixer, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override {
    return ::mixerOpen(mixer, id, callback, instance, flags);
  }
  MMRESULT Close(HMIXER mixer) override { return ::mixerClose(mixer); }
  MMRESULT GetLineInfo(HMIXEROBJ object, MIXERLINEW* line, DWORD flags) override {
    return ::mixerGetLineInfoW(object, line, flags);
  }
  MMRESULT GetLineControls(HMIXEROBJ object, MIXERLINECONTROLSW* controls, DWORD flags) override {
    return ::mixerGetLineControlsW(object, controls, flags);
  }
  MMRESULT GetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override {
    return ::mixerGetControlDetailsW(object, details, flags);
  }
  MMRESULT SetControlDetails(HMIXEROBJ object, MIXERCONTROLDETAILS* details, DWORD flags) override {
    return ::mixerSetControlDetails(object, details, flags);
  }
  MMRESULT GetID(HMIXEROBJ object, UINT* id, DWORD flags) override { return ::mixerGetID(object, id, flags); }
};

PlatformMixers gPlatformMixers;
std::atomic<MixerDevices*> gMixerDevices{&gPlatformMixers};

constexpr const wchar_t* kCallbackClass = L"ReclumeMixerCallback";

HMIXEROBJ Object(HMIXER mixer) { return reinterpret_cast<HMIXEROBJ>(mixer); }

// A details record for one uniform channel of a control.
MIXERCONTROLDETAILS Details(DWORD controlId, DWORD items, DWORD itemSize, void* values) {
  MIXERCONTROLDETAILS d{};
  d.cbStruct = sizeof(d);
  d.dwControlID = controlId;
  d.cChannels = 1;
  d.cMultipleItems = items;
  d.cbDetails = itemSize;
  d.paDetails = values;
  return d;
}

}  // namespace

MixerDevices& CurrentMixerDevices() { return *gMixerDevices.load(); }
ScopedMixerDevices::ScopedMixerDevices(MixerDevices& devices) : previous_(gMixerDevices.exchange(&devices)) {}
ScopedMixerDevices::~ScopedMixerDevices() { gMixerDevices.store(previous_); }

// ---- TAudioMixerLine

TAudioMixerLine::TAudioMixerLine(TAudioMixer& mixer, int lineIndex) : mixer_(mixer) { Init(lineIndex); }

void TAudioMixerLine::Init(int lineIndex) {
  lineIndex_ = lineIndex;
  line_ = MIXERLINEW{};
  line_.cbStruct = sizeof(line_);
  line_.dwDestination = mixer_.DestinationID();
  DWORD flags = MIXER_OBJECTF_HMIXER;
  if (lineIndex >= 0) {
    line_.dwSource = static_cast<DWORD>(lineIndex);
    flags |= MIXER_GETLINEINFOF_SOURCE;
  } else {
    flags |= MIXER_GETLINEINFOF_DESTINATION;
  }
  MixerDevices& devices = CurrentMixerDevices();
  lastError_ = devices.GetLineInfo(Object(mixer_.Handle()), &line_, flags);
  available_ = {};
  for (MIXERCONTROLW& control : controls_) control = MIXERCONTROLW{};
  if (lastError_ != MMSYSERR_NOERROR) {
    // A failed lookup leaves no name, connections or controls behind.
    line_ = MIXERLINEW{};
    line_.cbStruct = sizeof(line_);
    return;
  }
  for (int t = 0; t < kMixerControlTypes; ++t) {
    const auto type = static_cast<TMixerControlType>(t);
    MIXERCONTROLW& control = controls_[t];
    control.cbStruct = sizeof(control);
    MIXERLINECONTROLSW query{};
    query.cbStruct = sizeof(query);
    query.dwLineID = line_.dwLineID;
    query.dwControlType = MixerControlTypeCode(type);
    query.cControls = 1;
    query.cbmxctrl = sizeof(MIXERCONTROLW);
    query.pamxctrl = &control;
    if (devices.GetLineControls(Object(mixer_.Handle()), &query, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) ==
        MMSYSERR_NOERROR)
      available_.Add(type);
    else
      control = MIXERCONTROLW{};
  }
}

std::wstring TAudioMixerLine::GetName() const {
  return std::wstring(line_.szName, ::wcsnlen(line_.szName, MIXER_LONG_NAME_CHARS));
}

int TAudioMixerLine::GetVolume() {
  lastError_ = MIXERR_INVALCONTROL;
  if (!available_.Has(mcVolume)) return -1;
  MIXERCONTROLDETAILS_UNSIGNED value{};
  MIXERCONTROLDETAILS d = Details(controls_[mcVolume].dwControlID, 0, sizeof(value), &value);
  lastError_ = CurrentMixerDevices().GetControlDetails(Object(mixer_.Handle()), &d,
                                                        MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE);
  if (lastError_ != MMSYSERR_NOERROR) return -1;
  // MulDiv rounds to the nearest and answers -1 for a maximum of 0.
  return ::MulDiv(static_cast<int>(value.dwValue), 100, static_cast<int>(controls_[mcVolume].Bounds.dwMaximum));
}

void TAudioMixerLine::SetVolume(int percent) {
  lastError_ = MIXERR_INVALCONTROL;
  if (!available_.Has(mcVolume)) return;
  percent = std::clamp(percent, 0, 100);
  MIXERCONTROLDETAILS_UNSIGNED value{};
  value.dwValue = static_cast<DWORD>(::MulDiv(static_cast<int>(controls_[mcVolume].Bounds.dwMaximum), percent, 100));
  MIXERCONTROLDETAILS d = Details(controls_[mcVolume].dwControlID, 0, sizeof(value), &value);
  lastError_ = CurrentMixerDevices().SetControlDetails(Object(mixer_.Handle()), &d,
                                                        MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
}

bool TAudioMixerLine::ListControl(TMixerControlType& type) {
  if (available_.Has(mcMix)) {
    type = mcMix;
  } else if (available_.Has(mcSelect)) {
    type = mcSelect;
  } else {
    lastError_ = MIXERR_INVALCONTROL;
    return false;
  }
  return true;
}

std::vector<std::wstring> TAudioMixerLine::ItemTexts(TMixerControlType type) {
  const DWORD items = controls_[type].cMultipleItems;
  std::vector<std::wstring> texts;
  if (items == 0) return texts;
  std::vector<MIXERCONTROLDETAILS_LISTTEXTW> list(items);
  MIXERCONTROLDETAILS d = Details(controls_[type].dwControlID, items, sizeof(list[0]), list.data());
  lastError_ = CurrentMixerDevices().GetControlDetails(Object(mixer_.Handle()), &d,
                                                        MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_LISTTEXT);
  if (lastError_ != MMSYSERR_NOERROR) return texts;
  for (const auto& item : list) texts.emplace_back(item.szName, ::wcsnlen(item.szName, MIXER_LONG_NAME_CHARS));
  return texts;
}

int TAudioMixerLine::GetSelectedSource() {
  TMixerControlType type;
  if (!ListControl(type)) return -1;
  const DWORD items = controls_[type].cMultipleItems;
  if (items == 0) return -1;
  std::vector<MIXERCONTROLDETAILS_BOOLEAN> values(items);
  MIXERCONTROLDETAILS d = Details(controls_[type].dwControlID, items, sizeof(values[0]), values.data());
  lastError_ = CurrentMixerDevices().GetControlDetails(Object(mixer_.Handle()), &d,
                                                        MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE);
  if (lastError_ != MMSYSERR_NOERROR) return -1;
  for (DWORD i = 0; i < items; ++i)
    if (values[i].fValue) return ItemToSourceIndex(static_cast<int>(i), type);
  return -1;
}

int TAudioMixerLine::ItemToSourceIndex(int item, TMixerControlType type) {
  if (!available_.Has(type)) {
    lastError_ = MIXERR_INVALCONTROL;
    return -1;
  }
  if (item < 0 || static_cast<DWORD>(item) >= controls_[type].cMultipleItems) {
    lastError_ = MMSYSERR_INVALPARAM;
    return -1;
  }
  const std::vector<std::wstring> texts = ItemTexts(type);
  if (texts.size() <= static_cast<size_t>(item)) return -1;
  const int lines = static_cast<int>(mixer_.GetLineCount());
  for (int i = 0; i < lines; ++i) {
    TAudioMixerLine* source = mixer_.GetLine(i);
    if (source && source->GetName() == texts[item]) return source->LineIndex();
  }
  return -1;
}

int TAudioMixerLine::SourceIndexToItem(int sourceIndex, TMixerControlType type) {
  if (!available_.Has(type)) {
    lastError_ = MIXERR_INVALCONTROL;
    return -1;
  }
  TAudioMixerLine* source = mixer_.GetLine(sourceIndex);
  if (!source) {
    lastError_ = MMSYSERR_INVALPARAM;
    return -1;
  }
  const std::wstring name = source->GetName();
  const std::vector<std::wstring> texts = ItemTexts(type);
  for (size_t i = 0; i < texts.size(); ++i)
    if (texts[i] == name) return static_cast<int>(i);
  return -1;
}

void TAudioMixerLine::SelectSource(int sourceIndex) {
  TMixerControlType type;
  if (!ListControl(type)) return;
  const int item = SourceIndexToItem(sourceIndex, type);
  if (item < 0) {
    lastError_ = MMSYSERR_INVALPARAM;
    return;
  }
  // Every item written, only the chosen one checked: one source, on a multiple-select control too.
  const DWORD items = controls_[type].cMultipleItems;
  std::vector<MIXERCONTROLDETAILS_BOOLEAN> values(items);
  values[static_cast<size_t>(item)].fValue = 1;
  MIXERCONTROLDETAILS d = Details(controls_[type].dwControlID, items, sizeof(values[0]), values.data());
  lastError_ = CurrentMixerDevices().SetControlDetails(Object(mixer_.Handle()), &d,
                                                        MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
}

// ---- TAudioMixer

class TAudioMixer::CallbackWnd : public base::Window {
 public:
  explicit CallbackWnd(TAudioMixer& mixer) : mixer_(mixer) {}

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override { return mixer_.WndProc(hwnd(), msg, wp, lp); }

 private:
  TAudioMixer& mixer_;
};

TAudioMixer::TAudioMixer() {
  window_ = std::make_unique<CallbackWnd>(*this);
  // Without the window the mixer still works; it only hears no notifications.
  if (!base::CreateMessageOnly(*window_, kCallbackClass)) window_.reset();
  destination_ = std::make_unique<TAudioMixerLine>(*this, -1);
  Reopen(false);
}

TAudioMixer::~TAudioMixer() {
  lines_.clear();
  destination_.reset();
  Close();
  window_.reset();
}

HWND TAudioMixer::CallbackWindow() const { return window_ ? window_->hwnd() : nullptr; }

void TAudioMixer::Close() {
  if (handle_) CurrentMixerDevices().Close(handle_);
  handle_ = nullptr;
}

UINT TAudioMixer::GetMixerCount() { return CurrentMixerDevices().GetNumDevs(); }

void TAudioMixer::Reopen(bool destinationOnly) {
  lines_.clear();
  if (!destinationOnly) {
    Close();
    MixerDevices& devices = CurrentMixerDevices();
    caps_ = MIXERCAPSW{};
    if (devices.GetDevCaps(mixerId_, &caps_) != MMSYSERR_NOERROR) caps_ = MIXERCAPSW{};
    const HWND wnd = CallbackWindow();
    HMIXER opened = nullptr;
    lastError_ = devices.Open(&opened, mixerId_, reinterpret_cast<DWORD_PTR>(wnd), 0,
                              wnd ? CALLBACK_WINDOW : CALLBACK_NULL);
    handle_ = lastError_ == MMSYSERR_NOERROR ? opened : nullptr;
  }
  if (destinationId_ >= GetDestinationCount()) destinationId_ = 0;
  destination_->Init(-1);
  const UINT count = GetLineCount();
  for (UINT i = 0; i < count; ++i) lines_.push_back(std::make_unique<TAudioMixerLine>(*this, static_cast<int>(i)));
}

void TAudioMixer::SetMixerID(UINT id) {
  if (id == mixerId_ || id >= static_cast<uint16_t>(GetMixerCount())) return;
  mixerId_ = id;
  Reopen(false);
}

std::wstring TAudioMixer::MixerName() const {
  return std::wstring(caps_.szPname, ::wcsnlen(caps_.szPname, MAXPNAMELEN));
}

namespace {
// Index of the first name equal to `name` with case ignored, or -1.
int FindName(const std::vector<std::wstring>& names, const std::wstring& name) {
  for (size_t i = 0; i < names.size(); ++i)
    if (::lstrcmpiW(names[i].c_str(), name.c_str()) == 0) return static_cast<int>(i);
  return -1;
}
}  // namespace

void TAudioMixer::SetMixerName(const std::wstring& name) {
  if (name == MixerName()) return;
  std::vector<std::wstring> names;
  GetMixerNames(names);
  const int found = FindName(names, name);
  if (found >= 0) SetMixerID(static_cast<UINT>(found));
}

void TAudioMixer::SetDestinationID(UINT id) {
  if (id == destinationId_) return;
  destinationId_ = id;
  Reopen(true);
}

void TAudioMixer::SetDestinationName(const std::wstring& name) {
  if (name == DestinationName()) return;
  std::vector<std::wstring> names;
  GetDestinationNames(names);
  const int found = FindName(names, name);
  if (found >= 0) SetDestinationID(static_cast<UINT>(found));
}

TAudioMixerLine* TAudioMixer::GetLine(int index) {
  if (index < 0 || static_cast<size_t>(index) >= lines_.size()) return nullptr;
  return lines_[static_cast<size_t>(index)].get();
}

int TAudioMixer::GetMixerNames(std::vector<std::wstring>& names) {
  MixerDevices& devices = CurrentMixerDevices();
  const UINT count = devices.GetNumDevs();
  for (UINT i = 0; i < count; ++i) {
    MIXERCAPSW caps{};
    if (devices.GetDevCaps(i, &caps) != MMSYSERR_NOERROR) caps = MIXERCAPSW{};
    names.emplace_back(caps.szPname, ::wcsnlen(caps.szPname, MAXPNAMELEN));
  }
  return static_cast<int>(count);
}

int TAudioMixer::GetDestinationNames(std::vector<std::wstring>& names) {
  const UINT count = GetDestinationCount();
  for (UINT d = 0; d < count; ++d) {
    MIXERLINEW line{};
    line.cbStruct = sizeof(line);
    line.dwDestination = d;
    if (CurrentMixerDevices().GetLineInfo(Object(handle_), &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION) !=
        MMSYSERR_NOERROR)
      line.szName[0] = L'\0';
    names.emplace_back(line.szName, ::wcsnlen(line.szName, MIXER_LONG_NAME_CHARS));
  }
  return static_cast<int>(count);
}

LRESULT TAudioMixer::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != MM_MIXM_LINE_CHANGE && msg != MM_MIXM_CONTROL_CHANGE) return ::DefWindowProcW(wnd, msg, wp, lp);
  if (!handle_ || reinterpret_cast<HMIXER>(wp) != handle_) return 0;
  const DWORD id = static_cast<DWORD>(lp);
  // The destination first, then the sources in order.
  std::vector<TAudioMixerLine*> order{destination_.get()};
  for (auto& line : lines_) order.push_back(line.get());
  for (TAudioMixerLine* line : order) {
    if (msg == MM_MIXM_LINE_CHANGE) {
      if (line->Line().dwLineID != id) continue;
      if (OnLineChange) OnLineChange(*this, *line);
      return 0;
    }
    for (int t = 0; t < kMixerControlTypes; ++t) {
      const auto type = static_cast<TMixerControlType>(t);
      if (!line->AvailableControls().Has(type) || line->Control(type).dwControlID != id) continue;
      if (OnControlChange) OnControlChange(*this, *line, type);
      return 0;
    }
  }
  return 0;
}

}  // namespace audio
