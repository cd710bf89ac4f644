#include "Platform/Vcl/FileCtrl.h"

namespace krx {

String MinimizeName(const String &fileName, const TTextWidthFunc &textWidth, Integer maxLen) {
  if (textWidth(fileName) <= maxLen)
    return fileName;
  const auto isDelimiter = [](Char c) { return c == u'/' || c == u'\\'; };
  const std::size_t nameStart = fileName.find_last_of(u"/\\");
  if (nameStart == String::npos)
    return fileName; // nothing to replace
  const String name = fileName.substr(nameStart + 1);
  // Cut the folders one by one from the left: after each cut the text is "..." followed by
  // the separator and whatever remains.
  std::size_t cut = 0;
  while (cut < fileName.size() && isDelimiter(fileName[cut]))
    ++cut; // a leading separator belongs to the first folder
  while (cut <= nameStart) {
    std::size_t next = fileName.find_first_of(u"/\\", cut);
    while (next < nameStart && isDelimiter(fileName[next + 1]))
      ++next; // one separator of a run stays
    const String candidate = u"..." + fileName.substr(next);
    if (textWidth(candidate) <= maxLen)
      return candidate;
    cut = next + 1;
    while (cut < nameStart && isDelimiter(fileName[cut]))
      ++cut;
  }
  return name;
}

} // namespace krx
