// The settings file: strict integer values, a new file written as UTF-16 with exactly the
// program's keys in order, Chinese text surviving, foreign lines kept, ANSI files left ANSI,
// long values cut, and a refused write reported.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>

#include "app/settings.h"
#include "base/text.h"
#include "tests/app/scratch.h"

namespace {

using apptest::ReadBytes;
using apptest::ReadText;
using apptest::ScratchFolder;
using apptest::WriteBytes;

std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }

TEST(IniInteger, ParsesDecimalAndHexOnly) {
  struct Case {
    const wchar_t* text;
    std::optional<int32_t> expected;
  } cases[] = {
      {L"2", 2},          {L"0", 0},           {L"yes", std::nullopt},    {L"0x1", 1},
      {L"0X1f", 31},      {L"12abc", std::nullopt}, {L"", std::nullopt},   {L"  7 ", 7},
      {L"-3", -3},        {L"+5", 5},          {L"0x", std::nullopt},     {L"0xg", std::nullopt},
      {L"-", std::nullopt}, {L"2147483647", 2147483647}, {L"2147483648", std::nullopt},
      {L"-2147483648", INT32_MIN}, {L"0xFFFFFFFF", -1}, {L"0x100000000", std::nullopt},
      {L"1 2", std::nullopt}, {L"$10", std::nullopt},
  };
  for (const auto& c : cases) {
    auto got = app::ParseIniInteger(c.text);
    EXPECT_EQ(got, c.expected) << "text \"" << Narrow(c.text) << "\": got "
                               << (got ? std::to_string(*got) : "none");
  }
}

TEST(Settings, MissingFileGivesEveryDefault) {
  ScratchFolder dir;
  app::IniFile file(dir / L"defualt.ini");
  auto s = app::ReadRecorderSettings(file, L"C:\\prog\\");
  EXPECT_EQ(s.picPath, L"C:\\prog\\");
  EXPECT_EQ(s.picName, L"REC");
  EXPECT_FALSE(s.sound);
  EXPECT_TRUE(s.autoSaveToPath);
  EXPECT_EQ(s.curRandomNum, 80);
  EXPECT_FALSE(s.autoRun);
  EXPECT_FALSE(apptest::FileExists(file.path())) << "reading must not create the file";
}

TEST(Settings, ValuesAreParsedStrictly) {
  struct Case {
    const char* value;
    bool sound;           // default false
    bool autoSaveToPath;  // default true
    int32_t randomNum;    // default 80
  } cases[] = {
      {"2", true, true, 2},        {"yes", false, true, 80}, {"0x1", true, true, 1},
      {"12abc", false, true, 80},  {"0", false, false, 0},   {"", false, true, 80},
  };
  int n = 0;
  for (const auto& c : cases) {
    ScratchFolder dir;
    std::wstring path = dir / base::Format(L"case%d.ini", ++n);
    std::string v = c.value;
    ASSERT_TRUE(WriteBytes(path, "[default]\r\nsound=" + v + "\r\nautoSaveToPath=" + v + "\r\nCurRadomNum1=" + v +
                                     "\r\n"));
    app::IniFile file(path);
    auto s = app::ReadRecorderSettings(file, L"C:\\");
    EXPECT_EQ(s.sound, c.sound) << "sound=" << c.value;
    EXPECT_EQ(s.autoSaveToPath, c.autoSaveToPath) << "autoSaveToPath=" << c.value;
    EXPECT_EQ(s.curRandomNum, c.randomNum) << "CurRadomNum1=" << c.value;
  }
}

TEST(Settings, NewFileIsUnicodeWithExactlyTheWrittenKeysInOrder) {
  ScratchFolder dir;
  app::IniFile file(dir / L"defualt.ini");
  app::RecorderSettings s;
  s.picPath = L"C:\\rec\\";
  app::WriteRecorderSettings(file, s);
  std::string bytes = ReadBytes(file.path());
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xFE);
  std::wstring text = ReadText(file.path());
  EXPECT_EQ(Narrow(text),
            "[default]\r\nPicPath=C:\\rec\\\r\nPicName=REC\r\nautoSaveToPath=1\r\nsound=0\r\nAutoRun=0\r\n");
}

TEST(Settings, ChineseFolderSurvivesSaveAndLoad) {
  ScratchFolder dir;
  app::IniFile file(dir / L"defualt.ini");
  app::RecorderSettings s;
  s.picPath = L"C:\\我的录像\\屏幕\\";
  s.picName = L"会议";
  app::WriteRecorderSettings(file, s);
  app::IniFile again(dir / L"defualt.ini");
  auto back = app::ReadRecorderSettings(again, L"C:\\");
  EXPECT_EQ(Narrow(back.picPath), Narrow(s.picPath));
  EXPECT_EQ(Narrow(back.picName), Narrow(s.picName));
}

TEST(Settings, ExistingAnsiFileStaysAnsiAndKeepsForeignLines) {
  ScratchFolder dir;
  std::wstring path = dir / L"defualt.ini";
  ASSERT_TRUE(WriteBytes(path, "; kept comment\r\n[other]\r\nx=1\r\n[default]\r\nCurRadomNum1=5\r\nFoo=bar\r\nsound=1\r\n"));
  app::IniFile file(path);
  auto s = app::ReadRecorderSettings(file, L"C:\\prog\\");
  EXPECT_TRUE(s.sound);
  EXPECT_EQ(s.curRandomNum, 5);
  s.sound = false;
  app::WriteRecorderSettings(file, s);
  std::string bytes = ReadBytes(path);
  ASSERT_FALSE(bytes.empty());
  EXPECT_NE(static_cast<unsigned char>(bytes[0]), 0xFF) << "an ANSI file must stay ANSI";
  for (const char* kept : {"; kept comment", "[other]", "x=1", "CurRadomNum1=5", "Foo=bar"})
    EXPECT_NE(bytes.find(kept), std::string::npos) << "lost line: " << kept << "\nfile:\n" << bytes;
  EXPECT_NE(bytes.find("sound=0"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("PicPath=C:\\prog\\"), std::string::npos) << bytes;
}

TEST(Settings, AbsentRandomNumberIsNotAdded) {
  ScratchFolder dir;
  app::IniFile file(dir / L"defualt.ini");
  app::WriteRecorderSettings(file, app::ReadRecorderSettings(file, L"C:\\"));
  EXPECT_EQ(Narrow(ReadText(file.path())).find("CurRadomNum1"), std::string::npos);
}

TEST(Settings, LongValueIsCutTo2047Characters) {
  ScratchFolder dir;
  app::IniFile file(dir / L"defualt.ini");
  std::wstring longPath = L"C:\\" + std::wstring(3000, L'a') + L"\\";
  file.WriteString(app::kSettingsSection, L"PicPath", longPath);
  auto s = app::ReadRecorderSettings(file, L"C:\\");
  EXPECT_EQ(s.picPath.size(), 2047u);
  EXPECT_EQ(s.picPath, longPath.substr(0, 2047));
}

TEST(Settings, RefusedWriteThrows) {
  // A folder standing where the file should be: the system refuses every write. (A read-only
  // attribute does not stop writes here, so it cannot play the refusing file.)
  ScratchFolder dir;
  std::wstring path = dir / L"defualt.ini";
  ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr));
  app::IniFile file(path);
  EXPECT_THROW(app::WriteRecorderSettings(file, app::RecorderSettings{}), app::IniWriteError);
  app::IniFile nowhere(dir / L"missing\\defualt.ini");
  EXPECT_THROW(nowhere.WriteString(app::kSettingsSection, L"PicName", L"x"), app::IniWriteError);
}

}  // namespace
