// Reference-counted interfaces. An interface derives virtually from IInterface, so that an
// object implementing several interfaces keeps one count; IPtr<T> holds one reference;
// Supports is a dynamic_cast. An object can hand out `this` as an interface and frees itself
// when the last reference goes (TInterfacedObject). Objects that are not counted
// (TNoRefCountObject) ignore AddRef and Release and are freed by their owner.
#pragma once

#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/System.h"

#include <atomic>
#include <compare>
#include <cstddef>
#include <type_traits>
#include <utility>

namespace krx {

// ---- GUIDs --------------------------------------------------------------------------------

struct TGUID {
  DWORD D1 = 0;
  Word D2 = 0;
  Word D3 = 0;
  Byte D4[8] = {};

  // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"; a malformed text fails to compile when used
  // in a constant expression and raises EConvertError otherwise.
  static constexpr TGUID Parse(std::string_view s);
  constexpr bool operator==(const TGUID &) const = default;
};

// The braced upper-case form, as the class library writes it.
String GUIDToString(const TGUID &guid);
// Raises EConvertError "'%s' is not a valid GUID value" for a malformed text.
TGUID StringToGUID(StringView s);
bool IsEqualGUID(const TGUID &a, const TGUID &b);

namespace detail {
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}
[[noreturn]] void BadGUID(std::string_view s);
} // namespace detail

constexpr TGUID TGUID::Parse(std::string_view s) {
  // Positions of the 32 hex digits in the braced form.
  if (s.size() != 38 || s[0] != '{' || s[37] != '}' || s[9] != '-' || s[14] != '-' ||
      s[19] != '-' || s[24] != '-')
    detail::BadGUID(s);
  auto hex = [&](std::size_t from, std::size_t count) {
    UInt64 v = 0;
    for (std::size_t i = 0; i < count; ++i) {
      int d = detail::HexDigit(s[from + i]);
      if (d < 0)
        detail::BadGUID(s);
      v = v * 16 + static_cast<UInt64>(d);
    }
    return v;
  };
  TGUID g;
  g.D1 = static_cast<DWORD>(hex(1, 8));
  g.D2 = static_cast<Word>(hex(10, 4));
  g.D3 = static_cast<Word>(hex(15, 4));
  g.D4[0] = static_cast<Byte>(hex(20, 2));
  g.D4[1] = static_cast<Byte>(hex(22, 2));
  for (std::size_t i = 0; i < 6; ++i)
    g.D4[2 + i] = static_cast<Byte>(hex(25 + 2 * i, 2));
  return g;
}

// Declares the interface's GUID inside its class: KRX_GUID("{...}").
#define KRX_GUID(text) static constexpr ::krx::TGUID IID = ::krx::TGUID::Parse(text)

// ---- Interfaces ---------------------------------------------------------------------------

class IInterface {
public:
  KRX_GUID("{00000000-0000-0000-C000-000000000046}");
  // Both return the new count (-1 for objects that are not counted).
  virtual Integer _AddRef() = 0;
  virtual Integer _Release() = 0;

protected:
  IInterface() = default;
  IInterface(const IInterface &) = default;
  IInterface &operator=(const IInterface &) = default;
  virtual ~IInterface() = default;
};

// Frees itself when its count drops from 1 to 0. The count starts at 0: do not hand out
// `this` as an interface from the constructor (use a Create factory).
class TInterfacedObject : public TObject, public virtual IInterface {
public:
  Integer _AddRef() override { return ++FRefCount; }
  Integer _Release() override {
    const Integer r = --FRefCount;
    if (r == 0)
      delete this;
    return r;
  }
  Integer RefCount() const { return FRefCount; }

private:
  std::atomic<Integer> FRefCount{0};
};

// Implements IInterface without counting; the owner frees the object.
class TNoRefCountObject : public TObject, public virtual IInterface {
public:
  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }
};

// One counted reference to an interface (or to any class with _AddRef/_Release).
template <class T> class IPtr {
public:
  using element_type = T;

  IPtr() = default;
  IPtr(std::nullptr_t) {}
  IPtr(T *p) : FPtr(p) {
    if (FPtr)
      FPtr->_AddRef();
  }
  IPtr(const IPtr &o) : IPtr(o.FPtr) {}
  IPtr(IPtr &&o) noexcept : FPtr(std::exchange(o.FPtr, nullptr)) {}
  template <class U>
  requires std::is_convertible_v<U *, T *> IPtr(const IPtr<U> &o)
      : IPtr(static_cast<T *>(o.get())) {}
  template <class U>
  requires std::is_convertible_v<U *, T *> IPtr(IPtr<U> &&o)
  noexcept : FPtr(o.detach()) {}
  ~IPtr() { reset(); }

  // The new reference is taken before the old one is released, so assigning an interface
  // that only the old reference keeps alive is safe.
  IPtr &operator=(const IPtr &o) {
    IPtr(o).swap(*this);
    return *this;
  }
  IPtr &operator=(IPtr &&o) noexcept {
    IPtr(std::move(o)).swap(*this);
    return *this;
  }
  IPtr &operator=(T *p) {
    IPtr(p).swap(*this);
    return *this;
  }
  IPtr &operator=(std::nullptr_t) {
    reset();
    return *this;
  }

  void reset() {
    if (T *p = std::exchange(FPtr, nullptr))
      p->_Release();
  }
  // Gives up the reference without releasing it.
  T *detach() noexcept { return std::exchange(FPtr, nullptr); }
  void swap(IPtr &o) noexcept { std::swap(FPtr, o.FPtr); }

  T *get() const noexcept { return FPtr; }
  T *operator->() const {
    KR_ASSERT(FPtr != nullptr);
    return FPtr;
  }
  T &operator*() const {
    KR_ASSERT(FPtr != nullptr);
    return *FPtr;
  }
  explicit operator bool() const noexcept { return FPtr != nullptr; }

  template <class U> bool operator==(const IPtr<U> &o) const noexcept {
    return SameObject(FPtr, o.get());
  }
  bool operator==(std::nullptr_t) const noexcept { return FPtr == nullptr; }

private:
  template <class A, class B> static bool SameObject(A *a, B *b) {
    if (!a || !b)
      return static_cast<const void *>(a) == static_cast<const void *>(b);
    // Compare the complete objects, as interfaces of one object sit at different addresses.
    return dynamic_cast<const void *>(a) == dynamic_cast<const void *>(b);
  }

  T *FPtr = nullptr;
};

// ---- Supports and casts -------------------------------------------------------------------

template <class T, class S> bool Supports(S *instance, IPtr<T> &intf) {
  intf = instance ? dynamic_cast<T *>(instance) : nullptr;
  return static_cast<bool>(intf);
}
template <class T, class S> bool Supports(const IPtr<S> &instance, IPtr<T> &intf) {
  return Supports(instance.get(), intf);
}
template <class T, class S> bool Supports(S *instance) {
  return instance && dynamic_cast<T *>(instance) != nullptr;
}
template <class T, class S> bool Supports(const IPtr<S> &instance) {
  return Supports<T>(instance.get());
}

// The `as` cast: raises EIntfCastError "Interface not supported" when the object does not
// implement T. Nil gives nil.
template <class T, class S> IPtr<T> IntfCast(S *instance) {
  if (!instance)
    return nullptr;
  T *p = dynamic_cast<T *>(instance);
  if (!p)
    throw EIntfCastError(u"Interface not supported");
  return IPtr<T>(p);
}
template <class T, class S> IPtr<T> IntfCast(const IPtr<S> &instance) {
  return IntfCast<T>(instance.get());
}

} // namespace krx
