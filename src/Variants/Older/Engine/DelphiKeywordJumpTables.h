// Recognition of the Pascal reserved words and directives by hand-written keyword tables: one
// comparer per initial letter, reached through a table indexed by the upper-cased first
// letter. Some words count only in certain language modes (the process-wide mode at the time
// of the lookup). A self-test at start-up checks the tables against the enumeration, so a
// table that misses a word stops the plug-in from loading instead of misparsing.
#pragma once

#include "Engine/LanguageModes.h"
#include "Platform/Rtl/Types.h"

#include <functional>

namespace krx {

// The grammar maps values to class kinds, method kinds, visibilities, calling conventions
// and directives by position, so the order is fixed: 0-26 structural keywords, 27-31
// visibilities with 32 as their prefix, routine directives, 39-45 calling conventions,
// property specifiers, 66-69 hints.
// clang-format off
#define KRX_RESERVED_WORDS(X) \
  X(Begin) X(Asm) X(End) X(Implementation) X(Initialization) X(Finalization) X(Var) X(Const) \
  X(ResourceString) X(Type) X(Label) X(ThreadVar) X(Case) X(Try) X(Packed) X(Class) \
  X(Interface) X(Record) X(Object) X(DispInterface) X(Constructor) X(Destructor) X(Procedure) \
  X(Function) X(Operator) X(Property) X(Uses) X(Private) X(Protected) X(Public) X(Published) \
  X(Automated) X(Strict) X(Forward) X(External) X(Overload) X(Unsafe) X(Inline) X(Delayed) \
  X(Register) X(Pascal) X(Cdecl) X(Stdcall) X(Export) X(Safecall) X(Far) X(Virtual) \
  X(Dynamic) X(Abstract) X(Message) X(Override) X(Static) X(Reintroduce) X(Final) X(Read) \
  X(Write) X(Add) X(Remove) X(Index) X(Implements) X(Stored) X(Default) X(Nodefault) \
  X(ReadOnly) X(WriteOnly) X(DispID) X(Deprecated) X(Platform) X(Library) X(Experimental)
// clang-format on

enum TReservedWord : Byte {
#define KRX_X(name) rw##name,
  KRX_RESERVED_WORDS(KRX_X)
#undef KRX_X
};

inline constexpr Integer ReservedWordCount = static_cast<Integer>(rwExperimental) + 1;

// The declared name of a value ("rwBegin").
String ReservedWordName(TReservedWord word);

// The keyword table: the 27 structural words rwBegin .. rwUses. A text of two characters or
// fewer is never a keyword.
bool LookupDelphiKeyword(StringView text, TReservedWord &word);
// The full table: every reserved and directive word.
bool LookupDelphiDirective(StringView text, TReservedWord &word);

using TKeywordLookup = std::function<bool(StringView, TReservedWord &)>;

// Checks the tables against the enumeration in the current language mode: every value's name
// (without "rw") must be found with its own value by the full table, and each structural
// word by the keyword table, unless the mode lets it be missing. The first word that fails
// raises Exception with its name. The lookups are the two tables unless given.
void CheckDelphiKeywordTables(const TKeywordLookup &directive = LookupDelphiDirective,
                              const TKeywordLookup &keyword = LookupDelphiKeyword);

} // namespace krx
