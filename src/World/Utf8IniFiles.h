// The ini file used for every ini file the system writes: read like the class library's
// in-memory ini file, written back as UTF-8 with a byte-order mark and an empty first line.
#pragma once

#include "Platform/Rtl/IniFiles.h"

namespace krx {

class TUtf8IniFile : public TMemIniFile {
public:
  // Reads the file when it exists. A file marked as UTF-32 raises EUnsupportedTextEncoding,
  // naming the file: it cannot be read, and writing it back would destroy it.
  explicit TUtf8IniFile(const String &fileName);
  // The content of a file the caller has read and examined itself (its lines); nothing is read.
  TUtf8IniFile(const String &fileName, const TStrings &lines);

  // Writes FileBytes; clears the modified flag. Nothing writes the file on destruction.
  void UpdateFile() override;
  // EF BB BF, an empty line, then every section with its lines, each line ended by CR LF.
  std::string FileBytes() const;
};

} // namespace krx
