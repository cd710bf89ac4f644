// Finding the version block in the contents of a file held in memory: the reading that
// GetFileVersionInfoW does, for checks of the reader on made-up input.
#pragma once

#include "Platform/Version/Version.h"

#include <vector>

namespace krx::version_detail {

// ERROR_SUCCESS with the checked block, or the error GetFileVersionInfoSizeW would give.
DWORD VersionBlockOfContents(const std::vector<Byte> &contents, std::vector<Byte> &block);

} // namespace krx::version_detail
