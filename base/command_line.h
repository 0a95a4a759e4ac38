// The command line as every program of the system reads it.
#pragma once

#include <string>

namespace base {

// The first argument of a command line (the parsing the system gives every program: quotes
// group, blanks separate); empty when there is none.
std::wstring FirstArgument(const wchar_t* commandLine);

}  // namespace base
