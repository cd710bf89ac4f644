#include "Engine/KRX.BoolExpEval.h"

#include <optional>

namespace krx {

TBooleanExpressionEvaluator::TBooleanExpressionEvaluator(TPascalTokenizer *tokenizer)
    : FTokenizer(tokenizer) {
  KR_ASSERT(tokenizer != nullptr);
}

bool TBooleanExpressionEvaluator::IsWord(StringView word) const {
  return FTokenizer->TokenKind() == TTokenKind::tkIdent && SameText(FTokenizer->Token(), word);
}

bool TBooleanExpressionEvaluator::Evaluate() {
  FError = false;
  FDepth = 0;
  std::optional<bool> value;
  try {
    FTokenizer->NextToken();
    value = Expression();
    if (FTokenizer->TokenKind() != TTokenKind::tkNone)
      throw EInvalidOperation(u"incomplete expression");
  } catch (const Exception &) {
    FError = true;
  }
  return value.value_or(false);
}

bool TBooleanExpressionEvaluator::Expression() {
  bool result = Term();
  while (IsWord(u"OR")) {
    FTokenizer->NextToken();
    if (Term())
      result = true;
  }
  return result;
}

bool TBooleanExpressionEvaluator::Term() {
  bool result = Factor();
  while (IsWord(u"AND")) {
    FTokenizer->NextToken();
    bool f = Factor();
    result = result && f;
  }
  return result;
}

bool TBooleanExpressionEvaluator::Factor() {
  bool negate = false;
  if (IsWord(u"NOT")) {
    negate = true;
    FTokenizer->NextToken();
  }
  bool result;
  if (FTokenizer->IsSymbol(u"(")) {
    if (++FDepth > MaxNesting)
      throw EInvalidOperation(u"expression nested too deeply");
    FTokenizer->NextToken();
    result = Expression();
    if (!FTokenizer->IsSymbol(u")"))
      throw EInvalidOperation(u"\")\" expected");
    FTokenizer->NextToken();
    --FDepth;
  } else {
    result = Leaf();
  }
  return negate ? !result : result;
}

bool TBooleanExpressionEvaluator::Leaf() {
  String text = FTokenizer->Token();
  FTokenizer->StartCollecting();
  Integer depth = 0;
  bool atEnd = false;
  for (;;) {
    TTokenKind k = FTokenizer->NextToken();
    if (k == TTokenKind::tkNone) {
      atEnd = true;
      break;
    }
    if (IsWord(u"AND") || IsWord(u"OR") || IsWord(u"NOT"))
      break;
    if (FTokenizer->IsSymbol(u"("))
      ++depth;
    else if (FTokenizer->IsSymbol(u")") && --depth < 0)
      break;
  }
  text.push_back(u' ');
  text.append(FTokenizer->CollectedTextAsLine(atEnd));
  String leaf;
  leaf.reserve(text.size());
  for (Char c : text)
    if (c > u' ')
      leaf.push_back(c);
  return OnEvaluateLeaf ? OnEvaluateLeaf(leaf) : false;
}

} // namespace krx
