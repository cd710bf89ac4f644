// File and path functions with the class library's rules. Paths are Strings; they reach the
// operating system as UTF-8. Both '/' and '\' end a directory when a path is taken apart,
// since names of the original platform still arrive with backslashes; '/' is the delimiter
// that is written.
#pragma once

#include "Platform/Rtl/Types.h"

#include <sys/types.h>

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

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
// Whether two names name the same file, as the file system compares them: exactly, code unit
// by code unit. "Unit1.pas" and "UNIT1.pas" are two files here, and so are names that only
// case folding joins ("\u017F" and "s").
inline bool SameFileName(StringView a, StringView b) { return a == b; }

// The absolute form of a name relative to the current directory, with "." and ".."
// segments resolved lexically (links are not followed). An empty name stays empty, and a
// relative one stays as it is while the current directory has no name (GetCurrentDir is empty).
String ExpandFileName(StringView fileName);
// Empty when the current directory cannot be named exactly (it is gone, or its name is not
// valid UTF-8).
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

// File names cross to the operating system exactly or not at all: a name without an exact
// UTF-8 form (one holding an unpaired surrogate) or one holding a NUL, at which the system
// would end it, names another file than the one meant. Names that come from the system are
// taken only when they are valid UTF-8, since a substitute character would name another file.
//
// Why a name cannot be carried, as the end of a sentence ("holds an unpaired surrogate
// (U+D800)", "holds a NUL character"); empty for a name that can.
String FileNameProblem(StringView fileName);
// The name as the operating system takes it; EInOutError, naming the file and the reason,
// for one that cannot be carried. The functions above and below that answer a question
// answer it for such a name as for a file that does not exist (it cannot be on disk).
std::string FileNameToOS(StringView fileName);
bool TryFileNameToOS(StringView fileName, std::string &osName);
// A name the operating system gave (a folder's entry, the current folder, an environment
// variable) as a String; false for one that is not valid UTF-8.
bool FileNameFromOS(std::string_view osName, String &fileName);
// Why a name the system gave cannot be taken ("is not valid UTF-8 (byte 0xFF at 3)"); empty
// for one that can.
std::string OSNameProblem(std::string_view osName);
// A name of the system's as a message shows it: bytes that are not UTF-8 as \xFF.
std::string ShownOSName(std::string_view osName);

// ---- Regular files, opened and replaced safely ----------------------------------------------

// An open descriptor with one owner, closed when the owner goes.
class TFileHandle {
public:
  TFileHandle() = default;
  explicit TFileHandle(int fd) : FFd(fd) {}
  TFileHandle(TFileHandle &&other) noexcept : FFd(other.Release()) {}
  TFileHandle &operator=(TFileHandle &&other) noexcept;
  ~TFileHandle() { Close(); }

  int Get() const { return FFd; }
  bool Valid() const { return FFd >= 0; }
  int Release() {
    int fd = FFd;
    FFd = -1;
    return fd;
  }
  // Closes the descriptor; the error of close (0 when none).
  int Close();

private:
  int FFd = -1;
};

// The outcome of OpenRegularFile: a descriptor, or why there is none.
struct TOpenResult {
  TFileHandle Handle;
  int Error = 0;           // errno of the failing call; EISDIR for a directory
  bool NotRegular = false; // a FIFO, device or socket stands under the name
  // The reason for messages: the system's text, or that the name is no regular file.
  String Reason() const;
};

// Opens a file that must be a regular one (POSIX open flags; O_CLOEXEC is added). The open
// never waits: a FIFO or device placed where a file is expected would otherwise stop the
// reader for ever (a FIFO without a writer blocks open and read). Anything but a regular
// file, a directory included, is refused. Links are followed.
TOpenResult OpenRegularFile(const std::string &osName, int flags, unsigned mode = 0666);

// What tells that a file is still the one that was read: its device, inode, size and
// modification time.
struct TFileStamp {
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  timespec Modified{};
  friend bool operator==(const TFileStamp &a, const TFileStamp &b) {
    return a.Device == b.Device && a.Inode == b.Inode && a.Size == b.Size &&
           a.Modified.tv_sec == b.Modified.tv_sec && a.Modified.tv_nsec == b.Modified.tv_nsec;
  }
};

// ---- Whole files read into memory --------------------------------------------------------------

// The most a program reads of a file it holds whole in memory (a unit for an editor, a file
// another process names). The largest real units are a few megabytes; a runaway file or a
// device must not take the process's memory.
inline constexpr Int64 MaxReadFileSize = Int64{64} << 20;

// The outcome of ReadRegularFile: the bytes and the stamp of the file read, or why not.
struct TReadResult {
  std::string Bytes;
  TFileStamp Stamp;        // of the descriptor that was read
  int Error = 0;           // 0 when read; errno, EISDIR for a folder, EFBIG past the limit
  bool NotRegular = false; // a FIFO, device or socket stands under the name
  bool ReadFailed = false; // opened, but a read failed
  Int64 Limit = 0;
  bool Ok() const { return Error == 0; }
  // For messages: "is a folder", "is not a regular file", "is larger than 64 MB", "read
  // error: ..." or the system's text.
  String Reason() const;
};

// Reads a regular file whole, opened as OpenRegularFile opens it (never waiting). A file
// larger than `limit` is refused by its size before anything is read, and one that grows
// past the limit while it is read is refused too (EFBIG).
TReadResult ReadRegularFile(const std::string &osName, Int64 limit = MaxReadFileSize);

// Replaces a file's content as a whole: writes it beside the file (in the folder of a link's
// target), flushes it to disk, renames it over the file and syncs the folder, so a reader or
// a crash sees the old content or the new one, never a part, and a full disk leaves the file
// as it was. The file keeps its mode (and its owner where allowed); a link stays a link. When
// the folder refuses a new file but the file itself can be written, and `allowInPlace` is
// set, the file is rewritten in place instead (written, cut to length, flushed).
// Changed: the name no longer stands for the file the caller examined (see TReplaceOptions).
// Linked: the file has other names, and only a rewrite in place, which they would share,
// could replace it (see InPlaceOnlySingleLink).
enum class TReplaceStep { None, Create, Write, Sync, Rename, Changed, Linked };
struct TReplaceResult {
  TReplaceStep FailedStep = TReplaceStep::None; // None: the content was replaced
  int Error = 0;                                // errno of the failing step
  bool InPlace = false;                         // rewritten in place
  TFileStamp Stamp; // of the file that now holds the content (when replaced)
};
struct TReplaceOptions {
  unsigned NewFileMode = 0666; // mode of a file that did not exist (the umask applies)
  bool AllowInPlace = true;
  // For a caller that decided on what it read of the file: with ExpectedFile, only that file
  // (device and inode, links followed) is replaced; with ExpectNew, the name must still stand
  // for nothing, and the new file is linked in so that nothing appearing meanwhile is
  // replaced. Otherwise the replace fails at TReplaceStep::Changed and the name keeps what it
  // holds.
  const TFileStamp *ExpectedFile = nullptr;
  bool ExpectNew = false;
  // A file with more than one name (hard links) is not rewritten in place: the rewrite would
  // change what its other names hold too.
  bool InPlaceOnlySingleLink = false;
  // With ExpectedFile: its size and modification time must be unchanged too, so that a
  // rewrite in place since the caller examined the file is noticed as well.
  bool ExpectUnchanged = false;
};
TReplaceResult ReplaceFileContents(const std::string &osName, std::string_view bytes,
                                   const TReplaceOptions &options = {});
// The names ReplaceFileContents gives its temporary files, in the folder it writes to, begin
// with this: ".krx-", 16 hexadecimal digits of a hash of the file's name and "-"; 12 unique
// hexadecimal digits and ".tmp" follow. Every temporary name has 38 bytes, whatever the
// file's name.
std::string ReplaceTempPrefix(const std::string &osName);

// Tests simulate a full disk: while the guard lives, ReplaceFileContents fails with ENOSPC
// once `bytesBeforeFull` bytes of this process's writes have gone out.
class TDiskFullForTesting {
public:
  explicit TDiskFullForTesting(Int64 bytesBeforeFull);
  ~TDiskFullForTesting();
  TDiskFullForTesting(const TDiskFullForTesting &) = delete;
  TDiskFullForTesting &operator=(const TDiskFullForTesting &) = delete;
};

// Tests put something under a name at the last moment: while the guard lives,
// ReplaceFileContents calls `act` with the name it was given once the new content is written
// beside the file, just before it goes in.
class TBeforeReplaceForTesting {
public:
  explicit TBeforeReplaceForTesting(std::function<void(const std::string &osName)> act);
  ~TBeforeReplaceForTesting();
  TBeforeReplaceForTesting(const TBeforeReplaceForTesting &) = delete;
  TBeforeReplaceForTesting &operator=(const TBeforeReplaceForTesting &) = delete;

private:
  std::function<void(const std::string &)> FAct;
};

// The stamp of the regular file at `path` (a path of the system's); false for anything else.
bool FileStampOf(const std::string &path, TFileStamp &stamp);

// Sets the last-write time of the file at `path` only while it is still `expected` (the same
// file, size and modification time), checked on the descriptor whose time is then set; false
// when it is not, or the time cannot be set.
bool FileSetLastWriteTimeIfUnchanged(const std::string &path, const TFileStamp &expected,
                                     const TFileTime &time);

// The last-write time a stamp holds.
inline TFileTime LastWriteTimeOf(const TFileStamp &stamp) {
  return {static_cast<Int64>(stamp.Modified.tv_sec), static_cast<Integer>(stamp.Modified.tv_nsec)};
}

// True for a file modified in the last two seconds: a change within the same clock tick as a
// read may keep the modification time, so what was read then must not be kept as current.
bool RecentlyModified(const TFileStamp &stamp);

} // namespace krx
