#include "KR4expt/KRBatchCmds.h"

#include "KR4expt/TransferFiles.h"
#include "World/Utf8IniFiles.h"

namespace krx {

TKRBatchCommand::TKRBatchCommand() : FFiles(std::make_unique<TStringList>()) {
  FFiles->SetDuplicates(dupAccept);
}

void TKRBatchCommand::SaveToFile(const String &FileName) const {
  CheckExchangeFileName(FileName, Project);
  for (Integer i = 0; i < FileCount(); ++i)
    CheckExchangeFileName(FileName, Files(i));
  // The file is the system's own and written anew: whatever an earlier run or anything else
  // left under its name is not read (a FIFO there would stop the read for ever).
  TUtf8IniFile ini(FileName, TStringList());
  ini.WriteBool(u"Project", u"CreateNewModel", CreateNewModel);
  ini.WriteBool(u"Project", u"VisualizeModules", VisualizeModules);
  ini.WriteString(u"Project", u"Project", Project);
  ini.EraseSection(u"Files");
  ini.WriteInteger(u"Files", u"Count", 0);
  for (Integer i = 0; i < FileCount(); ++i)
    ini.WriteString(u"Files", Format(u"File_%d", {i}), Files(i));
  ini.WriteInteger(u"Files", u"Count", FileCount());
  ini.UpdateFile();
}

} // namespace krx
