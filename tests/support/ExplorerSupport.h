// Parsing snippets with the Delphi explorer in tests, and looking at what came out.
#pragma once

#include "Engine/DelphiExplorers.h"
#include "Engine/CodeItemsTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace krx::test {

// One parse of a text; the explorer lives as long as the result.
struct TParsed {
  std::unique_ptr<TModuleExplorer> Explorer;
  TModuleItem &Module() const { return *Explorer->ModuleItem(); }
  TMessagesItem &Messages() const { return *Explorer->Messages(); }
  // The first item (depth first) of the kind whose qualified name is given; null if none.
  TCodeItem *Find(TCodeItemKind kind, StringView qualifiedName) const;
  // Like Find, but fails the test when there is none.
  TCodeItem &Get(TCodeItemKind kind, StringView qualifiedName) const;
  template <class T> T &Get(TCodeItemKind kind, StringView qualifiedName) const {
    return dynamic_cast<T &>(Get(kind, qualifiedName));
  }
  // Every message text, one a line.
  std::string MessageText() const;
  // "kind name line" of every item below the module, indented by depth.
  std::string Outline() const;
  bool HasMessage(StringView text) const;
};

// Parses text (whole) with a new explorer; fileName names the module for include files.
TParsed Explore(StringView text, bool headerOnly = false, const String &fileName = {});

// Sets explorer options for a test and puts the old ones back.
class TOptionsGuard {
public:
  TOptionsGuard();
  ~TOptionsGuard();
  TOptionsGuard(const TOptionsGuard &) = delete;
  TOptionsGuard &operator=(const TOptionsGuard &) = delete;
  TDelphiExplorerOptions &Options() const;

private:
  TCommentAssociationMode FMode;
  String FSignature;
  bool FEmptyLine, FDetailed, FConditions, FFixEvents;
};

} // namespace krx::test
