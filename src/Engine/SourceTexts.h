// The texts of source files that parses read again and again (include files: the same few
// are included by many units), kept per process split into lines and handed out again while
// the file on disk is unchanged.
#pragma once

#include "Engine/Tokenizers.h"

namespace krx {

// The text of the file `fileName`, decoded as ReadTextFileEx decodes it and split into lines.
// A file read before is not read again while its device, inode, size and modification time
// are unchanged. Raises as ReadTextFileEx does when the file cannot be read.
TTokenizerTextPtr ReadCachedSourceText(const String &fileName);

// Forgets every kept text.
void ClearCachedSourceTexts();

} // namespace krx
