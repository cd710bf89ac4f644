#include "Platform/Rtl/Files.h"

#include "Platform/Rtl/Encoding.h"
#include "Platform/Rtl/SysUtils.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace krx {

namespace {

bool IsDelim(Char c) { return c == u'/' || c == u'\\'; }

// 1-based index of the last delimiter (or of the last dot too, when withDot), 0 for none.
Integer LastDelimiter(StringView s, bool withDot) {
  for (std::size_t i = s.size(); i > 0; --i) {
    Char c = s[i - 1];
    if (IsDelim(c) || (withDot && c == u'.'))
      return static_cast<Integer>(i);
  }
  return 0;
}

bool StatOf(StringView name, struct stat &st) {
  std::string os;
  return !name.empty() && TryFileNameToOS(name, os) && ::stat(os.c_str(), &st) == 0;
}

// The name for a call of the system that fails for a name that cannot be carried: such a
// name becomes the empty one, which no call takes.
std::string OSNameOrNone(StringView name) {
  std::string os;
  return TryFileNameToOS(name, os) ? os : std::string();
}

} // namespace

String FileNameProblem(StringView fileName) {
  if (const std::size_t at = FindUnpairedSurrogate(fileName); at != StringView::npos)
    return Format(u"holds an unpaired surrogate (U+%.4X), which no file name on this system can "
                  u"hold",
                  {static_cast<Integer>(fileName[at])});
  if (fileName.find(u'\0') != StringView::npos)
    return u"holds a NUL character, which no file name can hold";
  return {};
}

bool TryFileNameToOS(StringView fileName, std::string &osName) {
  return fileName.find(u'\0') == StringView::npos && TryStringToUtf8(fileName, osName);
}

std::string FileNameToOS(StringView fileName) {
  std::string os;
  if (!TryFileNameToOS(fileName, os))
    throw EInOutError(Format(u"The file name \"%s\" cannot be used: it %s",
                             {String(fileName), FileNameProblem(fileName)}));
  return os;
}

bool FileNameFromOS(std::string_view osName, String &fileName) {
  return TryUtf8ToString(osName, fileName);
}

std::string OSNameProblem(std::string_view osName) {
  const std::size_t at = FindInvalidUtf8(osName);
  if (at == std::string_view::npos)
    return {};
  char text[64];
  std::snprintf(text, sizeof text, "is not valid UTF-8 (byte 0x%02X at %zu)",
                static_cast<unsigned>(static_cast<unsigned char>(osName[at])), at);
  return text;
}

std::string ShownOSName(std::string_view osName) {
  std::string shown;
  for (std::string_view rest = osName;;) {
    const std::size_t at = FindInvalidUtf8(rest);
    if (at == std::string_view::npos) {
      shown += rest;
      return shown;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X",
                  static_cast<unsigned>(static_cast<unsigned char>(rest[at])));
    (shown += rest.substr(0, at)) += hex;
    rest.remove_prefix(at + 1);
  }
}

String ExtractFileExt(StringView fileName) {
  Integer i = LastDelimiter(fileName, true);
  if (i > 0 && fileName[i - 1] == u'.')
    return Copy(fileName, i);
  return {};
}

String ExtractFileName(StringView fileName) {
  return Copy(fileName, LastDelimiter(fileName, false) + 1);
}

String ExtractFilePath(StringView fileName) {
  return Copy(fileName, 1, LastDelimiter(fileName, false));
}

String ExtractFileDir(StringView fileName) {
  Integer i = LastDelimiter(fileName, false);
  // Keep a root delimiter and one that follows another delimiter.
  if (i > 1 && IsDelim(fileName[i - 1]) && !IsDelim(fileName[i - 2]))
    --i;
  return Copy(fileName, 1, i);
}

String ChangeFileExt(StringView fileName, StringView extension) {
  Integer i = LastDelimiter(fileName, true);
  String result;
  if (i == 0 || fileName[i - 1] != u'.')
    result = String(fileName);
  else
    result = Copy(fileName, 1, i - 1);
  result += extension;
  return result;
}

bool IsPathDelimiter(StringView s, Integer index) {
  return index >= 1 && index <= Length(s) && IsDelim(s[index - 1]);
}

String IncludeTrailingPathDelimiter(StringView s) {
  String r(s);
  if (r.empty() || r.back() != PathDelim)
    r += PathDelim;
  return r;
}

String ExcludeTrailingPathDelimiter(StringView s) {
  String r(s);
  if (!r.empty() && r.back() == PathDelim)
    r.pop_back();
  return r;
}

String GetCurrentDir() {
  std::error_code ec;
  auto p = std::filesystem::current_path(ec);
  String dir;
  if (ec || !FileNameFromOS(p.native(), dir))
    return {};
  return dir;
}

bool SetCurrentDir(StringView dir) {
  return !dir.empty() && ::chdir(OSNameOrNone(dir).c_str()) == 0;
}

String ExpandFileName(StringView fileName) {
  if (fileName.empty())
    return {};
  String full(fileName);
  if (fileName[0] != PathDelim) {
    // A current folder that cannot be named exactly leaves the name relative: the system
    // still resolves it against that folder, where a substitute would name another one.
    const String current = GetCurrentDir();
    if (current.empty())
      return full;
    full = IncludeTrailingPathDelimiter(current) + full;
  }
  const bool trailing = full.back() == PathDelim;
  std::vector<String> parts;
  std::size_t start = 0;
  while (start <= full.size()) {
    std::size_t end = full.find(PathDelim, start);
    if (end == String::npos)
      end = full.size();
    String part = full.substr(start, end - start);
    if (part == u"..") {
      if (!parts.empty())
        parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(std::move(part));
    }
    start = end + 1;
  }
  String result;
  for (const String &p : parts) {
    result += PathDelim;
    result += p;
  }
  if (result.empty() || trailing)
    result += PathDelim;
  return result;
}

bool FileExists(StringView fileName) {
  struct stat st;
  return StatOf(fileName, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(StringView directory) {
  struct stat st;
  return StatOf(directory, st) && S_ISDIR(st.st_mode);
}

bool ForceDirectories(StringView dir) {
  if (dir.empty())
    throw EInOutError(u"Unable to create directory");
  String d = ExcludeTrailingPathDelimiter(ExpandFileName(dir));
  if (d.empty() || DirectoryExists(d))
    return true;
  std::error_code ec;
  const std::string os = OSNameOrNone(d);
  if (os.empty())
    return false;
  std::filesystem::create_directories(std::filesystem::path(os), ec);
  return DirectoryExists(d);
}

bool CreateDir(StringView dir) {
  return !dir.empty() && ::mkdir(OSNameOrNone(dir).c_str(), 0777) == 0;
}

bool RemoveDir(StringView dir) { return !dir.empty() && ::rmdir(OSNameOrNone(dir).c_str()) == 0; }

bool DeleteFile(StringView fileName) {
  if (fileName.empty() || DirectoryExists(fileName))
    return false;
  return ::unlink(OSNameOrNone(fileName).c_str()) == 0;
}

bool RenameFile(StringView oldName, StringView newName) {
  if (oldName.empty() || newName.empty())
    return false;
  const std::string from = OSNameOrNone(oldName), to = OSNameOrNone(newName);
  if (from.empty() || to.empty())
    return false;
  struct stat st;
  if (::lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

Int64 FileSize(StringView fileName) {
  struct stat st;
  if (!StatOf(fileName, st) || S_ISDIR(st.st_mode))
    return -1;
  return static_cast<Int64>(st.st_size);
}

bool FileGetLastWriteTime(StringView fileName, TFileTime &time) {
  struct stat st;
  if (!StatOf(fileName, st))
    return false;
  time.Seconds = static_cast<Int64>(st.st_mtim.tv_sec);
  time.Nanoseconds = static_cast<Integer>(st.st_mtim.tv_nsec);
  return true;
}

namespace {
// The times a set of the last-write time passes: the access time stays as it is.
struct TTimes {
  explicit TTimes(const TFileTime &time) {
    Pair[0].tv_sec = 0;
    Pair[0].tv_nsec = UTIME_OMIT;
    Pair[1].tv_sec = static_cast<time_t>(time.Seconds);
    Pair[1].tv_nsec = time.Nanoseconds;
  }
  struct timespec Pair[2];
};
} // namespace

bool FileSetLastWriteTime(StringView fileName, const TFileTime &time) {
  if (fileName.empty() || time.Nanoseconds < 0 || time.Nanoseconds > 999999999)
    return false;
  const TTimes ts(time);
  return ::utimensat(AT_FDCWD, OSNameOrNone(fileName).c_str(), ts.Pair, 0) == 0;
}

// ---- Regular files --------------------------------------------------------------------------

TFileHandle &TFileHandle::operator=(TFileHandle &&other) noexcept {
  if (this != &other) {
    Close();
    FFd = other.Release();
  }
  return *this;
}

int TFileHandle::Close() {
  if (FFd < 0)
    return 0;
  // Linux releases the descriptor even when close fails; never retry it.
  const int result = ::close(Release());
  return result == 0 ? 0 : errno;
}

String TOpenResult::Reason() const {
  if (NotRegular)
    return u"It is not a regular file (a pipe, device or socket)";
  return SysErrorMessage(Error);
}

TOpenResult OpenRegularFile(const std::string &osName, int flags, unsigned mode) {
  TOpenResult result;
  int fd;
  do {
    fd = ::open(osName.c_str(), flags | O_CLOEXEC | O_NONBLOCK, static_cast<mode_t>(mode));
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    result.Error = errno;
    // Opening a FIFO without a reader for writing fails with ENXIO: say what it is.
    struct stat st;
    if (result.Error == ENXIO && ::stat(osName.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
      result.NotRegular = true;
    return result;
  }
  result.Handle = TFileHandle(fd);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    result.Error = errno;
  } else if (S_ISDIR(st.st_mode)) {
    result.Error = EISDIR;
  } else if (!S_ISREG(st.st_mode)) {
    result.Error = ENXIO;
    result.NotRegular = true;
  } else {
    // Regular files ignore the flag, but the descriptor should read as an ordinary one.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return result;
  }
  result.Handle.Close();
  return result;
}

String TReadResult::Reason() const {
  if (Error == EISDIR)
    return u"is a folder";
  if (NotRegular)
    return u"is not a regular file";
  if (Error == EFBIG)
    return u"is larger than " + IntToStr(static_cast<Integer>(Limit >> 20)) + u" MB";
  if (ReadFailed)
    return u"read error: " + SysErrorMessage(Error);
  return SysErrorMessage(Error);
}

TReadResult ReadRegularFile(const std::string &osName, Int64 limit) {
  TReadResult result;
  result.Limit = limit;
  TOpenResult file = OpenRegularFile(osName, O_RDONLY);
  if (!file.Handle.Valid()) {
    result.Error = file.Error;
    result.NotRegular = file.NotRegular;
    return result;
  }
  struct stat st {};
  if (::fstat(file.Handle.Get(), &st) != 0) {
    result.Error = errno;
    return result;
  }
  result.Stamp = {st.st_dev, st.st_ino, st.st_size, st.st_mtim};
  if (st.st_size > limit) {
    result.Error = EFBIG;
    return result;
  }
  result.Bytes.reserve(static_cast<std::size_t>(st.st_size));
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(file.Handle.Get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      result.Error = errno;
      result.ReadFailed = true;
      break;
    }
    if (n == 0)
      return result;
    if (static_cast<Int64>(result.Bytes.size()) + n > limit) {
      result.Error = EFBIG;
      break;
    }
    result.Bytes.append(chunk, static_cast<std::size_t>(n));
  }
  result.Bytes.clear();
  return result;
}

namespace {

std::atomic<Int64> gDiskFullAfter{-1};
const std::function<void(const std::string &)> *gBeforeReplace = nullptr;

// Writes all bytes, as far as the (simulated) disk allows; 0 or the errno.
int WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    std::size_t want = bytes.size() - done;
    const Int64 room = gDiskFullAfter.load();
    if (room >= 0) {
      if (room == 0)
        return ENOSPC;
      want = std::min<std::size_t>(want, static_cast<std::size_t>(room));
    }
    const ssize_t n = ::write(fd, bytes.data() + done, want);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return errno;
    if (n == 0)
      return EIO;
    if (room >= 0)
      gDiskFullAfter.fetch_sub(n);
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

int SyncFile(int fd) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR)
      return errno;
  }
  return 0;
}

// The file a name stands for once links are followed (a link to a link included); the name
// itself when it is no link.
std::filesystem::path FollowLinks(const std::filesystem::path &name) {
  std::filesystem::path p = name;
  std::error_code ec;
  for (int hops = 0; hops < 40 && std::filesystem::is_symlink(p, ec); ++hops) {
    std::filesystem::path target = std::filesystem::read_symlink(p, ec);
    if (ec)
      break;
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  return p;
}

TReplaceResult Failed(TReplaceStep step, int error, bool inPlace = false) {
  return TReplaceResult{step, error, inPlace, {}};
}

bool SameFile(const struct stat &st, const TFileStamp &expected) {
  return st.st_dev == expected.Device && st.st_ino == expected.Inode;
}

TFileStamp StampOf(const struct stat &st) { return {st.st_dev, st.st_ino, st.st_size, st.st_mtim}; }

// The file is the expected one; with `unchanged`, not rewritten since either.
bool Matches(const struct stat &st, const TFileStamp &expected, bool unchanged) {
  return unchanged ? StampOf(st) == expected : SameFile(st, expected);
}

// Rewrites an existing file where it stands: used only when its folder takes no new file.
TReplaceResult RewriteInPlace(const std::string &osName, std::string_view bytes,
                              const TReplaceOptions &options) {
  TOpenResult file = OpenRegularFile(osName, O_WRONLY);
  if (!file.Handle.Valid())
    return Failed(TReplaceStep::Create, file.Error, true);
  struct stat st {};
  if (::fstat(file.Handle.Get(), &st) != 0)
    return Failed(TReplaceStep::Create, errno, true);
  if (options.ExpectedFile && !Matches(st, *options.ExpectedFile, options.ExpectUnchanged))
    return Failed(TReplaceStep::Changed, EEXIST, true);
  if (options.InPlaceOnlySingleLink && st.st_nlink > 1)
    return Failed(TReplaceStep::Linked, EMLINK, true);
  if (int err = WriteAll(file.Handle.Get(), bytes))
    return Failed(TReplaceStep::Write, err, true);
  if (::ftruncate(file.Handle.Get(), static_cast<off_t>(bytes.size())) != 0)
    return Failed(TReplaceStep::Write, errno, true);
  if (int err = SyncFile(file.Handle.Get()))
    return Failed(TReplaceStep::Sync, err, true);
  TReplaceResult done{TReplaceStep::None, 0, true, {}};
  if (::fstat(file.Handle.Get(), &st) == 0)
    done.Stamp = StampOf(st);
  if (int err = file.Handle.Close())
    return Failed(TReplaceStep::Sync, err, true);
  return done;
}

// The first part of a temporary file's name: the same for every replace of one file, and of
// one length whatever the file's name (a hash of it), so that a name of 255 bytes gets a
// temporary name as well as a short one does.
std::string TempStem(const std::string &fileName) {
  std::uint64_t hash = 14695981039346656037ULL; // FNV-1a
  for (unsigned char c : fileName)
    hash = (hash ^ c) * 1099511628211ULL;
  char stem[32];
  std::snprintf(stem, sizeof stem, ".krx-%016llx-", static_cast<unsigned long long>(hash));
  return stem;
}

} // namespace

std::string ReplaceTempPrefix(const std::string &osName) {
  const std::filesystem::path target = FollowLinks(osName);
  return (target.parent_path() / TempStem(target.filename().string())).string();
}

TReplaceResult ReplaceFileContents(const std::string &osName, std::string_view bytes,
                                   const TReplaceOptions &options) {
  const std::filesystem::path targetPath = FollowLinks(osName);
  const std::string target = targetPath.string();
  // The temporary file is made, renamed and removed relative to the folder, so that a path
  // near the length limit takes its temporary file as well as a short one does.
  const std::string folder =
      targetPath.parent_path().empty() ? std::string(".") : targetPath.parent_path().string();
  const std::string base = targetPath.filename().string();
  struct stat old;
  const bool exists = ::stat(target.c_str(), &old) == 0;
  // What the caller examined must still stand under the name. Checked again just before the
  // new content goes in.
  auto changed = [&](const struct stat *now) {
    struct stat own;
    if (options.ExpectNew)
      return ::lstat(osName.c_str(), &own) == 0;
    return options.ExpectedFile &&
           (!now || !Matches(*now, *options.ExpectedFile, options.ExpectUnchanged));
  };
  if (changed(exists ? &old : nullptr))
    return Failed(TReplaceStep::Changed, EEXIST);
  if (exists && !S_ISREG(old.st_mode))
    return Failed(TReplaceStep::Create, S_ISDIR(old.st_mode) ? EISDIR : ENXIO);
  TFileHandle dir(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!dir.Valid())
    return Failed(TReplaceStep::Create, errno);

  // A fresh name beside the file; O_EXCL makes it ours alone, and the umask applies to a
  // new file's mode as it would to the file created directly.
  const std::string stem = TempStem(base);
  thread_local std::mt19937_64 random{std::random_device{}() ^ static_cast<unsigned>(::getpid())};
  std::string temp;
  TFileHandle fd;
  for (int attempt = 0; attempt < 100 && !fd.Valid(); ++attempt) {
    char unique[24];
    std::snprintf(unique, sizeof unique, "%012llx.tmp",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFULL));
    temp = stem + unique;
    fd = TFileHandle(::openat(dir.Get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                              static_cast<mode_t>(options.NewFileMode)));
    if (!fd.Valid() && errno != EEXIST && errno != EINTR)
      break;
  }
  if (!fd.Valid()) {
    const int err = errno;
    if (options.AllowInPlace && exists && (err == EACCES || err == EPERM || err == EROFS))
      return RewriteInPlace(target, bytes, options);
    return Failed(TReplaceStep::Create, err);
  }
  auto fail = [&](TReplaceStep step, int err) {
    fd.Close();
    ::unlinkat(dir.Get(), temp.c_str(), 0);
    return Failed(step, err);
  };
  if (exists) {
    ::fchmod(fd.Get(), old.st_mode & 07777);
    if (::fchown(fd.Get(), old.st_uid, old.st_gid) != 0) {
      // Only the owner's group or root may give it away: the file becomes the writer's.
    }
  }
  if (int err = WriteAll(fd.Get(), bytes))
    return fail(TReplaceStep::Write, err);
  if (int err = SyncFile(fd.Get()))
    return fail(TReplaceStep::Sync, err);
  // The new file keeps its stamp when it is renamed into place.
  TReplaceResult done;
  if (struct stat st{}; ::fstat(fd.Get(), &st) == 0)
    done.Stamp = StampOf(st);
  if (int err = fd.Close())
    return fail(TReplaceStep::Sync, err);
  if (gBeforeReplace)
    (*gBeforeReplace)(osName);
  if (options.ExpectNew) {
    // A link, unlike a rename, never replaces what appeared under the name meanwhile.
    if (::linkat(dir.Get(), temp.c_str(), dir.Get(), base.c_str(), 0) == 0) {
      ::unlinkat(dir.Get(), temp.c_str(), 0);
    } else if (errno == EEXIST || changed(nullptr)) {
      // (A file system without hard links: the name is checked once more, then renamed to.)
      return fail(TReplaceStep::Changed, EEXIST);
    } else if (::renameat(dir.Get(), temp.c_str(), dir.Get(), base.c_str()) != 0) {
      return fail(TReplaceStep::Rename, errno);
    }
  } else if (options.ExpectedFile) {
    // A look at the name and then a rename leave a moment in which another writer's rename
    // would be undone; its metadata often lands just as the flush above returns. The two
    // files are swapped in one step instead, and the one taken out is looked at: another
    // file than the one examined is swapped back.
    if (::renameat2(dir.Get(), temp.c_str(), dir.Get(), base.c_str(), RENAME_EXCHANGE) == 0) {
      struct stat out;
      if (::fstatat(dir.Get(), temp.c_str(), &out, AT_SYMLINK_NOFOLLOW) != 0 || changed(&out)) {
        ::renameat2(dir.Get(), temp.c_str(), dir.Get(), base.c_str(), RENAME_EXCHANGE);
        return fail(TReplaceStep::Changed, EEXIST);
      }
      ::unlinkat(dir.Get(), temp.c_str(), 0);
    } else if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
      // A file system that cannot swap: the name is looked at once more, then renamed to.
      struct stat now;
      if (changed(::stat(target.c_str(), &now) == 0 ? &now : nullptr))
        return fail(TReplaceStep::Changed, EEXIST);
      if (::renameat(dir.Get(), temp.c_str(), dir.Get(), base.c_str()) != 0)
        return fail(TReplaceStep::Rename, errno);
    } else {
      return fail(errno == ENOENT ? TReplaceStep::Changed : TReplaceStep::Rename, errno);
    }
  } else if (::renameat(dir.Get(), temp.c_str(), dir.Get(), base.c_str()) != 0) {
    return fail(TReplaceStep::Rename, errno);
  }
  // The rename lasts only once the folder is on disk too. Best effort: the content is in
  // place already, and some file systems cannot sync a folder.
  TFileHandle sync(::openat(dir.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (sync.Valid())
    SyncFile(sync.Get());
  return done;
}

TDiskFullForTesting::TDiskFullForTesting(Int64 bytesBeforeFull) {
  gDiskFullAfter.store(bytesBeforeFull);
}

TDiskFullForTesting::~TDiskFullForTesting() { gDiskFullAfter.store(-1); }

TBeforeReplaceForTesting::TBeforeReplaceForTesting(
    std::function<void(const std::string &osName)> act)
    : FAct(std::move(act)) {
  gBeforeReplace = &FAct;
}

TBeforeReplaceForTesting::~TBeforeReplaceForTesting() { gBeforeReplace = nullptr; }

bool FileStampOf(const std::string &path, TFileStamp &stamp) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return false;
  stamp = StampOf(st);
  return true;
}

bool FileSetLastWriteTimeIfUnchanged(const std::string &path, const TFileStamp &expected,
                                     const TFileTime &time) {
  if (time.Nanoseconds < 0 || time.Nanoseconds > 999999999)
    return false;
  TOpenResult file = OpenRegularFile(path, O_RDONLY);
  struct stat st {};
  if (!file.Handle.Valid() || ::fstat(file.Handle.Get(), &st) != 0 || StampOf(st) != expected)
    return false;
  const TTimes ts(time);
  return ::futimens(file.Handle.Get(), ts.Pair) == 0;
}

bool RecentlyModified(const TFileStamp &stamp) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec - stamp.Modified.tv_sec < 2;
}

} // namespace krx
