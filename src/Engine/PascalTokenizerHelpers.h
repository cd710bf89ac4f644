// Reading the composite pieces of Pascal declarations through one preprocessing tokenizer:
// identifiers, dotted names, dotted names with generic arguments, the text between matching
// brackets and generic parameter lists with attributes and constraints. Every token is
// fetched and every syntax error reported through an ITokenizerContext, so the owner decides
// how errors end the reading. Also the generic parameter list model and a small parser that
// fills it from a text.
#pragma once

#include "Engine/GenericParams.h"
#include "Engine/KRX.PascalPreprocessors.h"
#include "Engine/Tokenizers.h"
#include "Platform/Rtl/Intf.h"
#include "Platform/Rtl/System.h"

#include <functional>
#include <memory>
#include <vector>

namespace krx {

class TPascalTokenizerHelper : public TObject {
public:
  // Makes the context over the helper's own tokenizer.
  using TContextFactory = std::function<IPtr<ITokenizerContext>(TPreprocessedPascalTokenizer &)>;

  // A null context is replaced by a TDefaultTokenizerContext over the helper's tokenizer.
  explicit TPascalTokenizerHelper(IPtr<ITokenizerContext> context = nullptr);
  // For a context that needs the helper's tokenizer to exist first.
  explicit TPascalTokenizerHelper(const TContextFactory &makeContext);
  ~TPascalTokenizerHelper() override;
  TPascalTokenizerHelper(const TPascalTokenizerHelper &) = delete;
  TPascalTokenizerHelper &operator=(const TPascalTokenizerHelper &) = delete;

  TPreprocessedPascalTokenizer &GetTokenizer() { return *FTokenizer; }
  ITokenizerContext &Context() { return *FContext; }

  // Each reads the next token first; the token after the name stays current.
  String ReadIdent();
  String ReadQualifiedIdent();
  // Generic arguments are taken into the name while the generic-names switch is on.
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

  // Copies the current project's conditional defines and expressions into the compiler
  // context.
  void ApplyProjectConditionals();
  void SetEvaluateConditions(bool on);

private:
  void BindEvents();
  // Reports the current token; True when reading must stop because the text has ended
  // (a context that does not raise would otherwise be asked forever).
  bool Unexpected();
  bool AtEnd() const { return FTokenizer->TokenKind() == TTokenKind::tkNone; }
  // A ">=" where a parameter list may end becomes ">" followed by "=" ("TFoo<T>=class").
  void SplitListEnd();
  // The current token is the first identifier, whose text starts the result.
  String DottedContinuation(String result);
  String GenericDottedContinuation(String result);
  String ReadTypeName(String first);

  // Declared first so that the context, which may reference it, is released before it.
  std::unique_ptr<TPreprocessedPascalTokenizer> FTokenizer;
  IPtr<ITokenizerContext> FContext;
};

// Reads a generic parameter list from a text; malformed text raises EGenericParamListError
// "Illegal generic parameter list:" #13#10 followed by the text.
class TPascalGenericParamParser : public TObject {
public:
  class TPascalGenericParamContext : public TDefaultTokenizerContext {
  public:
    TPascalGenericParamContext(TPreprocessedPascalTokenizer *tokenizer,
                               const TPascalGenericParamParser *parser)
        : TDefaultTokenizerContext(tokenizer), FParser(parser) {}
    void UnexpectedToken() override;

  private:
    const TPascalGenericParamParser *FParser;
  };

  TPascalGenericParamParser();
  ~TPascalGenericParamParser() override;
  TPascalGenericParamParser(const TPascalGenericParamParser &) = delete;
  TPascalGenericParamParser &operator=(const TPascalGenericParamParser &) = delete;

  // Clears the list and reads the text (which must start with "<") into it.
  void Parse(const String &text, TGenericParamList &list);
  const String &Text() const { return FText; }

private:
  String FText;
  std::unique_ptr<TPascalTokenizerHelper> FHelper;
};

} // namespace krx
