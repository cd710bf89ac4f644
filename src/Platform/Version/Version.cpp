#include "Platform/Version/Version.h"

#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/SysUtils.h"
#include "Platform/Version/VersionFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace krx {

namespace {

constexpr std::uint64_t kMaxResourceBytes = 64u << 20;

// ---- Reading a file by bounded pieces ----------------------------------------------------

// A file, or its contents in memory.
class TFileReader {
public:
  // Only a regular file is read: a FIFO under the name would block the caller for ever.
  explicit TFileReader(const std::string &name) {
    TOpenResult file = OpenRegularFile(name, O_RDONLY);
    FOpenError = file.Handle.Valid() ? 0 : file.Error;
    struct stat st {};
    if (file.Handle.Valid() && ::fstat(file.Handle.Get(), &st) == 0)
      FSize = static_cast<std::uint64_t>(st.st_size);
    FFd = file.Handle.Release();
  }
  explicit TFileReader(const std::vector<Byte> &contents)
      : FMemory(&contents), FFd(-1), FSize(contents.size()) {}
  ~TFileReader() {
    if (FFd >= 0)
      ::close(FFd);
  }
  TFileReader(const TFileReader &) = delete;
  TFileReader &operator=(const TFileReader &) = delete;

  int OpenError() const { return FOpenError; }
  std::uint64_t Size() const { return FSize; }

  // Reads exactly `count` bytes at `offset`; False when they are not all in the file.
  bool Read(std::uint64_t offset, std::uint64_t count, std::vector<Byte> &out) const {
    if (offset > FSize || count > FSize - offset || count > kMaxResourceBytes)
      return false;
    if (FMemory) {
      out.assign(FMemory->begin() + static_cast<std::ptrdiff_t>(offset),
                 FMemory->begin() + static_cast<std::ptrdiff_t>(offset + count));
      return true;
    }
    out.resize(static_cast<std::size_t>(count));
    std::size_t done = 0;
    while (done < out.size()) {
      ssize_t n =
          ::pread(FFd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

private:
  const std::vector<Byte> *FMemory = nullptr;
  int FFd = -1;
  int FOpenError = 0;
  std::uint64_t FSize = 0;
};

std::uint16_t U16(const std::vector<Byte> &b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t U32(const std::vector<Byte> &b, std::size_t at) {
  return static_cast<std::uint32_t>(U16(b, at)) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}
std::uint64_t U64(const std::vector<Byte> &b, std::size_t at) {
  return static_cast<std::uint64_t>(U32(b, at)) | static_cast<std::uint64_t>(U32(b, at + 4)) << 32;
}
bool Fits(const std::vector<Byte> &b, std::uint64_t at, std::uint64_t count) {
  return at <= b.size() && count <= b.size() - at;
}

// ---- PE files -----------------------------------------------------------------------------

struct TSection {
  std::uint32_t VirtualAddress, VirtualSize, RawSize, RawOffset;
};

// The file range of `size` bytes at the relative virtual address `rva`.
bool RvaToOffset(const std::vector<TSection> &sections, std::uint32_t rva, std::uint32_t size,
                 std::uint64_t &offset) {
  for (const TSection &s : sections) {
    const std::uint64_t span = std::max(s.VirtualSize, s.RawSize);
    if (rva >= s.VirtualAddress && rva - s.VirtualAddress < span) {
      const std::uint64_t delta = rva - s.VirtualAddress;
      if (delta + size > s.RawSize)
        return false;
      offset = static_cast<std::uint64_t>(s.RawOffset) + delta;
      return true;
    }
  }
  return false;
}

// How many bytes of the file follow the relative virtual address `rva` in its section.
std::uint32_t RawBytesAt(const std::vector<TSection> &sections, std::uint32_t rva) {
  for (const TSection &s : sections)
    if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.RawSize)
      return s.RawSize - (rva - s.VirtualAddress);
  return 0;
}

// The data of a resource-directory entry at `dir` (an offset into the resource section):
// the entry with `id`, or the first entry when id is 0 or not found and `firstOtherwise`.
bool FindResourceEntry(const std::vector<Byte> &rsrc, std::uint32_t dir, std::uint32_t id,
                       bool firstOtherwise, std::uint32_t &target) {
  if (!Fits(rsrc, dir, 16))
    return false;
  const std::uint32_t count = static_cast<std::uint32_t>(U16(rsrc, dir + 12)) + U16(rsrc, dir + 14);
  if (count == 0 || !Fits(rsrc, dir + 16, static_cast<std::uint64_t>(count) * 8))
    return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t name = U32(rsrc, dir + 16 + i * 8);
    if (id != 0 && name == id) {
      target = U32(rsrc, dir + 16 + i * 8 + 4);
      return true;
    }
  }
  if (!firstOtherwise)
    return false;
  target = U32(rsrc, dir + 16 + 4);
  return true;
}

DWORD ReadPeVersion(const TFileReader &file, std::vector<Byte> &block) {
  std::vector<Byte> b;
  if (!file.Read(0, 64, b))
    return ERROR_BAD_FORMAT;
  const std::uint32_t peOffset = U32(b, 0x3C);
  if (!file.Read(peOffset, 24, b) || std::memcmp(b.data(), "PE\0\0", 4) != 0)
    return ERROR_BAD_FORMAT;
  const std::uint16_t sectionCount = U16(b, 6);
  const std::uint16_t optionalSize = U16(b, 20);
  std::vector<Byte> opt;
  if (!file.Read(peOffset + 24, optionalSize, opt) || optionalSize < 2)
    return ERROR_BAD_FORMAT;
  std::size_t countAt = 0, dirsAt = 0;
  switch (U16(opt, 0)) {
  case 0x10B: // PE32
    countAt = 92;
    dirsAt = 96;
    break;
  case 0x20B: // PE32+
    countAt = 108;
    dirsAt = 112;
    break;
  default:
    return ERROR_BAD_FORMAT;
  }
  if (!Fits(opt, countAt, 4) || U32(opt, countAt) < 3 || !Fits(opt, dirsAt + 16, 8))
    return ERROR_RESOURCE_TYPE_NOT_FOUND;
  const std::uint32_t rsrcRva = U32(opt, dirsAt + 16);
  const std::uint32_t rsrcSize = U32(opt, dirsAt + 20);
  if (rsrcRva == 0 || rsrcSize == 0)
    return ERROR_RESOURCE_TYPE_NOT_FOUND;

  std::vector<Byte> table;
  if (!file.Read(peOffset + 24 + optionalSize, static_cast<std::uint64_t>(sectionCount) * 40,
                 table))
    return ERROR_BAD_FORMAT;
  std::vector<TSection> sections;
  for (std::uint16_t i = 0; i < sectionCount; ++i)
    sections.push_back({U32(table, i * 40 + 12), U32(table, i * 40 + 8), U32(table, i * 40 + 16),
                        U32(table, i * 40 + 20)});

  // The resource directory, cut to what the file holds of its section.
  std::uint64_t rsrcOffset = 0;
  std::uint32_t size = std::min(rsrcSize, RawBytesAt(sections, rsrcRva));
  std::vector<Byte> rsrc;
  if (size == 0 || !RvaToOffset(sections, rsrcRva, size, rsrcOffset) ||
      !file.Read(rsrcOffset, size, rsrc))
    return ERROR_INVALID_DATA;

  // Type RT_VERSION (16), then the name VS_VERSION_INFO (1) or the first, then the first
  // language; the two upper levels must be directories, the last a data entry.
  constexpr std::uint32_t kSubdirectory = 0x80000000u;
  std::uint32_t entry = 0;
  if (!FindResourceEntry(rsrc, 0, 16, false, entry))
    return ERROR_RESOURCE_TYPE_NOT_FOUND;
  if (!(entry & kSubdirectory) ||
      !FindResourceEntry(rsrc, entry & ~kSubdirectory, 1, true, entry) ||
      !(entry & kSubdirectory) ||
      !FindResourceEntry(rsrc, entry & ~kSubdirectory, 0, true, entry) || (entry & kSubdirectory) ||
      !Fits(rsrc, entry, 16))
    return ERROR_INVALID_DATA;
  const std::uint32_t dataRva = U32(rsrc, entry);
  const std::uint32_t dataSize = U32(rsrc, entry + 4);
  std::uint64_t dataOffset = 0;
  if (!RvaToOffset(sections, dataRva, dataSize, dataOffset) ||
      !file.Read(dataOffset, dataSize, block))
    return ERROR_INVALID_DATA;
  return ERROR_SUCCESS;
}

// ---- ELF files ----------------------------------------------------------------------------

DWORD ReadElfVersion(const TFileReader &file, std::vector<Byte> &block) {
  std::vector<Byte> h;
  if (!file.Read(0, 16, h) || (h[4] != 1 && h[4] != 2) || h[5] != 1) // little-endian only
    return ERROR_BAD_FORMAT;
  const bool is64 = h[4] == 2;
  if (!file.Read(0, is64 ? 64 : 52, h))
    return ERROR_BAD_FORMAT;
  const std::uint64_t shoff = is64 ? U64(h, 0x28) : U32(h, 0x20);
  const std::uint16_t shentsize = U16(h, is64 ? 0x3A : 0x2E);
  std::uint64_t shnum = U16(h, is64 ? 0x3C : 0x30);
  std::uint32_t shstrndx = U16(h, is64 ? 0x3E : 0x32);
  if (shoff == 0 || shentsize < (is64 ? 64u : 40u))
    return ERROR_RESOURCE_TYPE_NOT_FOUND;

  struct TElfSection {
    std::uint32_t Name, Type, Link;
    std::uint64_t Offset, Size;
  };
  auto readSection = [&](std::uint64_t index, TElfSection &s) {
    std::vector<Byte> e;
    if (!file.Read(shoff + index * shentsize, shentsize, e))
      return false;
    s.Name = U32(e, 0);
    s.Type = U32(e, 4);
    s.Offset = is64 ? U64(e, 0x18) : U32(e, 0x10);
    s.Size = is64 ? U64(e, 0x20) : U32(e, 0x14);
    s.Link = U32(e, is64 ? 0x28 : 0x18);
    return true;
  };
  // Extended numbering keeps the real counts in section 0.
  TElfSection first{};
  if (!readSection(0, first))
    return ERROR_BAD_FORMAT;
  if (shnum == 0)
    shnum = first.Size;
  if (shstrndx == 0xFFFF)
    shstrndx = first.Link;
  if (shnum > file.Size() / shentsize || shstrndx >= shnum)
    return ERROR_BAD_FORMAT;
  TElfSection names{};
  std::vector<Byte> strtab;
  if (!readSection(shstrndx, names) || !file.Read(names.Offset, names.Size, strtab))
    return ERROR_BAD_FORMAT;

  constexpr std::string_view kSection = ".krx_version";
  constexpr std::uint32_t kNoBits = 8;
  for (std::uint64_t i = 1; i < shnum; ++i) {
    TElfSection s{};
    if (!readSection(i, s))
      return ERROR_BAD_FORMAT;
    if (!Fits(strtab, s.Name, kSection.size() + 1) ||
        std::memcmp(strtab.data() + s.Name, kSection.data(), kSection.size() + 1) != 0)
      continue;
    if (s.Type == kNoBits || !file.Read(s.Offset, s.Size, block))
      return ERROR_INVALID_DATA;
    return ERROR_SUCCESS;
  }
  return ERROR_RESOURCE_TYPE_NOT_FOUND;
}

// ---- The block ----------------------------------------------------------------------------

std::size_t Align4(std::size_t n) { return (n + 3) & ~std::size_t(3); }

struct TNode {
  std::size_t Start = 0, End = 0; // the node's bytes: [Start, End)
  std::uint16_t ValueLength = 0, Type = 0;
  std::size_t KeyAt = 0, KeyLength = 0; // in characters
  std::size_t ValueAt = 0, ChildrenAt = 0;
};

// Reads the node at `at`, which must lie within [at, limit).
bool ReadNode(const Byte *b, std::size_t at, std::size_t limit, TNode &n) {
  if (at + 6 > limit)
    return false;
  const std::size_t length = static_cast<std::size_t>(b[at] | b[at + 1] << 8);
  if (length < 6 || at + length > limit)
    return false;
  n.Start = at;
  n.End = at + length;
  n.ValueLength = static_cast<std::uint16_t>(b[at + 2] | b[at + 3] << 8);
  n.Type = static_cast<std::uint16_t>(b[at + 4] | b[at + 5] << 8);
  n.KeyAt = at + 6;
  std::size_t p = n.KeyAt;
  for (;;) {
    if (p + 2 > n.End)
      return false;
    if (b[p] == 0 && b[p + 1] == 0)
      break;
    p += 2;
  }
  n.KeyLength = (p - n.KeyAt) / 2;
  n.ValueAt = std::min(Align4(p + 2), n.End);
  const std::size_t valueBytes = n.Type == 1 ? std::size_t(n.ValueLength) * 2 : n.ValueLength;
  n.ChildrenAt = std::min(Align4(n.ValueAt + valueBytes), n.End);
  return true;
}

bool KeyIs(const Byte *b, const TNode &n, StringView name) {
  if (n.KeyLength != name.size())
    return false;
  String key(n.KeyLength, u'\0');
  for (std::size_t i = 0; i < n.KeyLength; ++i)
    key[i] = static_cast<Char>(b[n.KeyAt + 2 * i] | b[n.KeyAt + 2 * i + 1] << 8);
  return AnsiSameText(key, name);
}

// Checks the whole tree, so that a block handed out is well formed (depth is bounded by
// the node sizes: every level takes at least 6 bytes).
bool ValidTree(const Byte *b, const TNode &n, int depth) {
  if (depth > 64)
    return false;
  std::size_t at = n.ChildrenAt;
  while (Align4(at) + 6 <= n.End) {
    TNode child;
    if (!ReadNode(b, Align4(at), n.End, child) || !ValidTree(b, child, depth + 1))
      return false;
    at = child.End;
  }
  return true;
}

DWORD BlockOfFile(const TFileReader &file, std::vector<Byte> &block) {
  std::vector<Byte> magic;
  if (!file.Read(0, 4, magic))
    return ERROR_BAD_FORMAT;
  DWORD error = ERROR_BAD_FORMAT;
  if (magic[0] == 'M' && magic[1] == 'Z')
    error = ReadPeVersion(file, block);
  else if (magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F')
    error = ReadElfVersion(file, block);
  if (error != ERROR_SUCCESS)
    return error;
  // The root must be a VS_VERSION_INFO node inside what was read, sound all the way down.
  TNode root;
  if (!ReadNode(block.data(), 0, block.size(), root) ||
      !KeyIs(block.data(), root, u"VS_VERSION_INFO") || !ValidTree(block.data(), root, 0))
    return ERROR_INVALID_DATA;
  block.resize(root.End);
  return ERROR_SUCCESS;
}

DWORD LoadVersionBlock(const Char *fileName, std::vector<Byte> &block) {
  if (!fileName || !*fileName)
    return ERROR_FILE_NOT_FOUND;
  std::string name;
  if (!TryFileNameToOS(fileName, name))
    return ERROR_FILE_NOT_FOUND;
  TFileReader file(name);
  if (file.OpenError() != 0)
    return file.OpenError() == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
  return BlockOfFile(file, block);
}

} // namespace

DWORD version_detail::VersionBlockOfContents(const std::vector<Byte> &contents,
                                             std::vector<Byte> &block) {
  TFileReader file(contents);
  return BlockOfFile(file, block);
}

DWORD GetFileVersionInfoSizeW(const Char *fileName, DWORD *handle) {
  if (handle)
    *handle = 0;
  std::vector<Byte> block;
  DWORD error = LoadVersionBlock(fileName, block);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return 0;
  }
  return static_cast<DWORD>(block.size());
}

BOOL GetFileVersionInfoW(const Char *fileName, DWORD, DWORD len, void *data) {
  if (!data || len < 6) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<Byte> block;
  DWORD error = LoadVersionBlock(fileName, block);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  const std::size_t n = std::min<std::size_t>(len, block.size());
  std::memcpy(data, block.data(), n);
  if (n < block.size()) {
    auto *out = static_cast<Byte *>(data);
    out[0] = static_cast<Byte>(n & 0xFF);
    out[1] = static_cast<Byte>(n >> 8);
  }
  return TRUE;
}

BOOL VerQueryValueW(const void *block, const Char *subBlock, void **buffer, UINT *len) {
  if (!block || !subBlock || !buffer || !len)
    return FALSE;
  const auto *b = static_cast<const Byte *>(block);
  TNode node;
  if (!ReadNode(b, 0, static_cast<std::size_t>(b[0] | b[1] << 8), node))
    return FALSE;
  const StringView path(subBlock);
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find(u'\\', start);
    StringView name =
        path.substr(start, slash == StringView::npos ? StringView::npos : slash - start);
    if (!name.empty()) {
      bool found = false;
      for (std::size_t at = node.ChildrenAt; Align4(at) + 6 <= node.End;) {
        TNode child;
        if (!ReadNode(b, Align4(at), node.End, child))
          return FALSE;
        if (KeyIs(b, child, name)) {
          node = child;
          found = true;
          break;
        }
        at = child.End;
      }
      if (!found)
        return FALSE;
    }
    if (slash == StringView::npos)
      break;
    start = slash + 1;
  }
  const std::size_t valueEnd = node.ChildrenAt;
  if (node.Start == 0 && node.ValueLength == 0)
    return FALSE; // no fixed information
  if (node.Type == 1 && node.ValueLength > 0) {
    // A text value: only one that ends within its node is handed out.
    std::size_t p = node.ValueAt;
    while (p + 2 <= node.End && !(b[p] == 0 && b[p + 1] == 0))
      p += 2;
    if (p + 2 > node.End)
      return FALSE;
    *len = static_cast<UINT>((p - node.ValueAt) / 2 + 1);
  } else {
    *len = static_cast<UINT>(std::min<std::size_t>(valueEnd - node.ValueAt, node.ValueLength));
    if (node.Start == 0 && *len < sizeof(VS_FIXEDFILEINFO))
      return FALSE; // a cut fixed information
  }
  *buffer = const_cast<Byte *>(b + node.ValueAt);
  return TRUE;
}

} // namespace krx
