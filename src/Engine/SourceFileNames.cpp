#include "Engine/SourceFileNames.h"

#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/SysUtils.h"

#include <filesystem>
#include <system_error>

namespace krx {

namespace fs = std::filesystem;

namespace {

// The entry of `dir` named `component` ignoring case, or an empty path.
fs::path MatchComponent(const fs::path &dir, const String &component) {
  std::error_code ec;
  fs::path exact = dir / FileNameToOS(component);
  if (fs::exists(exact, ec))
    return exact;
  fs::path best;
  String bestName;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    String entry = Utf8ToString(it->path().filename().string());
    if (AnsiSameText(entry, component) && (best.empty() || entry < bestName)) {
      best = it->path();
      bestName = std::move(entry);
    }
  }
  return best;
}

} // namespace

String ResolveSourceFileName(StringView name, StringView baseDir) {
  String n(name);
  for (Char &c : n)
    if (c == u'\\')
      c = u'/';
  if (n.empty())
    return {};
  fs::path current = n[0] == u'/'      ? fs::path("/")
                     : baseDir.empty() ? fs::path(".")
                                       : fs::path(FileNameToOS(baseDir));
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
  return Utf8ToString((ec ? current : full).string());
}

} // namespace krx
