// Writing a VS_VERSIONINFO block, at compile time for the blocks our own programs and
// libraries carry in their ".krx_version" section, or at run time.
//
// Layout: every node is wLength, wValueLength, wType (1 text, 0 binary), its key as
// terminated UTF-16LE, padding to 4 bytes, the value, padding to 4 bytes, its children.
// wLength excludes the padding that follows a node; a text value's wValueLength counts
// characters with the terminator, a binary one's bytes.
#pragma once

#include "Platform/Version/Version.h"

#include <array>
#include <cstddef>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace krx {

struct TVersionString {
  std::u16string_view Name;
  std::u16string_view Value;
};

struct TVersionInfoSpec {
  std::array<Word, 4> FileVersion{};    // major, minor, release, build
  std::array<Word, 4> ProductVersion{}; // likewise
  DWORD FileFlags = 0;
  DWORD FileOS = VOS__WINDOWS32;
  DWORD FileType = VFT_DLL;
  DWORD FileSubtype = 0;
  Word Language = 0x0409;
  Word CodePage = 1252;
  std::span<const TVersionString> Strings;
};

namespace version_detail {

constexpr void PutWord(std::vector<Byte> &b, unsigned w) {
  b.push_back(static_cast<Byte>(w & 0xFF));
  b.push_back(static_cast<Byte>((w >> 8) & 0xFF));
}

constexpr void PutDword(std::vector<Byte> &b, DWORD d) {
  PutWord(b, d & 0xFFFF);
  PutWord(b, d >> 16);
}

constexpr void Align(std::vector<Byte> &b) {
  while (b.size() % 4 != 0)
    b.push_back(0);
}

constexpr void PutText(std::vector<Byte> &b, std::u16string_view s) {
  for (char16_t c : s)
    PutWord(b, c);
  PutWord(b, 0);
}

// Writes a node's header and key; returns where it starts, for EndNode.
constexpr std::size_t BeginNode(std::vector<Byte> &b, std::u16string_view key,
                                std::size_t valueLength, bool text) {
  Align(b);
  if (valueLength > 0xFFFF)
    throw std::length_error("version value too long");
  const std::size_t start = b.size();
  PutWord(b, 0);
  PutWord(b, static_cast<unsigned>(valueLength));
  PutWord(b, text ? 1 : 0);
  PutText(b, key);
  Align(b);
  return start;
}

constexpr void EndNode(std::vector<Byte> &b, std::size_t start) {
  const std::size_t length = b.size() - start;
  if (length > 0xFFFF)
    throw std::length_error("version block too long");
  b[start] = static_cast<Byte>(length & 0xFF);
  b[start + 1] = static_cast<Byte>(length >> 8);
}

constexpr char16_t HexDigit(unsigned v) {
  return static_cast<char16_t>(v < 10 ? u'0' + v : u'A' + (v - 10));
}

} // namespace version_detail

// The block for `spec`: the fixed information, one string table named after the language
// and code page ("040904E4"), and the translation.
constexpr std::vector<Byte> BuildVersionInfo(const TVersionInfoSpec &spec) {
  using namespace version_detail;
  std::vector<Byte> b;
  const std::size_t root = BeginNode(b, u"VS_VERSION_INFO", 52, false);
  PutDword(b, VS_FFI_SIGNATURE);
  PutDword(b, VS_FFI_STRUCVERSION);
  PutDword(b, static_cast<DWORD>(spec.FileVersion[0]) << 16 | spec.FileVersion[1]);
  PutDword(b, static_cast<DWORD>(spec.FileVersion[2]) << 16 | spec.FileVersion[3]);
  PutDword(b, static_cast<DWORD>(spec.ProductVersion[0]) << 16 | spec.ProductVersion[1]);
  PutDword(b, static_cast<DWORD>(spec.ProductVersion[2]) << 16 | spec.ProductVersion[3]);
  PutDword(b, VS_FFI_FILEFLAGSMASK);
  PutDword(b, spec.FileFlags);
  PutDword(b, spec.FileOS);
  PutDword(b, spec.FileType);
  PutDword(b, spec.FileSubtype);
  PutDword(b, 0);
  PutDword(b, 0);

  const std::size_t stringInfo = BeginNode(b, u"StringFileInfo", 0, true);
  char16_t tableName[8] = {};
  const unsigned both = static_cast<unsigned>(spec.Language) << 16 | spec.CodePage;
  for (int i = 0; i < 8; ++i)
    tableName[i] = HexDigit((both >> (28 - 4 * i)) & 0xF);
  const std::size_t table = BeginNode(b, std::u16string_view(tableName, 8), 0, true);
  for (const TVersionString &s : spec.Strings) {
    const std::size_t node = BeginNode(b, s.Name, s.Value.size() + 1, true);
    PutText(b, s.Value);
    EndNode(b, node);
  }
  EndNode(b, table);
  EndNode(b, stringInfo);

  const std::size_t varInfo = BeginNode(b, u"VarFileInfo", 0, true);
  const std::size_t translation = BeginNode(b, u"Translation", 4, false);
  PutWord(b, spec.Language);
  PutWord(b, spec.CodePage);
  EndNode(b, translation);
  EndNode(b, varInfo);
  EndNode(b, root);
  return b;
}

// The block as a constant array, for a section of the binary. `Spec` is a class whose call
// operator returns the TVersionInfoSpec (its strings must be constants).
template <class Spec> consteval auto EmbedVersionInfo() {
  constexpr std::size_t size = BuildVersionInfo(Spec{}()).size();
  std::array<Byte, size> out{};
  const std::vector<Byte> block = BuildVersionInfo(Spec{}());
  for (std::size_t i = 0; i < size; ++i)
    out[i] = block[i];
  return out;
}

} // namespace krx

// Places the block of `Spec` in the section ".krx_version" of the binary being linked, where
// GetFileVersionInfoW finds it. Used once per binary, by the file that
// krx_embed_version_info() generates.
#define KRX_EMBED_VERSION_INFO(Spec)                                                               \
  [[gnu::used, gnu::section(".krx_version"),                                                       \
    gnu::aligned(4)]] static constexpr auto krx_embedded_version_info =                            \
      ::krx::EmbedVersionInfo<Spec>();
