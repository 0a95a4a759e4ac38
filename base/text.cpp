// UTF-8/UTF-16 conversion, trimming, and the one formatter the program uses for wide texts.
#include "base/text.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace base {

std::wstring Utf8ToWide(std::string_view utf8) {
  if (utf8.empty()) return {};
  int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string WideToUtf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

std::wstring_view TrimView(std::wstring_view text) noexcept {
  while (!text.empty() && text.front() <= L' ') text.remove_prefix(1);
  while (!text.empty() && text.back() <= L' ') text.remove_suffix(1);
  return text;
}

std::wstring Trim(std::wstring_view text) { return std::wstring(TrimView(text)); }

long long FormatArg::AsSigned() const {
  switch (kind_) {
    case Kind::Signed: return i_;
    case Kind::Unsigned:
    case Kind::Char: return static_cast<long long>(u_);
    case Kind::Float: return static_cast<long long>(f_);
    default: return 0;
  }
}

unsigned long long FormatArg::AsUnsigned() const {
  switch (kind_) {
    case Kind::Signed: return static_cast<unsigned long long>(i_);
    case Kind::Unsigned:
    case Kind::Char: return u_;
    case Kind::Float: return static_cast<unsigned long long>(f_);
    default: return 0;
  }
}

double FormatArg::AsFloat() const {
  switch (kind_) {
    case Kind::Signed: return static_cast<double>(i_);
    case Kind::Unsigned:
    case Kind::Char: return static_cast<double>(u_);
    case Kind::Float: return f_;
    default: return 0;
  }
}

std::wstring FormatArg::AsText() const {
  switch (kind_) {
    case Kind::WideText: return std::wstring(w_);
    case Kind::NarrowText: return Utf8ToWide(n_);
    case Kind::Char: return std::wstring(1, static_cast<wchar_t>(u_));
    case Kind::Signed: return std::to_wstring(i_);
    case Kind::Unsigned: return std::to_wstring(u_);
    case Kind::Float: return std::to_wstring(f_);
  }
  return {};
}

namespace {

// Pads text to width with spaces (or zeros after any sign, for numbers).
std::wstring Pad(std::wstring text, int width, bool left, bool zero) {
  if (width <= 0 || static_cast<int>(text.size()) >= width) return text;
  size_t fill = static_cast<size_t>(width) - text.size();
  if (left) return text + std::wstring(fill, L' ');
  if (zero) {
    size_t at = (!text.empty() && (text[0] == L'-' || text[0] == L'+' || text[0] == L' ')) ? 1 : 0;
    if (text.size() > at + 1 && text[at] == L'0' && (text[at + 1] == L'x' || text[at + 1] == L'X')) at += 2;
    text.insert(at, fill, L'0');
    return text;
  }
  return std::wstring(fill, L' ') + text;
}

// Formats a number with the C runtime's narrow printf into ASCII; the conversion goes through
// a fixed "C"-style decimal point: any other separator the runtime uses is replaced by '.'.
std::wstring Number(const char* spec, const FormatArg& arg, char conv) {
  char buf[512];
  int n = 0;
  switch (conv) {
    case 'd':
    case 'i': n = std::snprintf(buf, sizeof buf, spec, arg.AsSigned()); break;
    case 'u':
    case 'x':
    case 'X':
    case 'o': n = std::snprintf(buf, sizeof buf, spec, arg.AsUnsigned()); break;
    default: n = std::snprintf(buf, sizeof buf, spec, arg.AsFloat()); break;
  }
  if (n < 0) return {};
  std::wstring out;
  for (int i = 0; i < n && i < static_cast<int>(sizeof buf) - 1; ++i) {
    char c = buf[i];
    out.push_back(c == ',' && (conv == 'f' || conv == 'e' || conv == 'g' || conv == 'E' || conv == 'G')
                      ? L'.'
                      : static_cast<wchar_t>(static_cast<unsigned char>(c)));
  }
  return out;
}

}  // namespace

std::wstring FormatList(std::wstring_view fmt, const std::vector<FormatArg>& args) {
  std::wstring out;
  size_t next = 0;
  size_t i = 0;
  while (i < fmt.size()) {
    wchar_t c = fmt[i];
    if (c != L'%') {
      out.push_back(c);
      ++i;
      continue;
    }
    size_t start = i++;
    if (i < fmt.size() && fmt[i] == L'%') {
      out.push_back(L'%');
      ++i;
      continue;
    }
    std::string flags;
    while (i < fmt.size() && std::wcschr(L"-0+ #", fmt[i]) && fmt[i] != 0) flags.push_back(static_cast<char>(fmt[i++]));
    int width = 0;
    while (i < fmt.size() && fmt[i] >= L'0' && fmt[i] <= L'9') width = width * 10 + (fmt[i++] - L'0');
    int precision = -1;
    if (i < fmt.size() && fmt[i] == L'.') {
      ++i;
      precision = 0;
      while (i < fmt.size() && fmt[i] >= L'0' && fmt[i] <= L'9') precision = precision * 10 + (fmt[i++] - L'0');
    }
    while (i < fmt.size() && (fmt[i] == L'l' || fmt[i] == L'h' || fmt[i] == L'L')) ++i;  // sizes are typed
    if (i >= fmt.size() || next >= args.size()) {
      out.append(fmt.substr(start, (i < fmt.size() ? i + 1 : i) - start));
      if (i < fmt.size()) ++i;
      continue;
    }
    wchar_t conv = fmt[i++];
    const FormatArg& arg = args[next];
    bool left = flags.find('-') != std::string::npos;
    switch (conv) {
      case L's': {
        std::wstring text = arg.AsText();
        if (precision >= 0 && static_cast<int>(text.size()) > precision) text.resize(static_cast<size_t>(precision));
        out += Pad(text, width, left, false);
        ++next;
        break;
      }
      case L'c':
        out += Pad(std::wstring(1, static_cast<wchar_t>(arg.AsUnsigned())), width, left, false);
        ++next;
        break;
      case L'd': case L'i': case L'u': case L'x': case L'X': case L'o':
      case L'f': case L'e': case L'E': case L'g': case L'G': {
        char n = static_cast<char>(conv);
        std::string spec = "%" + flags;
        if (width > 0) spec += std::to_string(width);
        if (precision >= 0) spec += "." + std::to_string(precision);
        if (n == 'd' || n == 'i' || n == 'u' || n == 'x' || n == 'X' || n == 'o') spec += "ll";
        spec.push_back(n);
        out += Number(spec.c_str(), arg, n);
        ++next;
        break;
      }
      default:
        out.append(fmt.substr(start, i - start));
        break;
    }
  }
  return out;
}

}  // namespace base
