#include "KR4expt/TransferFiles.h"

#include "Common/KRX.Exceptions.h"
#include "Platform/Rtl/Files.h"
#include "World/Utf8IniFiles.h"

namespace krx {

// Kestrune polls the transfer file for "TransferReady" while the IDE writes it. Each update
// goes through UpdateFile, which writes the new version beside the file (beside a link's
// target) and renames it over the file, so a reader sees the old or the new content in full;
// where the folder takes no new file, the file is rewritten in place and flushed, and the
// list, written by the first update, is on disk before the second one writes the mark.

void CheckExchangeFileName(const String &ExchangeFile, StringView Name) {
  if (Name.find_first_of(u"\r\n") == StringView::npos)
    return;
  // Shown as the source language writes such characters, so the message stays one line.
  String shown;
  for (Char c : Name)
    shown += c == u'\r' ? String(u"#13") : c == u'\n' ? String(u"#10") : String(1, c);
  throw EKRXException(Format(u"The file name \"%s\" holds a line break and cannot be written "
                             u"to \"%s\"",
                             {shown, ExpandFileName(ExchangeFile)}));
}

void WriteTransferFileList(const String &FileName, const String &Section, const TStrings &List) {
  for (Integer i = 0; i < List.Count(); ++i)
    CheckExchangeFileName(FileName, List.Strings(i));
  TUtf8IniFile ini(FileName);
  ini.WriteInteger(Section, u"FileCount", List.Count());
  for (Integer i = 0; i < List.Count(); ++i)
    ini.WriteString(Section, Format(u"File_%d", {i}), List.Strings(i));
  ini.UpdateFile();
}

void SignalTransferReady(const String &FileName) {
  TUtf8IniFile ini(FileName);
  ini.WriteBool(u"TransferControl", u"TransferReady", true);
  ini.UpdateFile();
}

} // namespace krx
