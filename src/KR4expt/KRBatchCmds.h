// The batch-import file "KRPrjBatch.imp" in which the IDE describes a set of files for
// Kestrune to import before it sends the batch-import command.
#pragma once

#include "Platform/Rtl/Classes.h"

#include <memory>

namespace krx {

class TKRBatchCommand : public TObject {
public:
  TKRBatchCommand();

  void AddFile(const String &FileName) { FFiles->Add(FileName); }
  Integer FileCount() const { return FFiles->Count(); }
  String Files(Integer Index) const { return FFiles->Strings(Index); }

  // Writes the ini file anew (nothing it held is kept): "Project" (CreateNewModel,
  // VisualizeModules, Project) and "Files" (Count, File_0..File_n-1). A project or file name
  // that no ini file can carry (CheckExchangeFileName) raises EKRXException naming it, before
  // anything is written; a folder or a FIFO under the name raises an error naming the file.
  void SaveToFile(const String &FileName) const;

  bool CreateNewModel = false;
  String Project;
  bool VisualizeModules = false;

private:
  std::unique_ptr<TStringList> FFiles;
};

} // namespace krx
