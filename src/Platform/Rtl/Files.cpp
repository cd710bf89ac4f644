#include "Platform/Rtl/Files.h"

#include "Platform/Rtl/SysUtils.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
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
  if (name.empty())
    return false;
  return ::stat(FileNameToOS(name).c_str(), &st) == 0;
}

} // namespace

std::string FileNameToOS(StringView fileName) { return StringToUtf8(fileName); }

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
  if (ec)
    return {};
  return Utf8ToString(p.string());
}

bool SetCurrentDir(StringView dir) {
  return !dir.empty() && ::chdir(FileNameToOS(dir).c_str()) == 0;
}

String ExpandFileName(StringView fileName) {
  if (fileName.empty())
    return {};
  String full = fileName[0] == PathDelim
                    ? String(fileName)
                    : IncludeTrailingPathDelimiter(GetCurrentDir()) + String(fileName);
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
  std::filesystem::create_directories(std::filesystem::path(FileNameToOS(d)), ec);
  return DirectoryExists(d);
}

bool CreateDir(StringView dir) {
  return !dir.empty() && ::mkdir(FileNameToOS(dir).c_str(), 0777) == 0;
}

bool RemoveDir(StringView dir) { return !dir.empty() && ::rmdir(FileNameToOS(dir).c_str()) == 0; }

bool DeleteFile(StringView fileName) {
  if (fileName.empty() || DirectoryExists(fileName))
    return false;
  return ::unlink(FileNameToOS(fileName).c_str()) == 0;
}

bool RenameFile(StringView oldName, StringView newName) {
  if (oldName.empty() || newName.empty())
    return false;
  const std::string from = FileNameToOS(oldName), to = FileNameToOS(newName);
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

bool FileSetLastWriteTime(StringView fileName, const TFileTime &time) {
  if (fileName.empty() || time.Nanoseconds < 0 || time.Nanoseconds > 999999999)
    return false;
  struct timespec ts[2];
  ts[0].tv_sec = 0;
  ts[0].tv_nsec = UTIME_OMIT; // the access time stays
  ts[1].tv_sec = static_cast<time_t>(time.Seconds);
  ts[1].tv_nsec = time.Nanoseconds;
  return ::utimensat(AT_FDCWD, FileNameToOS(fileName).c_str(), ts, 0) == 0;
}

} // namespace krx
