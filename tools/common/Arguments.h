// Program arguments taken as texts exactly or not at all (header only: this folder is no
// program). An argument that is not valid UTF-8 has no exact String: a substitute character
// would make a file name name another file ('bad\xFF.pas' would read 'bad\uFFFD.pas').
#pragma once

#include "Platform/Rtl/Encoding.h"
#include "Platform/Rtl/Files.h"

#include <iostream>
#include <string>

namespace krx::tool {

// The argument's text; false, with the argument and the reason said on standard error under
// the tool's name, for one that is not valid UTF-8.
inline bool TakeArgument(const char *tool, std::string_view arg, String &text) {
  if (TryUtf8ToString(arg, text))
    return true;
  std::cerr << tool << ": cannot take the argument \"" << ShownOSName(arg) << "\": it "
            << OSNameProblem(arg) << ", and names are taken exactly or not at all\n";
  return false;
}

// The message of a tool that cannot read the file an argument names, the same in every tool.
inline void SayCannotRead(const char *tool, StringView fileName, const std::string &reason) {
  std::cerr << tool << ": cannot read " << StringToUtf8(fileName) << ": " << reason << "\n";
}

} // namespace krx::tool
