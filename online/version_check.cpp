// The version check's pure parts (see version_check.h). A version is read by hand rather than
// with the C library: its number formats follow the locale and accept "inf", "nan", hex and
// exponents, none of which a page may announce.
#include "online/version_check.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "base/files.h"
#include "online/content.h"

namespace online {

namespace {

bool IsAsciiBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f' || c == L'\v'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

std::optional<float> ParseVersionText(const std::wstring& text) {
  size_t first = 0, last = text.size();
  while (first < last && IsAsciiBlank(text[first])) ++first;
  while (last > first && IsAsciiBlank(text[last - 1])) --last;
  const std::wstring number = text.substr(first, last - first);
  // Digits, then at most one "." with at least one digit after it.
  size_t i = 0;
  while (i < number.size() && IsDigit(number[i])) ++i;
  if (i == 0) return std::nullopt;
  if (i < number.size()) {
    if (number[i] != L'.') return std::nullopt;
    const size_t fraction = ++i;
    while (i < number.size() && IsDigit(number[i])) ++i;
    if (i == fraction || i != number.size()) return std::nullopt;
  }
  // Only ASCII digits and one "." are left, which strtod reads the same in the "C" locale
  // the program never leaves; the range check catches what single precision cannot hold.
  const std::string narrow(number.begin(), number.end());
  const double value = std::strtod(narrow.c_str(), nullptr);
  if (!std::isfinite(value) || value > FLT_MAX) return std::nullopt;
  return static_cast<float>(value);
}

std::wstring TextBetweenMarkers(const std::wstring& html, const std::wstring& begin, const std::wstring& end) {
  // 1-based positions, 0 for "not found", as the page format was first read.
  const size_t b = html.find(begin), e = html.find(end);
  const long long p = (b == std::wstring::npos ? 0 : static_cast<long long>(b) + 1) + static_cast<long long>(begin.size());
  const long long q = e == std::wstring::npos ? 0 : static_cast<long long>(e) + 1;
  if (q - p <= 0) return {};
  return html.substr(static_cast<size_t>(p - 1), static_cast<size_t>(q - p));
}

std::optional<float> ExtractDemoVersion(const std::wstring& lowerHtml) {
  return ParseVersionText(TextBetweenMarkers(lowerHtml, kVersionBegin, kVersionEnd));
}

bool IsNewerVersion(float page, float current) {
  return static_cast<double>(page) - static_cast<double>(current) > 0.01;
}

UpdatePageInfo ReadUpdatePage(const std::wstring& lowerHtml) {
  UpdatePageInfo info;
  info.genuine = lowerHtml.find(kUpdatePageMarker) != std::wstring::npos;
  info.version = ParseVersionText(TextBetweenMarkers(lowerHtml, kSoftVersionBegin, kSoftVersionEnd));
  info.downloadUrl = TextBetweenMarkers(lowerHtml, kSoftUrlBegin, kSoftUrlEnd);
  return info;
}

std::wstring SetupFolderArgument(const std::wstring& exePath) {
  std::wstring folder = base::FolderOf(exePath);
  for (wchar_t& c : folder)
    if (c == L' ') c = L'?';
  return folder;
}

}  // namespace online
