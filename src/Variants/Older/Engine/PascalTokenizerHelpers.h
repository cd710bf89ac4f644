// Reading the composite pieces of Pascal declarations through a Pascal tokenizer that the
// helper is given: identifiers, dotted names, dotted names with generic arguments, the text
// between matching brackets and generic parameter lists with attributes and constraints.
// Every token is fetched and every syntax error reported through an ITokenizerContext, so the
// owner decides how errors end the reading. Whether type names take generic arguments is the
// class of the helper (CreateTokenizerHelper chooses it from the generic-names switch). Also a
// small parser that fills a generic parameter list from a text.
#pragma once

#include "Engine/GenericParams.h"
#include "Engine/Tokenizers.h"
#include "Platform/Rtl/Intf.h"
#include "Platform/Rtl/System.h"

#include <memory>

namespace krx {

class TPascalTokenizerHelper : public TObject {
public:
  // The tokenizer is not owned and must outlive the helper. A null context is replaced by a
  // TDefaultTokenizerContext over the tokenizer.
  explicit TPascalTokenizerHelper(TPascalTokenizer &tokenizer,
                                  IPtr<ITokenizerContext> context = nullptr);
  ~TPascalTokenizerHelper() override = default;
  TPascalTokenizerHelper(const TPascalTokenizerHelper &) = delete;
  TPascalTokenizerHelper &operator=(const TPascalTokenizerHelper &) = delete;

  TPascalTokenizer &GetTokenizer() { return *FTokenizer; }
  ITokenizerContext &Context() { return *FContext; }

  // Each reads the next token first; the token after the name stays current.
  String ReadIdent();
  String ReadQualifiedIdent();
  // The type name with its dotted rest as the helper's class reads it.
  String ReadTypeIdent();

  // The current token must be the opening bracket ("(", "<" or "["). Returns the text
  // between the brackets as one line (empty with skipOnly); the closing bracket stays
  // current. itemCount, when given, receives the number of top-level items.
  String ReadBracketed(Char openBracket, Char closeBracket, bool skipOnly,
                       Integer *itemCount = nullptr);
  // The current token must be "<"; the closing ">" stays current (also when the source
  // joins it to a following "=", which is then the next token). Returns the number of
  // parameters; list may be null.
  Integer ReadGenericParamList(TGenericParamList *list);
  // path must be empty. With optional set, a first token that is no identifier (or is a
  // reserved word) leaves path empty without an error. With asText set the generic parts
  // are taken as written, else as parameter lists.
  void ReadGenericIdentPath(TGenericIdentPath &path, bool asText, bool optional);
  // Reads to the "]" that closes the given nesting depth (at least 1).
  void SkipToClosingBracket(Integer depth);

protected:
  // The dotted rest of a type name whose first identifier is the current token (its text
  // starts the result): plain dotted names here.
  virtual String TypeNameContinuation(String first) { return DottedContinuation(std::move(first)); }
  String DottedContinuation(String result);
  String GenericDottedContinuation(String result);

private:
  // Reports the current token; True when reading must stop because the text has ended.
  bool Unexpected();
  bool AtEnd() const { return FTokenizer->TokenKind() == TTokenKind::tkNone; }
  // A ">=" where a parameter list may end becomes ">" followed by "=" ("TFoo<T>=class").
  void SplitListEnd();
  String ReadTypeName(String first) { return TypeNameContinuation(std::move(first)); }

  TPascalTokenizer *FTokenizer;
  IPtr<ITokenizerContext> FContext;
};

// Type names with generic arguments in angle brackets ("TList<T>.TEnumerator").
class TPascalGenericsTokenizerHelper : public TPascalTokenizerHelper {
public:
  using TPascalTokenizerHelper::TPascalTokenizerHelper;

protected:
  String TypeNameContinuation(String first) override {
    return GenericDottedContinuation(std::move(first));
  }
};

// The generic-aware helper while the generic-names switch is on, else the plain one.
std::unique_ptr<TPascalTokenizerHelper> CreateTokenizerHelper(TPascalTokenizer &tokenizer,
                                                              IPtr<ITokenizerContext> context);

// Reads a generic parameter list from a text; malformed text raises EGenericParamListError
// "Illegal generic parameter list:" #13#10 followed by the text. It is its own tokenizer
// context: syntax errors raise, tokens and the skip set come from its tokenizer.
class TPascalGenericParamParser : public TObject, public ITokenizerContext {
public:
  TPascalGenericParamParser();
  ~TPascalGenericParamParser() override;
  TPascalGenericParamParser(const TPascalGenericParamParser &) = delete;
  TPascalGenericParamParser &operator=(const TPascalGenericParamParser &) = delete;

  // Clears the list and reads the trimmed text (which must start with "<") into it; a blank
  // text leaves the list empty.
  void Parse(const String &text, TGenericParamList &list);
  const String &Text() const { return FText; }

  // ITokenizerContext, without reference counting.
  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }
  void UnexpectedToken() override;
  void AttributeIdentifier() override {}
  void BracketIdentifier(Char) override {}
  void CheckIdentifier() override {}
  String CompressText(String text) override { return text; }
  void AddMessage(const String &) override {}
  TTokenKinds GetSkipKinds() override { return FTokenizer.SkipKinds(); }
  bool CurrentIsReservedWord() override { return false; }
  TTokenKind NextToken() override { return FTokenizer.NextToken(); }
  void SetSkipKinds(TTokenKinds kinds) override { FTokenizer.SetSkipKinds(kinds); }

private:
  String FText;
  TPascalTokenizer FTokenizer;
  std::unique_ptr<TPascalGenericsTokenizerHelper> FHelper;
};

} // namespace krx
