#include "XML/Dictionaries.h"

namespace krx {

Integer AddNameValue(TStrings &List, StringView Name, StringView Value) {
  String line(Name);
  line.push_back(List.NameValueSeparator());
  line.append(Value);
  return List.Add(line);
}

Integer SetDictValue(TStrings &List, StringView Name, StringView Value) {
  if (Value.empty())
    return -1;
  return AddNameValue(List, Name, Value);
}

Integer SetDictValueInt(TStrings &List, StringView Name, Integer Value) {
  return AddNameValue(List, Name, IntToStr(Value));
}

Integer SetStringsValue(TStrings &List, StringView Name, StringView Value) {
  Integer index = List.IndexOfName(String(Name));
  if (index < 0)
    return AddNameValue(List, Name, Value);
  // The line is rewritten in place: unlike the class library's value assignment, an empty
  // value keeps the entry.
  String line = List.Names(index);
  line.push_back(List.NameValueSeparator());
  line.append(Value);
  List.SetStrings(index, line);
  return index;
}

} // namespace krx
