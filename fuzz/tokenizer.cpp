// Fuzzes the Pascal tokenizers: the first byte picks the options, the rest is UTF-16LE
// source text (so lone surrogates and NULs reach the scanner).
#include "Engine/Tokenizers.h"
#include "Platform/Rtl/Encoding.h"
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
  if (size == 0)
    return 0;
  const std::uint8_t options = data[0];
  String text = DecodeUtf16LE(data + 1, size - 1);

  TTokenizerSwitchesGuard guard;
  SetEscapedIdentifiersEnabled((options & 0x01) != 0);
  TPascalTokenizer t(text);
  t.SetNumbersAsNumbers((options & 0x02) != 0);
  t.SetCommentTextMode(static_cast<TCommentTextMode>((options >> 2) % 3));
  t.SetDoubleQuotedStrings((options & 0x10) != 0);
  t.SetTolerateErrors((options & 0x20) != 0);
  t.SetRecordComments(true);
  if (options & 0x40)
    t.SetSkipKinds({TTokenKind::tkComment, TTokenKind::tkDirective});
  if (options & 0x80)
    t.StartCollecting();
  std::size_t steps = 0;
  for (;;) {
    TTokenKind k;
    try {
      k = t.NextToken();
    } catch (const ETokenError &) {
      continue;
    }
    if (k == TTokenKind::tkNone)
      break;
    // Every token starts where its position says, also when it ends on a later line.
    const TSourcePos pos = t.TokenPos();
    const StringView line = t.LineText(pos.Line);
    if (pos.Line < 1 || pos.Line > t.LineNr() || pos.Column < 1 ||
        pos.Column > static_cast<Integer>(line.size()) || t.Token().empty() ||
        line[static_cast<std::size_t>(pos.Column - 1)] != t.Token()[0])
      __builtin_trap();
    if (++steps % 64 == 0 && t.Collecting())
      t.CollectedTextAsLine(steps % 128 == 0);
  }
  String n = NormalizeWhiteSpace(text);
  if (!SameIgnoringWhiteSpace(n, n))
    __builtin_trap();
  String c = text;
  StripCommentDelimiters(c);
  return 0;
}
