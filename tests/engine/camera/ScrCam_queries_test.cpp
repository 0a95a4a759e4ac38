// The screen camera's queries for the options dialog: the recording inputs on the fake mixer
// (which device is the recording mixer, what is listed and selected, where each position's
// writes land), the same on this machine's real mixers, the PCM format list, and the
// compressor dialogs through the pass-through test compressor.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audio/scWaveMixer.h"
#include "audio/scWaveUtils.h"
#include "engine/camera/ScrCam.h"
#include "engine/capture/compressors.h"
#include "tests/support/fake_mixer.h"
#include "tests/support/passthrough_codec.h"

namespace {

using audio::mcMix;
using audio::mcMute;
using audio::mcSelect;
using audio::mcVolume;
using ScrCam::TAudioInputInfo;
using ScrCam::TScreenCamera;
using testsupport::FakeMixerControl;
using testsupport::FakeMixerDestination;
using testsupport::FakeMixerDevice;
using testsupport::FakeMixerDevices;
using testsupport::FakeMixerLine;
using testsupport::Selector;
using testsupport::Volume;

class OneMonitor : public ScrCam::MonitorLister {
 public:
  std::vector<RECT> Monitors() override { return {RECT{0, 0, 1920, 1080}}; }
};

FakeMixerLine Line(const std::wstring& name, std::vector<FakeMixerControl> controls = {}) {
  FakeMixerLine line;
  line.name = name;
  line.controls = std::move(controls);
  return line;
}

const std::vector<std::wstring> kThree{L"Mic", L"Line In", L"CD"};

// A recording destination with a selector over three sources, the given one checked, each
// source with a volume (the middle one at 32768 of 65535) or, with noSourceVolume, none.
FakeMixerDestination Recording(audio::TMixerControlType type, std::vector<int> checked, bool noSourceVolume = false,
                               const std::wstring& name = L"Recording Control") {
  FakeMixerDestination dest{Line(name, {Volume(100), Selector(type, kThree, checked)}), {}};
  DWORD values[] = {1000, 32768, 65535};
  for (size_t i = 0; i < kThree.size(); ++i)
    dest.sources.push_back(noSourceVolume ? Line(kThree[i], {testsupport::Mute()})
                                          : Line(kThree[i], {Volume(values[i]), testsupport::Mute()}));
  return dest;
}

FakeMixerDevice Master(const std::wstring& device) {
  return FakeMixerDevice{device, {{Line(L"Master Volume", {Volume(16384), testsupport::Mute()}), {Line(L"Wave")}}}};
}

struct Mixers {
  Mixers(std::vector<FakeMixerDevice> d = {}, std::map<UINT, UINT> w = {})
      : devices(std::move(d)), waveInMixer(std::move(w)) {}
  std::vector<FakeMixerDevice> devices;
  std::map<UINT, UINT> waveInMixer;  // what mixerGetID answers for wave-in ids
};

// The fake holding `mixers`, installed, and a camera made on it.
struct CameraOnFake {
  explicit CameraOnFake(const Mixers& mixers)
      : installed(Installed(mixers)), cam(std::make_unique<TScreenCamera>()) {}
  FakeMixerDevices fake;
  audio::ScopedMixerDevices installed;
  std::unique_ptr<TScreenCamera> cam;

 private:
  FakeMixerDevices& Installed(const Mixers& mixers) {
    for (const auto& d : mixers.devices) fake.Add(d);
    fake.waveInMixer = mixers.waveInMixer;
    return fake;
  }
};

void ExpectInfo(const TAudioInputInfo& got, const TAudioInputInfo& expected) {
  EXPECT_EQ(got.Inputs, expected.Inputs);
  EXPECT_EQ(got.SelectedInput, expected.SelectedInput);
  EXPECT_EQ(got.Volume, expected.Volume);
  EXPECT_EQ(got.HasVolume, expected.HasVolume);
}

TEST(ScrCamQueries, AudioInputsOnTheFakeMixer) {
  OneMonitor monitors;
  ScrCam::ScopedMonitorLister scoped(monitors);
  FakeMixerDevice twoDestinations{L"Card", {}};
  twoDestinations.destinations.push_back({Line(L"Recording Control", {Volume(6554)}), {Line(L"Mic")}});
  twoDestinations.destinations.push_back(Recording(mcSelect, {2}, false, L"Capture"));
  struct Case {
    const char* name;
    Mixers mixers;
    TAudioInputInfo expected;
  };
  const Case cases[] = {
      {"a selector of three, source 1 checked", {{FakeMixerDevice{L"Card", {Recording(mcSelect, {1})}}}},
       {kThree, 1, 50, true}},
      {"a multiple-select control lists its sources", {{FakeMixerDevice{L"Card", {Recording(mcMix, {2, 0})}}}},
       {kThree, 0, 2, true}},
      {"selected source without volume", {{FakeMixerDevice{L"Card", {Recording(mcSelect, {1}, true)}}}},
       {kThree, 1, -1, false}},
      {"nothing checked", {{FakeMixerDevice{L"Card", {Recording(mcSelect, {})}}}}, {kThree, -1, -1, false}},
      {"the last recording control of several",
       {{FakeMixerDevice{L"First", {Recording(mcSelect, {0})}}, Master(L"Middle"),
         FakeMixerDevice{L"Last", {{Line(L"RECORDING CONTROL", {Selector(mcSelect, {L"Aux"}, {0})}),
                                    {Line(L"Aux", {Volume(0)})}}}},
         Master(L"After")}},
       {{L"Aux"}, 0, 0, true}},
      {"a volume-only destination before a selector one", {{twoDestinations}},
       {{L"Recording Control", L"Mic", L"Line In", L"CD"}, 3, 100, true}},
      {"no recording control: the wave mapper's mixer",
       {{Master(L"A"), FakeMixerDevice{L"B", {{Line(L"Master Volume", {Volume(45875)}), {}}}}, Master(L"C")},
        {{WAVE_MAPPER, 1}, {0, 2}}},
       {{L"Master Volume"}, 0, 70, true}},
      {"no recording control, no mapper: wave-in 0's mixer",
       {{Master(L"A"), Master(L"B"), FakeMixerDevice{L"C", {{Line(L"Master Volume", {testsupport::Mute()}), {}}}}},
        {{0, 2}}},
       {{L"Master Volume"}, 0, -1, false}},
      {"no mixer known for the wave-in device: device 0", {{Master(L"A"), Master(L"B")}, {}},
       {{L"Master Volume"}, 0, 25, true}},
      {"a destination with no controls lists nothing", {{FakeMixerDevice{L"A", {{Line(L"Master Volume"), {}}}}}},
       {{}, -1, -1, false}},
      {"no mixer at all", {}, {{}, -1, -1, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CameraOnFake on(c.mixers);
    FakeMixerDevices& fake = on.fake;
    // The constructor listed them; a second call gives the same.
    ExpectInfo(on.cam->AudioInputInfo, c.expected);
    ExpectInfo(on.cam->GetAudioInputs(), c.expected);
    EXPECT_EQ(fake.OpenNow(), 0) << "a query keeps its mixer open";
    EXPECT_TRUE(fake.writes.empty());
  }
}

TEST(ScrCamQueries, EachPositionWritesItsOwnLine) {
  OneMonitor monitors;
  ScrCam::ScopedMonitorLister scoped(monitors);
  struct Write {
    UINT device, destination;
    int source;  // -1: the destination
    audio::TMixerControlType type;
    std::vector<DWORD> values;
  };
  FakeMixerDevice twoDestinations{L"Card", {}};
  twoDestinations.destinations.push_back({Line(L"Recording Control", {Volume(6554)}), {Line(L"Mic")}});
  twoDestinations.destinations.push_back(Recording(mcSelect, {2}, false, L"Capture"));
  const Mixers oneSelector{{FakeMixerDevice{L"Card", {Recording(mcSelect, {1})}}}};
  const Mixers twoRecording{{FakeMixerDevice{L"First", {Recording(mcSelect, {0})}}, Master(L"Middle"),
                            FakeMixerDevice{L"Last", {Recording(mcMix, {0})}}},
                           {{WAVE_MAPPER, 1}}};
  struct Case {
    const char* name;
    Mixers mixers;
    std::function<void(TScreenCamera&)> act;
    std::vector<Write> writes;
  };
  const Case cases[] = {
      {"select position 2", oneSelector, [](TScreenCamera& c) { c.SelectAudioInput(2); },
       {{0, 0, -1, mcSelect, {0, 0, 1}}}},
      {"volume of position 0", oneSelector, [](TScreenCamera& c) { c.SetAudioInputVolume(0, 50); },
       {{0, 0, 0, mcVolume, {32768}}}},
      {"volume clamped", oneSelector, [](TScreenCamera& c) { c.SetAudioInputVolume(1, 250); },
       {{0, 0, 1, mcVolume, {65535}}}},
      {"positions -1 and past the end",
       oneSelector,
       [](TScreenCamera& c) {
         c.SelectAudioInput(-1);
         c.SelectAudioInput(3);
         c.SetAudioInputVolume(-1, 40);
         c.SetAudioInputVolume(3, 40);
       },
       {}},
      {"the last recording control gets the writes", twoRecording,
       [](TScreenCamera& c) {
         c.SelectAudioInput(1);
         c.SetAudioInputVolume(1, 20);
       },
       {{2, 0, -1, mcMix, {0, 1, 0}}, {2, 0, 1, mcVolume, {13107}}}},
      {"a volume-only destination before a selector one", {{twoDestinations}},
       [](TScreenCamera& c) {
         c.SetAudioInputVolume(0, 20);
         c.SetAudioInputVolume(2, 70);
         c.SelectAudioInput(0);
         c.SelectAudioInput(2);
       },
       {{0, 0, -1, mcVolume, {13107}}, {0, 1, 1, mcVolume, {45875}}, {0, 1, -1, mcSelect, {0, 1, 0}}}},
      {"the wave-in mixer's own input", {{Master(L"A"), Master(L"B")}, {{0, 1}}},
       [](TScreenCamera& c) {
         c.SelectAudioInput(0);
         c.SetAudioInputVolume(0, 10);
       },
       {{1, 0, -1, mcVolume, {6554}}}},
      {"no mixer", {},
       [](TScreenCamera& c) {
         c.SelectAudioInput(0);
         c.SetAudioInputVolume(0, 10);
       },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CameraOnFake on(c.mixers);
    FakeMixerDevices& fake = on.fake;
    c.act(*on.cam);
    EXPECT_EQ(fake.OpenNow(), 0);
    ASSERT_EQ(fake.writes.size(), c.writes.size());
    for (size_t i = 0; i < c.writes.size(); ++i) {
      const Write& w = c.writes[i];
      EXPECT_EQ(fake.writes[i].device, w.device) << "write " << i;
      EXPECT_EQ(fake.writes[i].controlId, fake.ControlOf(w.device, w.destination, w.source, w.type).id) << "write " << i;
      EXPECT_EQ(fake.writes[i].values, w.values) << "write " << i;
    }
  }
}

TEST(ScrCamQueries, SelectingMovesTheCheckOfAMultipleSelect) {
  OneMonitor monitors;
  ScrCam::ScopedMonitorLister scoped(monitors);
  FakeMixerDevices fake;
  fake.Add(FakeMixerDevice{L"Card", {Recording(mcMix, {0, 1})}});
  audio::ScopedMixerDevices installed(fake);
  TScreenCamera cam;
  EXPECT_EQ(cam.AudioInputInfo.SelectedInput, 0);
  cam.SelectAudioInput(2);
  const TAudioInputInfo after = cam.GetAudioInputs();
  EXPECT_EQ(after.SelectedInput, 2);
  EXPECT_EQ(after.Volume, 100);
  EXPECT_EQ(fake.ControlOf(0, 0, -1, mcMix).values, (std::vector<DWORD>{0, 0, 1}));
}

// The real mixers: the recorder's wave-in device's mixer is the one input, and the writes land
// there. Its volume is put back.
TEST(ScrCamQueries, RealMixerOfTheWaveInDevice) {
  OneMonitor monitors;
  ScrCam::ScopedMonitorLister scoped(monitors);
  ASSERT_GT(::mixerGetNumDevs(), 0u);
  UINT device = 0;
  if (::mixerGetID(reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(WAVE_MAPPER)), &device, MIXER_OBJECTF_WAVEIN) !=
      MMSYSERR_NOERROR) {
    ASSERT_EQ(::mixerGetID(reinterpret_cast<HMIXEROBJ>(0), &device, MIXER_OBJECTF_WAVEIN),
              static_cast<MMRESULT>(MMSYSERR_NOERROR));
  }
  auto readVolume = [device] {
    audio::TAudioMixer mixer;
    mixer.SetMixerID(device);
    return mixer.Destination().GetVolume();
  };
  std::wstring name;
  {
    audio::TAudioMixer mixer;
    mixer.SetMixerID(device);
    name = mixer.DestinationName();
  }
  const int original = readVolume();
  ASSERT_GE(original, 0);
  TScreenCamera cam;
  for (int percent : {40, 65}) {
    SCOPED_TRACE(percent);
    cam.SetAudioInputVolume(0, percent);
    EXPECT_EQ(readVolume(), percent);
    ExpectInfo(cam.GetAudioInputs(), {{name}, 0, percent, true});
    cam.SelectAudioInput(0);
    EXPECT_EQ(readVolume(), percent);
  }
  cam.SetAudioInputVolume(0, original);
  EXPECT_EQ(readVolume(), original);
}

TEST(ScrCamQueries, AudioFormats) {
  OneMonitor monitors;
  ScrCam::ScopedMonitorLister scoped(monitors);
  TScreenCamera cam;
  EXPECT_EQ(cam.SelectedAudioFormat, 2);
  std::vector<std::wstring> expected;
  for (int pcm = 1; pcm <= 20; ++pcm) {
    WAVEFORMATEX format{};
    audio::MakePCMFormat(format, static_cast<audio::TPCMFormat>(pcm));
    expected.push_back(audio::WaveFormatDescription(format));
  }
  EXPECT_EQ(cam.AudioFormats, expected);
  struct Case {
    int before, after;
  };
  for (const Case& c : {Case{-1, 2}, Case{7, 7}, Case{0, 0}}) {
    SCOPED_TRACE(c.before);
    cam.SelectedAudioFormat = c.before;
    EXPECT_EQ(cam.GetAudioFormats(), expected);
    EXPECT_EQ(cam.SelectedAudioFormat, c.after);
  }
}


// Entry of Compressors listed for the FOURCC, or -1.
int EntryOf(const TScreenCamera& cam, DWORD fourcc) {
  for (int i = 0; i < cam.CompressorCount; ++i)
    if (engine::SameFourCC(cam.Compressors[i].fccHandler, fourcc)) return i;
  return -1;
}

// The machine's own compressors: MS-RLE takes only 8-bit frames, the MS Video 1 driver 8 and
// 32 bits; Cinepak only decompresses.
TEST(ScrCamQueries, CompressorsAsTheMachineHasThem) {
  OneMonitor monitors;
  ScrCam::ScopedMonitorLister scoped(monitors);
  TScreenCamera cam;
  struct Case {
    engine::TPixelFormat colors;
    bool mrle, msvc;
  };
  for (const Case& c : {Case{engine::TPixelFormat::pf8bit, true, true}, Case{engine::TPixelFormat::pf32bit, false, true}}) {
    cam.SetColors(c.colors);
    SCOPED_TRACE(cam.BitsPerPixel());
    cam.GetVideoCompressors();
    EXPECT_EQ(EntryOf(cam, mmioFOURCC('M', 'R', 'L', 'E')) >= 0, c.mrle);
    EXPECT_EQ(EntryOf(cam, mmioFOURCC('M', 'S', 'V', 'C')) >= 0, c.msvc);
    EXPECT_EQ(EntryOf(cam, mmioFOURCC('C', 'V', 'I', 'D')), -1);
  }
}

// A 2 x 2 rectangle at 32 bits is too small for the machine's compressors: of two test
// compressors only the second, which accepts, is listed, as entry 0, once also on a second call.
TEST(ScrCamQueries, OnlyTheAcceptingCompressorIsListed) {
  OneMonitor monitors;
  ScrCam::ScopedMonitorLister scoped(monitors);
  testsupport::ScopedPassThrough refusing({.refuseAll = true}, mmioFOURCC('P', 'A', 'S', '1'));
  testsupport::ScopedPassThrough accepting({}, mmioFOURCC('P', 'A', 'S', '2'));
  ASSERT_TRUE(refusing.ok() && accepting.ok());
  TScreenCamera cam;
  cam.SetCaptureArea({0, 0, 2, 2});
  for (int call = 1; call <= 2; ++call) {
    SCOPED_TRACE(call);
    EXPECT_EQ(cam.GetVideoCompressors(), (std::vector<std::wstring>{L"Pass-through test compressor"}));
    ASSERT_EQ(cam.CompressorCount, 1);
    EXPECT_TRUE(engine::SameFourCC(cam.Compressors[0].fccHandler, mmioFOURCC('P', 'A', 'S', '2')));
    EXPECT_EQ(cam.Compressors[1].fccHandler, 0u);
  }
}

// A rectangle no frame can be made of: one error on the calling (main) thread, an empty list,
// and no compressor asked.
TEST(ScrCamQueries, NoTestFrameAsksNoCompressor) {
  OneMonitor monitors;
  ScrCam::ScopedMonitorLister scoped(monitors);
  testsupport::ScopedPassThrough accepting;
  ASSERT_TRUE(accepting.ok());
  TScreenCamera cam;
  ASSERT_GE(EntryOf(cam, testsupport::kPassThroughFourCC), 0);
  std::vector<DWORD> errorThreads;
  cam.OnError = [&](TScreenCamera&, const std::wstring&) { errorThreads.push_back(::GetCurrentThreadId()); };
  testsupport::InstallPassThrough({});  // counts from here
  cam.SetCaptureArea({0, 0, 40000, 40000});
  EXPECT_TRUE(cam.GetVideoCompressors().empty());
  EXPECT_EQ(cam.CompressorCount, 0);
  EXPECT_EQ(errorThreads, std::vector<DWORD>{::GetCurrentThreadId()});
  EXPECT_EQ(testsupport::PassThroughCompressQueries(), 0);
}

// Three test compressors: the first refuses the camera's frames (but has an About box), the
// second takes them and has a Configure dialog, the third takes them and has an About box.
// The dialog operations reach the listed entry their index names, and nothing past the count.
TEST(ScrCamQueries, CompressorDialogs) {
  OneMonitor monitors;
  ScrCam::ScopedMonitorLister scoped(monitors);
  const DWORD refuses = mmioFOURCC('P', 'A', 'S', '1');
  const DWORD configures = mmioFOURCC('P', 'A', 'S', '2');
  const DWORD abouts = mmioFOURCC('P', 'A', 'S', '3');
  testsupport::ScopedPassThrough first({.refuseAll = true, .hasAbout = true}, refuses);
  testsupport::ScopedPassThrough second({.hasConfigure = true}, configures);
  testsupport::ScopedPassThrough third({.hasAbout = true}, abouts);
  ASSERT_TRUE(first.ok() && second.ok() && third.ok());
  TScreenCamera cam;
  EXPECT_EQ(EntryOf(cam, refuses), -1);
  // Listed once each, and a second listing gives the same.
  const std::vector<std::wstring> listed = cam.VideoCompressors;
  EXPECT_EQ(cam.GetVideoCompressors(), listed);
  for (DWORD code : {configures, abouts}) {
    int times = 0;
    for (int i = 0; i < cam.CompressorCount; ++i) times += engine::SameFourCC(cam.Compressors[i].fccHandler, code);
    EXPECT_EQ(times, 1);
  }
  const int configuresAt = EntryOf(cam, configures);
  const int aboutsAt = EntryOf(cam, abouts);
  ASSERT_GE(configuresAt, 0);
  ASSERT_GE(aboutsAt, 0);
  const auto at = [](int index) { return static_cast<BYTE>(index); };
  const BYTE count = at(cam.CompressorCount);

  struct QueryCase {
    BYTE index;
    bool about, configure;
  };
  for (const QueryCase& c : {QueryCase{at(configuresAt), false, true}, QueryCase{at(aboutsAt), true, false},
                             QueryCase{count, false, false}, QueryCase{255, false, false}}) {
    SCOPED_TRACE(c.index);
    bool about = !c.about, configure = !c.configure;
    cam.QueryCompressorDialogs(c.index, about, configure);
    EXPECT_EQ(about, c.about);
    EXPECT_EQ(configure, c.configure);
  }
  EXPECT_TRUE(testsupport::PassThroughDialogCalls().empty()) << "a query is not a dialog";

  const HWND parent = reinterpret_cast<HWND>(0x1234);
  struct CallCase {
    const char* name;
    std::function<void()> act;
    std::vector<testsupport::PassThroughDialogCall> calls;
  };
  const CallCase calls[] = {
      {"about", [&] { cam.CompressorAbout(at(aboutsAt), parent); }, {{ICM_ABOUT, parent, abouts}}},
      {"configure", [&] { cam.CompressorConfigure(at(configuresAt), parent); }, {{ICM_CONFIGURE, parent, configures}}},
      {"configure of one without it", [&] { cam.CompressorConfigure(at(aboutsAt), nullptr); },
       {{ICM_CONFIGURE, nullptr, abouts}}},
      {"index at the count", [&] { cam.CompressorAbout(count, parent); }, {}},
      {"index far beyond", [&] { cam.CompressorConfigure(200, parent); }, {}},
  };
  for (const CallCase& c : calls) {
    SCOPED_TRACE(c.name);
    testsupport::InstallPassThrough({.hasAbout = true}, abouts);  // clears the record
    c.act();
    const auto got = testsupport::PassThroughDialogCalls();
    ASSERT_EQ(got.size(), c.calls.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].message, c.calls[i].message);
      EXPECT_EQ(got[i].parent, c.calls[i].parent);
      EXPECT_EQ(got[i].fourcc, c.calls[i].fourcc);
    }
  }
}

// Run by no_sound_server.test.sh with PULSE_SERVER pointing nowhere: no mixer, and the
// camera's queries answer empty without raising.
TEST(NoSoundServer, MixerAndCameraAnswerEmpty) {
  if (!::GetEnvironmentVariableW(L"RECLUME_NO_SOUND_SERVER", nullptr, 0)) GTEST_SKIP() << "run by no_sound_server.test.sh";
  OneMonitor monitors;
  ScrCam::ScopedMonitorLister scoped(monitors);
  {
    audio::TAudioMixer mixer;
    testsupport::ExpectNoMixerDevice(mixer);
  }
  TScreenCamera cam;
  ExpectInfo(cam.AudioInputInfo, {{}, -1, -1, false});
  ExpectInfo(cam.GetAudioInputs(), {{}, -1, -1, false});
  cam.SelectAudioInput(0);
  cam.SetAudioInputVolume(0, 50);
  EXPECT_EQ(cam.AudioFormats.size(), 20u);
  EXPECT_EQ(cam.SelectedAudioFormat, 2);
}

}  // namespace
