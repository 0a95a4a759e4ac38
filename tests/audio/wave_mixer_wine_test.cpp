// The audio mixer on this machine's real mixers (Wine's, over the session's PulseAudio): the
// counts and names the platform reports, the controls of a destination, a volume written and
// read back through a fresh mixer, and devices selected by name. Every volume changed is put
// back.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <string>
#include <vector>

#include "audio/scWaveMixer.h"

using namespace audio;

namespace {

std::wstring PlatformMixerName(UINT id) {
  MIXERCAPSW caps{};
  EXPECT_EQ(::mixerGetDevCapsW(id, &caps, sizeof(caps)), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  return caps.szPname;
}

std::wstring Upper(std::wstring text) {
  ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

TEST(WaveMixerWine, CountsNamesAndControls) {
  TAudioMixer mixer;
  const UINT count = mixer.GetMixerCount();
  ASSERT_EQ(count, ::mixerGetNumDevs());
  ASSERT_GT(count, 0u) << "the session's sound server gives mixers";
  std::vector<std::wstring> names;
  EXPECT_EQ(mixer.GetMixerNames(names), static_cast<int>(count));
  for (UINT id = 0; id < count; ++id) {
    SCOPED_TRACE(id);
    mixer.SetMixerID(id);
    EXPECT_EQ(mixer.MixerID(), id);
    EXPECT_EQ(mixer.LastError(), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(mixer.MixerName(), PlatformMixerName(id));
    EXPECT_EQ(names[id], PlatformMixerName(id));
    MIXERCAPSW caps{};
    ::mixerGetDevCapsW(id, &caps, sizeof(caps));
    EXPECT_EQ(mixer.GetDestinationCount(), caps.cDestinations);
    MIXERLINEW line{};
    line.cbStruct = sizeof(line);
    ASSERT_EQ(::mixerGetLineInfoW(reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(id)), &line,
                                  MIXER_OBJECTF_MIXER | MIXER_GETLINEINFOF_DESTINATION),
              static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(mixer.DestinationName(), std::wstring(line.szName));
    EXPECT_EQ(mixer.GetLineCount(), line.cConnections);
    // As measured here: volume and mute only, one source.
    EXPECT_EQ(mixer.Destination().AvailableControls(), (TMixerControls{mcVolume, mcMute}));
    EXPECT_EQ(mixer.GetLineCount(), 1u);
    EXPECT_EQ(mixer.Destination().GetSelectedSource(), -1);
    EXPECT_EQ(mixer.Destination().LastError(), MIXERR_INVALCONTROL);
  }
}

TEST(WaveMixerWine, VolumeReadBackThroughFreshMixer) {
  const UINT count = ::mixerGetNumDevs();
  ASSERT_GT(count, 0u);
  const UINT id = count - 1;
  int original;
  {
    TAudioMixer mixer;
    mixer.SetMixerID(id);
    original = mixer.Destination().GetVolume();
    ASSERT_GE(original, 0);
  }
  struct Case {
    int set, read;
  };
  for (const Case& c : {Case{30, 30}, Case{150, 100}, Case{-5, 0}, Case{original, original}}) {
    SCOPED_TRACE(c.set);
    {
      TAudioMixer mixer;
      mixer.SetMixerID(id);
      mixer.Destination().SetVolume(c.set);
      EXPECT_EQ(mixer.Destination().LastError(), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    }
    TAudioMixer fresh;
    fresh.SetMixerID(id);
    EXPECT_EQ(fresh.Destination().GetVolume(), c.read);
  }
}

TEST(WaveMixerWine, MixerNameInOtherCase) {
  const UINT count = ::mixerGetNumDevs();
  ASSERT_GT(count, 0u);
  std::vector<std::wstring> names;
  for (UINT id = 0; id < count; ++id) names.push_back(PlatformMixerName(id));
  for (UINT id = 0; id < count; ++id) {
    SCOPED_TRACE(id);
    // The first device of that name, case ignored (devices may share a name).
    UINT expected = id;
    for (UINT j = 0; j < id; ++j)
      if (::lstrcmpiW(names[j].c_str(), names[id].c_str()) == 0) {
        expected = j;
        break;
      }
    TAudioMixer mixer;
    mixer.SetMixerID(id == 0 ? count - 1 : 0);
    mixer.SetMixerName(Upper(names[id]));
    EXPECT_EQ(mixer.MixerID(), expected);
    EXPECT_EQ(mixer.MixerName(), names[expected]);
  }
}

}  // namespace
