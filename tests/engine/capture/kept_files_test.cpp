// Keeping a recording that could not be saved: the video and the wave of one recording share
// one name whatever the folder holds already, a file another program holds without letting it
// be moved is copied, and one that cannot even be read stays where it is, untouched.
#include "engine/capture/kept_files.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/unique.h"
#include "tests/support/scratch_folder.h"

namespace {

using engine::KeepUnderRecordingNames;
using engine::KeptFile;

const std::wstring kStamp = L"20260102-030405";

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(KeptFiles, TheVideoAndTheWaveOfOneRecordingShareOneName) {
  testsupport::ScratchFolder scratch;
  const std::wstring folder = scratch / L"kept\\";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  struct Case {
    const char* what;
    std::vector<std::wstring> there;  // names the folder holds before
    std::wstring suffix;              // the suffix both get
  } cases[] = {
      {"an empty folder", {}, L""},
      {"an earlier recording of the second kept only its video", {L".avi"}, L"-2"},
      {"an earlier one kept only its wave, and another both", {L".wav", L"-2.avi", L"-2.wav"}, L"-3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::RemoveTree(folder);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    for (const std::wstring& name : c.there)
      ASSERT_TRUE(testsupport::WriteBytes(folder + L"Reclume recording " + kStamp + name, "earlier"));
    const std::wstring video = scratch / L"v.avi", wave = scratch / L"w.wav";
    ASSERT_TRUE(testsupport::WriteBytes(video, "video"));
    ASSERT_TRUE(testsupport::WriteBytes(wave, "wave"));
    const std::vector<KeptFile> kept = KeepUnderRecordingNames({video, wave}, folder, kStamp);
    ASSERT_EQ(kept.size(), 2u);
    const std::wstring base = folder + L"Reclume recording " + kStamp + c.suffix;
    EXPECT_EQ(kept[0].kept, base + L".avi");
    EXPECT_EQ(kept[1].kept, base + L".wav");
    EXPECT_EQ(testsupport::ReadBytes(base + L".avi"), "video");
    EXPECT_EQ(testsupport::ReadBytes(base + L".wav"), "wave");
    EXPECT_FALSE(Exists(video) || Exists(wave)) << "moved, not copied";
    for (const std::wstring& name : c.there)
      EXPECT_EQ(testsupport::ReadBytes(folder + L"Reclume recording " + kStamp + name), "earlier");
  }
}

TEST(KeptFiles, AMoveRefusedIsACopyAndAFileThatCannotBeReadStays) {
  testsupport::ScratchFolder scratch;
  struct Case {
    const char* what;
    DWORD share;  // how another program holds the file
    bool copied, inPlace;
  } cases[] = {
      {"held for reading, not for a move", FILE_SHARE_READ | FILE_SHARE_WRITE, true, false},
      {"held without reading", FILE_SHARE_WRITE, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring file = scratch / L"held.avi";
    ASSERT_TRUE(testsupport::WriteBytes(file, "the recording"));
    base::UniqueFile held(
        ::CreateFileW(file.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    const std::vector<KeptFile> kept = KeepUnderRecordingNames({file}, scratch.path(), kStamp);
    held.reset();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].copied, c.copied);
    EXPECT_EQ(kept[0].inPlace, c.inPlace);
    EXPECT_EQ(testsupport::ReadBytes(file), "the recording") << "the file itself is untouched";
    if (c.inPlace) {
      EXPECT_EQ(kept[0].kept, file);
    } else {
      EXPECT_EQ(kept[0].kept, scratch / (L"Reclume recording " + kStamp + L".avi"));
      EXPECT_EQ(testsupport::ReadBytes(kept[0].kept), "the recording");
      ::DeleteFileW(kept[0].kept.c_str());
    }
    ::DeleteFileW(file.c_str());
  }
}

}  // namespace
