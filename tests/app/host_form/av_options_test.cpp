// The audio/video options dialog of the recorder with sound over the host form's real camera:
// the quality in steps of 1000, the two frame bars coupled by AutoMode, the run's defaults
// (before the first recording or at the first show), the compressor controls with no
// compressor and with MRLE at 8 bits, a key-frame period that is no number, and what reaches
// the sound card's mixer (through a fake mixer with a selector, which Wine's mixers lack).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "app/forms/binding.h"
#include "app/forms/dialog_ids.h"
#include "app/host_form/optdlg_ws.h"
#include "app/host_form/withsound.h"
#include "audio/scWaveMixer.h"
#include "base/text.h"
#include "engine/capture/compressors.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/glyphs.h"
#include "tests/support/doubles.h"
#include "tests/support/fake_mixer.h"
#include "tests/support/passthrough_codec.h"

namespace {

namespace id = app::id;

int Pos(HWND dlg, int bar) { return app::TrackPosition(::GetDlgItem(dlg, bar)); }
bool Enabled(HWND dlg, int control) { return ::IsWindowEnabled(::GetDlgItem(dlg, control)) != FALSE; }
// The user picks item index of a list.
void Pick(HWND dlg, int combo, int index) {
  HWND list = ::GetDlgItem(dlg, combo);
  ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  ::SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(combo, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}
int ComboCount(HWND list) { return static_cast<int>(::SendMessageW(list, CB_GETCOUNT, 0, 0)); }
std::wstring ComboItemText(HWND list, int index) {
  wchar_t text[256] = {};
  ::SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  return text;
}
// The user moves a bar (the notification a drag sends).
void Move(HWND dlg, int bar, int position) { app::SetTrackPosition(::GetDlgItem(dlg, bar), position); }

class AVOptions : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(form.Create(nullptr));
    // Tests of the dialog itself: the run's defaults count as applied, so a show only loads.
    app::RunAVOptionDefaults() = app::AVOptionDefaults{};
    app::RunAVOptionDefaults().MarkApplied();
  }
  void TearDown() override { app::RunAVOptionDefaults() = app::AVOptionDefaults{}; }

  ScrCam::TScreenCamera& camera() { return form.ScrCamera(); }
  // The camera as a fresh host form leaves it, on a 2 x 2 rectangle that only the test's
  // pass-through compressor takes.
  void FreshCamera() {
    camera().SetCaptureArea({0, 0, 2, 2});
    camera().SetCompressionQuality(10000);
    camera().SelectedCompressor = -1;
    camera().UseAudioRecord = false;
    camera().SelectedAudioFormat = -1;
    camera().KeyFramesEvery = 20;
    camera().SetRecord_MSPF(5);
    camera().SetPlayBack_FPS(200);
  }
  void ExpectDefaults(const char* when) {
    SCOPED_TRACE(when);
    EXPECT_EQ(0, camera().SelectedCompressor);
    ASSERT_GE(camera().CompressorCount, 1);
    EXPECT_EQ(testsupport::kPassThroughFourCC, camera().Compressors[0].fccHandler);
    EXPECT_EQ(10000, camera().CompressionQuality());
    EXPECT_EQ(20, camera().KeyFramesEvery);
    EXPECT_EQ(5, camera().Record_MSPF());
    EXPECT_EQ(200, camera().PlayBack_FPS());
    EXPECT_TRUE(camera().UseAudioRecord);
    EXPECT_EQ(2, camera().SelectedAudioFormat);
  }

  testsupport::ScriptedPrompter prompter;
  base::ScopedPrompter scoped{prompter};
  app::TFrmMainWithSound form;
};

TEST_F(AVOptions, QualityGoesInStepsOfAThousand) {
  struct Case {
    int camera;
    int moveTo;  // -1: left where it opened
    int opened;
    int stored;
  };
  const Case cases[] = {{7400, -1, 7, 7000}, {10000, -1, 10, 10000}, {7400, 0, 7, 7400}, {3000, 9, 3, 9000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.camera);
    camera().SetCompressionQuality(c.camera);
    int opened = -1;
    std::wstring label;
    testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) {
      opened = Pos(dlg, id::VideoQuality);
      if (c.moveTo >= 0) Move(dlg, id::VideoQuality, c.moveTo);
      label = testapp::ItemTextOf(dlg, id::OptWsLabelQuality);
      testapp::Press(dlg, id::OptWsBtnConfirm);
    });
    EXPECT_EQ(IDOK, app::ShowAVOptions(camera(), form.hwnd()));
    EXPECT_EQ(c.opened, opened);
    EXPECT_EQ(base::Format(L"%d", c.moveTo >= 0 ? c.moveTo : c.opened), label);
    EXPECT_EQ(c.stored, camera().CompressionQuality());
  }
}

TEST_F(AVOptions, AutoModeCouplesTheFrameBars) {
  camera().SetRecord_MSPF(5);
  camera().SetPlayBack_FPS(200);
  struct Step {
    const char* what;
    std::function<void(HWND)> act;
    int record, playback;
  };
  const Step steps[] = {
      {"opened", [](HWND) {}, 5, 200},
      {"record 4", [](HWND d) { Move(d, id::OptWsTrackBarRecord, 4); }, 4, 250},
      {"record 600: playback 1, which gives record 1000", [](HWND d) { Move(d, id::OptWsTrackBarRecord, 600); },
       1000, 1},
      {"off, playback 8", [](HWND d) {
         app::SetChecked(::GetDlgItem(d, id::AutoMode), false);
         Move(d, id::OptWsTrackBarPlayback, 8);
       }, 1000, 8},
      {"ticked again: record 1000 div 8", [](HWND d) { app::SetChecked(::GetDlgItem(d, id::AutoMode), true); }, 125,
       8},
  };
  std::vector<std::string> failures;
  std::wstring labels[2];
  testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) {
    for (const Step& s : steps) {
      s.act(dlg);
      if (Pos(dlg, id::OptWsTrackBarRecord) != s.record || Pos(dlg, id::OptWsTrackBarPlayback) != s.playback)
        failures.push_back(std::string(s.what) + ": " + std::to_string(Pos(dlg, id::OptWsTrackBarRecord)) + "/" +
                           std::to_string(Pos(dlg, id::OptWsTrackBarPlayback)));
    }
    labels[0] = testapp::ItemTextOf(dlg, id::LabelmspFrecordWs);
    labels[1] = testapp::ItemTextOf(dlg, id::LabelFPSPlaybackWs);
    testapp::Press(dlg, id::OptWsBtnClose);
  });
  EXPECT_EQ(IDCANCEL, app::ShowAVOptions(camera(), form.hwnd()));
  EXPECT_TRUE(failures.empty()) << failures.front();
  EXPECT_EQ(L"125 毫秒", labels[0]);
  EXPECT_EQ(L"8 fps", labels[1]);
  EXPECT_EQ(5, camera().Record_MSPF()) << "closing writes nothing";
  EXPECT_EQ(200, camera().PlayBack_FPS());

  // Loaded and confirmed as they are, 5 / 200 stay.
  testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) { testapp::Press(dlg, id::OptWsBtnConfirm); });
  EXPECT_EQ(IDOK, app::ShowAVOptions(camera(), form.hwnd()));
  EXPECT_EQ(5, camera().Record_MSPF());
  EXPECT_EQ(200, camera().PlayBack_FPS());
}

// The defaults reach a fresh camera before its first recording with sound, also when the
// dialog was opened and closed before it; a later confirm is not undone by later recordings.
TEST_F(AVOptions, DefaultsApplyOncePerRunBeforeTheFirstRecordingOrShow) {
  testsupport::ScopedPassThrough codec;
  const std::function<void()> routes[] = {
      [&] { app::ApplyDefaultAVOptions(camera()); },
      [&] {
        testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) { testapp::Press(dlg, id::OptWsBtnClose); });
        EXPECT_EQ(IDCANCEL, app::ShowAVOptions(camera(), form.hwnd()));
        app::ApplyDefaultAVOptions(camera());
      },
  };
  const char* names[] = {"first recording", "dialog closed, then the first recording"};
  for (int r = 0; r < 2; ++r) {
    app::RunAVOptionDefaults() = app::AVOptionDefaults{};
    FreshCamera();
    routes[r]();
    ExpectDefaults(names[r]);
  }

  // The user's confirm with other values holds through later recordings.
  app::RunAVOptionDefaults() = app::AVOptionDefaults{};
  FreshCamera();
  testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) {
    app::SetChecked(::GetDlgItem(dlg, id::AudioRecord), false);
    Move(dlg, id::VideoQuality, 3);
    Pick(dlg, id::AudioFormat, 5);
    testapp::Press(dlg, id::OptWsBtnConfirm);
  });
  EXPECT_EQ(IDOK, app::ShowAVOptions(camera(), form.hwnd()));
  for (int recording = 0; recording < 2; ++recording) app::ApplyDefaultAVOptions(camera());
  EXPECT_FALSE(camera().UseAudioRecord);
  EXPECT_EQ(3000, camera().CompressionQuality());
  EXPECT_EQ(5, camera().SelectedAudioFormat);
  EXPECT_EQ(0, camera().SelectedCompressor);

  // A show after a cancelled one shows the camera's sound switch, not the box left unticked.
  testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) {
    app::SetChecked(::GetDlgItem(dlg, id::AudioRecord), true);
    testapp::Press(dlg, id::OptWsBtnClose);
  });
  app::ShowAVOptions(camera(), form.hwnd());
  bool ticked = true, formatEnabled = true;
  testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) {
    ticked = app::Checked(::GetDlgItem(dlg, id::AudioRecord));
    formatEnabled = Enabled(dlg, id::AudioFormat);
    testapp::Press(dlg, id::OptWsBtnConfirm);
  });
  app::ShowAVOptions(camera(), form.hwnd());
  EXPECT_FALSE(ticked);
  EXPECT_FALSE(formatEnabled);
  EXPECT_FALSE(camera().UseAudioRecord);
}

// No compressor takes a 2 x 2 frame (without the test's pass-through): nothing selected, the
// quality disabled, -1 stored. At 8 bits (the host's "8 bit") MRLE is listed; it answers About
// but has no Configure.
TEST_F(AVOptions, CompressorControlsFollowTheList) {
  camera().SetCaptureArea({0, 0, 2, 2});
  camera().SelectedCompressor = 0;
  int selected = -2;
  bool quality = true, qualityLabel = true;
  testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) {
    selected = app::ComboIndex(::GetDlgItem(dlg, id::VideoCompressor));
    quality = Enabled(dlg, id::VideoQuality);
    qualityLabel = Enabled(dlg, id::OptWsLabel1);
    testapp::Press(dlg, id::OptWsBtnConfirm);
  });
  EXPECT_EQ(IDOK, app::ShowAVOptions(camera(), form.hwnd()));
  EXPECT_EQ(-1, selected);
  EXPECT_FALSE(quality);
  EXPECT_FALSE(qualityLabel);
  EXPECT_EQ(-1, camera().SelectedCompressor);

  app::SetComboIndex(form.Item(id::ComboBox3), 0);
  form.ComboBoxChange(id::ComboBox3);
  ASSERT_EQ(engine::TPixelFormat::pf8bit, camera().Colors());
  camera().SetCaptureArea({0, 0, 320, 240});
  camera().GetVideoCompressors();
  int mrle = -1;
  for (int i = 0; i < camera().CompressorCount; ++i)
    if (engine::SameFourCC(camera().Compressors[static_cast<size_t>(i)].fccHandler, mmioFOURCC('M', 'R', 'L', 'E')))
      mrle = i;
  ASSERT_GE(mrle, 0) << "MRLE is not listed at 8 bits";
  camera().SelectedCompressor = mrle;
  bool about = false, configure = true;
  testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) {
    selected = app::ComboIndex(::GetDlgItem(dlg, id::VideoCompressor));
    about = Enabled(dlg, id::AboutB);
    configure = Enabled(dlg, id::ConfigB);
    quality = Enabled(dlg, id::VideoQuality);
    testapp::Press(dlg, id::OptWsBtnClose);
  });
  app::ShowAVOptions(camera(), form.hwnd());
  EXPECT_EQ(mrle, selected);
  EXPECT_TRUE(about);
  EXPECT_FALSE(configure);
  EXPECT_TRUE(quality);
}

TEST_F(AVOptions, KeyFramesThatAreNoNumberKeepTheDialogOpenAndStoreNothing) {
  camera().KeyFramesEvery = 20;
  camera().SetCompressionQuality(10000);
  bool stillShown = false;
  testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) {
    Move(dlg, id::VideoQuality, 4);
    app::SetEditText(::GetDlgItem(dlg, id::OptWsEditKeyFrames), L"12a");
    testapp::Press(dlg, id::OptWsBtnConfirm);
    stillShown = ::IsWindowVisible(dlg) != FALSE;
    testapp::Press(dlg, id::OptWsBtnClose);
  });
  EXPECT_EQ(IDCANCEL, app::ShowAVOptions(camera(), form.hwnd()));
  EXPECT_TRUE(stillShown);
  ASSERT_EQ(1u, prompter.asked().size());
  EXPECT_EQ(L"请输入一个整数", prompter.asked()[0].text);
  EXPECT_EQ(20, camera().KeyFramesEvery);
  EXPECT_EQ(10000, camera().CompressionQuality());
}

// A sound card with a recording selector over two inputs: Mic (with a volume control at 50%)
// and Line (none), Line checked.
testsupport::FakeMixerDevice TwoInputCard() {
  auto line = [](const std::wstring& name, std::vector<testsupport::FakeMixerControl> controls) {
    testsupport::FakeMixerLine l;
    l.name = name;
    l.controls = std::move(controls);
    return l;
  };
  testsupport::FakeMixerDestination recording{
      line(L"Recording Control", {testsupport::Volume(65535), testsupport::Selector(audio::mcSelect, {L"Mic", L"Line"}, {1})}),
      {line(L"Mic", {testsupport::Volume(32768), testsupport::Mute()}), line(L"Line", {testsupport::Mute()})}};
  return testsupport::FakeMixerDevice{L"Card", {recording}};
}

TEST_F(AVOptions, OnlyTheUsersPicksAndMovesReachTheMixer) {
  testsupport::FakeMixerDevices fake;
  fake.Add(TwoInputCard());
  audio::ScopedMixerDevices installed(fake);
  const DWORD selector = fake.ControlOf(0, 0, -1, audio::mcSelect).id;
  const DWORD micVolume = fake.ControlOf(0, 0, 0, audio::mcVolume).id;
  auto written = [&] {
    std::vector<DWORD> ids;
    for (const auto& w : fake.writes) ids.push_back(w.controlId);
    fake.writes.clear();
    return ids;
  };
  camera().UseAudioRecord = true;
  camera().SetCompressionQuality(6000);
  const int keyFrames = camera().KeyFramesEvery, record = camera().Record_MSPF(), playback = camera().PlayBack_FPS();

  struct Seen {
    std::vector<std::wstring> inputs;
    int input = -2, volume = -1;
    bool volumeEnabled = true;
  };
  auto see = [](HWND dlg) {
    Seen s;
    HWND list = ::GetDlgItem(dlg, id::AudioInput);
    for (int i = 0; i < ComboCount(list); ++i) s.inputs.push_back(ComboItemText(list, i));
    s.input = app::ComboIndex(list);
    s.volume = Pos(dlg, id::AudioVolume);
    s.volumeEnabled = Enabled(dlg, id::AudioVolume);
    return s;
  };
  Seen loaded, picked, onLine;
  std::vector<DWORD> afterLoad, afterBars, afterPick, afterMove, afterLinePick;
  std::wstring volumeLabel;
  testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) {
    loaded = see(dlg);
    afterLoad = written();
    Move(dlg, id::VideoQuality, 2);
    Move(dlg, id::OptWsTrackBarRecord, 50);
    afterBars = written();
    Pick(dlg, id::AudioInput, 0);
    picked = see(dlg);
    afterPick = written();
    Move(dlg, id::AudioVolume, 40);
    volumeLabel = testapp::ItemTextOf(dlg, id::LabelVolume);
    afterMove = written();
    testapp::Press(dlg, id::OptWsBtnClose);
  });
  EXPECT_EQ(IDCANCEL, app::ShowAVOptions(camera(), form.hwnd()));
  EXPECT_EQ((std::vector<std::wstring>{L"Mic", L"Line"}), loaded.inputs);
  EXPECT_EQ(1, loaded.input);
  EXPECT_EQ(0, loaded.volume);
  EXPECT_FALSE(loaded.volumeEnabled) << "Line has no volume control";
  EXPECT_TRUE(afterLoad.empty()) << "loading wrote to the mixer";
  EXPECT_TRUE(afterBars.empty()) << "the other bars wrote to the mixer";
  EXPECT_EQ(std::vector<DWORD>{selector}, afterPick);
  EXPECT_EQ(0, picked.input);
  EXPECT_EQ(50, picked.volume);
  EXPECT_TRUE(picked.volumeEnabled);
  EXPECT_EQ(std::vector<DWORD>{micVolume}, afterMove);
  EXPECT_EQ(L"40", volumeLabel);
  EXPECT_TRUE(written().empty()) << "the close wrote to the mixer";
  const DWORD micValue = fake.ControlOf(0, 0, 0, audio::mcVolume).values[0];
  const ScrCam::TAudioInputInfo now = camera().GetAudioInputs();
  EXPECT_EQ(0, now.SelectedInput);
  EXPECT_EQ(40, now.Volume) << "the moved volume stays after the close";
  EXPECT_EQ(6000, camera().CompressionQuality()) << "the close changed the camera";
  EXPECT_EQ(keyFrames, camera().KeyFramesEvery);
  EXPECT_EQ(record, camera().Record_MSPF());
  EXPECT_EQ(playback, camera().PlayBack_FPS());

  // Line picked: selected, the bar disabled at 0, no volume written, on the pick nor the confirm.
  std::vector<DWORD> afterConfirm;
  testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) {
    afterLoad = written();
    Pick(dlg, id::AudioInput, 1);
    onLine = see(dlg);
    afterLinePick = written();
    testapp::Press(dlg, id::OptWsBtnConfirm);
  });
  EXPECT_EQ(IDOK, app::ShowAVOptions(camera(), form.hwnd()));
  afterConfirm = written();
  EXPECT_TRUE(afterLoad.empty());
  EXPECT_EQ(std::vector<DWORD>{selector}, afterLinePick);
  EXPECT_EQ(0, onLine.volume);
  EXPECT_FALSE(onLine.volumeEnabled);
  EXPECT_TRUE(afterConfirm.empty());
  EXPECT_EQ(micValue, fake.ControlOf(0, 0, 0, audio::mcVolume).values[0]) << "Mic's volume stays as the user left it";
}

// The confirm sets the moved volume once more.
TEST_F(AVOptions, TheConfirmWritesTheVolumeOnceMore) {
  testsupport::FakeMixerDevices fake;
  fake.Add(TwoInputCard());
  audio::ScopedMixerDevices installed(fake);
  camera().UseAudioRecord = true;
  testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) {
    Pick(dlg, id::AudioInput, 0);
    Move(dlg, id::AudioVolume, 70);
    fake.writes.clear();
    testapp::Press(dlg, id::OptWsBtnConfirm);
  });
  EXPECT_EQ(IDOK, app::ShowAVOptions(camera(), form.hwnd()));
  ASSERT_EQ(1u, fake.writes.size());
  EXPECT_EQ(fake.ControlOf(0, 0, 0, audio::mcVolume).id, fake.writes[0].controlId);
  EXPECT_EQ(70, camera().GetAudioInputs().Volume);
}

// The dialog is centred on its owner when no main window is shown, keeps its size and has no
// close box.
TEST_F(AVOptions, CentredOnTheOwnerWithItsClientSize) {
  ::SetWindowPos(form.hwnd(), nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ::ShowWindow(form.hwnd(), SW_SHOW);
  RECT owner{}, dialog{}, client{};
  std::wstring caption;
  LONG style = 0;
  bool buttonsShown = false;
  testapp::WhenShown(app::AVOptionsWindow, [&](HWND dlg) {
    style = ::GetWindowLongW(dlg, GWL_STYLE);
    ::GetWindowRect(dlg, &dialog);
    ::GetClientRect(dlg, &client);
    caption = testapp::TextOf(dlg);
    // Its two buttons on the screen: their pictures and their captions as text.
    ::RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    buttonsShown = base::PumpUntil(
        [&] {
          for (int button : {id::OptWsBtnConfirm, id::OptWsBtnClose}) {
            const testapp::ButtonLook look = testapp::LookOfFlatButton(::GetDlgItem(dlg, button));
            if (look.glyphInk < 8 || look.caption.characters != 2 || look.caption.shapes != 2) return false;
          }
          return true;
        },
        3000);
    testapp::SaveScreenshot(L"av-options-dialog", dialog);
    testapp::Press(dlg, id::OptWsBtnClose);
  });
  app::ShowAVOptions(camera(), form.hwnd());
  ::GetWindowRect(form.hwnd(), &owner);
  EXPECT_EQ(L"视频/声音设置", caption);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_FALSE(style & WS_SYSMENU) << "no close box";
  EXPECT_TRUE(buttonsShown) << "the confirm and close buttons' pictures and captions on the screen";
  EXPECT_EQ(436, client.right);
  EXPECT_EQ(238, client.bottom);
  EXPECT_NEAR((owner.left + owner.right) / 2, (dialog.left + dialog.right) / 2, 1);
  EXPECT_NEAR((owner.top + owner.bottom) / 2, (dialog.top + dialog.bottom) / 2, 1);
}

}  // namespace
