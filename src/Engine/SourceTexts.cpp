#include "Engine/SourceTexts.h"

#include "Platform/Rtl/Files.h"
#include "World/ClassEx.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace krx {

namespace {

// The text of a file as ReadTextFileEx gives it, split into lines. The bytes are read in one
// piece into a buffer of the file's size instead of appended chunk by chunk to a growing one,
// and a file without a byte order mark (most source files) is decoded straight into the
// text's storage. Whatever is out of the ordinary (the file cannot be opened or read, grows
// while read, or is in a refused encoding) is left to ReadTextFileEx, so that failures raise
// as they always did.
TTokenizerTextPtr ReadFileText(const std::string &path, const String &fileName) {
  TTextEncoding encoding;
  TOpenResult opened = OpenRegularFile(path, O_RDONLY);
  struct stat st {};
  // Files of 2 GB and more are refused by ReadTextFileEx.
  if (opened.Handle.Valid() && ::fstat(opened.Handle.Get(), &st) == 0 && st.st_size >= 0 &&
      st.st_size <= 0x7FFFFFFF) {
    // One byte more than the size, to see the end of a file that did not grow.
    const std::size_t room = static_cast<std::size_t>(st.st_size) + 1;
    std::unique_ptr<Byte[]> bytes(new Byte[room]);
    std::size_t done = 0;
    bool whole = true;
    for (;;) {
      const ssize_t n = ::read(opened.Handle.Get(), bytes.get() + done, room - done);
      if (n < 0 && errno == EINTR)
        continue;
      if (n == 0)
        break;
      done += n > 0 ? static_cast<std::size_t>(n) : 0;
      // A read error, or a file that grew while it was read.
      if (n < 0 || done == room) {
        whole = false;
        break;
      }
    }
    if (whole && DetectBOM(bytes.get(), std::min<std::size_t>(done, 4)) == teAnsi)
      return DecodeAnsiTokenizerText(bytes.get(), done);
    String text;
    if (whole && DecodeTextBytes(bytes.get(), done, text, encoding))
      return SplitTokenizerText(text);
  }
  return SplitTokenizerText(ReadTextFileEx(fileName, encoding));
}

// The least recently used texts go first when the total would pass the bound.
class TSourceTextCache {
public:
  TTokenizerTextPtr Read(const String &fileName) {
    const std::string path = FileNameToOS(fileName);
    TFileStamp stamp;
    const bool stamped = FileStampOf(path, stamp);
    if (stamped) {
      std::lock_guard<std::mutex> lock(FLock);
      auto it = FIndex.find(path);
      if (it != FIndex.end()) {
        if (it->second->Stamp == stamp) {
          FEntries.splice(FEntries.begin(), FEntries, it->second);
          return it->second->Text;
        }
        Forget(it);
      }
    }
    TTokenizerTextPtr text = ReadFileText(path, fileName);
    const std::size_t units = text->Text.size();
    if (!stamped || RecentlyModified(stamp) || units > kMaxFileUnits)
      return text;
    std::lock_guard<std::mutex> lock(FLock);
    if (FIndex.count(path))
      return text;
    while (!FEntries.empty() && FUnits + units > kMaxUnits)
      Forget(FIndex.find(FEntries.back().Path));
    FEntries.push_front({path, stamp, text});
    FIndex.emplace(path, FEntries.begin());
    FUnits += units;
    return text;
  }

  void Clear() {
    std::lock_guard<std::mutex> lock(FLock);
    FIndex.clear();
    FEntries.clear();
    FUnits = 0;
  }

private:
  // Bounds in UTF-16 code units: 32 MB kept at most, of files up to 8 MB. Include files of
  // real projects are far smaller; the whole Free Pascal tree's are about 64 MB.
  static constexpr std::size_t kMaxUnits = std::size_t{16} << 20;
  static constexpr std::size_t kMaxFileUnits = std::size_t{4} << 20;

  struct TEntry {
    std::string Path;
    TFileStamp Stamp;
    TTokenizerTextPtr Text;
  };
  using TEntries = std::list<TEntry>;

  void Forget(std::unordered_map<std::string, TEntries::iterator>::iterator it) {
    FUnits -= it->second->Text->Text.size();
    FEntries.erase(it->second);
    FIndex.erase(it);
  }

  std::mutex FLock;
  TEntries FEntries; // most recently used first
  std::unordered_map<std::string, TEntries::iterator> FIndex;
  std::size_t FUnits = 0;
};

TSourceTextCache &Cache() {
  static TSourceTextCache cache;
  return cache;
}

} // namespace

TTokenizerTextPtr ReadCachedSourceText(const String &fileName) { return Cache().Read(fileName); }

void ClearCachedSourceTexts() { Cache().Clear(); }

} // namespace krx
