// Evaluates the condition of an $IF or $ELSEIF directive. Only the logical structure (NOT,
// AND, OR, parentheses) is known here; every other piece is a leaf whose text, stripped of
// white space, goes to OnEvaluateLeaf.
#pragma once

#include "Engine/Tokenizers.h"

#include <functional>

namespace krx {

class TBooleanExpressionEvaluator {
public:
  // The tokenizer (not owned) stands just before the expression.
  explicit TBooleanExpressionEvaluator(TPascalTokenizer *tokenizer);

  // Never raises: a malformed expression gives the value computed so far (False when there
  // was none) and sets Error.
  bool Evaluate();
  bool Error() const { return FError; }

  std::function<bool(const String &leaf)> OnEvaluateLeaf;

  // Parentheses nested deeper than this make the expression malformed, so that hostile
  // source cannot exhaust the stack.
  static constexpr Integer MaxNesting = 256;

private:
  bool Expression();
  bool Term();
  bool Factor();
  bool Leaf();
  bool IsWord(StringView word) const;

  bool FError = false;
  TPascalTokenizer *FTokenizer;
  Integer FDepth = 0;
};

} // namespace krx
