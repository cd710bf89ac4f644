// The calling conventions a routine can declare, as lists for the engine's enumeration
// TCallConvention and its keyword table (Common/KREngineDefs.h). Each revision of the engine
// has its own list.
#pragma once

// clang-format off
#define KRX_TCALLCONVENTION(X) \
  X(ccDefault) X(ccRegister) X(ccPascal) X(ccCDecl) X(ccStdCall) X(ccExport) X(ccSafeCall) \
  X(ccFar) X(ccVarArgs)
#define KRX_CALLCONVENTION_KEYWORDS \
  u"default", u"register", u"pascal", u"cdecl", u"stdcall", u"export", u"safecall", u"far", \
  u"varargs"
// clang-format on
