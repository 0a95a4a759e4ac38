// The recorder's settings file, "defualt.ini" beside the program file, section "default".
//
// IniFile reads and writes one INI file through the system's private-profile functions, with
// two repairs over using them bare: integers are read as text and parsed strictly (decimal, or
// hexadecimal after "0x"; anything else is the caller's default, so "12abc" is not 12), and a
// file that does not exist yet is first created holding only a UTF-16LE byte-order mark, so the
// profile functions store it as UTF-16 and a Chinese folder name survives. An existing file,
// ANSI or UTF-16, is read and updated as it is, and every key and line the program does not
// know is kept. Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace app {

inline constexpr const wchar_t* kSettingsFileName = L"defualt.ini";
inline constexpr const wchar_t* kSettingsSection = L"default";
// Longest value read back (the rest of a longer value is cut).
inline constexpr int kMaxIniValueLength = 2047;

// The value of an integer setting: optional blanks, then an optional sign and decimal digits,
// or "0x"/"0X" and one to eight hexadecimal digits (taken as a 32-bit pattern). Nothing else:
// no value for an empty text, trailing characters or a number beyond 32 bits.
std::optional<int32_t> ParseIniInteger(std::wstring_view text);

// A write the system refused (read-only file or folder, full disk...).
class IniWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class IniFile {
 public:
  explicit IniFile(std::wstring path) : path_(std::move(path)) {}
  const std::wstring& path() const { return path_; }

  // The value (at most kMaxIniValueLength characters), or fallback when the key is absent.
  std::wstring ReadString(const wchar_t* section, const wchar_t* key, const std::wstring& fallback) const;
  // fallback when the key is absent or its value is no integer (ParseIniInteger).
  int32_t ReadInteger(const wchar_t* section, const wchar_t* key, int32_t fallback) const;
  // Read as an integer: any value but 0 is true.
  bool ReadBool(const wchar_t* section, const wchar_t* key, bool fallback) const;

  // Each creates the file (as UTF-16) and the section when missing; throws IniWriteError when
  // the system refuses the write.
  void WriteString(const wchar_t* section, const wchar_t* key, const std::wstring& value);
  void WriteInteger(const wchar_t* section, const wchar_t* key, int32_t value);
  void WriteBool(const wchar_t* section, const wchar_t* key, bool value);  // "1" or "0"

 private:
  void CreateAsUnicodeWhenMissing() const;
  std::wstring path_;
};

// The program file's folder, up to and including its last "\".
std::wstring ProgramFolder();
// ProgramFolder() + kSettingsFileName.
std::wstring DefaultSettingsPath();

// The keys of the settings file, with their defaults.
struct RecorderSettings {
  std::wstring picPath;  // "PicPath": the recording folder; default the program's folder
  std::wstring picName = L"REC";  // "PicName"
  bool sound = false;             // "sound"
  bool autoSaveToPath = true;     // "autoSaveToPath": automatic numbering
  int32_t curRandomNum = 80;      // "CurRadomNum1": read, never written
  bool autoRun = false;           // "AutoRun"
};

// Reads every key; picPath's default is defaultFolder. The values are returned as stored
// (PicPath is neither trimmed nor normalised here).
RecorderSettings ReadRecorderSettings(const IniFile& file, const std::wstring& defaultFolder);
// Writes "PicPath", "PicName", "autoSaveToPath", "sound" and "AutoRun", in this order;
// "CurRadomNum1" is never written. A refused write throws IniWriteError and leaves the keys not
// yet written as they were.
void WriteRecorderSettings(IniFile& file, const RecorderSettings& settings);

// The "AutoRun" value, kept for the whole run and written back unchanged; nothing acts on it.
extern bool AutoRunFlag;

}  // namespace app
