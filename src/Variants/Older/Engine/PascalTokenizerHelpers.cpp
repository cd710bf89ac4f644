#include "Engine/PascalTokenizerHelpers.h"

namespace krx {

// ---- TPascalTokenizerHelper -----------------------------------------------------------------

TPascalTokenizerHelper::TPascalTokenizerHelper(TPascalTokenizer &tokenizer,
                                               IPtr<ITokenizerContext> context)
    : FTokenizer(&tokenizer), FContext(std::move(context)) {
  if (!FContext)
    FContext = IPtr<ITokenizerContext>(new TDefaultTokenizerContext(FTokenizer));
}

void TPascalTokenizerHelper::SplitListEnd() {
  if (FTokenizer->IsSymbol(u">="))
    FTokenizer->ShortenToken(1);
}

std::unique_ptr<TPascalTokenizerHelper> CreateTokenizerHelper(TPascalTokenizer &tokenizer,
                                                              IPtr<ITokenizerContext> context) {
  if (GenericNamesEnabled())
    return std::make_unique<TPascalGenericsTokenizerHelper>(tokenizer, std::move(context));
  return std::make_unique<TPascalTokenizerHelper>(tokenizer, std::move(context));
}

// ---- TPascalGenericParamParser ------------------------------------------------------------

TPascalGenericParamParser::TPascalGenericParamParser() {
  FTokenizer.SetSkipKinds(TTokenKinds{TTokenKind::tkComment, TTokenKind::tkDirective,
                                      TTokenKind::tkString, TTokenKind::tkKRTag});
  FTokenizer.SetRaiseAtEnd(false);
  FTokenizer.SetTolerateErrors(false);
  FHelper = std::make_unique<TPascalGenericsTokenizerHelper>(FTokenizer,
                                                             IPtr<ITokenizerContext>(this));
}

TPascalGenericParamParser::~TPascalGenericParamParser() = default;

void TPascalGenericParamParser::UnexpectedToken() {
  throw EGenericParamListError(u"Illegal generic parameter list:\r\n" + FText);
}

void TPascalGenericParamParser::Parse(const String &text, TGenericParamList &list) {
  list.Clear();
  FText = Trim(text);
  FTokenizer.SetText(FText);
  if (FText.empty())
    return;
  NextToken();
  if (!FTokenizer.IsSymbol(u"<"))
    UnexpectedToken();
  FHelper->ReadGenericParamList(&list);
}

} // namespace krx
