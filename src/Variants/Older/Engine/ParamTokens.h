// What the parameter lists need of the tokenizers in this revision, which lives with them: a
// tokenizer for comparing declarations, white-space normalisation and a token-by-token
// comparison of two texts.
#pragma once

#include "Engine/Tokenizers.h"

#include <memory>

namespace krx {

// Numbers as numbers, errors tolerated, whole comment texts; over the list when one is
// given, else over the text.
std::unique_ptr<TPascalTokenizer> CreateParamTokenizer(TStrings *lines, StringView text);
// The text unchanged when it holds no character up to #32, else its tokens re-joined with a
// blank only between two words or two strings.
String NormalizeWhiteSpace(StringView text);
// True when both tokenizers give the same kinds and texts up to the end; texts compare
// exactly (caseSensitive) or ignoring case, both by the locale.
bool SameTokens(TKRBaseTokenizer &a, TKRBaseTokenizer &b, bool caseSensitive);
// The two texts tokenize alike, ignoring case.
bool SameIgnoringWhiteSpace(StringView a, StringView b);

} // namespace krx
