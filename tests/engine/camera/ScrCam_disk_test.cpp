// Recordings with sound on disks that fill and against the AVI size limit, driven by
// ScrCam_disk.test.sh: it mounts two 30 MB disks behind folder links (RECLUME_DISK_TARGET for
// targets, RECLUME_DISK_TEMP for a temporary folder) and decodes with ffprobe and ffmpeg every
// file the cases leave in RECLUME_DISK_OUT: targets, and the kept recordings, moved there.
// Without those variables the cases are skipped.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/text.h"
#include "engine/camera/avi_contents.h"
#include "engine/capture/disk_budget.h"
#include "engine/soundless/scrcamNS.h"
#include "tests/engine/camera/ScrCam_record_support.h"
#include "tests/support/passthrough_codec.h"

namespace {

using namespace scrcamtest;
using scrcamNStest::FileExists;

std::wstring Variable(const wchar_t* name) {
  const wchar_t* value = ::_wgetenv(name);
  std::wstring path = value ? value : L"";
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path;
}

std::wstring Raw(const wchar_t* name) {
  const wchar_t* value = ::_wgetenv(name);
  return value ? value : L"";
}

// Writes a file of real bytes (a sparse one would take no room) until the volume of folder
// has at most `leave` bytes free.
void FillVolume(const std::wstring& folder, uint64_t leave) {
  base::UniqueFile file(::CreateFileW((folder + L"filler.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  std::vector<char> block(1 << 16, 'f');
  while (true) {
    const std::optional<uint64_t> free = engine::FreeBytesOfVolume(folder);
    if (!free || *free <= leave) return;
    DWORD wrote = 0;
    const DWORD size = static_cast<DWORD>(std::min<uint64_t>(block.size(), *free - leave));
    if (!::WriteFile(file.get(), block.data(), size, &wrote, nullptr) || wrote == 0) return;
  }
}

// Another writer that fills a disk on the record thread, right after the pass that wrote frame
// `at` (so after that frame's write and before the disk budget's look of the pass). With a hold
// it keeps the loop there for longer than the budget's interval and the sound device's buffer:
// the next wave buffer meets the full disk before any frame does (the wave stops growing), and
// the look right after ends the recording. Without one the loop goes on writing frames onto the
// full disk until the budget's next look.
class FillAfterPass : public ScrCam::RecordProbe {
 public:
  FillAfterPass(std::wstring folder, int at, bool hold) : folder_(std::move(folder)), at_(at), hold_(hold) {}
  void Passed(uint32_t, int, bool written) override {
    if (filled_ || !written || ++frames_ < at_) return;
    filled_ = true;
    FillVolume(folder_, 0);
    if (!hold_) return;
    // The device hands over a buffer a second; a partial write (the last page's slack) shows
    // as growth short of a buffer, a full page as none.
    const std::wstring wave = ScrCam::TempAudioFile;
    const uint64_t before = engine::FileSizeOf(wave);
    const uint32_t start = ::GetTickCount();
    while (::GetTickCount() - start < 3000 && !(::GetTickCount() - start > 1200 && engine::FileSizeOf(wave) != before))
      ::Sleep(20);
  }
  int FramesBeforeFill() const { return at_; }

 private:
  std::wstring folder_;
  int at_;
  bool hold_;
  int frames_ = 0;
  bool filled_ = false;
};

class ScrCamDisk : public testing::Test, public CameraFixture {
 protected:
  void SetUp() override {
    if (out_.empty() || target_.empty() || temp_.empty()) GTEST_SKIP() << "run by ScrCam_disk.test.sh";
  }
  // The camera with sound; its temporary folder on the small disk when asked.
  void StartCamera(bool smallTemp, bool rawFrames) {
    if (smallTemp) {
      ::SetEnvironmentVariableW(L"TMP", temp_.c_str());
      ::SetEnvironmentVariableW(L"TEMP", temp_.c_str());
    }
    ASSERT_TRUE(SetUpCamera());
    cam->UseAudioRecord = true;
    cam->SelectedAudioFormat = 2;  // 16-bit mono at 8000 Hz
    if (rawFrames) {
      // 300 KB a frame, 3 MB a second: a 30 MB disk fills in seconds.
      ASSERT_TRUE(pass_.ok());
      cam->SetColors(engine::TPixelFormat::pf32bit);
      cam->GetVideoCompressors();
      cam->SelectedCompressor = FindCompressor(*cam, testsupport::kPassThroughFourCC);
      ASSERT_GE(cam->SelectedCompressor, 0);
    }
  }
  void TearDown() override {
    if (!cam) return;
    cam.reset();
    // The kept recordings go where the shell decodes them.
    for (const std::wstring& name : TempLeftovers())
      if (name.rfind(L"Reclume recording", 0) == 0)
        ::MoveFileExW((ScrCam::GetTempFolder() + name).c_str(), (out_ + Prefix() + name).c_str(),
                      MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING);
    for (const std::wstring& folder : {target_, temp_}) {
      ::DeleteFileW((folder + L"filler.bin").c_str());
      ::DeleteFileW((folder + L"tmpVideoStream.avi").c_str());
      ::DeleteFileW((folder + L"tmpAudioStream.wav").c_str());
    }
    ::SetEnvironmentVariableW(L"TMP", savedTmp_.empty() ? nullptr : savedTmp_.c_str());
    ::SetEnvironmentVariableW(L"TEMP", savedTemp_.empty() ? nullptr : savedTemp_.c_str());
  }
  std::wstring Prefix() const {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = info ? info->name() : "case";
    return std::wstring(name.begin(), name.end()) + L" - ";
  }
  // Waits until the camera has stopped itself and its thread has gone.
  bool WaitSelfStop(DWORD timeoutMs) {
    const bool stopped = base::PumpUntil([&] { return !cam->Recording; }, timeoutMs);
    cam->StopRecording();
    return WaitNoThread() && stopped;
  }
  void ExpectNoPartialSave(const std::wstring& target) {
    EXPECT_FALSE(FileExists(target + L".saving.avi"));
    EXPECT_FALSE(FileExists(ScrCam::GetTempFolder() + L"qivtmp.avi"));
  }
  std::vector<std::wstring> Kept() const {
    std::vector<std::wstring> kept;
    for (const std::wstring& name : TempLeftovers())
      if (name.rfind(L"Reclume recording", 0) == 0) kept.push_back(name);
    std::sort(kept.begin(), kept.end());
    return kept;
  }

  std::wstring out_ = Variable(L"RECLUME_DISK_OUT");
  std::wstring target_ = Variable(L"RECLUME_DISK_TARGET");
  std::wstring temp_ = Variable(L"RECLUME_DISK_TEMP");
  std::wstring savedTmp_ = Raw(L"TMP"), savedTemp_ = Raw(L"TEMP");
  testsupport::ScopedPassThrough pass_{[] {
    testsupport::PassThroughOptions raw;
    raw.bitDepths = {32};
    return raw;
  }()};
};

TEST_F(ScrCamDisk, AnEarlierRunsLeftoversAreKeptByteForByte) {
  StartCamera(false, false);
  const std::string video = "RIFF an earlier run's video that was never closed" + std::string(70000, '\0');
  const std::string sound = "RIFF an earlier run's sound" + std::string(30000, 's');
  ASSERT_TRUE(testsupport::WriteBytes(ScrCam::TempVideoFile, video));
  ASSERT_TRUE(testsupport::WriteBytes(ScrCam::TempAudioFile, sound));
  const std::wstring target = out_ + L"after-leftovers.avi";
  // A crash's partial save beside a target of the same folder goes at the next start.
  const std::wstring crashed = out_ + L"5.avi.saving.avi";
  ASSERT_TRUE(testsupport::WriteBytes(crashed, std::string(4096, '\0')));
  ASSERT_TRUE(RecordFrames(target, 10));
  EXPECT_FALSE(FileExists(crashed));
  EXPECT_TRUE(ScrCam::MergeSucceeded.load());
  const std::vector<std::wstring> kept = Kept();
  ASSERT_EQ(kept.size(), 2u);
  const std::vector<std::wstring> errors = events.Errors();
  ASSERT_EQ(errors.size(), 1u) << "told once";
  EXPECT_EQ(errors[0], L"Recording kept in: " + ScrCam::GetTempFolder() + kept[0] + L"; " + ScrCam::GetTempFolder() +
                           kept[1]);
  for (const std::wstring& name : kept) {
    const std::string bytes = testsupport::ReadBytes(ScrCam::GetTempFolder() + name);
    EXPECT_EQ(bytes, name.back() == L'i' ? video : sound) << "changed: " << std::string(name.begin(), name.end());
    ::DeleteFileW((ScrCam::GetTempFolder() + name).c_str());  // not recordings: nothing to decode
  }
}

TEST_F(ScrCamDisk, TheSizeLimitEndsARecordingSavedWhole) {
  StartCamera(false, false);
  constexpr uint64_t kLimit = engine::kAviCloseReserve + 200 * 1024;
  engine::ScopedAviFileLimit limit(kLimit);
  const std::wstring target = out_ + L"size-limit.avi";
  ASSERT_TRUE(cam->StartRecording(target));
  ASSERT_TRUE(WaitSelfStop(20000)) << "the camera did not stop at the limit";
  EXPECT_EQ(events.Errors(), std::vector<std::wstring>{L"Recording stopped: the AVI file would pass its 2 GB size "
                                                       L"limit. What was recorded is saved."});
  EXPECT_EQ(ScrCam::StopStatus.load(), ScrCam::kStopUser);
  ASSERT_TRUE(ScrCam::MergeSucceeded.load());
  const engine::AviContents saved = engine::ReadAviContents(target);
  EXPECT_TRUE(saved.whole);
  EXPECT_EQ(saved.videoFrames, static_cast<uint64_t>(cam->FramesWritten.load()));
  EXPECT_GT(saved.audioBytes, 0u);
  EXPECT_LE(engine::FileSizeOf(target), kLimit);
  EXPECT_EQ(Kept(), std::vector<std::wstring>{});
}

TEST_F(ScrCamDisk, DisksThatFill) {
  struct Case {
    const wchar_t* name;
    bool smallTemp;     // the temporary folder on the small disk (else the target)
    bool rawFrames;     // 3 MB a second (else the pattern through MRLE)
    int fillAt;         // 0: nothing else writes; 1: another writer fills the target's disk
                        // while recording; 2: when the merge starts; 3: the temporary folder's
                        // disk after a frame, the loop held until the sound's write met it;
                        // 4: the same, the loop going on writing frames onto it
    bool saved;
    std::vector<std::wstring> errors;  // their beginnings
    bool stereo = false;               // 16-bit stereo (4-byte blocks; else 16-bit mono)
  };
  const std::wstring writeError = L"Error on write data to AVI stream.\r\nNot enough free disk space in ";
  const Case cases[] = {
      {L"target-fills.avi", false, true, 0, true, {writeError + target_}},
      {L"temp-fills.avi", true, true, 0, true, {writeError + temp_}},
      {L"target-taken.avi", false, false, 1, false,
       {writeError + target_, L"Not enough free disk space to save ", L"Recording kept in: "}},
      {L"target-taken-at-merge.avi", false, false, 2, false, {L"Error: writing files!", L"Recording kept in: "}},
      // The sound's wave write fails: told with the recording's report, never in a box of
      // the sound device's own. The filler goes at the stop, before the files close, so the
      // video's index always fits.
      // In 4-byte blocks: the write that meets the disk ends on a page, past its 46-byte header.
      {L"temp-taken.avi", true, false, 3, true, {writeError + temp_}, true},
      // Frames handed to the writer while the disk is full, until the budget's next look: at
      // least the next one, which at 300 KB cannot fit into what is left of a page.
      {L"temp-taken-between.avi", true, true, 4, true, {writeError + temp_}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
    StartCamera(c.smallTemp, c.rawFrames);
    if (c.stereo) cam->SelectedAudioFormat = 3;
    engine::WaveContents wave;  // the temporary wave as the merge found it
    const bool fillTemp = c.fillAt >= 3;
    const std::wstring target = (c.smallTemp ? out_ : target_) + c.name;
    // Once the sound flows (past the head the platform loses); raw frames fill the disk sooner.
    FillAfterPass filler(temp_, c.rawFrames ? 10 : 30, c.fillAt == 3);
    if (fillTemp) cam->SetRecordProbe(&filler);
    events.onSaving = [&](int, const std::wstring& caption, bool&) {
      if (caption == L"Saving Video..." && !wave.readable) wave = engine::ReadWaveContents(ScrCam::TempAudioFile);
      if (c.fillAt == 2 && caption == L"Saving Video..." && !FileExists(target_ + L"filler.bin"))
        FillVolume(target_, 0);
    };
    events.onStop = [&] {
      if (fillTemp) ::DeleteFileW((temp_ + L"filler.bin").c_str());
    };
    ASSERT_TRUE(cam->StartRecording(target));
    if (c.fillAt == 1) {
      ASSERT_TRUE(base::PumpUntil([&] { return cam->FramesWritten >= 10; }, 10000));
      FillVolume(target_, 512 * 1024);
    }
    if (c.fillAt == 2) {
      ASSERT_TRUE(base::PumpUntil([&] { return cam->FramesWritten >= 15; }, 10000));
      cam->StopRecording();
      ASSERT_TRUE(WaitNoThread());
    } else {
      ASSERT_TRUE(WaitSelfStop(30000)) << "the full disk did not end the recording";
    }
    const std::vector<std::wstring> errors = events.Errors();
    std::string told;
    for (const std::wstring& e : errors) told += std::string(e.begin(), e.end()) + " | ";
    const bool expectSaved = c.saved;
    const std::vector<std::wstring>& expected = c.errors;
    EXPECT_EQ(errors.size(), expected.size()) << told;
    for (size_t i = 0; i < std::min(errors.size(), expected.size()); ++i)
      EXPECT_EQ(errors[i].rfind(expected[i], 0), 0u) << std::string(errors[i].begin(), errors[i].end());
    for (const auto& asked : prompter.asked()) ADD_FAILURE() << "a box: " << base::WideToUtf8(asked.text);
    EXPECT_EQ(ScrCam::MergeSucceeded.load(), expectSaved);
    EXPECT_EQ(FileExists(target), expectSaved);
    ExpectNoPartialSave(target);
    if (expectSaved) {
      const engine::AviContents saved = engine::ReadAviContents(target);
      EXPECT_TRUE(saved.whole);
      // Frames written onto a disk that another writer filled may be cut: whole ones are kept
      // (the shell decodes them), the first cut one and those after it are left out.
      if (fillTemp) {
        EXPECT_GE(saved.videoFrames + 5, static_cast<uint64_t>(filler.FramesBeforeFill()));
        if (c.fillAt == 4) {
          EXPECT_LT(saved.videoFrames, static_cast<uint64_t>(cam->FramesWritten.load())) << "no frame was cut";
        } else {
          EXPECT_LE(saved.videoFrames, static_cast<uint64_t>(cam->FramesWritten.load()));
        }
      } else {
        EXPECT_EQ(saved.videoFrames, static_cast<uint64_t>(cam->FramesWritten.load()));
      }
      EXPECT_EQ(Kept(), std::vector<std::wstring>{});
      // The shell decodes it from the out folder.
      if (!c.smallTemp) ::MoveFileExW(target.c_str(), (out_ + c.name).c_str(), MOVEFILE_COPY_ALLOWED);
    } else {
      EXPECT_EQ(Kept().size(), 2u) << "the temporary video and sound kept";
    }
    if (wave.readable && wave.blockAlign > 0) {
      EXPECT_EQ(wave.dataBytes % wave.blockAlign, 0u) << "the wave ends inside a block";
    }
    TearDown();
    events.Clear();
    events.onSaving = nullptr;
    events.onStop = nullptr;
  }
}

// A read-only folder (RECLUME_DISK_RO, a disk mounted read-only) is told as one that takes no
// files, by both recorders: also when its volume answers that it has no free space (through the
// free-space seam, as a write-protected drive may), it is never called a full disk.
TEST_F(ScrCamDisk, AReadOnlyFolderIsNotAFullDisk) {
  const std::wstring ro = Variable(L"RECLUME_DISK_RO");
  if (ro.empty()) GTEST_SKIP() << "RECLUME_DISK_RO names no folder";
  const std::wstring refused = L"The folder does not take files (it is read-only or writing is refused): " + ro;
  struct Case {
    const char* name;
    bool noFreeSpace;
    std::vector<std::wstring> errors;  // their beginnings
  };
  const Case cases[] = {
      {"the save refused", false, {L"Error: opening files!\r\n" + refused, L"Recording kept in: "}},
      {"no free space answered", true, {L"Error on write data to AVI stream.\r\n" + refused}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    engine::ScopedFreeBytes noFree([&](const std::wstring& path) -> std::optional<uint64_t> {
      if (c.noFreeSpace && path.rfind(ro, 0) == 0) return 0;
      return std::nullopt;
    });
    StartCamera(false, false);
    ASSERT_TRUE(cam->StartRecording(ro + L"rec.avi"));
    ASSERT_TRUE(base::PumpUntil([&] { return cam->FramesWritten >= 15 || !cam->Recording; }, 10000));
    cam->StopRecording();
    ASSERT_TRUE(WaitNoThread());
    const std::vector<std::wstring> errors = events.Errors();
    std::string told;
    for (const std::wstring& e : errors) told += base::WideToUtf8(e) + " | ";
    ASSERT_GE(errors.size(), c.errors.size()) << told;
    for (size_t i = 0; i < c.errors.size(); ++i) EXPECT_EQ(errors[i].rfind(c.errors[i], 0), 0u) << told;
    for (const std::wstring& e : errors) EXPECT_EQ(e.find(L"free disk space"), std::wstring::npos) << told;
    TearDown();
    events.Clear();
  }
  // The sound-less recorder: its message and the line that says why.
  testsupport::ScriptedPrompter told{{}, IDNO};
  base::ScopedPrompter scoped(told);
  scrcamNS::TScreenCamNS soundless;
  soundless.SetCaptureInterval(100);
  soundless.StartRecording(scrcamNS::MakeAreaSourceFor(pattern.hwnd()), ro + L"soundless.avi");
  ASSERT_TRUE(scrcamNStest::WaitIdle(soundless, 20000));
  std::vector<std::wstring> asked;
  for (const auto& q : told.asked()) asked.push_back(q.text);
  EXPECT_EQ(asked, std::vector<std::wstring>{L"创建视频文件时出错\r\n文件夹不能写入（只读或没有写入权限）：" + ro});
}

}  // namespace
