// A set of enumeration values, as Pascal's `set of TEnum`. Enumerations must be contiguous
// from 0 and have at most 64 values.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace krx {

template <typename E> class EnumSet {
  static_assert(std::is_enum_v<E>);

public:
  constexpr EnumSet() = default;
  constexpr EnumSet(std::initializer_list<E> values) {
    for (E v : values)
      Bits |= Bit(v);
  }
  static constexpr EnumSet FromBits(std::uint64_t bits) {
    EnumSet s;
    s.Bits = bits;
    return s;
  }

  constexpr bool Contains(E v) const { return (Bits & Bit(v)) != 0; }
  constexpr bool Empty() const { return Bits == 0; }
  constexpr std::uint64_t ToBits() const { return Bits; }
  constexpr EnumSet &Include(E v) {
    Bits |= Bit(v);
    return *this;
  }
  constexpr EnumSet &Exclude(E v) {
    Bits &= ~Bit(v);
    return *this;
  }

  constexpr EnumSet operator+(EnumSet o) const { return FromBits(Bits | o.Bits); }
  constexpr EnumSet operator-(EnumSet o) const { return FromBits(Bits & ~o.Bits); }
  constexpr EnumSet operator*(EnumSet o) const { return FromBits(Bits & o.Bits); }
  constexpr EnumSet &operator+=(EnumSet o) {
    Bits |= o.Bits;
    return *this;
  }
  constexpr EnumSet &operator-=(EnumSet o) {
    Bits &= ~o.Bits;
    return *this;
  }
  constexpr bool operator==(const EnumSet &) const = default;
  // Subset test, as Pascal's `<=` on sets.
  constexpr bool SubsetOf(EnumSet o) const { return (Bits & ~o.Bits) == 0; }

private:
  static constexpr std::uint64_t Bit(E v) { return std::uint64_t{1} << static_cast<unsigned>(v); }
  std::uint64_t Bits = 0;
};

} // namespace krx
