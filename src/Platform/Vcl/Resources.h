// Resources embedded in a module (program or shared library), found by module handle, name
// and type, and read through TResourceStream.
//
// A resource is an ELF note of the module that carries it: KRX_EMBED_RESOURCE places it in
// the section ".note.krx.resource", which the linker maps into a PT_NOTE segment, so the
// loader's program headers find it in memory without reading the file. A resource belongs
// to the module whose code holds the unit that embeds it, as a resource linked into a unit
// does on the original platform. Note layout (words little-endian, 4-byte aligned):
//   namesz = 7, descsz, type = the resource type; name "KRXRES\0" padded to 8;
//   desc: UTF-16 name length (2 bytes), the name (UTF-16LE), then the data.
#pragma once

#include "Platform/Rtl/Streams.h"
#include "Platform/Rtl/SysUtils.h"
#include "Platform/Win/Kernel.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>

namespace krx {

// Resource types, as the original platform numbers them.
inline constexpr Word RT_BITMAP = 2;
inline constexpr Word RT_RCDATA = 10;

// The class library's error for a resource that a module does not hold.
KRX_DECLARE_EXCEPTION(EResNotFound, Exception);

// The data of the resource of that name (compared without regard to ASCII case) and type in
// the module; nothing when the module is not loaded or holds no such resource.
std::optional<std::span<const Byte>> FindModuleResource(HMODULE module, const String &name,
                                                        Word type);

// A read-only stream over a module's resource. The module must stay loaded while it lives.
class TResourceStream : public TStream {
public:
  // Raises EResNotFound "Resource %s not found" when the module holds no such resource.
  TResourceStream(HINSTANCE instance, const String &resName, Word resType);

  Integer Read(void *buffer, Integer count) override;
  // Raises EStreamError: resources cannot be changed.
  Integer Write(const void *buffer, Integer count) override;
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;
  Int64 Size() override { return static_cast<Int64>(FData.size()); }
  void SetSize(Int64 newSize) override;

  std::span<const Byte> Memory() const { return FData; }

private:
  std::span<const Byte> FData;
  Int64 FPosition = 0;
};

// ---- Embedding ----------------------------------------------------------------------------

namespace resource_detail {

inline constexpr char kNoteOwner[] = "KRXRES"; // with its terminator: namesz 7
inline constexpr std::size_t kOwnerSize = sizeof(kNoteOwner);
inline constexpr std::size_t kOwnerPadded = (kOwnerSize + 3) & ~std::size_t{3};

constexpr std::size_t Align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

template <std::size_t NameN, std::size_t DataN>
constexpr std::size_t DescSize = 2 + 2 * (NameN - 1) + DataN;

template <std::size_t NameN, std::size_t DataN>
constexpr std::size_t NoteSize = 12 + kOwnerPadded + Align4(DescSize<NameN, DataN>);

constexpr void PutWord32(Byte *p, std::size_t value) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<Byte>((value >> (8 * i)) & 0xFF);
}

// The note of one resource; `name` is a string literal, `data` its bytes.
template <std::size_t NameN, std::size_t DataN>
consteval auto BuildNote(Word type, const char16_t (&name)[NameN], const Byte (&data)[DataN]) {
  static_assert(NameN > 1 && NameN - 1 <= 0xFFFF, "a resource needs a name");
  std::array<Byte, NoteSize<NameN, DataN>> note{};
  PutWord32(note.data(), kOwnerSize);
  PutWord32(note.data() + 4, DescSize<NameN, DataN>);
  PutWord32(note.data() + 8, type);
  std::size_t p = 12;
  for (std::size_t i = 0; i < kOwnerSize; ++i)
    note[p + i] = static_cast<Byte>(kNoteOwner[i]);
  p += kOwnerPadded;
  note[p++] = static_cast<Byte>((NameN - 1) & 0xFF);
  note[p++] = static_cast<Byte>((NameN - 1) >> 8);
  for (std::size_t i = 0; i + 1 < NameN; ++i) {
    note[p++] = static_cast<Byte>(name[i] & 0xFF);
    note[p++] = static_cast<Byte>(name[i] >> 8);
  }
  for (std::size_t i = 0; i < DataN; ++i)
    note[p++] = data[i];
  return note;
}

} // namespace resource_detail

} // namespace krx

// Embeds the bytes of the array `data` as the resource `name` (a u"" literal) of type
// `type` in the module that links the translation unit using this macro. `id` names the
// note object; use the macro at namespace scope in the .cpp of the unit that needs it.
#define KRX_EMBED_RESOURCE(id, type, name, data)                                                   \
  [[gnu::used, gnu::section(".note.krx.resource"), gnu::aligned(4)]] constexpr auto id =           \
      ::krx::resource_detail::BuildNote((type), (name), (data))
