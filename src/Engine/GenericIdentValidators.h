// An identifier validator that understands generic names ("TDictionary<String, TList<Integer>>"),
// reading a name with the grammar's tokenizer helper, and the observer that keeps the
// tokenizer switches and the Pascal language's validator in step with the language mode.
#pragma once

#include "Engine/CodeItems.h"
#include "Engine/GrammarTokens.h"

#include <memory>

namespace krx {

// An identifier validator that reads names as dotted identifiers whose parts may carry
// generic parameter or argument lists ("TDictionary<String, TList<Integer>>").
class TPascalGenericsIdentValidator : public TPascalIdentValidator,
                                      public TGrammarTokenizerContext {
public:
  TPascalGenericsIdentValidator();
  ~TPascalGenericsIdentValidator() override;

  String UnqualifiedName(const String &text) override;
  bool IsValidName(TCodeItemKind kind, const String &text) override;
  bool IsValidFor(TCodeItemKind kind, const String &text) override;
  bool IsValidQualifiedFor(TCodeItemKind kind, const String &text) override;
  void SplitGenericName(const String &text, String &name, bool &isGeneric,
                        String &typeParams) override;
  bool SplitQualifiedName(const String &text, String &name, String &qualifier) override;
  bool SplitList(const String &text, TStrings &strings) override;

  // ITokenizerContext, without reference counting.
  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }
  void UnexpectedToken() override;
  void AttributeIdentifier() override {}
  void BracketIdentifier(Char openBracket) override;
  void CheckIdentifier() override;
  String CompressText(String text) override { return text; }
  void AddMessage(const String &) override {}
  TTokenKinds GetSkipKinds() override;
  bool CurrentIsReservedWord() override { return false; }
  TTokenKind NextToken() override;
  void SetSkipKinds(TTokenKinds kinds) override;

private:
  // Reads the text as a dotted generic name; False when reading failed. complete tells
  // whether the text ended right after the name.
  bool ReadPath(const String &text, bool checking, bool asText, TGenericIdentPath &path,
                bool &complete);

  bool FResult = true;
  bool FChecking = true;
  std::unique_ptr<TGrammarTokens> FTokens;
};

// Keeps the tokenizer switches and the language's validator in step with the language mode.
class TTokenizerSynchronizer : public TLanguageObserver {
public:
  explicit TTokenizerSynchronizer(TSourceLanguage *language);
  void LanguageChanged() override;
};

} // namespace krx
