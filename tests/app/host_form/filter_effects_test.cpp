// The filter effects dialog over the host form's camera: a show loads every control from the
// camera and leaves it unchanged, "Default Values" resets controls and camera and runs nothing
// the second time, a bar moved with its switch off changes only its own setting, and the
// negative ranges hold.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/forms/binding.h"
#include "app/forms/dialog_ids.h"
#include "app/host_form/filtereffects.h"
#include "app/host_form/withsound.h"
#include "tests/app/dialog_driver.h"

namespace {

namespace id = app::id;

constexpr int kRotations[] = {id::ScreenRotationItem0, id::ScreenRotationItem1, id::ScreenRotationItem2,
                              id::ScreenRotationItem3, id::ScreenRotationItem4};

// Every effect setting of the camera, to compare whole.
struct Effects {
  bool useBrightness, useContrast, useColor, useSaturation, useNoise, useRotate, gray;
  int brightness, contrast, red, green, blue, saturation, noise;
  ScrCam::TScreenRotate rotate;
  bool operator==(const Effects&) const = default;
};

Effects Of(const ScrCam::TScreenCamera& c) {
  return {c.UseBrightness, c.UseContrast, c.UseColorAdjusting, c.UseSaturation, c.UseNoise, c.UseRotateImage,
          c.GrayScale,     c.EffectBrightness, c.EffectContrast, c.EffectRedValue, c.EffectGreenValue,
          c.EffectBlueValue, c.EffectSaturation, c.EffectNoise, c.EffectScreenRotate};
}

void Put(ScrCam::TScreenCamera& c, const Effects& e) {
  c.UseBrightness = e.useBrightness, c.UseContrast = e.useContrast, c.UseColorAdjusting = e.useColor;
  c.UseSaturation = e.useSaturation, c.UseNoise = e.useNoise, c.UseRotateImage = e.useRotate, c.GrayScale = e.gray;
  c.EffectBrightness = e.brightness, c.EffectContrast = e.contrast, c.EffectRedValue = e.red;
  c.EffectGreenValue = e.green, c.EffectBlueValue = e.blue, c.EffectSaturation = e.saturation;
  c.EffectNoise = e.noise, c.EffectScreenRotate = e.rotate;
}

// What the dialog's controls show, in the same shape.
Effects Shown(HWND dlg) {
  auto on = [&](int control) { return app::Checked(::GetDlgItem(dlg, control)); };
  auto at = [&](int bar) { return app::TrackPosition(::GetDlgItem(dlg, bar)); };
  const int rotation = app::RadioIndex(dlg, kRotations);
  return {on(id::UseBrightnessEffect), on(id::UseContrastEffect), on(id::UseColorAdjustingEffect),
          on(id::UseSaturationEffect), on(id::UseNoiseEffect),    on(id::UseScreenRotation),
          on(id::CheckGrayScale),      at(id::BrightnessTrackBar), at(id::ContrastTrackBar),
          at(id::RedTrackBar),         at(id::GreenTrackBar),     at(id::BlueTrackBar),
          at(id::SaturationTrackBar),  at(id::NoiseTrackBar),
          rotation < 0 ? static_cast<ScrCam::TScreenRotate>(99) : static_cast<ScrCam::TScreenRotate>(rotation)};
}

std::vector<std::wstring> Labels(HWND dlg) {
  std::vector<std::wstring> labels;
  for (int label : {id::BrightnessLabel, id::ContrastLabel, id::RedLabel, id::GreenLabel, id::BlueLabel,
                    id::SaturationLabel, id::NoiseLabel})
    labels.push_back(testapp::ItemTextOf(dlg, label));
  return labels;
}

const Effects kAtDefaults{false, false, false, false, false, false, false, 0, 0, 0, 0, 0, 0, 0,
                          ScrCam::TScreenRotate::R90D};

class FilterEffects : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(form.Create(nullptr)); }
  ScrCam::TScreenCamera& camera() { return form.ScrCamera(); }
  // Presses the host form's button; step runs inside the dialog and ends it.
  void Open(std::function<void(HWND)> step) {
    testapp::WhenShown(app::FilterEffectsWindow, std::move(step));
    testapp::Press(form.hwnd(), id::FilterEffectsBut);
  }
  app::TFrmMainWithSound form;
};

TEST_F(FilterEffects, AShowLoadsTheCameraAndLeavesItAsItWas) {
  const Effects held{true, false, true, false, true, true, true, -40, 30, -255, 128, 255, 77, 200,
                     ScrCam::TScreenRotate::Mirror180D};
  Put(camera(), held);
  Effects shown{};
  std::vector<std::wstring> labels;
  std::wstring caption;
  RECT client{};
  Open([&](HWND dlg) {
    shown = Shown(dlg);
    labels = Labels(dlg);
    caption = testapp::TextOf(dlg);
    ::GetClientRect(dlg, &client);
    testapp::Press(dlg, id::OkBtn);
  });
  EXPECT_TRUE(shown == held);
  EXPECT_EQ((std::vector<std::wstring>{L"-40", L"30", L"-255", L"128", L"255", L"77", L"200"}), labels);
  EXPECT_TRUE(Of(camera()) == held) << "the show changed the camera";
  EXPECT_EQ(L"Filter Effects", caption);
  EXPECT_EQ(472, client.right);
  EXPECT_EQ(454, client.bottom);

  // Back at the defaults, a show loads those too.
  Put(camera(), kAtDefaults);
  Open([&](HWND dlg) {
    shown = Shown(dlg);
    testapp::Press(dlg, id::OkBtn);
  });
  EXPECT_TRUE(shown == kAtDefaults);
  EXPECT_TRUE(Of(camera()) == kAtDefaults);
}

TEST_F(FilterEffects, DefaultValuesResetEverythingAndRunNothingTheSecondTime) {
  Put(camera(), Effects{true, true, true, true, true, true, true, 10, -20, 30, -40, 50, 60, 70,
                        ScrCam::TScreenRotate::R270D});
  Effects shown{};
  std::vector<std::wstring> labels;
  int firstRuns = 0, secondRuns = -1;
  Open([&](HWND dlg) {
    const int before = app::FilterEffectsHandlerRuns();
    testapp::Press(dlg, id::DefaultValueBtn);
    firstRuns = app::FilterEffectsHandlerRuns() - before;
    shown = Shown(dlg);
    labels = Labels(dlg);
    const int again = app::FilterEffectsHandlerRuns();
    testapp::Press(dlg, id::DefaultValueBtn);
    secondRuns = app::FilterEffectsHandlerRuns() - again;
    testapp::Press(dlg, id::OkBtn);
  });
  EXPECT_EQ(7 + 1 + 7, firstRuns) << "seven bars, the rotation and seven switches";
  EXPECT_EQ(0, secondRuns);
  EXPECT_TRUE(shown == kAtDefaults);
  EXPECT_EQ(std::vector<std::wstring>(7, L"0"), labels);
  EXPECT_TRUE(Of(camera()) == kAtDefaults);
}

TEST_F(FilterEffects, ABarMovedWithItsSwitchOffChangesOnlyItsSetting) {
  Put(camera(), kAtDefaults);
  std::wstring label;
  Open([&](HWND dlg) {
    app::SetTrackPosition(::GetDlgItem(dlg, id::SaturationTrackBar), 90);
    label = testapp::ItemTextOf(dlg, id::SaturationLabel);
    testapp::Press(dlg, id::OkBtn);
  });
  Effects expected = kAtDefaults;
  expected.saturation = 90;
  EXPECT_TRUE(Of(camera()) == expected);
  EXPECT_EQ(L"90", label);

  // The ends of the ranges: -255 and 255 for the colours, 0 for saturation.
  int low = 0, high = 0, floor = -1;
  Open([&](HWND dlg) {
    app::SetTrackPosition(::GetDlgItem(dlg, id::RedTrackBar), -1000);
    low = camera().EffectRedValue;
    app::SetTrackPosition(::GetDlgItem(dlg, id::BrightnessTrackBar), 1000);
    high = camera().EffectBrightness;
    app::SetTrackPosition(::GetDlgItem(dlg, id::SaturationTrackBar), -5);
    floor = camera().EffectSaturation;
    testapp::Press(dlg, id::OkBtn);
  });
  EXPECT_EQ(-255, low);
  EXPECT_EQ(255, high);
  EXPECT_EQ(0, floor);
}

}  // namespace
