#include "support/ExplorerSupport.h"

namespace krx::test {

namespace {

TCodeItem *FindIn(TCodeItem *item, TCodeItemKind kind, StringView name) {
  if (item->Kind() == kind && item->GetQualifiedName() == name)
    return item;
  for (Integer i = 0; i < item->ChildCount(); ++i)
    if (TCodeItem *found = FindIn(item->GetChild(i), kind, name))
      return found;
  return nullptr;
}

void OutlineOf(const TCodeItem &item, int depth, std::string &out) {
  out += std::string(static_cast<std::size_t>(depth) * 2, ' ');
  out += StringToUtf8(String(TCodeItemKindNames[item.Kind()])) + " " +
         StringToUtf8(item.Name()) + " " + std::to_string(item.LineNr()) + "\n";
  for (Integer i = 0; i < item.ChildCount(); ++i)
    OutlineOf(*item.GetChild(i), depth + 1, out);
}

} // namespace

TCodeItem *TParsed::Find(TCodeItemKind kind, StringView qualifiedName) const {
  return FindIn(&Module(), kind, qualifiedName);
}

TCodeItem &TParsed::Get(TCodeItemKind kind, StringView qualifiedName) const {
  TCodeItem *item = Find(kind, qualifiedName);
  if (!item) {
    ADD_FAILURE() << "no " << StringToUtf8(String(TCodeItemKindNames[kind])) << " "
                  << StringToUtf8(String(qualifiedName)) << " in\n"
                  << Outline();
    throw std::runtime_error("item not found");
  }
  return *item;
}

std::string TParsed::MessageText() const {
  std::string r;
  for (Integer i = 0; i < Messages().MsgCount(); ++i)
    r += StringToUtf8(Messages().GetMessage(i).Text) + "\n";
  return r;
}

bool TParsed::HasMessage(StringView text) const {
  for (Integer i = 0; i < Messages().MsgCount(); ++i)
    if (Messages().GetMessage(i).Text == text)
      return true;
  return false;
}

std::string TParsed::Outline() const {
  std::string r;
  for (Integer i = 0; i < Module().ChildCount(); ++i)
    OutlineOf(*Module().GetChild(i), 0, r);
  return r;
}

TParsed Explore(StringView text, bool headerOnly, const String &fileName) {
  TParsed r{ModuleExplorerRegistry().CreateExplorer(lanPascal)};
  r.Explorer->ModuleItem()->SetFileName(fileName);
  r.Explorer->ExploreText(String(text), headerOnly);
  return r;
}

TDelphiExplorerOptions &TOptionsGuard::Options() const {
  return dynamic_cast<TDelphiExplorerOptions &>(ModuleExplorerRegistry().Options(lanPascal));
}

TOptionsGuard::TOptionsGuard() {
  TDelphiExplorerOptions &o = Options();
  FMode = o.CommentAssociationMode();
  FSignature = o.CommentSignature();
  FEmptyLine = o.EmptyLineUnassociatesComment();
  FDetailed = o.DetailedMetaDataHints();
  FConditions = o.ParserEvaluatesConditions();
  FFixEvents = o.FixEvents();
}

TOptionsGuard::~TOptionsGuard() {
  TDelphiExplorerOptions &o = Options();
  o.SetCommentAssociationMode(FMode);
  o.SetCommentSignature(FSignature);
  o.SetEmptyLineUnassociatesComment(FEmptyLine);
  o.SetDetailedMetaDataHints(FDetailed);
  o.SetParserEvaluatesConditions(FConditions);
  o.SetFixEvents(FFixEvents);
}

} // namespace krx::test
