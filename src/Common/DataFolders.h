// Special folders of the user and the per-user data folders of the maker's tools, which
// are created on first use, once per process.
#pragma once

#include "Platform/Registry/Registry.h"
#include "Platform/Rtl/Types.h"

namespace krx {

// Asks the shell for a special folder (CSIDL_*), of any length. Returns the shell's result
// code; the path (without trailing delimiter) is left empty when the code is a failure.
Integer GetSpecialFolder(Integer csidl, String &path);
String AppDataPath();
String LocalAppDataPath();
String ProgramFilesPath();

// Appends the path delimiter unless the path is empty or already ends in one.
String AddTrailingBackslash(const String &path);
// FileExists (following links) with the critical-error boxes of the system switched off.
bool FileExistsQuiet(const String &fileName);
// True when the path exists and is a directory.
bool IsDirectory(const String &path);

// "KestruneTools" below 13, else "Drummel Software".
String MakerFolderName(Integer version);
// "Trail Scope" below 13, else "KRX Trail Scope".
String ProductFolderName(Integer version);

// <AppData>/<maker>/<product>/<v>.0/, created on first use; a folder that cannot be
// created is reported once per process and its path returned all the same. An application
// data folder that the shell does not give raises EKRXException (these folders, and the
// shared folder below, are never made at the root).
String ForceAppDataFolder(const String &product, Integer version);
// The same below the local application data folder.
String ForceLocalAppDataFolder(const String &product, Integer version);
// ForceLocalAppDataFolder with the product "Kestrune": where the expert writes its
// exchange files.
String LocalAppDataFolder(Integer version);
// ForceAppDataFolder with ProductFolderName(version).
String TrailScopeAppDataFolder(Integer version);
// "RootDir" of SharedRegistryKey(version) under root, or empty.
String ReadSharedRootDir(HKEY root, Integer version);
// The folder of shared data files, with a trailing delimiter; never below Program Files.
String SharedDataFolder(Integer version);

// The created-folders list of the process (unit start-up and shut-down).
void DataFoldersInitialization();
void DataFoldersFinalization();

} // namespace krx
