// File and path functions with the class library's rules. Paths are Strings; they reach the
// operating system as UTF-8. Both '/' and '\' end a directory when a path is taken apart,
// since names of the original platform still arrive with backslashes; '/' is the delimiter
// that is written.
#pragma once

#include "Platform/Rtl/Types.h"

namespace krx {

inline constexpr Char PathDelim = u'/';
inline constexpr Char DriveDelim = u'\0'; // no drives here
inline constexpr Char PathSep = u':';

// Last-write time of a file to the file system's full precision.
struct TFileTime {
  Int64 Seconds = 0;       // since 1970-01-01 UTC
  Integer Nanoseconds = 0; // 0..999,999,999
  bool operator==(const TFileTime &) const = default;
};

// Taking names apart (pure text operations; the file system is not asked).
String ExtractFileExt(StringView fileName);  // ".pas", or empty
String ExtractFileName(StringView fileName); // the part after the last delimiter
String ExtractFilePath(StringView fileName); // up to and including the last delimiter
String ExtractFileDir(StringView fileName);  // as ExtractFilePath, without the delimiter
String ChangeFileExt(StringView fileName, StringView extension);
String IncludeTrailingPathDelimiter(StringView s);
String ExcludeTrailingPathDelimiter(StringView s);
bool IsPathDelimiter(StringView s, Integer index); // 1-based; '/' or '\'

// The absolute form of a name relative to the current directory, with "." and ".."
// segments resolved lexically (links are not followed). An empty name stays empty.
String ExpandFileName(StringView fileName);
String GetCurrentDir();
bool SetCurrentDir(StringView dir);

// The file system. Links are followed.
bool FileExists(StringView fileName); // false for directories
bool DirectoryExists(StringView directory);
// Creates the directory and every missing parent; True when it exists afterwards. An empty
// name raises EInOutError "Unable to create directory".
bool ForceDirectories(StringView dir);
bool CreateDir(StringView dir);
bool RemoveDir(StringView dir);
bool DeleteFile(StringView fileName); // false for directories and missing files
// Refuses (False) when the new name already exists, as the original platform does.
bool RenameFile(StringView oldName, StringView newName);
// The size in bytes, or -1 when the file cannot be examined.
Int64 FileSize(StringView fileName);
bool FileGetLastWriteTime(StringView fileName, TFileTime &time);
bool FileSetLastWriteTime(StringView fileName, const TFileTime &time);

// The name as the operating system takes it.
std::string FileNameToOS(StringView fileName);

} // namespace krx
