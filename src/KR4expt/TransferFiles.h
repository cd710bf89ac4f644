// The transfer file in which the IDE answers Kestrune's requests for file lists: the list
// goes into a section of its own, and "TransferControl"/"TransferReady" = "1" marks the answer
// complete. Both are UTF-8 ini files; what the file already holds stays.
#pragma once

#include "Platform/Rtl/Classes.h"

namespace krx {

// Writes "FileCount" and "File_0".."File_n-1" into Section of the file (its other content
// kept). A name that holds a line break raises EKRXException naming it, before anything is
// written.
void WriteTransferFileList(const String &FileName, const String &Section, const TStrings &List);
// Writes "TransferReady" = "1" into "TransferControl". Callers run it last, also after a
// failure.
void SignalTransferReady(const String &FileName);

// Raises EKRXException naming `Name` and the exchange file when the name holds a carriage
// return or line feed: written into an ini line it would end the line early, and Kestrune
// would read the rest as a line of its own. Such names are legal on this file system.
void CheckExchangeFileName(const String &ExchangeFile, StringView Name);

} // namespace krx
