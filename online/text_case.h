// Case folding for the online services' comparisons (addresses, tag names, process names).
#pragma once

#include <cwctype>
#include <string>

namespace online {

inline std::wstring LowerCase(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

inline std::wstring UpperCase(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

}  // namespace online
