// The Pascal reserved words and directives on which the Delphi grammar dispatches, and the
// case-insensitive lookup that recognises them.
#pragma once

#include "Common/KREngineDefs.h"
#include "Platform/Rtl/Types.h"

#include <initializer_list>
#include <utility>

namespace krx {

// The grammar maps values to class kinds, method kinds, visibilities, calling conventions
// and directives by position, so the order is fixed: 0-26 structural keywords (15-19
// classifiers, 20-24 routines), 27-31 visibilities with 32 as their prefix, 33-38 and 47-54
// routine directives, 39-46 calling conventions, 55-66 property specifiers, 67-71 hints.
#define KRX_RESERVED_WORDS(X)                                                                      \
  X(Begin)                                                                                         \
  X(Asm)                                                                                           \
  X(End)                                                                                           \
  X(Implementation) X(Initialization) X(Finalization) X(Var) X(Const) X(ResourceString) X(Type)    \
      X(Label) X(ThreadVar) X(Case) X(Try) X(Packed) X(Class) X(Interface) X(Record) X(Object)     \
          X(DispInterface) X(Constructor) X(Destructor) X(Procedure) X(Function) X(Operator)       \
              X(Property) X(Uses) X(Private) X(Protected) X(Public) X(Published) X(Automated)      \
                  X(Strict) X(Forward) X(External) X(Overload) X(Unsafe) X(Inline) X(Delayed)      \
                      X(Register) X(Pascal) X(Cdecl) X(VarArgs) X(Stdcall) X(Export) X(Safecall)   \
                          X(Far) X(Virtual) X(Dynamic) X(Abstract) X(Message) X(Override)          \
                              X(Static) X(Reintroduce) X(Final) X(Read) X(Write) X(Add) X(Remove)  \
                                  X(Index) X(Implements) X(Stored) X(Default) X(Nodefault)         \
                                      X(ReadOnly) X(WriteOnly) X(DispID) X(Deprecated) X(Platform) \
                                          X(Library) X(Experimental) X(Align)

enum TReservedWord : Byte {
#define KRX_X(name) rw##name,
  KRX_RESERVED_WORDS(KRX_X)
#undef KRX_X
};

inline constexpr Integer ReservedWordCount = static_cast<Integer>(rwAlign) + 1;

// ---- What the grammar needs to know of the list (each revision has its own) ----

// The hint directives run from rwDeprecated to this word, in THintDirective's order.
inline constexpr TReservedWord rwLastHint = rwAlign;
// A hint directive that takes a number after it.
constexpr bool HintTakesNumber(TReservedWord w) { return w == rwAlign; }
// The calling-convention words and the conventions they declare.
inline constexpr std::pair<TReservedWord, TCallConvention> CallConventionWords[] = {
    {rwRegister, ccRegister}, {rwPascal, ccPascal},     {rwCdecl, ccCDecl},
    {rwVarArgs, ccVarArgs},   {rwStdcall, ccStdCall},   {rwExport, ccExport},
    {rwSafecall, ccSafeCall}, {rwFar, ccFar}};
// Every directive word of a routine heading: each ends the text of a directive argument.
inline constexpr std::initializer_list<TReservedWord> RoutineDirectiveWords = {
    rwForward,   rwExternal,   rwOverload, rwUnsafe,   rwInline,     rwDelayed,      rwRegister,
    rwPascal,    rwCdecl,      rwVarArgs,  rwStdcall,  rwExport,     rwSafecall,     rwFar,
    rwVirtual,   rwDynamic,    rwAbstract, rwMessage,  rwOverride,   rwStatic,       rwReintroduce,
    rwFinal,     rwDispID,     rwDeprecated, rwPlatform, rwLibrary, rwExperimental, rwAlign};

// The name of the unit-list entry of the lookup.
inline constexpr const char *ReservedWordsUnitName = "KRX.ReservedWords";

// The declared name of a value ("rwBegin").
String ReservedWordName(TReservedWord word);

// Case-insensitive (ASCII) lookup; "unsafe", "add" and "remove" are never reported.
bool IsReservedWord(StringView word, TReservedWord &value);
// As IsReservedWord, but only the structural keywords (up to rwUses) count; for any other
// word `value` is left unchanged.
bool IsReservedKeyword(StringView word, TReservedWord &value);

// Unit start-up and shut-down; the lookup's table is built at compile time, so both have
// nothing left to do.
void ReservedWordsInitialization();
void ReservedWordsFinalization();

} // namespace krx
