#include "Engine/GrammarTokens.h"

namespace krx {

void TGrammarTokens::SetSource(const TExploreSource &source, const String &) {
  if (source.Text) {
    FTokenizer.SetText(*source.Text);
    return;
  }
  String text;
  if (source.Lines)
    for (Integer i = 0; i < source.Lines->Count(); ++i) {
      text += source.Lines->Get(i);
      text += u"\r\n";
    }
  FTokenizer.SetText(text);
}

} // namespace krx
