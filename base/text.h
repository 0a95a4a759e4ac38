// Text helpers: UTF-8 <-> UTF-16 conversion, trimming, and one printf-style formatter for wide
// strings.
//
// Format is type-safe (arguments are captured, not passed through "..."): %s and %ls take any
// wide or narrow string (narrow text is read as UTF-8), %d %i %u %x %X take integers, %c a
// character, %f %e %g floating point, %% a percent sign. Flags (- 0 + space #), width and
// precision work as in printf ("%2.2d", "%-8s", "%1.1f"). The decimal separator is always a
// dot, whatever the locale. A specifier without a matching argument is written as it stands.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace base {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

// The text without its leading and trailing blanks: spaces and control characters (every
// character up to U+0020), as the program trims every name, path and message it is given.
// TrimView returns a view into text: keep text alive while the view is used.
std::wstring_view TrimView(std::wstring_view text) noexcept;
std::wstring Trim(std::wstring_view text);

class FormatArg {
 public:
  enum class Kind { Signed, Unsigned, Float, WideText, NarrowText, Char };

  FormatArg(int v) : kind_(Kind::Signed), i_(v) {}
  FormatArg(long v) : kind_(Kind::Signed), i_(v) {}
  FormatArg(long long v) : kind_(Kind::Signed), i_(v) {}
  FormatArg(unsigned v) : kind_(Kind::Unsigned), u_(v) {}
  FormatArg(unsigned long v) : kind_(Kind::Unsigned), u_(v) {}
  FormatArg(unsigned long long v) : kind_(Kind::Unsigned), u_(v) {}
  FormatArg(double v) : kind_(Kind::Float), f_(v) {}
  FormatArg(wchar_t c) : kind_(Kind::Char), u_(c) {}
  FormatArg(const wchar_t* s) : kind_(Kind::WideText), w_(s ? s : L"") {}
  FormatArg(const std::wstring& s) : kind_(Kind::WideText), w_(s) {}
  FormatArg(std::wstring_view s) : kind_(Kind::WideText), w_(s) {}
  FormatArg(const char* s) : kind_(Kind::NarrowText), n_(s ? s : "") {}
  FormatArg(const std::string& s) : kind_(Kind::NarrowText), n_(s) {}

  Kind kind() const { return kind_; }
  long long AsSigned() const;
  unsigned long long AsUnsigned() const;
  double AsFloat() const;
  std::wstring AsText() const;

 private:
  Kind kind_;
  long long i_ = 0;
  unsigned long long u_ = 0;
  double f_ = 0;
  std::wstring_view w_;
  std::string_view n_;
};

std::wstring FormatList(std::wstring_view fmt, const std::vector<FormatArg>& args);

template <class... Args>
std::wstring Format(std::wstring_view fmt, const Args&... args) {
  return FormatList(fmt, std::vector<FormatArg>{FormatArg(args)...});
}

}  // namespace base
