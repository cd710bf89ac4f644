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

  // Writes "Project" (CreateNewModel, VisualizeModules, Project) and "Files" (Count,
  // File_0..File_n-1) into the ini file, keeping its other content; "Files" is erased first.
  // A project or file name holding a line break raises EKRXException naming it, before
  // anything is written.
  void SaveToFile(const String &FileName) const;

  bool CreateNewModel = false;
  String Project;
  bool VisualizeModules = false;

private:
  std::unique_ptr<TStringList> FFiles;
};

} // namespace krx
