// Splitting a recording into pictures: the split itself over real AVI files (MRLE fixtures
// written through AVIFile, damaged copies of them, files that are no AVI), and the main
// window's picture panel driven through its commands, its list and the system open dialog.
//
// AviSplitFiles.* split files that the shell test avi_split_pixels.test.sh makes with ffmpeg
// (and the fixtures it then compares pixel for pixel); without RECLUME_SPLIT_DIR they skip.
#include <gtest/gtest.h>

#include <windows.h>
#include <vfw.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/split/avi_split.h"
#include "app/forms/control_ids.h"
#include "app/texts/kv.h"
#include "app/main_window/main_form.h"
#include "app/program.h"
#include "base/shell_opener.h"
#include "base/short_names.h"
#include "app/main_window/tray_icon.h"
#include "base/dispatch.h"
#include "base/seams.h"
#include "base/text.h"
#include "tests/app/dialog_driver.h"
#include "tests/app/mrle_fixture.h"
#include "tests/app/picture_files.h"
#include "tests/app/scratch.h"
#include "tests/support/doubles.h"
#include "tests/support/passthrough_codec.h"

namespace {

using Names = std::vector<std::wstring>;
using testapp::FilesIn;
using testapp::FrameNames;
using End = app::SplitResult::End;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

class RecordingView : public app::SplitView {
 public:
  void SetStatus(const std::wstring& text) override { statuses.push_back(text); }
  void ShowFrame(HBITMAP frame) override {
    BITMAP bm{};
    ::GetObjectW(frame, sizeof bm, &bm);
    shown.push_back({bm.bmWidth, bm.bmHeight});
    // What a preview copying the frame sees: the frame must be free to select into its DC.
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, frame);
    corners.push_back(old ? ::GetPixel(dc, 0, 0) : CLR_INVALID);
    if (old) ::SelectObject(dc, old);
    ::DeleteDC(dc);
  }
  void AddPicture(const std::wstring& name, const std::wstring& path) override {
    names.push_back(name);
    paths.push_back(path);
  }
  void Message(const std::wstring& text) override { messages.push_back(text); }

  Names statuses, names, paths, messages;
  std::vector<SIZE> shown;
  std::vector<COLORREF> corners;  // each shown frame's top-left pixel
};

// The BMP file's header fields the tests check: bits per pixel, width, height (signed).
struct BmpShape {
  int bits = 0, width = 0, height = 0;
  bool operator==(const BmpShape&) const = default;
};
BmpShape ShapeOf(const std::wstring& path) {
  const std::string bytes = apptest::ReadBytes(path);
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return {};
  BITMAPINFOHEADER info{};
  std::memcpy(&info, bytes.data() + 14, sizeof info);
  return {info.biBitCount, info.biWidth, info.biHeight};
}

// A copy of the AVI file with its first video stream's rate set to 0.
bool WriteRateZeroCopy(const std::wstring& from, const std::wstring& to) {
  std::string bytes = apptest::ReadBytes(from);
  const size_t strh = bytes.find("strh");
  if (strh == std::string::npos || bytes.size() < strh + 32) return false;
  std::memset(&bytes[strh + 8 + 20], 0, 4);  // dwRate, after type, handler, flags, priority, language, initial frames, scale
  return apptest::WriteBytes(to, bytes);
}

// The AVI file up to (not into) its 'movi' list's data: the header whole, no frame.
bool WriteHeaderOnlyCopy(const std::wstring& from, const std::wstring& to) {
  const std::string bytes = apptest::ReadBytes(from);
  const size_t movi = bytes.find("movi");
  return movi != std::string::npos && apptest::WriteBytes(to, bytes.substr(0, movi + 4));
}

// --- the split itself ---

class AviSplitTest : public ::testing::Test {
 protected:
  AviSplitTest() { app::LoadProductTextsSimplified(); }
  std::wstring Path(const std::wstring& name) const { return folder_ / name; }
  std::wstring Img() const { return folder_ / L"img"; }
  app::SplitResult Split(const std::wstring& name, bool save = true, bool* cancel = nullptr,
                         app::PictureWriter writer = {}) {
    app::SplitRequest request;
    request.fileName = Path(name);
    request.save = save;
    request.cancel = cancel;
    request.writer = std::move(writer);
    return app::AviToPictures(request, view_);
  }

  apptest::ScratchFolder folder_;
  RecordingView view_;
};

TEST_F(AviSplitTest, OneHundredTwentyFramesGiveFrame01ToFrame120WithTheCountFirstAndEachNameAfterItsPicture) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Path(L"rec.avi"), 24, 16, 120, 10));
  const app::SplitResult result = Split(L"rec.avi");
  EXPECT_EQ(result.end, End::Completed);
  EXPECT_EQ(result.written, 120);
  EXPECT_EQ(result.msPerFrame, 100);
  EXPECT_TRUE(view_.messages.empty()) << Narrow(view_.messages.front());
  EXPECT_EQ(view_.names, FrameNames(1, 120));
  EXPECT_EQ(view_.names[98], L"Frame99.BMP");
  EXPECT_EQ(view_.names[99], L"Frame100.BMP");
  EXPECT_EQ(FilesIn(Img()), [] {
    Names sorted = FrameNames(1, 120);
    std::sort(sorted.begin(), sorted.end());
    return sorted;
  }());
  ASSERT_EQ(view_.statuses.size(), 121u);
  EXPECT_EQ(view_.statuses.front(), L"可分解成120个图片");
  EXPECT_EQ(view_.statuses[1], L"已生成Frame01.BMP");
  EXPECT_EQ(view_.statuses.back(), L"已生成Frame120.BMP");
  EXPECT_EQ(view_.paths.front(), Img() + L"\\Frame01.BMP");
  EXPECT_EQ(ShapeOf(Img() + L"\\Frame120.BMP"), (BmpShape{24, 24, 16}));
}

TEST_F(AviSplitTest, WithoutSavingEveryFrameIsShownAndNothingIsWritten) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Path(L"rec.avi"), 30, 20, 3, 5));
  const app::SplitResult result = Split(L"rec.avi", false);
  EXPECT_EQ(result.end, End::Completed);
  ASSERT_EQ(view_.shown.size(), 3u);
  EXPECT_EQ(view_.shown[2].cx, 30);
  EXPECT_EQ(view_.shown[2].cy, 20);
  // The fixture's frames are pure colours, the top half of each one the colour after the last.
  const std::vector<COLORREF> colours = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)};
  ASSERT_EQ(view_.corners.size(), 3u);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_NE(std::find(colours.begin(), colours.end(), view_.corners[i]), colours.end())
        << "frame " << i + 1 << ": got top-left " << std::hex << view_.corners[i] << ", expected a pure colour";
  EXPECT_NE(view_.corners[0], view_.corners[1]);
  EXPECT_TRUE(view_.names.empty());
  EXPECT_TRUE(FilesIn(Img()).empty());
}

TEST_F(AviSplitTest, BadInputGetsItsMessageWritesNoPictureAndDeletesNothing) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Path(L"good.avi"), 16, 16, 4, 10));
  const std::string good = apptest::ReadBytes(Path(L"good.avi"));
  struct Case {
    const wchar_t* label;
    std::function<bool(const std::wstring& path)> make;  // makes the file at path
    const wchar_t* expected;                             // the message, or a part of it
    End end;
  };
  const Case cases[] = {
      {L"text.avi", [](const std::wstring& p) { return apptest::WriteBytes(p, "this is not a video\r\n"); },
       L"FILEREAD\n不是可以读取的录像文件：", End::OpenFailed},
      {L"empty.avi", [](const std::wstring& p) { return apptest::WriteBytes(p, ""); },
       L"FILEREAD\n不是可以读取的录像文件：", End::OpenFailed},
      {L"cutinside.avi", [&](const std::wstring& p) { return apptest::WriteBytes(p, good.substr(0, 100)); },
       L"FILEREAD\n不是可以读取的录像文件：", End::OpenFailed},
      {L"cutafter.avi", [&](const std::wstring& p) { return WriteHeaderOnlyCopy(Path(L"good.avi"), p); },
       L"无法读取第1帧", End::Failed},
      {L"missing.avi", [](const std::wstring&) { return true; }, L"FILEOPEN\n无法打开文件：", End::OpenFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.label));
    ASSERT_TRUE(c.make(Path(c.label)));
    const Names before = FilesIn(folder_.path());
    const std::string bytes = apptest::ReadBytes(Path(c.label));
    view_ = RecordingView();
    const app::SplitResult result = Split(c.label);
    EXPECT_EQ(result.end, c.end);
    ASSERT_EQ(view_.messages.size(), 1u);
    EXPECT_NE(view_.messages[0].find(c.expected), std::wstring::npos)
        << "got " << Narrow(view_.messages[0]) << ", expected " << Narrow(c.expected);
    EXPECT_TRUE(view_.names.empty());
    EXPECT_TRUE(FilesIn(Img()).empty());
    EXPECT_EQ(FilesIn(folder_.path()), before);
    EXPECT_EQ(apptest::ReadBytes(Path(c.label)), bytes);
  }
}

TEST_F(AviSplitTest, AnImgFileEndsTheSplitWithItsMessageAndStaysAsItWas) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Path(L"rec.avi"), 16, 16, 3, 10));
  ASSERT_TRUE(apptest::WriteBytes(Img(), "a file named img"));
  const app::SplitResult result = Split(L"rec.avi");
  EXPECT_EQ(result.end, End::Failed);
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_NE(view_.messages[0].find(L"已有同名的文件"), std::wstring::npos) << Narrow(view_.messages[0]);
  EXPECT_NE(view_.messages[0].find(L"已生成0个图片"), std::wstring::npos) << Narrow(view_.messages[0]);
  EXPECT_EQ(apptest::ReadBytes(Img()), "a file named img");
  EXPECT_EQ(FilesIn(folder_.path()), (Names{L"img", L"rec.avi"}));
}

TEST_F(AviSplitTest, OtherFilesInImgStayByteForByteAndSamePicturesAreOverwritten) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Path(L"rec.avi"), 16, 16, 3, 10));
  ASSERT_TRUE(::CreateDirectoryW(Img().c_str(), nullptr));
  ASSERT_TRUE(apptest::WriteBytes(Img() + L"\\notes.txt", "mine"));
  ASSERT_TRUE(apptest::WriteBytes(Img() + L"\\Frame02.BMP", "an older picture"));
  ASSERT_TRUE(apptest::WriteBytes(Img() + L"\\Frame04.BMP", "not one of this split's"));
  EXPECT_EQ(Split(L"rec.avi").end, End::Completed);
  EXPECT_EQ(FilesIn(Img()), (Names{L"Frame01.BMP", L"Frame02.BMP", L"Frame03.BMP", L"Frame04.BMP", L"notes.txt"}));
  EXPECT_EQ(apptest::ReadBytes(Img() + L"\\notes.txt"), "mine");
  EXPECT_EQ(apptest::ReadBytes(Img() + L"\\Frame04.BMP"), "not one of this split's");
  EXPECT_EQ(ShapeOf(Img() + L"\\Frame02.BMP"), (BmpShape{24, 16, 16}));
}

TEST_F(AviSplitTest, ARateOfZeroSplitsNormallyAtZeroMillisecondsAFrame) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Path(L"rec.avi"), 16, 16, 3, 10));
  ASSERT_TRUE(WriteRateZeroCopy(Path(L"rec.avi"), Path(L"rate0.avi")));
  const app::SplitResult result = Split(L"rate0.avi");
  EXPECT_EQ(result.end, End::Completed);
  EXPECT_EQ(result.written, 3);
  EXPECT_EQ(result.msPerFrame, 0);
  EXPECT_TRUE(view_.messages.empty());
}

TEST_F(AviSplitTest, AFullDiskAtThePictureThreeKeepsTheFirstTwoAndTheOlderThirdLeavingNoPartialFile) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Path(L"rec.avi"), 40, 30, 5, 10));
  ASSERT_TRUE(::CreateDirectoryW(Img().c_str(), nullptr));
  ASSERT_TRUE(apptest::WriteBytes(Img() + L"\\Frame03.BMP", "the older third picture"));
  // The third picture's pixels get half written, then the disk is full.
  auto writer = [](HANDLE file, const void* data, DWORD size, int number) -> DWORD {
    if (number == 3 && size > 54) {
      DWORD written = 0;
      ::WriteFile(file, data, size / 2, &written, nullptr);
      return ERROR_DISK_FULL;
    }
    return app::WritePictureBytes(file, data, size, number);
  };
  const app::SplitResult result = Split(L"rec.avi", true, nullptr, writer);
  EXPECT_EQ(result.end, End::Failed);
  EXPECT_EQ(result.written, 2);
  ASSERT_EQ(view_.messages.size(), 1u);
  wchar_t* diskFull = nullptr;
  ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_DISK_FULL, 0, reinterpret_cast<wchar_t*>(&diskFull), 0, nullptr);
  ASSERT_NE(diskFull, nullptr);
  const std::wstring systemText = base::Trim(diskFull);
  ::LocalFree(diskFull);
  EXPECT_NE(view_.messages[0].find(L"Frame03.BMP"), std::wstring::npos) << Narrow(view_.messages[0]);
  EXPECT_NE(view_.messages[0].find(systemText), std::wstring::npos) << Narrow(view_.messages[0]);
  EXPECT_NE(view_.messages[0].find(L"已生成2个图片"), std::wstring::npos) << Narrow(view_.messages[0]);
  EXPECT_EQ(FilesIn(Img()), (Names{L"Frame01.BMP", L"Frame02.BMP", L"Frame03.BMP"}));
  EXPECT_EQ(apptest::ReadBytes(Img() + L"\\Frame03.BMP"), "the older third picture");
  EXPECT_EQ(view_.names, (Names{L"Frame01.BMP", L"Frame02.BMP"}));
}

TEST_F(AviSplitTest, AfterASplitTheRecordingCanBeRenamedAndDeleted) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Path(L"rec.avi"), 16, 16, 3, 10));
  ASSERT_EQ(Split(L"rec.avi").end, End::Completed);
  EXPECT_TRUE(::MoveFileW(Path(L"rec.avi").c_str(), Path(L"renamed.avi").c_str())) << ::GetLastError();
  EXPECT_TRUE(::DeleteFileW(Path(L"renamed.avi").c_str())) << ::GetLastError();
}

TEST_F(AviSplitTest, ARecordingInAChineseFolderSplitsIntoItsImgFolder) {
  // The multimedia functions take no Chinese path under this code page: the split opens the
  // file by its short name.
  ASSERT_TRUE(apptest::WriteMrleAvi(Path(L"rec.avi"), 16, 16, 2, 10));
  ASSERT_TRUE(::CreateDirectoryW(Path(L"屏幕录像").c_str(), nullptr));
  ASSERT_TRUE(::MoveFileW(Path(L"rec.avi").c_str(), Path(L"屏幕录像\\第一段.avi").c_str()));
  EXPECT_EQ(Split(L"屏幕录像\\第一段.avi").end, End::Completed);
  EXPECT_TRUE(view_.messages.empty());
  EXPECT_EQ(FilesIn(Path(L"屏幕录像\\img")), FrameNames(1, 2));
}

// A volume without 8.3 names hands the long name back as the short one: a name too long for
// the video reader is refused with its message, before the reader sees it.
DWORD WINAPI LongNameAsShortName(const wchar_t* longPath, wchar_t* shortPath, DWORD size) {
  const DWORD length = static_cast<DWORD>(std::wcslen(longPath));
  if (!shortPath || size <= length) return length + 1;
  std::wmemcpy(shortPath, longPath, length + 1);
  return length;
}

TEST_F(AviSplitTest, ANameTooLongForTheReaderWithoutAShortNameIsRefusedWithItsMessage) {
  // 52 characters: the reader would still open it here, so only the refusal stops the split.
  const std::wstring name = std::wstring(48, L'n') + L".avi";
  ASSERT_TRUE(apptest::WriteMrleAvi(Path(name), 16, 16, 2, 10));
  const base::ShortNameFunction previous = base::SetShortNameFunction(&LongNameAsShortName);
  const app::SplitResult result = Split(name);
  base::SetShortNameFunction(previous);
  EXPECT_EQ(result.end, End::OpenFailed);
  EXPECT_TRUE(view_.names.empty());
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0],
            L"录像的文件名太长，无法分解：" + name + L"\n请把文件名改为48个字符以内后再分解。");
  EXPECT_TRUE(FilesIn(Img()).empty());

  // With its real short name the same file splits.
  view_ = RecordingView();
  EXPECT_EQ(Split(name).end, End::Completed) << (view_.messages.empty() ? "" : Narrow(view_.messages[0]));
}

TEST_F(AviSplitTest, TheCancelFlagIsClearedWhenTheSplitBeginsAndTakenBetweenFrames) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Path(L"rec.avi"), 16, 16, 6, 10));
  bool cancel = true;  // left by an earlier recording start
  EXPECT_EQ(Split(L"rec.avi", true, &cancel).end, End::Completed);
  EXPECT_EQ(view_.names.size(), 6u);

  // Raised from the loop's pump, as a recording start raises it: the split ends before its
  // next frame and the flag is cleared.
  view_ = RecordingView();
  ASSERT_TRUE(base::PostToMain([&] { cancel = true; }));
  const app::SplitResult result = Split(L"rec.avi", true, &cancel);
  EXPECT_EQ(result.end, End::Cancelled);
  EXPECT_EQ(view_.names, (Names{L"Frame01.BMP"}));
  EXPECT_FALSE(cancel);
  EXPECT_TRUE(view_.messages.empty());
}

TEST_F(AviSplitTest, AQuitTakenByThePumpEndsTheSplitAndIsPostedAgain) {
  ASSERT_TRUE(apptest::WriteMrleAvi(Path(L"rec.avi"), 16, 16, 6, 10));
  ::PostQuitMessage(7);
  const app::SplitResult result = Split(L"rec.avi");
  EXPECT_EQ(result.end, End::Quit);
  EXPECT_EQ(result.written, 1);
  MSG msg{};
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

// --- files made by ffmpeg in the shell test ---

class AviSplitFiles : public AviSplitTest {
 protected:
  void SetUp() override {
    wchar_t dir[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"RECLUME_SPLIT_DIR", dir, MAX_PATH)) GTEST_SKIP() << "RECLUME_SPLIT_DIR is not set";
    dir_ = dir;
    if (dir_.back() != L'\\') dir_ += L'\\';
  }
  app::SplitResult SplitIn(const std::wstring& sub) {
    view_ = RecordingView();
    app::SplitRequest request;
    request.fileName = dir_ + sub + L"\\rec.avi";
    return app::AviToPictures(request, view_);
  }
  std::wstring dir_;
};

// The fixtures for the pixel comparison: MRLE at 8 bits and a 32-bit pass-through recording,
// both of odd sizes (padded rows), and the top-down 24-bit file that ffmpeg wrote.
TEST_F(AviSplitFiles, EveryKindOfFrameSplitsCompletely) {
  ASSERT_TRUE(::CreateDirectoryW((dir_ + L"mrle").c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(::CreateDirectoryW((dir_ + L"rgb32").c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(apptest::WriteMrleAvi(dir_ + L"mrle\\rec.avi", 37, 23, 3, 10));
  {
    testsupport::ScopedPassThrough codec;
    ASSERT_TRUE(codec.ok());
    ASSERT_TRUE(apptest::WriteFixtureAvi(dir_ + L"rgb32\\rec.avi", 37, 23, 3, 10, testsupport::kPassThroughFourCC, 1,
                                         32));
  }
  for (const wchar_t* sub : {L"mrle", L"rgb32", L"topdown"}) {
    SCOPED_TRACE(Narrow(sub));
    const app::SplitResult result = SplitIn(sub);
    EXPECT_EQ(result.end, End::Completed);
    EXPECT_TRUE(view_.messages.empty()) << Narrow(view_.messages.empty() ? L"" : view_.messages[0]);
    EXPECT_GE(result.written, 3);
  }
}

TEST_F(AviSplitFiles, AnAudioOnlyAndAnMpeg4FileEndWithTheirCause) {
  struct Case {
    const wchar_t* sub;
    const wchar_t* expected;
  };
  for (const Case& c : {Case{L"audio", L"NODATA"}, Case{L"mpeg4", L"FMP4"}}) {
    SCOPED_TRACE(Narrow(c.sub));
    const app::SplitResult result = SplitIn(c.sub);
    EXPECT_EQ(result.end, End::Failed);
    ASSERT_EQ(view_.messages.size(), 1u);
    EXPECT_NE(view_.messages[0].find(c.expected), std::wstring::npos) << Narrow(view_.messages[0]);
    EXPECT_NE(view_.messages[0].find(L"已生成0个图片"), std::wstring::npos) << Narrow(view_.messages[0]);
    EXPECT_TRUE(FilesIn(dir_ + c.sub + L"\\img").empty());
  }
}

}  // namespace
