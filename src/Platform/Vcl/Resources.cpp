#include "Platform/Vcl/Resources.h"

#include <algorithm>
#include <cstring>
#include <link.h>

namespace krx {

namespace {

std::uint32_t Word32(const Byte *p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool SameAsciiName(const Byte *utf16le, std::size_t length, const String &name) {
  if (length != name.size())
    return false;
  for (std::size_t i = 0; i < length; ++i) {
    Char c = static_cast<Char>(utf16le[2 * i] | utf16le[2 * i + 1] << 8);
    Char n = name[i];
    if (c >= u'a' && c <= u'z')
      c = static_cast<Char>(c - 32);
    if (n >= u'a' && n <= u'z')
      n = static_cast<Char>(n - 32);
    if (c != n)
      return false;
  }
  return true;
}

// Looks for the resource in the notes [begin, begin + size) of one segment.
std::optional<std::span<const Byte>> FindInNotes(const Byte *begin, std::size_t size,
                                                 const String &name, Word type) {
  using namespace resource_detail;
  std::size_t p = 0;
  while (size - p >= 12) {
    const std::size_t ownerSize = Word32(begin + p);
    const std::size_t descSize = Word32(begin + p + 4);
    const std::uint32_t noteType = Word32(begin + p + 8);
    const std::size_t ownerPadded = Align4(ownerSize);
    const std::size_t descPadded = Align4(descSize);
    if (ownerPadded > size - p - 12 || descPadded > size - p - 12 - ownerPadded)
      break; // not a well-formed note: stop looking in this segment
    const Byte *owner = begin + p + 12;
    const Byte *desc = owner + ownerPadded;
    if (ownerSize == kOwnerSize && std::memcmp(owner, kNoteOwner, kOwnerSize) == 0 &&
        noteType == type && descSize >= 2) {
      const std::size_t nameLength = desc[0] | desc[1] << 8;
      if (2 + 2 * nameLength <= descSize && SameAsciiName(desc + 2, nameLength, name))
        return std::span<const Byte>(desc + 2 + 2 * nameLength, descSize - 2 - 2 * nameLength);
    }
    p += 12 + ownerPadded + descPadded;
  }
  return std::nullopt;
}

struct TResourceSearch {
  HMODULE Module;
  const String *Name;
  Word Type;
  std::optional<std::span<const Byte>> Found;
};

// The module handle of a loaded object, computed as the kernel substitute computes it: the
// address at which its lowest segment is mapped.
std::uintptr_t ModuleBase(const dl_phdr_info *info) {
  std::uintptr_t lowest = UINTPTR_MAX;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const auto &ph = info->dlpi_phdr[i];
    if (ph.p_type == PT_LOAD)
      lowest = std::min<std::uintptr_t>(lowest, ph.p_vaddr - ph.p_offset);
  }
  return lowest == UINTPTR_MAX ? 0 : info->dlpi_addr + lowest;
}

int VisitModule(dl_phdr_info *info, std::size_t, void *data) {
  auto *s = static_cast<TResourceSearch *>(data);
  if (ModuleBase(info) != s->Module)
    return 0;
  for (int i = 0; i < info->dlpi_phnum && !s->Found; ++i) {
    const auto &ph = info->dlpi_phdr[i];
    if (ph.p_type == PT_NOTE)
      s->Found = FindInNotes(reinterpret_cast<const Byte *>(info->dlpi_addr + ph.p_vaddr),
                             ph.p_memsz, *s->Name, s->Type);
  }
  return 1;
}

} // namespace

std::optional<std::span<const Byte>> FindModuleResource(HMODULE module, const String &name,
                                                        Word type) {
  if (module == 0 || name.empty())
    return std::nullopt;
  TResourceSearch search{module, &name, type, std::nullopt};
  dl_iterate_phdr(VisitModule, &search);
  return search.Found;
}

// ---- TResourceStream ----------------------------------------------------------------------

TResourceStream::TResourceStream(HINSTANCE instance, const String &resName, Word resType) {
  const auto found = FindModuleResource(instance, resName, resType);
  if (!found)
    throw EResNotFound(Format(u"Resource %s not found", {resName}));
  FData = *found;
}

Integer TResourceStream::Read(void *buffer, Integer count) {
  if (count <= 0 || FPosition < 0 || FPosition >= static_cast<Int64>(FData.size()))
    return 0;
  const Int64 n = std::min<Int64>(count, static_cast<Int64>(FData.size()) - FPosition);
  std::memcpy(buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
  FPosition += n;
  return static_cast<Integer>(n);
}

Integer TResourceStream::Write(const void *, Integer) {
  throw EStreamError(u"Can't write to a read-only resource stream");
}

Int64 TResourceStream::Seek(Int64 offset, TSeekOrigin origin) {
  switch (origin) {
  case TSeekOrigin::soBeginning:
    FPosition = offset;
    break;
  case TSeekOrigin::soCurrent:
    FPosition += offset;
    break;
  case TSeekOrigin::soEnd:
    FPosition = static_cast<Int64>(FData.size()) + offset;
    break;
  }
  return FPosition;
}

void TResourceStream::SetSize(Int64) {
  throw EStreamError(u"Can't write to a read-only resource stream");
}

} // namespace krx
