// What a recording without sound does with files that are not its own, in the real main
// window: a recording of the typed name is replaced only after the user's Yes and never while
// another copy of the program records into it or saves it, and the files a
// lost recording with sound left in the temporary folder are kept and named before the
// recording starts.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "app/forms/control_ids.h"
#include "app/forms/messages.h"
#include "app/main_window/main_form.h"
#include "base/balloon.h"
#include "base/dispatch.h"
#include "base/text.h"
#include "engine/camera/ScrCam.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/mrle_fixture.h"
#include "tests/app/other_copy.h"
#include "tests/app/recording_form.h"
#include "tests/app/scratch.h"
#include "tests/support/doubles.h"

namespace {

namespace id = app::id;

class MainTargets : public testing::Test {
 protected:
  void SetUp() override {
    app::MainFormOptions options;
    options.programFolder = program_.path();
    form_ = std::make_unique<app::TFrmMain>(options);
    testapp::PrepareRecordingForm(*form_, records_.path(), L"");
    if (HasFatalFailure()) return;
    form_->EdtRECPathKeyDown(VK_RETURN);
    ASSERT_TRUE(apptest::UseMrleAt8Bits(*form_->ScreenCamNS()));
  }
  void TearDown() override {
    form_.reset();
    base::FreeActiveBalloon();
    for (const std::wstring& name : Kept()) ::DeleteFileW((ScrCam::GetTempFolder() + name).c_str());
  }
  static std::vector<std::wstring> Kept() {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW((ScrCam::GetTempFolder() + L"Reclume recording *").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do found.push_back(data.cFileName);
    while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return found;
  }
  // Stops from the tray and waits until the thread has gone and the window took the end.
  bool StopAndWait() {
    ::SendMessageW(form_->hwnd(), app::WM_TRAYICON, 0, WM_LBUTTONDOWN);
    return base::PumpUntil(
        [&] { return !form_->ScreenCamNS()->HasRecordThread() && !form_->Road()->Running(); }, 30000);
  }

  testsupport::ScriptedPrompter prompter_{{}, IDNO};
  base::ScopedPrompter scoped_{prompter_};
  testapp::ScratchFolder program_, records_;
  std::unique_ptr<app::TFrmMain> form_;
};

TEST_F(MainTargets, ATypedNameRecordedTwiceIsAskedAbout) {
  form_->BtnAutoSaveClick();
  form_->SetControlText(id::EdtREC, L"REC");
  const std::wstring target = records_.path() + L"REC.avi";
  ASSERT_TRUE(apptest::WriteBytes(target, "the first recording"));
  form_->Button(id::BtnSartRec)->Click();
  const auto asked = prompter_.asked();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(base::WideToUtf8(asked[0].text), base::WideToUtf8(base::Format(app::kReplaceRecordingFmt, target)));
  EXPECT_EQ(asked[0].flags & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
  EXPECT_FALSE(form_->ScreenCamNS()->Recording()) << "No starts nothing";
  EXPECT_FALSE(form_->Road()->Running());
  EXPECT_EQ(apptest::ReadBytes(target), "the first recording");
  EXPECT_TRUE(::IsWindowVisible(form_->hwnd()));
}

// Another copy records into the typed name with sound: its target is the empty placeholder
// that its save fills. This copy says so in words and asks nothing.
TEST_F(MainTargets, ATypedNameAnotherCopyRecordsIntoIsRefusedInWords) {
  form_->BtnAutoSaveClick();
  form_->SetControlText(id::EdtREC, L"REC");
  const std::wstring target = records_.path() + L"REC.avi";
  ASSERT_TRUE(apptest::WriteBytes(target, ""));
  apptest::OtherCopy other(target);
  ASSERT_TRUE(other.held());
  form_->Button(id::BtnSartRec)->Click();
  const auto asked = prompter_.asked();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(base::WideToUtf8(asked[0].text), base::WideToUtf8(base::Format(app::kRecordingInUseFmt, target)));
  EXPECT_EQ(asked[0].flags & MB_TYPEMASK, static_cast<UINT>(MB_OK));
  EXPECT_FALSE(form_->ScreenCamNS()->Recording());
  EXPECT_FALSE(form_->Road()->Running());
  EXPECT_TRUE(apptest::FileExists(target));
  EXPECT_EQ(apptest::ReadBytes(target), "");
  EXPECT_TRUE(::IsWindowVisible(form_->hwnd()));
  EXPECT_TRUE(other.LetGo());
}

TEST_F(MainTargets, ALostRecordingWithSoundIsKeptBeforeARecordingWithoutSound) {
  // The camera's set of temporary files, as a killed recording with sound left it.
  form_->ScrCamera();
  ASSERT_FALSE(ScrCam::TempVideoFile.empty());
  ASSERT_TRUE(apptest::WriteBytes(ScrCam::TempVideoFile, "a lost recording's video"));
  ASSERT_TRUE(apptest::WriteBytes(ScrCam::TempAudioFile, "a lost recording's sound"));
  form_->Button(id::BtnSartRec)->Click();
  const auto asked = prompter_.asked();
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked[0].text.rfind(L"Recording kept in: ", 0), 0u) << base::WideToUtf8(asked[0].text);
  EXPECT_TRUE(form_->ScreenCamNS()->Recording()) << "the recording starts after the message";
  EXPECT_FALSE(apptest::FileExists(ScrCam::TempVideoFile));
  EXPECT_FALSE(apptest::FileExists(ScrCam::TempAudioFile));
  const std::vector<std::wstring> kept = Kept();
  ASSERT_EQ(kept.size(), 2u);
  for (const std::wstring& name : kept) {
    EXPECT_NE(asked[0].text.find(ScrCam::GetTempFolder() + name), std::wstring::npos) << base::WideToUtf8(name);
    const std::string bytes = apptest::ReadBytes(ScrCam::GetTempFolder() + name);
    EXPECT_TRUE(bytes == "a lost recording's video" || bytes == "a lost recording's sound") << bytes;
  }
  // A stop before the first frame would leave no file: one frame first.
  ASSERT_TRUE(base::PumpUntil([&] { return form_->ScreenCamNS()->FramesWritten() >= 1; }, 20000));
  ASSERT_TRUE(StopAndWait());
  EXPECT_TRUE(apptest::FileExists(records_.path() + L"1.avi"));
}

}  // namespace
