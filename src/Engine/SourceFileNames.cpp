#include "Engine/SourceFileNames.h"

#include "Platform/Rtl/Character.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/SysUtils.h"

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <unordered_map>

namespace krx {

namespace fs = std::filesystem;

namespace {

String Folded(StringView s) {
  String r(s);
  for (Char &c : r)
    c = FoldChar(c);
  return r;
}

// Folder listings for the case-insensitive match, kept per process. Include names are looked
// up many times per unit, in the same few folders for every unit, and most of them are not
// where they are first looked for; reading a folder costs far more than the one stat that
// tells whether it changed since (adding, removing or renaming an entry changes the folder's
// modification time). A listing read while the folder's time is close to now is not kept:
// an entry added within the same clock tick would leave that time unchanged.
class TFolderListings {
public:
  // The path of the entry of `dir` named `component` ignoring case, the first in code-unit
  // order among several; empty when there is none.
  fs::path Match(const fs::path &dir, const String &component) {
    std::error_code ec;
    const fs::file_time_type stamp = fs::last_write_time(dir, ec);
    if (ec)
      return {};
    const String key = Folded(component);
    std::lock_guard<std::mutex> lock(FLock);
    auto it = FListings.find(dir.native());
    if (it == FListings.end() || it->second.Stamp != stamp) {
      TListing listing{stamp, Read(dir)};
      if (fs::file_time_type::clock::now() - stamp < kSettleTime)
        return Find(listing, dir, key);
      if (FListings.size() >= kMaxFolders)
        FListings.clear();
      it = FListings.insert_or_assign(dir.native(), std::move(listing)).first;
    }
    return Find(it->second, dir, key);
  }

private:
  static constexpr std::size_t kMaxFolders = 4096;
  static constexpr auto kSettleTime = std::chrono::seconds(2);

  // Folded name -> the entry's own name, the first in code-unit order.
  using TNames = std::unordered_map<String, String>;
  struct TListing {
    fs::file_time_type Stamp;
    TNames Names;
  };

  static TNames Read(const fs::path &dir) {
    TNames names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      // An entry whose name is not UTF-8 has no exact String: a substitute could match a
      // name that means another file.
      String entry;
      if (!FileNameFromOS(it->path().filename().native(), entry))
        continue;
      auto [slot, added] = names.try_emplace(Folded(entry), entry);
      if (!added && entry < slot->second)
        slot->second = std::move(entry);
    }
    return names;
  }

  static fs::path Find(const TListing &listing, const fs::path &dir, const String &key) {
    auto it = listing.Names.find(key);
    return it == listing.Names.end() ? fs::path() : dir / FileNameToOS(it->second);
  }

  std::mutex FLock;
  std::unordered_map<std::string, TListing> FListings;
};

TFolderListings &FolderListings() {
  static TFolderListings listings;
  return listings;
}

// The entry of `dir` named `component` ignoring case, or an empty path.
fs::path MatchComponent(const fs::path &dir, const String &component) {
  std::error_code ec;
  std::string os;
  if (!TryFileNameToOS(component, os))
    return {};
  fs::path exact = dir / os;
  if (fs::exists(exact, ec))
    return exact;
  return FolderListings().Match(dir, component);
}

} // namespace
String ResolveSourceFileName(StringView name, StringView baseDir) {
  String n(name);
  for (Char &c : n)
    if (c == u'\\')
      c = u'/';
  if (n.empty())
    return {};
  std::string base;
  if (!TryFileNameToOS(baseDir, base))
    return {};
  fs::path current = n[0] == u'/'      ? fs::path("/")
                     : baseDir.empty() ? fs::path(".")
                                       : fs::path(base);
  std::size_t start = 0;
  while (start <= n.size()) {
    std::size_t e = n.find(u'/', start);
    if (e == String::npos)
      e = n.size();
    String part = n.substr(start, e - start);
    start = e + 1;
    if (part.empty() || part == u".")
      continue;
    if (part == u"..") {
      current /= "..";
      continue;
    }
    current = MatchComponent(current, part);
    if (current.empty())
      return {};
  }
  std::error_code ec;
  if (!fs::is_regular_file(current, ec))
    return {};
  fs::path full = fs::weakly_canonical(current, ec);
  String resolved;
  return FileNameFromOS((ec ? current : full).native(), resolved) ? resolved : String();
}

} // namespace krx
