// The Pascal reserved words and directives on which the Delphi grammar dispatches, and the
// process-wide case-insensitive dictionary that recognises them.
#pragma once

#include "Platform/Rtl/Types.h"

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

// The declared name of a value ("rwBegin").
String ReservedWordName(TReservedWord word);

// Case-insensitive (ASCII) lookup; "unsafe", "add" and "remove" are never reported.
bool IsReservedWord(StringView word, TReservedWord &value);
// As IsReservedWord, but only the structural keywords (up to rwUses) count; for any other
// word `value` is left unchanged.
bool IsReservedKeyword(StringView word, TReservedWord &value);

// Unit start-up: builds and frees the process-wide dictionary.
void ReservedWordsInitialization();
void ReservedWordsFinalization();

} // namespace krx
