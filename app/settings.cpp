// The settings file: strict integer parsing, the UTF-16 creation of a new file, and the reading
// and writing of the recorder's keys. The private-profile functions keep every line they do not
// touch, so the program's writes never lose a foreign key.
#include "app/settings.h"

#include <windows.h>

#include <vector>

#include "base/files.h"
#include "base/unique.h"

namespace app {

bool AutoRunFlag = false;

namespace {

constexpr const wchar_t* kKeyPicPath = L"PicPath";
constexpr const wchar_t* kKeyPicName = L"PicName";
constexpr const wchar_t* kKeySound = L"sound";
constexpr const wchar_t* kKeyAutoSave = L"autoSaveToPath";
constexpr const wchar_t* kKeyRandomNum = L"CurRadomNum1";
constexpr const wchar_t* kKeyAutoRun = L"AutoRun";

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

std::optional<int32_t> ParseIniInteger(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;

  if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    std::wstring_view digits = text.substr(2);
    if (digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (wchar_t c : digits) {
      const int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      value = value * 16 + static_cast<uint32_t>(d);
    }
    return static_cast<int32_t>(value);
  }

  bool negative = false;
  if (text.front() == L'+' || text.front() == L'-') {
    negative = text.front() == L'-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::wstring IniFile::ReadString(const wchar_t* section, const wchar_t* key, const std::wstring& fallback) const {
  std::vector<wchar_t> buffer(kMaxIniValueLength + 1, L'\0');
  const DWORD got = ::GetPrivateProfileStringW(section, key, fallback.c_str(), buffer.data(),
                                               static_cast<DWORD>(buffer.size()), path_.c_str());
  return std::wstring(buffer.data(), got);
}

int32_t IniFile::ReadInteger(const wchar_t* section, const wchar_t* key, int32_t fallback) const {
  const std::wstring text = ReadString(section, key, L"");
  return ParseIniInteger(text).value_or(fallback);
}

bool IniFile::ReadBool(const wchar_t* section, const wchar_t* key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::CreateAsUnicodeWhenMissing() const {
  if (::GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  // Only a missing file is created; CREATE_NEW never touches one that appeared meanwhile.
  base::UniqueFile file(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;  // the profile write that follows reports the refusal
  static constexpr unsigned char kBom[2] = {0xFF, 0xFE};
  DWORD written = 0;
  ::WriteFile(file.get(), kBom, sizeof kBom, &written, nullptr);
}

void IniFile::WriteString(const wchar_t* section, const wchar_t* key, const std::wstring& value) {
  CreateAsUnicodeWhenMissing();
  if (!::WritePrivateProfileStringW(section, key, value.c_str(), path_.c_str()))
    throw IniWriteError("the settings file refused a write");
}

void IniFile::WriteInteger(const wchar_t* section, const wchar_t* key, int32_t value) {
  WriteString(section, key, std::to_wstring(value));
}

void IniFile::WriteBool(const wchar_t* section, const wchar_t* key, bool value) {
  WriteString(section, key, value ? L"1" : L"0");
}

std::wstring ProgramFolder() { return base::FolderOf(base::ProgramPath()); }

std::wstring DefaultSettingsPath() { return ProgramFolder() + kSettingsFileName; }

RecorderSettings ReadRecorderSettings(const IniFile& file, const std::wstring& defaultFolder) {
  RecorderSettings s;
  s.picPath = file.ReadString(kSettingsSection, kKeyPicPath, defaultFolder);
  s.picName = file.ReadString(kSettingsSection, kKeyPicName, s.picName);
  s.sound = file.ReadBool(kSettingsSection, kKeySound, s.sound);
  s.autoSaveToPath = file.ReadBool(kSettingsSection, kKeyAutoSave, s.autoSaveToPath);
  s.curRandomNum = file.ReadInteger(kSettingsSection, kKeyRandomNum, s.curRandomNum);
  s.autoRun = file.ReadBool(kSettingsSection, kKeyAutoRun, s.autoRun);
  return s;
}

void WriteRecorderSettings(IniFile& file, const RecorderSettings& s) {
  file.WriteString(kSettingsSection, kKeyPicPath, s.picPath);
  file.WriteString(kSettingsSection, kKeyPicName, s.picName);
  file.WriteBool(kSettingsSection, kKeyAutoSave, s.autoSaveToPath);
  file.WriteBool(kSettingsSection, kKeySound, s.sound);
  file.WriteBool(kSettingsSection, kKeyAutoRun, s.autoRun);
}

}  // namespace app
