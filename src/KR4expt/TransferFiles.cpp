#include "KR4expt/TransferFiles.h"

#include "Platform/Rtl/Files.h"
#include "World/Utf8IniFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace krx {

namespace {

// Kestrune polls the transfer file for "TransferReady" while the IDE writes it. Each version
// of the file is written beside it and renamed over it, so a reader sees either the old or
// the new content in full, never a partly written file in which the ready mark could appear
// before the end of the list.
void UpdateInPlaceAtomically(TUtf8IniFile &ini) {
  const String target = ini.FileName();
  const String temp = target + Format(u".~%d.tmp", {static_cast<Integer>(::getpid())});
  ini.Rename(temp, false);
  try {
    ini.UpdateFile();
  } catch (...) {
    DeleteFile(temp);
    ini.Rename(target, false);
    throw;
  }
  ini.Rename(target, false);
  if (::rename(FileNameToOS(temp).c_str(), FileNameToOS(target).c_str()) != 0) {
    const int error = errno;
    DeleteFile(temp);
    throw EFCreateError(Format(u"Cannot create file \"%s\". %s",
                               {ExpandFileName(target), Utf8ToString(std::strerror(error))}));
  }
}

} // namespace

void WriteTransferFileList(const String &FileName, const String &Section, const TStrings &List) {
  TUtf8IniFile ini(FileName);
  ini.WriteInteger(Section, u"FileCount", List.Count());
  for (Integer i = 0; i < List.Count(); ++i)
    ini.WriteString(Section, Format(u"File_%d", {i}), List.Strings(i));
  UpdateInPlaceAtomically(ini);
}

void SignalTransferReady(const String &FileName) {
  TUtf8IniFile ini(FileName);
  ini.WriteBool(u"TransferControl", u"TransferReady", true);
  UpdateInPlaceAtomically(ini);
}

} // namespace krx
