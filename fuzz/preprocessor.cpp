// Fuzzes the preprocessing tokenizer with conditions evaluated. The input is UTF-8 source;
// include names "a" and "b" read the first and second half of it, any other name the whole
// of it, so cycles and deep nesting come up. At most 64 includes are read per input, since
// a text that includes itself through many names expands combinatorially.
#include "Engine/KRX.PascalPreprocessors.h"
#include "Units.h"

#include <cstdlib>
#include <cstddef>
#include <cstdint>

using namespace krx;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  InitializeUnits(AllUnits());
  // Finalise before the static objects of the shared platform library are destroyed.
  std::atexit([] { FinalizeUnits(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  String text = Utf8ToString(std::string_view(reinterpret_cast<const char *>(data), size));
  TPascalPreprocessor pp;
  auto &t = pp.Tokenizer();
  t.SetTolerateErrors(true);
  std::size_t errors = 0;
  t.OnError = [&](const String &) { ++errors; };
  std::size_t reads = 0;
  t.OnReadIncludeFile = [&](String &name, TTokenizerTextPtr &source) {
    if (++reads > 64)
      return false;
    if (name == u"a")
      source = SplitTokenizerText(text.substr(0, text.size() / 2));
    else if (name == u"b")
      source = SplitTokenizerText(text.substr(text.size() / 2));
    else
      source = SplitTokenizerText(text);
    return true;
  };
  pp.SetText(text);
  while (pp.NextToken() != TTokenKind::tkNone) {
    if (t.IncludeDepth() > TPreprocessedPascalTokenizer::MaxIncludeDepth)
      __builtin_trap();
    // Positions name a place in the text being read (the main text or an include file).
    const TSourcePos pos = t.TokenPos();
    if (pos.Line < 1 || pos.Column < 1 ||
        pos.Column > static_cast<Integer>(t.LineText(pos.Line).size()))
      __builtin_trap();
  }
  // Without an error handler, errors raise instead.
  TPascalPreprocessor strict;
  strict.SetText(text);
  try {
    while (strict.NextToken() != TTokenKind::tkNone) {
    }
  } catch (const ECompilationConditionError &) {
  } catch (const ETokenError &) {
  }
  return 0;
}
