// The grammar's keyword mappers: from a reserved word of the Delphi grammar to the value of
// the code model that it stands for (a class kind, method kind, hint, calling convention,
// visibility or routine directive), and how calling conventions combine.
#pragma once

#include "Engine/CodeItems.h"
#include "Engine/KRX.ReservedWords.h"

namespace krx {

// The hint directives (deprecated, platform, library, experimental ...).
inline bool IsHintWord(TReservedWord w) { return w >= rwDeprecated && w <= rwLastHint; }
// Each answers False for a word outside its range.
bool ReservedWordToClassKind(TReservedWord w, TClassKind &kind);
bool ReservedWordToMethodKind(TReservedWord w, TMethodKind &kind);
bool ReservedWordToHintDirective(TReservedWord w, THintDirective &hint);
bool ReservedWordToCallingConvention(TReservedWord w, TCallConvention &cc);
bool ReservedWordToVisibility(TReservedWord w, TVisibility &v);
// Raises EKRXException "Reserved word %d is not a proc directive" for any other word.
TMethodDirective ReservedWordToProcDirective(TReservedWord w);
// The convention after `next` is met when `current` was set: a real convention replaces
// whatever came before; export and far only fill an empty slot.
TCallConvention MergeCallConvention(TCallConvention current, TCallConvention next);

} // namespace krx
