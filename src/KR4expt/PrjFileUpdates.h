// The project-update document that Kestrune names with request 1034: a root "Files" with
// "language" and "project" attributes and "File" entries that add, remove or rename files of
// a project. Loading drops removals that the same document undoes; ForEach walks the rest.
#pragma once

#include "Common/DataTyp.h"
#include "Platform/Rtl/EnumSet.h"
#include "XML/KRXMLDOM.h"

#include <functional>
#include <memory>
#include <unordered_map>

namespace krx {

enum TFileUpdateOperation : Byte { fuAdd = 0, fuRemove = 1, fuRename = 2 };
using TFileUpdateOperations = EnumSet<TFileUpdateOperation>;

using TFileUpdateHandler =
    std::function<void(TFileUpdateOperation Op, const String &Name, const String &NewName)>;

class TProjectFileUpdates : public TObject {
public:
  // A document with an empty root "Files" for lanPascal.
  TProjectFileUpdates();

  // Reads the document (reader errors and a missing file are raised; a document without any
  // element raises EKRXMLException), takes its first element as the root and its language,
  // then drops the redundant removals. After a failure there is no root: ForEach visits
  // nothing.
  void LoadFromFile(const String &FileName);
  // The root's "project" attribute; empty when absent.
  String GetProjectName() const;
  // "add", "remove", "rename" without regard to case.
  static bool ParseOperation(StringView Text, TFileUpdateOperation &Op);
  // Every "File" child of the root with a known operation, in document order.
  void ForEach(const TFileUpdateHandler &Handler) const;

  TXMLDocument &Document() { return *FDocument; }
  TXMLElement *Root() const { return FRoot; }
  TSourceLanguageKind Language = lanPascal;

private:
  void DropRedundantRemoves();

  std::unique_ptr<TXMLDocument> FDocument;
  TXMLElement *FRoot = nullptr; // owned by the document
};

// How a file name occurs in a document: as added (an "add" entry or a rename's new name)
// and as removed (a "remove" entry or a rename's old name). Names are compared exactly, as
// the file system compares them. The finder indexes the document once, when it is created.
class TFileFinder : public TObject {
public:
  explicit TFileFinder(const TProjectFileUpdates &Updates);

  TFileUpdateOperations Find(const String &FileName);
  TFileUpdateOperations Found;
  String FileName;

private:
  void Visit(TFileUpdateOperation Op, const String &Name, const String &NewName);

  const TProjectFileUpdates &FUpdates;
  std::unordered_map<String, TFileUpdateOperations> FIndex;
};

} // namespace krx
