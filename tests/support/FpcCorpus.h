// The Free Pascal sources (Debian package fpc-source-3.2.2) as a corpus of real Pascal
// text for tests.
#pragma once

#include "Platform/Rtl/Types.h"

#include <filesystem>
#include <vector>

namespace krx::test {

inline constexpr const char *kFpcSourceRoot = "/usr/share/fpcsrc/3.2.2";

bool FpcSourcesInstalled();
// Every .pas, .pp and .inc file of the corpus whose index in the sorted list is `shard`
// modulo `shards`.
std::vector<std::filesystem::path> FpcSourceFiles(int shard, int shards);
// The file's text: UTF-8 when its bytes are valid UTF-8, else Windows-1252.
String ReadSourceText(const std::filesystem::path &path);

} // namespace krx::test
