#include "Engine/PascalTokenizerHelpers.h"

#include "Engine/KRX.ProjectStorage.h"

namespace krx {

namespace {

// The helper's tokenizer: it can give back the "=" of a ">=" that ends a generic parameter
// list, as in "TFoo<T>=class", so that the list ends at ">" and "=" is the next token.
class TGenericsTokenizer final : public TPreprocessedPascalTokenizer {
public:
  bool SplitGreaterEqual() {
    if (!IsSymbol(u">="))
      return false;
    ShortenToken(1);
    return true;
  }
};

} // namespace

// ---- TPascalTokenizerHelper -----------------------------------------------------------------

TPascalTokenizerHelper::TPascalTokenizerHelper(IPtr<ITokenizerContext> context)
    : FTokenizer(std::make_unique<TGenericsTokenizer>()), FContext(std::move(context)) {
  if (!FContext)
    FContext = IPtr<ITokenizerContext>(new TDefaultTokenizerContext(FTokenizer.get()));
  BindEvents();
}

TPascalTokenizerHelper::TPascalTokenizerHelper(const TContextFactory &makeContext)
    : FTokenizer(std::make_unique<TGenericsTokenizer>()) {
  if (makeContext)
    FContext = makeContext(*FTokenizer);
  if (!FContext)
    FContext = IPtr<ITokenizerContext>(new TDefaultTokenizerContext(FTokenizer.get()));
  BindEvents();
}

TPascalTokenizerHelper::~TPascalTokenizerHelper() {
  // The events call into the context: unbind them before it goes.
  FTokenizer->OnError = nullptr;
  FTokenizer->OnIncludeStarted = nullptr;
  FTokenizer->OnIncludeFinished = nullptr;
  FTokenizer->OnReadIncludeFile = nullptr;
  FContext = nullptr;
}

void TPascalTokenizerHelper::BindEvents() {
  ITokenizerContext *c = FContext.get();
  FTokenizer->OnError = [c](const String &message) { c->AddMessage(message); };
  FTokenizer->OnIncludeStarted = [c](const String &fileName) { c->IncludeFileStarted(fileName); };
  FTokenizer->OnIncludeFinished = [c](const String &fileName) { c->IncludeFileFinished(fileName); };
  FTokenizer->OnReadIncludeFile = [c](String &fileName, TTokenizerTextPtr &source) {
    return c->ReadIncludeFile(fileName, source);
  };
}

void TPascalTokenizerHelper::SplitListEnd() {
  static_cast<TGenericsTokenizer &>(*FTokenizer).SplitGreaterEqual();
}

String TPascalTokenizerHelper::ReadTypeName(String first) {
  return GenericNamesEnabled() ? GenericDottedContinuation(std::move(first))
                               : DottedContinuation(std::move(first));
}

void TPascalTokenizerHelper::ApplyProjectConditionals() {
  std::unique_ptr<TProjectStorage> storage = CreateProjectStorage();
  TCompilerContext &cc = FTokenizer->CompilerContext();
  cc.SetDefines(storage->ConditionalDefines());
  cc.SetIfExpressions(storage->ConditionalExpressions());
}

void TPascalTokenizerHelper::SetEvaluateConditions(bool on) {
  FTokenizer->SetEvaluateConditions(on);
  ApplyProjectConditionals();
}

// ---- TPascalGenericParamParser ------------------------------------------------------------

void TPascalGenericParamParser::TPascalGenericParamContext::UnexpectedToken() {
  throw EGenericParamListError(u"Illegal generic parameter list:\r\n" + FParser->Text());
}

TPascalGenericParamParser::TPascalGenericParamParser() {
  FHelper = std::make_unique<TPascalTokenizerHelper>([this](TPreprocessedPascalTokenizer &t) {
    return IPtr<ITokenizerContext>(new TPascalGenericParamContext(&t, this));
  });
  TPreprocessedPascalTokenizer &t = FHelper->GetTokenizer();
  t.SetSkipKinds(TTokenKinds{TTokenKind::tkComment, TTokenKind::tkDirective, TTokenKind::tkString,
                             TTokenKind::tkKRTag});
  t.SetRaiseAtEnd(false);
  t.SetTolerateErrors(false);
}

TPascalGenericParamParser::~TPascalGenericParamParser() = default;

void TPascalGenericParamParser::Parse(const String &text, TGenericParamList &list) {
  FText = text;
  list.Clear();
  TPreprocessedPascalTokenizer &t = FHelper->GetTokenizer();
  t.SetText(text);
  FHelper->Context().NextToken();
  if (!t.IsSymbol(u"<"))
    FHelper->Context().UnexpectedToken();
  FHelper->ReadGenericParamList(&list);
}

} // namespace krx
