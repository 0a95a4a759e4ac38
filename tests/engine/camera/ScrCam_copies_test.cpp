// Two copies of the program at once: the temporary files of a copy that runs are never
// another copy's to delete, move or keep. The other copy is played by holding its set's named
// object, which is what a running camera holds; letting it go is that copy's crash.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "base/unique.h"
#include "tests/engine/camera/ScrCam_record_support.h"
#include "tests/support/scratch_folder.h"

namespace {

using namespace scrcamtest;
using scrcamNStest::FileExists;

class ScrCamCopies : public testing::Test, public CameraFixture {
 protected:
  void TearDown() override {
    DeleteKeptRecordings();
    for (const std::wstring& file : OtherFiles()) ::DeleteFileW(file.c_str());
  }
  static std::vector<std::wstring> OtherFiles() {
    const std::wstring folder = ScrCam::GetTempFolder();
    return {ScrCam::TempSetFile(folder, 1, L"tmpVideoStream", L".avi"),
            ScrCam::TempSetFile(folder, 1, L"tmpAudioStream", L".wav"),
            ScrCam::TempSetFile(folder, 1, L"qivtmp", L".avi")};
  }
  testsupport::ScratchFolder folder;
};

TEST_F(ScrCamCopies, ARunningCopysTemporaryFilesAreNeverTouched) {
  const std::wstring temp = ScrCam::GetTempFolder();
  // The other copy runs: it holds set 1 and writes its files there.
  base::UniqueHandle other(::CreateMutexW(nullptr, FALSE, ScrCam::TempFileSetName(temp, 1).c_str()));
  ASSERT_TRUE(other);
  ASSERT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "a camera of this process is alive";
  ASSERT_TRUE(SetUpCamera());  // (which clears the temporary folder of earlier tests' files)
  const std::vector<std::wstring> others = OtherFiles();
  for (const std::wstring& file : others)
    ASSERT_TRUE(testsupport::WriteBytes(file, "the other copy's " + std::to_string(file.size())));
  EXPECT_EQ(cam->TempFileSet(), 2);
  EXPECT_EQ(ScrCam::TempVideoFile, temp + L"tmpVideoStream-2.avi");
  EXPECT_EQ(ScrCam::TempAudioFile, temp + L"tmpAudioStream-2.wav");
  EXPECT_EQ(ScrCam::TempSaveFile, temp + L"qivtmp-2.avi");

  // A recording (into a non-ASCII folder too, which goes through the detour copy), and the
  // look for lost recordings that a recording without sound makes.
  ::CreateDirectoryW((folder / L"录像").c_str(), nullptr);
  for (const std::wstring& target : {folder / L"mine.avi", folder / L"录像\\mine.avi"}) {
    SCOPED_TRACE(base::WideToUtf8(target));
    events.Clear();
    ASSERT_TRUE(RecordFrames(target, 3));
    EXPECT_TRUE(ScrCam::MergeSucceeded.load());
    EXPECT_TRUE(events.Errors().empty()) << base::WideToUtf8(events.Errors().front());
  }
  events.Clear();
  cam->KeepLostRecordings();
  EXPECT_TRUE(events.Errors().empty());
  for (const std::wstring& file : others)
    EXPECT_EQ(testsupport::ReadBytes(file), "the other copy's " + std::to_string(file.size())) << base::WideToUtf8(file);

  // The other copy ended without cleaning up (a crash): its files are now a lost recording,
  // kept under names no recording deletes, and reported.
  other.reset();
  events.Clear();
  cam->KeepLostRecordings();
  const std::vector<std::wstring> errors = events.Errors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind(L"Recording kept in: ", 0), 0u) << base::WideToUtf8(errors[0]);
  for (const std::wstring& file : others) EXPECT_FALSE(FileExists(file)) << base::WideToUtf8(file);
  int kept = 0;
  for (const std::wstring& name : TempLeftovers())
    if (name.rfind(L"Reclume recording ", 0) == 0) ++kept;
  EXPECT_EQ(kept, 3);
}

// Every set held: the camera says why it cannot record with sound, and touches nothing.
TEST_F(ScrCamCopies, NoFreeSetIsSaidInWords) {
  const std::wstring temp = ScrCam::GetTempFolder();
  std::vector<base::UniqueHandle> held;
  for (int set = 1; set <= ScrCam::kTempFileSets; ++set) {
    held.emplace_back(::CreateMutexW(nullptr, FALSE, ScrCam::TempFileSetName(temp, set).c_str()));
    ASSERT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << set;
  }
  ASSERT_TRUE(SetUpCamera());
  const std::vector<std::wstring> others = OtherFiles();
  for (const std::wstring& file : others) ASSERT_TRUE(testsupport::WriteBytes(file, "held"));
  EXPECT_EQ(cam->TempFileSet(), 0);
  ASSERT_TRUE(RecordFrames(folder / L"none.avi", 1));
  const std::vector<std::wstring> errors = events.Errors();
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].rfind(L"Can not record with sound: every set of temporary files in ", 0), 0u)
      << base::WideToUtf8(errors[0]);
  EXPECT_FALSE(FileExists(folder / L"none.avi"));
  for (const std::wstring& file : others) EXPECT_EQ(testsupport::ReadBytes(file), "held");
}

}  // namespace
