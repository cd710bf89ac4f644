#include "World/StringsText.h"

namespace krx {

TStringsText::TStringsText(TStrings *AStrings, bool AReadOnly) : ReadOnly(AReadOnly) {
  KR_ASSERT(AStrings != nullptr);
  SetStrings(AStrings);
}

TStringsText::~TStringsText() { SetStrings(nullptr); }

void TStringsText::SetStrings(TStrings *AStrings) {
  if (AStrings == Strings)
    return;
  if (!ReadOnly && Strings)
    Strings->EndUpdate();
  Strings = AStrings;
  if (!ReadOnly && Strings)
    Strings->BeginUpdate();
  Reset();
}

String TStringsText::ReadLine() { return Strings->Strings(LineIndex++); }

void TStringsText::CheckWritable() const {
  if (ReadOnly)
    throw Exception(SCannotWriteReadOnlyStrings);
}

void TStringsText::Write(StringView text) {
  CheckWritable();
  if (LineIndex < Strings->Count())
    Strings->Put(LineIndex, Strings->Strings(LineIndex) + String(text));
  else
    Strings->Add(String(text));
}

void TStringsText::WriteLine(StringView text) {
  CheckWritable();
  if (LineIndex < Strings->Count())
    Strings->Put(LineIndex, String(text));
  else
    Strings->Add(String(text));
  ++LineIndex;
}

} // namespace krx
