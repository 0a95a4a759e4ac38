// The audio mixer on the fake mixer service: volumes in percent, source selection through the
// list controls, the property setters and the notifications, each a table of cases; and the
// component without any device.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "audio/scWaveMixer.h"
#include "tests/support/fake_mixer.h"

using namespace audio;
using testsupport::FakeMixerControl;
using testsupport::FakeMixerDestination;
using testsupport::FakeMixerDevice;
using testsupport::FakeMixerDevices;
using testsupport::FakeMixerLine;
using testsupport::Selector;

namespace {

FakeMixerLine Line(const std::wstring& name, std::vector<FakeMixerControl> controls = {}) {
  FakeMixerLine line;
  line.name = name;
  line.controls = std::move(controls);
  return line;
}

FakeMixerDevice Device(const std::wstring& name, std::vector<FakeMixerDestination> destinations) {
  return FakeMixerDevice{name, std::move(destinations)};
}

// Dispatches this thread's messages until done() or the deadline.
template <typename F>
bool PumpUntil(F done, DWORD ms = 2000) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    if (done()) return true;
    if (::GetTickCount() - start > ms) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

TEST(WaveMixer, VolumeInPercent) {
  struct Case {
    const char* name;
    bool hasVolume;
    DWORD maximum, value;
    int read;               // GetVolume
    int set;                // SetVolume argument
    std::vector<DWORD> wrote;  // the values written (none: no write)
    MMRESULT lastError;     // after SetVolume
  };
  const Case cases[] = {
      {"half of 65535", true, 65535, 32768, 50, 50, {32768}, MMSYSERR_NOERROR},
      {"full", true, 65535, 65535, 100, 30, {19661}, MMSYSERR_NOERROR},
      {"over 100 clamps", true, 65535, 0, 0, 150, {65535}, MMSYSERR_NOERROR},
      {"below 0 clamps", true, 65535, 1000, 2, -5, {0}, MMSYSERR_NOERROR},
      {"other maximum", true, 1000, 333, 33, 50, {500}, MMSYSERR_NOERROR},
      {"maximum 0", true, 0, 5, -1, 50, {0}, MMSYSERR_NOERROR},
      {"no volume control", false, 65535, 0, -1, 50, {}, MIXERR_INVALCONTROL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeMixerDevices fake;
    std::vector<FakeMixerControl> controls{testsupport::Mute()};
    if (c.hasVolume) controls.push_back(testsupport::Volume(c.value, c.maximum));
    fake.Add(Device(L"Card", {{Line(L"Master", controls), {}}}));
    ScopedMixerDevices installed(fake);
    TAudioMixer mixer;
    TAudioMixerLine& line = mixer.Destination();
    EXPECT_EQ(line.GetVolume(), c.read);
    if (!c.hasVolume) {
      EXPECT_EQ(line.LastError(), MIXERR_INVALCONTROL);
    }
    line.SetVolume(c.set);
    EXPECT_EQ(line.LastError(), c.lastError);
    if (c.wrote.empty()) {
      EXPECT_TRUE(fake.writes.empty());
    } else {
      ASSERT_EQ(fake.writes.size(), 1u);
      EXPECT_EQ(fake.writes[0].values, c.wrote);
    }
  }
}

TEST(WaveMixer, UnreadableVolume) {
  FakeMixerDevices fake;
  FakeMixerControl volume = testsupport::Volume(100);
  volume.failReads = true;
  fake.Add(Device(L"Card", {{Line(L"Master", {volume}), {}}}));
  ScopedMixerDevices installed(fake);
  TAudioMixer mixer;
  EXPECT_EQ(mixer.Destination().GetVolume(), -1);
  EXPECT_EQ(mixer.Destination().LastError(), static_cast<MMRESULT>(MMSYSERR_ERROR));
}

TEST(WaveMixer, SourceSelection) {
  struct Case {
    const char* name;
    std::vector<FakeMixerControl> controls;  // of the destination
    std::vector<std::wstring> sources;
    int selected;        // GetSelectedSource
    int select;          // SelectSource argument
    DWORD writtenTo;     // index into controls of the written one (-1 none)
    std::vector<DWORD> wrote;
    MMRESULT lastError;  // after SelectSource
  };
  const std::vector<std::wstring> abc{L"Mic", L"Line", L"CD"};
  const Case cases[] = {
      {"first of several checked", {Selector(mcSelect, abc, {1, 2})}, abc, 1, 0, 0, {1, 0, 0}, MMSYSERR_NOERROR},
      {"items matched by name", {Selector(mcSelect, {L"CD", L"Mic", L"Line"}, {0})}, abc, 2, 1, 0, {0, 0, 1},
       MMSYSERR_NOERROR},
      {"one left checked on a mix", {Selector(mcMix, abc, {0, 2})}, abc, 0, 2, 0, {0, 0, 1}, MMSYSERR_NOERROR},
      {"mix preferred", {Selector(mcSelect, abc, {0}), Selector(mcMix, abc, {2})}, abc, 2, 1, 1, {0, 1, 0},
       MMSYSERR_NOERROR},
      {"nothing checked", {Selector(mcSelect, abc, {})}, abc, -1, 2, 0, {0, 0, 1}, MMSYSERR_NOERROR},
      {"no item names the source", {Selector(mcSelect, {L"Mic", L"Aux"}, {1})}, abc, -1, 1, DWORD(-1), {},
       MMSYSERR_INVALPARAM},
      {"source past the lines", {Selector(mcSelect, abc, {0})}, abc, 0, 3, DWORD(-1), {}, MMSYSERR_INVALPARAM},
      {"no list control", {testsupport::Volume(5)}, abc, -1, 0, DWORD(-1), {}, MIXERR_INVALCONTROL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeMixerDevices fake;
    FakeMixerDestination dest{Line(L"Recording Control", c.controls), {}};
    for (const auto& name : c.sources) dest.sources.push_back(Line(name, {testsupport::Volume(0)}));
    fake.Add(Device(L"Card", {dest}));
    ScopedMixerDevices installed(fake);
    TAudioMixer mixer;
    TAudioMixerLine& line = mixer.Destination();
    EXPECT_EQ(line.GetSelectedSource(), c.selected);
    line.SelectSource(c.select);
    EXPECT_EQ(line.LastError(), c.lastError);
    if (c.writtenTo == DWORD(-1)) {
      EXPECT_TRUE(fake.writes.empty());
    } else {
      ASSERT_EQ(fake.writes.size(), 1u);
      EXPECT_EQ(fake.writes[0].controlId, fake.ControlOf(0, 0, -1, c.controls[c.writtenTo].type).id);
      EXPECT_EQ(fake.writes[0].values, c.wrote);
      EXPECT_EQ(line.GetSelectedSource(), c.select);
    }
  }
}

TEST(WaveMixer, ItemAndSourceIndexes) {
  FakeMixerDevices fake;
  FakeMixerDestination dest{Line(L"Recording Control", {Selector(mcSelect, {L"Line", L"Nobody", L"Mic"}, {0})}),
                            {Line(L"Mic"), Line(L"Line")}};
  fake.Add(Device(L"Card", {dest}));
  ScopedMixerDevices installed(fake);
  TAudioMixer mixer;
  TAudioMixerLine& line = mixer.Destination();
  struct Case {
    int item;
    int source;
    MMRESULT lastError;
  };
  const Case items[] = {{0, 1, MMSYSERR_NOERROR}, {2, 0, MMSYSERR_NOERROR}, {1, -1, MMSYSERR_NOERROR},
                        {3, -1, MMSYSERR_INVALPARAM}, {-1, -1, MMSYSERR_INVALPARAM}};
  for (const Case& c : items) {
    SCOPED_TRACE(c.item);
    EXPECT_EQ(line.ItemToSourceIndex(c.item, mcSelect), c.source);
    EXPECT_EQ(line.LastError(), c.lastError);
  }
  EXPECT_EQ(line.SourceIndexToItem(0, mcSelect), 2);
  EXPECT_EQ(line.SourceIndexToItem(1, mcSelect), 0);
  EXPECT_EQ(line.SourceIndexToItem(5, mcSelect), -1);
  EXPECT_EQ(line.ItemToSourceIndex(0, mcMix), -1);
  EXPECT_EQ(line.LastError(), MIXERR_INVALCONTROL);
}

// Three devices: two destinations on the first, one on the others.
FakeMixerDevices& ThreeDevices(FakeMixerDevices& fake) {
  fake.Add(Device(L"Alpha", {{Line(L"Playback", {testsupport::Volume(1)}), {Line(L"Wave"), Line(L"Synth")}},
                             {Line(L"Recording Control", {Selector(mcSelect, {L"Mic"}, {0})}), {Line(L"Mic")}}}));
  fake.Add(Device(L"Beta", {{Line(L"Master Volume", {testsupport::Volume(2)}), {Line(L"Master Volume")}}}));
  fake.Add(Device(L"Gamma", {{Line(L"Master Volume", {testsupport::Volume(3)}), {}}}));
  return fake;
}

TEST(WaveMixer, Setters) {
  struct Case {
    const char* name;
    std::function<void(TAudioMixer&)> act;
    UINT mixerId, destinationId;
    int opens;  // in all, the constructor's included
    std::wstring destinationName;
    UINT lines;
  };
  const Case cases[] = {
      {"new mixer", [](TAudioMixer&) {}, 0, 0, 1, L"Playback", 2},
      {"another device", [](TAudioMixer& m) { m.SetMixerID(1); }, 1, 0, 2, L"Master Volume", 1},
      {"MixerID unchanged", [](TAudioMixer& m) { m.SetMixerID(0); }, 0, 0, 1, L"Playback", 2},
      {"MixerID = count", [](TAudioMixer& m) { m.SetMixerID(3); }, 0, 0, 1, L"Playback", 2},
      {"MixerID far beyond", [](TAudioMixer& m) { m.SetMixerID(0x10001); }, 0, 0, 1, L"Playback", 2},
      {"DestinationID", [](TAudioMixer& m) { m.SetDestinationID(1); }, 0, 1, 1, L"Recording Control", 1},
      {"DestinationID beyond", [](TAudioMixer& m) { m.SetDestinationID(5); }, 0, 0, 1, L"Playback", 2},
      {"MixerName in other case", [](TAudioMixer& m) { m.SetMixerName(L"GAMMA"); }, 2, 0, 2, L"Master Volume", 0},
      {"unknown MixerName", [](TAudioMixer& m) { m.SetMixerName(L"Delta"); }, 0, 0, 1, L"Playback", 2},
      {"DestinationName in other case", [](TAudioMixer& m) { m.SetDestinationName(L"recording control"); }, 0, 1, 1,
       L"Recording Control", 1},
      {"unknown DestinationName", [](TAudioMixer& m) { m.SetDestinationName(L"Nowhere"); }, 0, 0, 1, L"Playback", 2},
      {"a device without that destination goes back to 0",
       [](TAudioMixer& m) {
         m.SetDestinationID(1);
         m.SetMixerID(1);
       },
       1, 0, 2, L"Master Volume", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeMixerDevices fake;
    ThreeDevices(fake);
    ScopedMixerDevices installed(fake);
    {
      TAudioMixer mixer;
      EXPECT_EQ(mixer.GetMixerCount(), 3u);
      c.act(mixer);
      EXPECT_EQ(mixer.MixerID(), c.mixerId);
      EXPECT_EQ(mixer.DestinationID(), c.destinationId);
      EXPECT_EQ(fake.opens, c.opens);
      EXPECT_EQ(fake.OpenNow(), 1);
      EXPECT_EQ(mixer.DestinationName(), c.destinationName);
      EXPECT_EQ(mixer.GetLineCount(), c.lines);
      for (UINT i = 0; i < c.lines; ++i) EXPECT_NE(mixer.GetLine(static_cast<int>(i)), nullptr);
      EXPECT_EQ(mixer.GetLine(static_cast<int>(c.lines)), nullptr);
      EXPECT_EQ(mixer.GetLine(-1), nullptr);
    }
    EXPECT_EQ(fake.OpenNow(), 0);
  }
  FakeMixerDevices fake;
  ThreeDevices(fake);
  ScopedMixerDevices installed(fake);
  TAudioMixer mixer;
  std::vector<std::wstring> names;
  EXPECT_EQ(mixer.GetMixerNames(names), 3);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Alpha", L"Beta", L"Gamma"}));
  names.clear();
  EXPECT_EQ(mixer.GetDestinationNames(names), 2);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Playback", L"Recording Control"}));
  EXPECT_EQ(mixer.MixerName(), L"Alpha");
}

TEST(WaveMixer, Notifications) {
  struct Seen {
    std::wstring line;
    int index;
    int type;  // -1 for a line change
  };
  // The destination's line id and one control id shared with source 0, so the order shows.
  auto build = [](FakeMixerDevices& fake) {
    FakeMixerDestination dest{Line(L"Recording Control", {testsupport::Volume(0), Selector(mcSelect, {L"Mic"}, {0})}),
                              {Line(L"Mic", {testsupport::Volume(0)}), Line(L"Line", {testsupport::Mute()})}};
    dest.line.lineId = 0x7000;
    dest.line.controls[0].id = 500;
    dest.sources[0].lineId = 0x7000;
    dest.sources[0].controls[0].id = 500;
    fake.Add(Device(L"Card", {dest}));
    fake.Add(Device(L"Other", {{Line(L"Master Volume"), {}}}));
  };
  struct Case {
    const char* name;
    bool lineChange;
    std::function<DWORD(FakeMixerDevices&)> id;
    bool otherHandle;  // the message names a handle that is not the mixer's
    std::vector<Seen> seen;
  };
  const Case cases[] = {
      {"destination line first", true, [](FakeMixerDevices&) { return DWORD(0x7000); }, false,
       {{L"Recording Control", -1, -1}}},
      {"source line", true, [](FakeMixerDevices& f) { return f.LineOf(0, 0, 1).lineId; }, false, {{L"Line", 1, -1}}},
      {"unknown line", true, [](FakeMixerDevices&) { return DWORD(0x1234); }, false, {}},
      {"other handle", true, [](FakeMixerDevices&) { return DWORD(0x7000); }, true, {}},
      {"destination control first", false, [](FakeMixerDevices&) { return DWORD(500); }, false,
       {{L"Recording Control", -1, mcVolume}}},
      {"destination selector", false, [](FakeMixerDevices& f) { return f.ControlOf(0, 0, -1, mcSelect).id; }, false,
       {{L"Recording Control", -1, mcSelect}}},
      {"source mute", false, [](FakeMixerDevices& f) { return f.ControlOf(0, 0, 1, mcMute).id; }, false,
       {{L"Line", 1, mcMute}}},
      {"unknown control", false, [](FakeMixerDevices&) { return DWORD(9999); }, false, {}},
      {"control of another handle", false, [](FakeMixerDevices&) { return DWORD(500); }, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeMixerDevices fake;
    build(fake);
    ScopedMixerDevices installed(fake);
    TAudioMixer mixer;
    TAudioMixer other;
    other.SetMixerID(1);
    std::vector<Seen> seen;
    mixer.OnLineChange = [&](TAudioMixer& sender, TAudioMixerLine& line) {
      EXPECT_EQ(&sender, &mixer);
      seen.push_back({line.GetName(), line.LineIndex(), -1});
    };
    mixer.OnControlChange = [&](TAudioMixer&, TAudioMixerLine& line, TMixerControlType type) {
      seen.push_back({line.GetName(), line.LineIndex(), type});
    };
    const HMIXER named = c.otherHandle ? other.Handle() : nullptr;
    const DWORD id = c.id(fake);
    ASSERT_TRUE(c.lineChange ? fake.PostLineChange(mixer.Handle(), id, named)
                             : fake.PostControlChange(mixer.Handle(), id, named));
    // A marker posted after the notification: once it arrives the notification was handled.
    bool marker = false;
    ASSERT_TRUE(::PostMessageW(mixer.CallbackWindow(), WM_NULL, 0, 0));
    PumpUntil([&] {
      MSG msg;
      marker = !::PeekMessageW(&msg, mixer.CallbackWindow(), 0, 0, PM_NOREMOVE);
      return marker;
    });
    ASSERT_TRUE(marker);
    ASSERT_EQ(seen.size(), c.seen.size());
    for (size_t i = 0; i < seen.size(); ++i) {
      EXPECT_EQ(seen[i].line, c.seen[i].line);
      EXPECT_EQ(seen[i].index, c.seen[i].index);
      EXPECT_EQ(seen[i].type, c.seen[i].type);
    }
  }
}

TEST(WaveMixer, NoDevice) {
  FakeMixerDevices fake;
  ScopedMixerDevices installed(fake);
  TAudioMixer mixer;
  testsupport::ExpectNoMixerDevice(mixer);
  EXPECT_EQ(fake.opens, 0);
  EXPECT_TRUE(fake.writes.empty());
}

}  // namespace
