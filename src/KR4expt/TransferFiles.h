// The transfer file in which the IDE answers Kestrune's requests for file lists: the list
// goes into a section of its own, and "TransferControl"/"TransferReady" = "1" marks the answer
// complete. Both are UTF-8 ini files; what the file already holds stays.
//
// Kestrune names the file, so the name may stand for anything. An answer is written only as a
// new file or over an earlier answer: an empty file, or an ini file holding one of the answer
// sections ("ProjectFiles", "EditorFiles", "TransferControl") and nothing that the rewrite
// would drop. Anything else under the name (another file, a folder, a device or FIFO, a link
// that does not resolve) is left untouched and the write raises EKRXException saying why.
#pragma once

#include "Platform/Rtl/Classes.h"

namespace krx {

// Raises EKRXException, writing nothing, unless the file may take an answer (see above).
void CheckTransferTarget(const String &FileName);
// Writes "FileCount" and "File_0".."File_n-1" into Section of the file (its other content
// kept). A name that holds a line break raises EKRXException naming it, before anything is
// written.
void WriteTransferFileList(const String &FileName, const String &Section, const TStrings &List);
// Writes "TransferReady" = "1" into "TransferControl". Callers run it last, also after a
// failure.
void SignalTransferReady(const String &FileName);

// True when the name holds a carriage return or line feed: written into an ini line it would
// end the line early, and Kestrune would read the rest as a line of its own. Such names are
// legal on this file system.
bool HoldsLineBreak(StringView Name);
// The name with its line breaks written as the source language writes such characters (#13,
// #10), so that a message naming it stays one line.
String ShownFileName(StringView Name);
// Raises EKRXException naming `Name` and the exchange file when the name holds a line break.
void CheckExchangeFileName(const String &ExchangeFile, StringView Name);

} // namespace krx
