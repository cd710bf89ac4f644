// The transfer file in which the IDE answers Kestrune's requests for file lists: the list
// goes into a section of its own, and "TransferControl"/"TransferReady" = "1" marks the answer
// complete. Both are UTF-8 ini files; what the file already holds stays.
#pragma once

#include "Platform/Rtl/Classes.h"

namespace krx {

// Writes "FileCount" and "File_0".."File_n-1" into Section of the file (its other content
// kept).
void WriteTransferFileList(const String &FileName, const String &Section, const TStrings &List);
// Writes "TransferReady" = "1" into "TransferControl". Callers run it last, also after a
// failure.
void SignalTransferReady(const String &FileName);

} // namespace krx
