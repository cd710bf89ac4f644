#include "Engine/DelphiKeywords.h"

namespace krx {

bool ReservedWordToClassKind(TReservedWord w, TClassKind &kind) {
  switch (w) {
  case rwClass:
    kind = clClass;
    return true;
  case rwInterface:
    kind = clInterface;
    return true;
  case rwRecord:
    kind = clRecord;
    return true;
  case rwObject:
    kind = clObject;
    return true;
  case rwDispInterface:
    kind = clDispInterface;
    return true;
  default:
    return false;
  }
}

bool ReservedWordToMethodKind(TReservedWord w, TMethodKind &kind) {
  switch (w) {
  case rwConstructor:
    kind = mkConstructor;
    return true;
  case rwDestructor:
    kind = mkDestructor;
    return true;
  case rwProcedure:
    kind = mkProcedure;
    return true;
  case rwFunction:
    kind = mkFunction;
    return true;
  case rwOperator:
    kind = mkOperator;
    return true;
  default:
    return false;
  }
}

bool ReservedWordToHintDirective(TReservedWord w, THintDirective &hint) {
  if (!IsHintWord(w))
    return false;
  hint = static_cast<THintDirective>(hdDeprecated + (w - rwDeprecated));
  return true;
}

bool ReservedWordToCallingConvention(TReservedWord w, TCallConvention &cc) {
  for (const auto &[word, convention] : CallConventionWords)
    if (word == w) {
      cc = convention;
      return true;
    }
  return false;
}

TMethodDirective ReservedWordToProcDirective(TReservedWord w) {
  switch (w) {
  case rwForward:
    return pdForward;
  case rwExternal:
    return pdExternal;
  case rwOverload:
    return pdOverload;
  case rwUnsafe:
    return pdUnsafe;
  case rwInline:
    return pdInline;
  case rwDelayed:
    return pdDelayed;
  case rwVirtual:
    return pdVirtual;
  case rwDynamic:
    return pdDynamic;
  case rwAbstract:
    return pdAbstract;
  case rwMessage:
    return pdMessage;
  case rwOverride:
    return pdOverride;
  case rwStatic:
    return pdStatic;
  case rwReintroduce:
    return pdReintroduce;
  case rwFinal:
    return pdSealed;
  default:
    throw EKRXException(
        Format(u"Reserved word %d is not a proc directive", {static_cast<Integer>(w)}));
  }
}

bool ReservedWordToVisibility(TReservedWord w, TVisibility &v) {
  switch (w) {
  case rwPrivate:
    v = scPrivate;
    return true;
  case rwProtected:
    v = scProtected;
    return true;
  case rwPublic:
    v = scPublic;
    return true;
  case rwPublished:
    v = scPublished;
    return true;
  case rwAutomated:
    v = scAutomated;
    return true;
  default:
    return false;
  }
}

// A calling convention met after another: a real convention replaces whatever came before
// (so "cdecl; varargs" ends with varargs), export and far only fill an empty slot.
TCallConvention MergeCallConvention(TCallConvention current, TCallConvention next) {
  if (next == ccExport || next == ccFar)
    return (current == ccDefault || current == ccExport || current == ccFar) ? next : current;
  return next;
}

} // namespace krx
