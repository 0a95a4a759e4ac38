// The end of a recording: the merge into the target and what is left in the target's folder and
// in the temporary folder after each way a recording can end (a missing folder, a target
// replaced, one held open, a cancelled merge, the folder removed meanwhile, non-ASCII folders,
// the sound file held open, the camera destroyed while it records).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/unique.h"
#include "engine/capture/disk_budget.h"
#include "engine/capture/vfw_handles.h"
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

// Removes the restart's pending renames a test left, when there were none before it.
void ClearPendingRenamesIfNone(const std::wstring& pendingBefore) {
  if (!pendingBefore.empty()) return;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_SET_VALUE,
                      &key) == ERROR_SUCCESS) {
    ::RegDeleteValueW(key, L"PendingFileRenameOperations");
    ::RegCloseKey(key);
  }
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
  ClearPendingRenamesIfNone(pendingBefore);
}

// Fails the loop's capturer once three frames are written: the packer's failures as the
// platform gives them, or an exception thrown in the loop.
class FaultProbe : public ScrCam::RecordProbe {
 public:
  FaultProbe(ScrCam::PackFault fault, bool throws) : fault_(fault), throws_(throws) {}
  ScrCam::PackFault NextPackFault() override { return written_ >= 3 ? fault_ : ScrCam::PackFault::None; }
  void Capturing() override {
    if (throws_ && written_ >= 3) throw std::runtime_error("a failure inside the frame loop");
  }
  void Wrote(int) override { ++written_; }

 private:
  ScrCam::PackFault fault_;
  bool throws_;
  std::atomic<int> written_{0};
};

// Every error stop of the loop after frames were written saves them into the target, as a user
// stop does: the recording is the user's, the failure only ended it.
TEST_F(ScrCamMerge, AnErrorStopAfterFramesSavesThem) {
  using ScrCam::PackFault;
  const struct {
    const char* name;
    PackFault fault;
    bool throws;
    std::vector<std::wstring> errors;
  } cases[] = {
      {"the bits not read", PackFault::NoBits, false,
       {L"Error retrieving image bits", L"Error capturing a frame from screen."}},
      {"no memory", PackFault::NoMemory, false,
       {L"Unable to allocate memory for image", L"Error capturing a frame from screen."}},
      {"a block that will not lock", PackFault::NoLock, false,
       {L"Unable to lock image handle at memory", L"Error capturing a frame from screen."}},
      {"an exception in the loop", PackFault::None, true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    events.Clear();
    FaultProbe probe(c.fault, c.throws);
    cam->SetRecordProbe(&probe);
    const std::wstring target = folder / (std::wstring(L"fault") + std::to_wstring(static_cast<int>(c.fault)) + L".avi");
    ASSERT_TRUE(cam->StartRecording(target));
    ASSERT_TRUE(WaitNoThread());
    cam->SetRecordProbe(nullptr);
    EXPECT_EQ(events.Errors(), c.errors);
    EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopError) << "still an error stop";
    EXPECT_TRUE(ScrCam::MergeSucceeded.load());
    const std::vector<std::wstring> outline = events.Outline();
    EXPECT_NE(std::find(outline.begin(), outline.end(), L"saving 100: Saving Success..."), outline.end());
    const scrcamNStest::AviFacts avi = scrcamNStest::ReadAvi(target);
    ASSERT_TRUE(avi.ok) << "no playable target";
    EXPECT_GE(avi.nonEmpty(), 3);
    EXPECT_EQ(avi.nonEmpty(), cam->FramesWritten.load()) << "every frame written is in it, no black one after";
    EXPECT_EQ(TempLeftovers(), std::vector<std::wstring>{});
  }
}

// Passes far longer than the slot (40 ms a frame at 25 fps, passes of about 150 ms): the merged
// recording has the slots they missed as empty positions, every frame at the slot of its pass,
// so the picture lasts as long as the recording ran and, with sound, as long as the sound.
class SlowCaptures : public ScrCam::RecordProbe {
 public:
  void Captured() override { ::Sleep(150); }
  void Wrote(int slot) override {
    std::lock_guard<std::mutex> hold(lock_);
    slots_.push_back(slot);
  }
  std::vector<int> slots() const {
    std::lock_guard<std::mutex> hold(lock_);
    return slots_;
  }

 private:
  mutable std::mutex lock_;
  std::vector<int> slots_;
};

// The seconds of the recording's sound stream; -1 without one.
double SoundSeconds(const std::wstring& path) {
  engine::AviLibrary library;
  engine::UniqueAviFile file;
  engine::UniqueAviStream stream;
  if (::AVIFileOpenW(file.put(), path.c_str(), OF_READ | OF_SHARE_DENY_WRITE, nullptr) != AVIERR_OK ||
      ::AVIFileGetStream(file.get(), stream.put(), streamtypeAUDIO, 0) != AVIERR_OK)
    return -1;
  AVISTREAMINFOW info{};
  if (::AVIStreamInfoW(stream.get(), &info, sizeof info) != AVIERR_OK || info.dwRate == 0) return -1;
  return static_cast<double>(::AVIStreamLength(stream.get())) * info.dwScale / info.dwRate;
}

TEST_F(ScrCamMerge, SlowPassesLeaveTheSlotsTheyMissedEmpty) {
  for (bool sound : {false, true}) {
    SCOPED_TRACE(sound ? "with sound" : "without sound");
    events.Clear();
    cam->UseAudioRecord = sound;
    cam->SelectedAudioFormat = 2;  // 16-bit mono at 8000 Hz
    cam->SetRecord_MSPF(40);
    cam->SetPlayBack_FPS(25);
    SlowCaptures probe;
    cam->SetRecordProbe(&probe);
    const std::wstring target = folder / (sound ? L"slow-sound.avi" : L"slow.avi");
    ASSERT_TRUE(RecordFrames(target, 12));
    cam->SetRecordProbe(nullptr);
    EXPECT_EQ(events.Errors(), std::vector<std::wstring>{});
    ASSERT_TRUE(ScrCam::MergeSucceeded.load());
    const std::vector<int> slots = probe.slots();
    ASSERT_GE(slots.size(), 12u);
    const scrcamNStest::AviFacts avi = scrcamNStest::ReadAvi(target);
    ASSERT_TRUE(avi.ok);
    EXPECT_DOUBLE_EQ(avi.fps, 25.0);
    ASSERT_GE(avi.length, slots.back() + 1);
    std::vector<int> filled;
    for (LONG pos = 0; pos < avi.length; ++pos)
      if (avi.sizes[static_cast<size_t>(pos)] > 0) filled.push_back(static_cast<int>(pos));
    EXPECT_EQ(filled, slots) << "the frames are at the positions of their slots";
    for (size_t i = 1; i < slots.size(); ++i) {
      EXPECT_GE(slots[i] - slots[i - 1], 3) << "frame " << i << " follows the one before too closely";
    }
    if (sound) {
      // The sound runs to the stop, the picture to its last slot: within one slow pass.
      const double soundSeconds = SoundSeconds(target), pictureSeconds = avi.length / 25.0;
      EXPECT_NEAR(pictureSeconds, soundSeconds, 0.3) << "picture " << pictureSeconds << " s, sound " << soundSeconds
                                                      << " s";
    }
    EXPECT_EQ(TempLeftovers(), std::vector<std::wstring>{});
  }
}

// A recording stopped before its first frame writes no target (it would hold no picture) and
// leaves nothing in the temporary folder.
TEST_F(ScrCamMerge, AStopBeforeTheFirstFrameLeavesNoFile) {
  for (bool withOldFile : {false, true}) {
    SCOPED_TRACE(withOldFile ? "over an older file" : "a new name");
    events.Clear();
    const std::wstring target = folder / L"nothing.avi";
    if (withOldFile) {
      ASSERT_TRUE(testsupport::WriteBytes(target, "the user's older file"));
    }
    // Paused from the start: the loop waits before its first capture, and the stop ends it there.
    cam->PauseRecording();
    ASSERT_TRUE(cam->StartRecording(target));
    ASSERT_TRUE(base::PumpUntil(
        [&] {
          const auto e = events.events();
          return std::find(e.begin(), e.end(), L"pause") != e.end();
        },
        20000));
    cam->StopRecording();
    ASSERT_TRUE(WaitNoThread());
    EXPECT_EQ(cam->FramesWritten.load(), 0);
    EXPECT_EQ(events.Errors(), std::vector<std::wstring>{});
    EXPECT_FALSE(ScrCam::MergeSucceeded.load());
    if (withOldFile) {
      EXPECT_EQ(testsupport::ReadBytes(target), "the user's older file");
    } else {
      EXPECT_FALSE(FileExists(target)) << "a target without a frame was written";
    }
    EXPECT_EQ(TempLeftovers(), std::vector<std::wstring>{});
  }
}

// A recording kept after a failed merge whose temporary video another program holds without
// letting it be moved (a scanner): it is copied to its kept name, and the message names the copy,
// not the temporary file that the end of the recording deletes.
TEST_F(ScrCamMerge, AKeptFileThatCannotBeMovedIsCopied) {
  const std::wstring pendingBefore = PendingRenames();
  // The target is held too, so the merge cannot replace it and the recording is kept.
  const std::wstring target = folder / L"held.avi";
  ASSERT_TRUE(testsupport::WriteBytes(target, "older"));
  base::UniqueFile heldTarget(
      ::CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(heldTarget);
  ASSERT_TRUE(cam->StartRecording(target));
  base::PumpUntil([&] { return cam->FramesWritten >= 3 || !cam->Recording; }, 20000);
  base::UniqueFile heldVideo(::CreateFileW(ScrCam::TempVideoFile.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(heldVideo) << "the temporary video cannot be held: " << ::GetLastError();
  cam->StopRecording();
  ASSERT_TRUE(WaitNoThread());
  heldVideo.reset();
  heldTarget.reset();
  const std::vector<std::wstring> errors = events.Errors();
  ASSERT_FALSE(errors.empty());
  const std::wstring& said = errors.back();
  const std::wstring prefix = L"Recording kept in: " + ScrCam::GetTempFolder() + L"Reclume recording ";
  ASSERT_EQ(said.rfind(prefix, 0), 0u) << "named the temporary file that is deleted: " << said;
  const scrcamNStest::AviFacts avi = scrcamNStest::ReadAvi(said.substr(19));
  EXPECT_TRUE(avi.ok && avi.nonEmpty() >= 3) << "the kept copy plays";
  // The held temporary video was scheduled for the restart: this test's leftover.
  ::DeleteFileW(ScrCam::TempVideoFile.c_str());
  ClearPendingRenamesIfNone(pendingBefore);
}

// A recording that can be neither moved nor copied when it is kept (another program took its
// temporary video, not even letting it be read): it is left where it is and the message says
// so; the end of the recording neither deletes it nor schedules it for deletion, and the next
// recording keeps it before it writes its own.
TEST_F(ScrCamMerge, AKeptFileThatCannotBeReadStaysWhereItIs) {
  const std::wstring pendingBefore = PendingRenames();
  // The target's volume fills at the stop, so the merge does not start and the files are kept.
  std::atomic<bool> stopped{false};
  engine::ScopedFreeBytes full([&](const std::wstring& path) -> std::optional<uint64_t> {
    if (stopped && path.rfind(folder.path(), 0) == 0) return 1024;
    return std::nullopt;
  });
  base::UniqueFile heldVideo;
  std::vector<std::wstring> errors;
  std::mutex lock;
  cam->OnError = [&](ScrCam::TScreenCamera&, const std::wstring& text) {
    // Told before the files are kept (on the record thread): the other program takes the file.
    if (text.rfind(L"Not enough free disk space to save ", 0) == 0)
      heldVideo.reset(::CreateFileW(ScrCam::TempVideoFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    std::lock_guard<std::mutex> hold(lock);
    errors.push_back(text);
  };
  const std::wstring target = folder / L"full.avi";
  ASSERT_TRUE(cam->StartRecording(target));
  base::PumpUntil([&] { return cam->FramesWritten >= 3 || !cam->Recording; }, 20000);
  stopped = true;
  cam->StopRecording();
  ASSERT_TRUE(WaitNoThread());
  ASSERT_TRUE(heldVideo) << "the test could not take the temporary video";
  heldVideo.reset();
  ASSERT_EQ(errors.size(), 2u);
  const std::wstring& said = errors.back();
  EXPECT_EQ(said.rfind(L"Recording kept in: " + ScrCam::TempVideoFile + L" (", 0), 0u) << "not said to stay: " << said;
  EXPECT_NE(said.find(L"left there"), std::wstring::npos) << said;
  EXPECT_EQ(PendingRenames(), pendingBefore) << "the only copy of the recording was scheduled for deletion";
  const scrcamNStest::AviFacts avi = scrcamNStest::ReadAvi(ScrCam::TempVideoFile);
  EXPECT_TRUE(avi.ok && avi.nonEmpty() >= 3) << "the recording left in place plays";

  // The next recording keeps it first.
  errors.clear();
  stopped = false;
  ASSERT_TRUE(RecordFrames(folder / L"next.avi", 2));
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].rfind(L"Recording kept in: " + ScrCam::GetTempFolder() + L"Reclume recording ", 0), 0u)
      << errors[0];
  EXPECT_TRUE(FileExists(folder / L"next.avi"));
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
