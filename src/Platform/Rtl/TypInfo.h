// Published properties. A class that the system reads by reflection keeps a static table
// of its published properties (name, kind, getter, optional setter, enumeration names,
// stored rule, default), chained to its base class's table, and returns it from
// TObject::ClassInfo. Enumerations keep one table of value names (an X-macro list) used
// both for GetEnumName and for parsing.
//
//   class TItem : public TPersistent {
//     KRX_PUBLISHED(TItem)
//   ...
//   const TClassInfo &TItem::StaticClassInfo() {
//     static const TClassInfo info = TClassInfoBuilder<TItem>(&TPersistent::StaticClassInfo())
//         .Integer(u"LineNr", &TItem::LineNr, &TItem::SetLineNr)
//         .Enum(u"Visibility", TVisibilityNames, &TItem::Visibility)
//         .Build();
//     return info;
//   }
#pragma once

#include "Platform/Rtl/EnumSet.h"
#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/System.h"

#include <concepts>
#include <functional>
#include <span>
#include <type_traits>
#include <variant>
#include <vector>

namespace krx {

KRX_DECLARE_EXCEPTION(EPropertyConvertError, EPropertyError);
KRX_DECLARE_EXCEPTION(EPropReadOnly, EPropertyError);
KRX_DECLARE_EXCEPTION(EPropWriteOnly, EPropertyError);

// ---- Enumeration name tables --------------------------------------------------------------

#ifndef KRX_ENUM_VALUE
#define KRX_ENUM_VALUE(name) name,
#endif
#ifndef KRX_ENUM_NAME
#define KRX_ENUM_NAME(name) u"" #name,
#endif

// Declares `enum Type : std::uint8_t` from an X-macro list and `TypeNames`, the names of its
// values in order (for GetEnumName, GetEnumValue and property tables).
#define KRX_DECLARE_ENUM(Type, LIST)                                                               \
  enum Type : std::uint8_t { LIST(KRX_ENUM_VALUE) };                                               \
  inline constexpr ::krx::StringView Type##NameTable[] = {LIST(KRX_ENUM_NAME)};                    \
  inline constexpr std::span<const ::krx::StringView> Type##Names{Type##NameTable};                \
  inline constexpr Type Type##Last = static_cast<Type>(std::size(Type##NameTable) - 1)

using TEnumNames = std::span<const StringView>;

inline constexpr StringView BooleanNameTable[] = {u"False", u"True"};
inline constexpr TEnumNames BooleanNames{BooleanNameTable};

// The name of an ordinal value; empty for a value outside the table.
String GetEnumName(TEnumNames names, Int64 value);
// The ordinal of a name (compared without regard to ASCII case); -1 when none matches.
Integer GetEnumValue(TEnumNames names, StringView name);

// "a,b" for the members whose bit is set, in ascending order; with brackets "[a,b]".
// Members beyond the table are left out.
String SetToString(TEnumNames elementNames, UInt64 bits, bool brackets = false);
// Parses "a,b" or "[a, b]" (blanks around names are ignored); an unknown name raises
// EPropertyConvertError "Invalid property element: %s".
UInt64 StringToSet(TEnumNames elementNames, StringView text);

// ---- Type kinds ---------------------------------------------------------------------------

#define KRX_TTYPEKIND(X)                                                                           \
  X(tkUnknown)                                                                                     \
  X(tkInteger)                                                                                     \
  X(tkChar)                                                                                        \
  X(tkEnumeration) X(tkFloat) X(tkString) X(tkSet) X(tkClass) X(tkMethod) X(tkWChar) X(tkLString)  \
      X(tkWString) X(tkVariant) X(tkArray) X(tkRecord) X(tkInterface) X(tkInt64) X(tkDynArray)     \
          X(tkUString) X(tkClassRef) X(tkPointer) X(tkProcedure) X(tkMRecord)
KRX_DECLARE_ENUM(TTypeKind, KRX_TTYPEKIND);
using TTypeKinds = EnumSet<TTypeKind>;

// The kinds that hold a plain value (no class, method, variant, array, record, interface,
// dynamic array, class reference, pointer or procedure).
inline constexpr TTypeKinds tkProperties{tkInteger, tkChar,  tkEnumeration, tkFloat,
                                         tkString,  tkSet,   tkWChar,       tkLString,
                                         tkWString, tkInt64, tkUString};
inline constexpr TTypeKinds tkOrdinal{tkInteger, tkChar, tkEnumeration, tkSet, tkWChar};
inline constexpr TTypeKinds tkStrings{tkString, tkLString, tkWString, tkUString};

// "No default" for ordinal properties, as the class library marks it.
inline constexpr Int64 NoDefault = static_cast<Int64>(static_cast<Integer>(0x80000000u));

// ---- Property and class tables ------------------------------------------------------------

// Ordinal kinds and tkInt64 hold Int64 (sets: their member bits), tkFloat a double, the
// string kinds a String; monostate for the kinds without a value.
using TPropValue = std::variant<std::monostate, Int64, double, String>;

struct TPropInfo {
  String Name;
  TTypeKind Kind = tkUnknown;
  // Enumerations: their value names; sets: the names of their element type.
  TEnumNames EnumNames;
  std::function<TPropValue(const TObject &)> Get;         // empty for a write-only property
  std::function<void(TObject &, const TPropValue &)> Set; // empty for a read-only property
  // Whether the streaming system stores the property; empty means always (stored True).
  std::function<bool(const TObject &)> Stored;
  Int64 Default = NoDefault; // ordinal default, NoDefault when none

  bool IsReadable() const { return static_cast<bool>(Get); }
  bool IsWritable() const { return static_cast<bool>(Set); }
};

struct TClassInfo {
  String ClassName;
  const TClassInfo *Parent = nullptr;
  std::vector<TPropInfo> Props; // the class's own properties, in declaration order

  bool InheritsFrom(const TClassInfo &other) const;
};

// Declares the table of a class inside its body; define StaticClassInfo in the .cpp.
#define KRX_PUBLISHED(Class)                                                                       \
public:                                                                                            \
  static const ::krx::TClassInfo &StaticClassInfo();                                               \
  const ::krx::TClassInfo *ClassInfo() const override { return &StaticClassInfo(); }               \
                                                                                                   \
private:

// The properties of a class and its bases: the bases' first, in declaration order; a
// property declared again in a descendant keeps its place and takes the new entry.
std::vector<const TPropInfo *> GetPropInfos(const TClassInfo *info);
// The properties whose kind is in `kinds`, sorted by name as the class library sorts them
// (each byte of the UTF-8 name masked with $DF, then by length) when `sorted`.
std::vector<const TPropInfo *> GetPropList(const TClassInfo *info, TTypeKinds kinds = tkProperties,
                                           bool sorted = true);
// The property of that name (without regard to ASCII case), or null.
const TPropInfo *GetPropInfo(const TClassInfo *info, StringView name);
const TPropInfo *GetPropInfo(const TObject &instance, StringView name);
// Compares two property names the way the property list is sorted.
Integer ComparePropNames(StringView a, StringView b);

// Reading and writing values. Reading a write-only property raises EPropWriteOnly
// "Property %s is write-only", writing a read-only one EPropReadOnly
// "Property %s is read-only"; a value of the wrong kind is an internal error.
TPropValue GetPropValue(const TObject &instance, const TPropInfo &prop);
void SetPropValue(TObject &instance, const TPropInfo &prop, const TPropValue &value);
Int64 GetOrdProp(const TObject &instance, const TPropInfo &prop);
void SetOrdProp(TObject &instance, const TPropInfo &prop, Int64 value);
String GetStrProp(const TObject &instance, const TPropInfo &prop);
void SetStrProp(TObject &instance, const TPropInfo &prop, const String &value);
double GetFloatProp(const TObject &instance, const TPropInfo &prop);
void SetFloatProp(TObject &instance, const TPropInfo &prop, double value);
String GetEnumProp(const TObject &instance, const TPropInfo &prop);
// An unknown name raises EPropertyConvertError "Invalid property element: %s".
void SetEnumProp(TObject &instance, const TPropInfo &prop, StringView name);
String GetSetProp(const TObject &instance, const TPropInfo &prop, bool brackets = false);
void SetSetProp(TObject &instance, const TPropInfo &prop, StringView text);

// The value as text: integers in decimal, characters as themselves, enumerations by name
// (Booleans "False"/"True"), floats by FloatToStr, strings unchanged, sets as "[a,b]",
// 64-bit integers in decimal; empty for the kinds without a value.
String GetPropValueText(const TObject &instance, const TPropInfo &prop);

// The property's stored rule for this instance (True when it has none).
bool IsStoredProp(const TObject &instance, const TPropInfo &prop);
// The value is the default, which the streaming system leaves out: ordinals equal to
// Default (never when NoDefault), floats 0, strings empty.
bool IsDefaultPropValue(const TObject &instance, const TPropInfo &prop);
// Whether the streaming system writes the property: it is readable and writable, its
// stored rule holds and its value is not the default.
bool IsStreamedProp(const TObject &instance, const TPropInfo &prop);

// ---- Building a class table ---------------------------------------------------------------

namespace detail {
template <class V> Int64 ToOrd(const V &v) {
  if constexpr (std::is_same_v<V, bool>)
    return v ? 1 : 0;
  else if constexpr (std::is_enum_v<V>)
    return static_cast<Int64>(static_cast<std::underlying_type_t<V>>(v));
  else if constexpr (requires { v.ToBits(); })
    return static_cast<Int64>(v.ToBits());
  else
    return static_cast<Int64>(v);
}
template <class V> V FromOrd(Int64 o) {
  if constexpr (std::is_same_v<V, bool>)
    return o != 0;
  else if constexpr (requires { V::FromBits(UInt64{}); })
    return V::FromBits(static_cast<UInt64>(o));
  else
    return static_cast<V>(o);
}

// The value type of a property: what the getter returns, else what the setter takes.
template <class F> struct SetterArg;
template <class R, class K, class A> struct SetterArg<R (K::*)(A)> {
  using type = std::remove_cvref_t<A>;
};
template <class R, class K, class A> struct SetterArg<R (K::*)(A) const> {
  using type = std::remove_cvref_t<A>;
};
template <class R, class L, class K, class A> struct SetterArg<R (L::*)(K &, A) const> {
  using type = std::remove_cvref_t<A>;
};
template <class F>
requires requires { &F::operator(); }
struct SetterArg<F> : SetterArg<decltype(&F::operator())> {};

template <class C, class G, class S> struct PropValueType {
  using type = typename SetterArg<S>::type;
};
template <class C, class G, class S>
requires(!std::is_null_pointer_v<G>) struct PropValueType<C, G, S> {
  using type = std::remove_cvref_t<std::invoke_result_t<G, const C &>>;
};
} // namespace detail

// Builds the table of class C. Getters are callables taking `const C&` (member functions and
// data members work too); setters take `(C&, value)`; pass nullptr for no setter.
template <class C> class TClassInfoBuilder {
public:
  explicit TClassInfoBuilder(const TClassInfo *parent, String className = {}) {
    FInfo.Parent = parent;
    FInfo.ClassName = className.empty() ? ClassNameOf(typeid(C)) : std::move(className);
  }

  template <class G, class S = std::nullptr_t>
  TClassInfoBuilder &Integer(StringView name, G get, S set = nullptr) {
    return Ordinal(name, tkInteger, {}, get, set);
  }
  template <class G, class S = std::nullptr_t>
  TClassInfoBuilder &Int64(StringView name, G get, S set = nullptr) {
    return Ordinal(name, tkInt64, {}, get, set);
  }
  template <class G, class S = std::nullptr_t>
  TClassInfoBuilder &WChar(StringView name, G get, S set = nullptr) {
    return Ordinal(name, tkWChar, {}, get, set);
  }
  template <class G, class S = std::nullptr_t>
  TClassInfoBuilder &Bool(StringView name, G get, S set = nullptr) {
    return Ordinal(name, tkEnumeration, BooleanNames, get, set);
  }
  template <class G, class S = std::nullptr_t>
  TClassInfoBuilder &Enum(StringView name, TEnumNames names, G get, S set = nullptr) {
    return Ordinal(name, tkEnumeration, names, get, set);
  }
  template <class G, class S = std::nullptr_t>
  TClassInfoBuilder &Set(StringView name, TEnumNames elementNames, G get, S set = nullptr) {
    return Ordinal(name, tkSet, elementNames, get, set);
  }
  template <class G, class S = std::nullptr_t>
  TClassInfoBuilder &Float(StringView name, G get, S set = nullptr) {
    TPropInfo p = Start(name, tkFloat, {});
    if constexpr (!std::is_null_pointer_v<G>)
      p.Get = [get](const TObject &o) -> TPropValue {
        return static_cast<double>(std::invoke(get, Cast(o)));
      };
    if constexpr (!std::is_null_pointer_v<S>)
      p.Set = [set](TObject &o, const TPropValue &v) {
        using V = typename detail::PropValueType<C, G, S>::type;
        std::invoke(set, Cast(o), static_cast<V>(std::get<double>(v)));
      };
    return Add(std::move(p));
  }
  template <class G, class S = std::nullptr_t>
  TClassInfoBuilder &Str(StringView name, G get, S set = nullptr) {
    TPropInfo p = Start(name, tkUString, {});
    if constexpr (!std::is_null_pointer_v<G>)
      p.Get = [get](const TObject &o) -> TPropValue { return String(std::invoke(get, Cast(o))); };
    if constexpr (!std::is_null_pointer_v<S>)
      p.Set = [set](TObject &o, const TPropValue &v) {
        std::invoke(set, Cast(o), std::get<String>(v));
      };
    return Add(std::move(p));
  }
  // A published property of a kind without a value text (class, method, ...); listed only
  // when its kind is asked for.
  TClassInfoBuilder &Other(StringView name, TTypeKind kind) { return Add(Start(name, kind, {})); }

  // Modifiers of the property added last.
  TClassInfoBuilder &Default(::krx::Int64 value) {
    Last().Default = value;
    return *this;
  }
  TClassInfoBuilder &Stored(bool stored) {
    Last().Stored = [stored](const TObject &) { return stored; };
    return *this;
  }
  template <class F>
  requires std::invocable<F, const C &> TClassInfoBuilder &Stored(F rule) {
    Last().Stored = [rule](const TObject &o) {
      return static_cast<bool>(std::invoke(rule, Cast(o)));
    };
    return *this;
  }

  TClassInfo Build() { return std::move(FInfo); }

private:
  static const C &Cast(const TObject &o) {
    auto *c = dynamic_cast<const C *>(&o);
    KR_ASSERT(c != nullptr);
    return *c;
  }
  static C &Cast(TObject &o) {
    auto *c = dynamic_cast<C *>(&o);
    KR_ASSERT(c != nullptr);
    return *c;
  }
  static TPropInfo Start(StringView name, TTypeKind kind, TEnumNames names) {
    TPropInfo p;
    p.Name = String(name);
    p.Kind = kind;
    p.EnumNames = names;
    return p;
  }
  TClassInfoBuilder &Add(TPropInfo p) {
    FInfo.Props.push_back(std::move(p));
    return *this;
  }
  TPropInfo &Last() {
    KR_ASSERT(!FInfo.Props.empty());
    return FInfo.Props.back();
  }
  template <class G, class S>
  TClassInfoBuilder &Ordinal(StringView name, TTypeKind kind, TEnumNames names, G get, S set) {
    TPropInfo p = Start(name, kind, names);
    if constexpr (!std::is_null_pointer_v<G>)
      p.Get = [get](const TObject &o) -> TPropValue {
        return detail::ToOrd(std::invoke(get, Cast(o)));
      };
    if constexpr (!std::is_null_pointer_v<S>)
      p.Set = [set](TObject &o, const TPropValue &v) {
        using V = typename detail::PropValueType<C, G, S>::type;
        std::invoke(set, Cast(o), detail::FromOrd<V>(std::get<::krx::Int64>(v)));
      };
    return Add(std::move(p));
  }

  TClassInfo FInfo;
};

} // namespace krx
