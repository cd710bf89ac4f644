// The file of global delegate type names, "GlobalDelegates.txt" in the shared data folder: the
// procedural types a property may have to be an event without being declared in its unit. A
// line holds a name before an optional "="; lines whose name is no valid delegate identifier are
// dropped. Its built-in default is one line naming TNotifyEvent.
//
// The file is loaded when a parse starts but not read again while it is unchanged (its name,
// device, inode, size and time) and the validator and language mode that checked its names are
// those of the last load; a missing file is written from the default first. A file that cannot
// be read or written never stops a parse: the failure goes to the application's exception
// handler and the list keeps what it holds.
#pragma once

#include "Platform/Rtl/Classes.h"

#include <span>

namespace krx {

// The built-in default of the global delegates file, byte for byte.
std::span<const Byte> DefaultGlobalDelegates();
// The delegate type names loaded at the start of the last parse.
const TStringList &GlobalDelegates();
// Whether the type name is one of them (as AnsiSameText compares), in constant time.
bool IsGlobalDelegate(StringView type);

// The shared data folder's "GlobalDelegates.txt".
String GlobalDelegatesFileName();
// Writes the built-in default beside the file and renames it into place, so a failed write
// never leaves a partial file.
void WriteDefaultGlobalDelegatesFile();
void LoadGlobalDelegatesFile();
// Raises EKRToolsException when the file is missing, else opens it with the shell.
void OpenGlobalDelegatesFileInShell();

// Part of the parser unit's start-up and shutdown: a new, empty list (the file is read again
// at the next parse), and its end.
void GlobalDelegatesInitialization();
void GlobalDelegatesFinalization();

} // namespace krx
