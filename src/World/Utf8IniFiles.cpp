#include "World/Utf8IniFiles.h"

#include "Platform/Rtl/Files.h"
#include "World/ClassEx.h"

namespace krx {

namespace {

// The class library's detection knows no UTF-32 and would take such a file for UTF-16 or
// ANSI text; refuse it before anything is read.
const String &RefuseUnreadable(const String &fileName) {
  if (!FileExists(fileName))
    return fileName;
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  Byte head[4];
  const Integer n = std::max<Integer>(stream.Read(head, 4), 0);
  const TTextEncoding encoding = DetectBOM(head, static_cast<std::size_t>(n));
  if (encoding == teUtf32LE || encoding == teUtf32BE)
    throw EUnsupportedTextEncoding(
        Format(u"Unsupported text encoding (UTF-32) of the file \"%s\"; it is left as it is",
               {ExpandFileName(fileName)}));
  return fileName;
}

} // namespace

TUtf8IniFile::TUtf8IniFile(const String &fileName) : TMemIniFile(RefuseUnreadable(fileName)) {}

TUtf8IniFile::TUtf8IniFile(const String &fileName, const TStrings &lines) : TMemIniFile(String()) {
  FFileName = fileName;
  SetStrings(lines);
}

void TUtf8IniFile::UpdateFile() {
  SaveFileAtomically(FileName(), FileBytes());
  SetModified(false);
}

std::string TUtf8IniFile::FileBytes() const {
  TStringList list;
  GetStrings(list);
  list.Insert(0, u"");
  return "\xEF\xBB\xBF" + StringToUtf8(list.Text());
}

} // namespace krx
