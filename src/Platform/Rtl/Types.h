// Basic scalar and string types shared by every unit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace krx {

// The system is UTF-16 throughout: lengths, columns and wire texts count code units.
using Char = char16_t;
using String = std::u16string;
using StringView = std::u16string_view;

using Integer = std::int32_t;
using Cardinal = std::uint32_t;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;
using Byte = std::uint8_t;
using Word = std::uint16_t;
using DWORD = std::uint32_t;
using TBytes = std::vector<Byte>;

// UTF-8 <-> UTF-16 at the edges (files, logs, what()). Invalid input becomes U+FFFD.
String Utf8ToString(std::string_view utf8);
std::string StringToUtf8(StringView s);

} // namespace krx
