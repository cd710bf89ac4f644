// The transfer file in which the IDE answers Kestrune's requests for file lists: the list
// goes into a section of its own, and "TransferControl"/"TransferReady" = "1" marks the answer
// complete; "FileCount" tells how many "File_%d" keys are valid. Both are UTF-8 ini files;
// what the file already holds stays.
//
// Kestrune names the file, so the name may stand for anything. An answer is written only as a
// new file or over an earlier answer: an empty file (0 bytes), or an ini file holding answer
// sections only ("ProjectFiles", "EditorFiles", "TransferControl"), with nothing that the
// rewrite would drop. Anything else under the name (a user's file, a folder, a device or FIFO,
// a link that does not resolve) is left untouched and the write raises EKRXException saying
// why; so is a file with other names (hard links) where its folder takes no new file.
#pragma once

#include "Platform/Rtl/Classes.h"

namespace krx {

// Raises EKRXException, writing nothing, unless the file may take an answer (see above).
void CheckTransferTarget(const String &FileName);
// Writes "FileCount" and "File_0".."File_n-1" into Section of the file (its other content
// kept). A name that no ini file can carry (CheckExchangeFileName), or a list that would make
// the file larger than the read bound, raises EKRXException before anything is written.
void WriteTransferFileList(const String &FileName, const String &Section, const TStrings &List);
// Writes "TransferReady" = "1" into "TransferControl", after the list this request wrote.
void SignalTransferReady(const String &FileName);
// The mark of a request that wrote no list into Section, so that the mark never stands over an
// earlier answer's list: "FileCount" 0 goes into Section in the same update, after a failure
// (Failed) in every case, otherwise (nothing to list) where Section already holds a count.
// Callers run one of the two marks last, also after a failure.
void SignalTransferReadyUnlisted(const String &FileName, const String &Section, bool Failed);

// True when the name holds a carriage return or line feed: written into an ini line it would
// end the line early, and Kestrune would read the rest as a line of its own. Such names are
// legal on this file system.
bool HoldsLineBreak(StringView Name);
// Why an ini file cannot carry the name as a value, or null when it can: a line break, or a
// blank or control character at either end, which every ini reader trims away.
const Char *UncarriedNameReason(StringView Name);
// The name with its control characters (line breaks, TAB) written as the source language
// writes such characters (#13, #10, #9), so that a message naming it stays one line and shows
// them.
String ShownFileName(StringView Name);
// Raises EKRXException naming `Name` and the exchange file when an ini file cannot carry the
// name.
void CheckExchangeFileName(const String &ExchangeFile, StringView Name);

} // namespace krx
