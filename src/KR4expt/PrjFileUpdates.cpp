#include "KR4expt/PrjFileUpdates.h"

#include "XML/XMLFilers.h"

namespace krx {

namespace {

const Char *const SNoRootElement = u"Error The document \"%s\" holds no element";

bool OperationOf(const TXMLElement *element, TFileUpdateOperation &op) {
  return HasName(element, u"File") &&
         TProjectFileUpdates::ParseOperation(element->Attributes().Values(u"operation"), op);
}

} // namespace

TProjectFileUpdates::TProjectFileUpdates() : FDocument(std::make_unique<TXMLDocument>()) {
  FRoot = TXMLElement::CreateNamed(*FDocument, u"Files");
  SetStringsValue(FRoot->Attributes(), u"language", LanguageKindName(lanPascal));
}

void TProjectFileUpdates::LoadFromFile(const String &FileName) {
  FRoot = nullptr; // the reader clears the document, and with it the old root
  TXMLFiler::Load(FileName, *FDocument);
  TXMLElement *root = FDocument->Root();
  if (!root)
    throw EKRXMLException(Format(SNoRootElement, {FileName}));
  FRoot = root;
  Language = LanguageKindFromName(FRoot->Attributes().Values(u"language"));
  DropRedundantRemoves();
}

String TProjectFileUpdates::GetProjectName() const {
  return FRoot ? FRoot->Attributes().Values(u"project") : String();
}

bool TProjectFileUpdates::ParseOperation(StringView Text, TFileUpdateOperation &Op) {
  static constexpr StringView kNames[] = {u"add", u"remove", u"rename"};
  for (Byte i = 0; i < 3; ++i)
    if (SameText(Text, kNames[i])) {
      Op = static_cast<TFileUpdateOperation>(i);
      return true;
    }
  return false;
}

void TProjectFileUpdates::ForEach(const TFileUpdateHandler &Handler) const {
  if (!FRoot)
    return;
  for (Integer i = 0; i < FRoot->ChildCount(); ++i) {
    const TXMLElement *child = FRoot->Children(i);
    TFileUpdateOperation op;
    if (OperationOf(child, op))
      Handler(op, child->Attributes().Values(u"name"), child->Attributes().Values(u"newname"));
  }
}

void TProjectFileUpdates::DropRedundantRemoves() {
  TFileFinder finder(*this);
  // One pass: the finder indexed the document when it was made, and what it answers about
  // adds does not change as removals go.
  FRoot->DeleteChildrenIf([&finder](const TXMLElement &child) {
    TFileUpdateOperation op;
    return OperationOf(&child, op) && op == fuRemove &&
           finder.Find(child.Attributes().Values(u"name")).Contains(fuAdd);
  });
}

// ---- TFileFinder --------------------------------------------------------------------------

TFileFinder::TFileFinder(const TProjectFileUpdates &Updates) : FUpdates(Updates) {
  FUpdates.ForEach([this](TFileUpdateOperation op, const String &name, const String &newName) {
    Visit(op, name, newName);
  });
}

void TFileFinder::Visit(TFileUpdateOperation Op, const String &Name, const String &NewName) {
  switch (Op) {
  case fuAdd:
  case fuRemove:
    FIndex[Name].Include(Op);
    break;
  case fuRename:
    FIndex[NewName].Include(fuAdd);
    FIndex[Name].Include(fuRemove);
    break;
  }
}

TFileUpdateOperations TFileFinder::Find(const String &AFileName) {
  FileName = AFileName;
  auto it = FIndex.find(AFileName);
  Found = it == FIndex.end() ? TFileUpdateOperations() : it->second;
  return Found;
}

} // namespace krx
