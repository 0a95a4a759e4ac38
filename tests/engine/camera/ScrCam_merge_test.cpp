// The end of a recording: the merge into the target and what is left in the target's folder and
// in the temporary folder after each way a recording can end (a missing folder, a target
// replaced, one held open, a cancelled merge, the folder removed meanwhile, non-ASCII folders,
// the sound file held open, the camera destroyed while it records).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/unique.h"
#include "tests/engine/camera/ScrCam_record_support.h"
#include "tests/support/scratch_folder.h"

namespace {

using namespace scrcamtest;
using scrcamNStest::FileExists;

std::wstring PendingRenames() {
  HKEY key = nullptr;
  std::wstring value;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
    return value;
  DWORD size = 0, type = 0;
  if (::RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    value.resize(size / sizeof(wchar_t) + 1);
    ::RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                       &size);
  }
  ::RegCloseKey(key);
  return value;
}

// The AVI at path read back (through an ASCII copy: AVIFile cannot open every path).
scrcamNStest::AviFacts ReadCopy(const std::wstring& path, const std::wstring& copy) {
  if (!::CopyFileW(path.c_str(), copy.c_str(), FALSE)) return {};
  scrcamNStest::AviFacts facts = scrcamNStest::ReadAvi(copy);
  ::DeleteFileW(copy.c_str());
  return facts;
}

enum class Target { Absent, Recording, OldBytes };

class ScrCamMerge : public testing::Test, public CameraFixture {
 protected:
  void SetUp() override { ASSERT_TRUE(SetUpCamera()); }
  void TearDown() override { DeleteKeptRecordings(); }
  testsupport::ScratchFolder folder;
};

TEST_F(ScrCamMerge, TargetAndTemporaryFolderAfterEachEnd) {
  const std::string oldBytes = "the user's older file";
  base::UniqueFile held;
  struct Case {
    const char* name;
    std::wstring target;
    std::function<void()> before;  // before the start
    std::function<void()> during;  // once frames were written, before the stop (the stop is skipped
                                   // when it ends the recording itself)
    Target expected;
    std::vector<std::wstring> errors;  // each error's start, in order
    int kept;                          // recordings kept in the temporary folder
    bool started = true;
  };
  const std::wstring sub = folder / L"sub\\";
  const Case cases[] = {
      {"missing folder", folder / L"nowhere\\x.avi", {}, {}, Target::Absent, {L"Not exist file path."}, 0, false},
      {"a good recording after it", folder / L"good.avi", {}, {}, Target::Recording, {}, 0},
      {"a target replaced", folder / L"old.avi",
       [&] { testsupport::WriteBytes(folder / L"old.avi", oldBytes); }, {}, Target::Recording, {}, 0},
      {"a target held open", folder / L"held.avi",
       [&] {
         testsupport::WriteBytes(folder / L"held.avi", oldBytes);
         held.reset(::CreateFileW((folder / L"held.avi").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
       },
       {}, Target::OldBytes, {L"Can not delete existing video file.", L"Recording kept in: "}, 1},
      {"a cancelled merge", folder / L"cancel.avi",
       [&] { events.onSaving = [](int, const std::wstring& c, bool& cont) { cont = c != L"Saving Video..."; }; },
       {}, Target::Absent, {L"Error: user abort!"}, 0},
      {"the folder removed after the start", sub + L"gone.avi", [&] { ::CreateDirectoryW(sub.c_str(), nullptr); },
       [&] { ::RemoveDirectoryW(sub.c_str()); }, Target::Absent, {L"Error: ", L"Recording kept in: "}, 1},
      {"an accented folder", folder / L"r\x00e9" L"cup\\x.avi",
       [&] { ::CreateDirectoryW((folder / L"r\x00e9" L"cup").c_str(), nullptr); }, {}, Target::Recording, {}, 0},
      {"a Chinese folder", folder / L"录像\\x.avi", [&] { ::CreateDirectoryW((folder / L"录像").c_str(), nullptr); },
       {}, Target::Recording, {}, 0},
      {"the sound file held open", folder / L"sound.avi",
       [&] {
         cam->UseAudioRecord = true;
         testsupport::WriteBytes(ScrCam::TempAudioFile, "held");
         held.reset(::CreateFileW(ScrCam::TempAudioFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
       },
       {}, Target::Absent, {L"Can not delete audio temp file."}, 0},
      {"an error stop", folder / L"refused.avi", [&] { cam->SelectedCompressor = -1; }, {}, Target::Absent,
       {L"User aborted!"}, 0, false},
  };
  const std::wstring pendingBefore = PendingRenames();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    events.Clear();
    events.onSaving = nullptr;
    cam->UseAudioRecord = false;
    cam->SelectedCompressor = FindCompressor(*cam, kMrle);
    if (c.before) c.before();
    ASSERT_TRUE(cam->StartRecording(c.target));
    base::PumpUntil([&] { return cam->FramesWritten >= 3 || !cam->Recording; }, 20000);
    if (c.during) c.during();
    cam->StopRecording();
    ASSERT_TRUE(WaitNoThread());
    held.reset();

    const std::vector<std::wstring> errors = events.Errors();
    std::wstring got;
    for (const std::wstring& e : errors) got += L"[" + e + L"]";
    ASSERT_EQ(errors.size(), c.errors.size()) << got;
    for (size_t i = 0; i < errors.size(); ++i) EXPECT_EQ(errors[i].rfind(c.errors[i], 0), 0u) << errors[i];
    const std::vector<std::wstring> outline = events.Outline();
    EXPECT_EQ(std::count(outline.begin(), outline.end(), L"start"), c.started ? 1 : 0);
    EXPECT_EQ(ScrCam::MergeSucceeded.load(), c.expected == Target::Recording);
    switch (c.expected) {
      case Target::Absent:
        EXPECT_FALSE(FileExists(c.target));
        break;
      case Target::OldBytes:
        EXPECT_EQ(testsupport::ReadBytes(c.target), oldBytes);
        EXPECT_EQ(PendingRenames(), pendingBefore) << "nothing scheduled for the restart";
        break;
      case Target::Recording: {
        const scrcamNStest::AviFacts avi = ReadCopy(c.target, folder / L"copy.avi");
        ASSERT_TRUE(avi.ok);
        EXPECT_EQ(avi.width, 320);
        EXPECT_GE(avi.nonEmpty(), 3);
        EXPECT_EQ(outline.back(), L"deleting 100: ");
        EXPECT_NE(std::find(outline.begin(), outline.end(), L"saving 100: Saving Success..."), outline.end());
        break;
      }
    }
    EXPECT_FALSE(FileExists(c.target + L".saving.avi"));
    // What is left in the temporary folder: only kept recordings.
    std::vector<std::wstring> left = TempLeftovers();
    if (c.name == std::string("the sound file held open")) {
      // Held while the recording ended: left where it was, then deleted here.
      ::DeleteFileW(ScrCam::TempAudioFile.c_str());
      left = TempLeftovers();
    }
    ASSERT_EQ(static_cast<int>(left.size()), c.kept) << (left.empty() ? L"" : left[0]);
    for (const std::wstring& name : left) EXPECT_EQ(name.rfind(L"Reclume recording ", 0), 0u) << name;
    if (c.kept) {
      EXPECT_NE(errors.back().find(ScrCam::GetTempFolder() + left[0]), std::wstring::npos) << errors.back();
      const scrcamNStest::AviFacts kept = scrcamNStest::ReadAvi(ScrCam::GetTempFolder() + left[0]);
      EXPECT_TRUE(kept.ok && kept.nonEmpty() >= 3) << "the kept recording plays";
    }
    DeleteKeptRecordings();
  }
  if (pendingBefore.empty()) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                        KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      ::RegDeleteValueW(key, L"PendingFileRenameOperations");
      ::RegCloseKey(key);
    }
  }
}

TEST_F(ScrCamMerge, DestroyedWhileRecording) {
  const std::wstring target = folder / L"destroyed.avi";
  ASSERT_TRUE(cam->StartRecording(target));
  ASSERT_TRUE(base::PumpUntil([&] { return cam->FramesWritten >= 2; }, 20000));
  cam.reset();
  EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopError);
  EXPECT_FALSE(ScrCam::MergeSucceeded.load());
  EXPECT_FALSE(FileExists(target));
  EXPECT_EQ(TempLeftovers(), std::vector<std::wstring>{});
}

}  // namespace
