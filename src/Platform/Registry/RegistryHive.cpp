#include "Platform/Registry/RegistryHive.h"

#include "Platform/Rtl/Character.h"
#include "Platform/Rtl/Encoding.h"
#include "Platform/Rtl/Files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace krx::reghive {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr auto kLockWait = std::chrono::seconds(10);

bool IsHighSurrogate(Char c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(Char c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Text that a quoted .reg string or name can carry: no control characters, and valid
// UTF-16 so that it survives the trip through UTF-8.
bool QuotableText(StringView s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    Char c = s[i];
    if (c < 0x20 || c == 0x7F)
      return false;
    if (IsHighSurrogate(c)) {
      if (i + 1 >= s.size() || !IsLowSurrogate(s[i + 1]))
        return false;
      ++i;
    } else if (IsLowSurrogate(c)) {
      return false;
    }
  }
  return true;
}

String UpperName(StringView s) { return AnsiUpperCase(s); }

// The identity of a value name: folded code unit by code unit, so that two names are one
// exactly when AnsiSameText says so.
String FoldedName(StringView s) {
  String out(s);
  for (Char &c : out)
    c = FoldChar(c);
  return out;
}

[[noreturn]] void Fail(int line, StringView message) { throw EHiveFormat{line, String(message)}; }

// ---- Reading ------------------------------------------------------------------------------

String DecodeHiveText(const std::string &bytes) {
  const auto *p = reinterpret_cast<const Byte *>(bytes.data());
  std::size_t n = bytes.size();
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    if ((n - 2) % 2 != 0)
      Fail(0, u"the UTF-16 text has an odd number of bytes");
    return DecodeUtf16LE(p + 2, n - 2);
  }
  if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF)
    Fail(0, u"UTF-16 big-endian text is not supported");
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
    p += 3;
    n -= 3;
  }
  if (!IsValidUtf8(p, n))
    Fail(0, u"the text is not valid UTF-8");
  return DecodeUtf8(p, n);
}

bool IsBlank(Char c) { return c == u' ' || c == u'\t'; }

StringView TrimBlanks(StringView s) {
  while (!s.empty() && IsBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

// Reads a quoted text at s[pos] (which is '"'); escapes are \\ and \". Leaves pos after
// the closing quote.
String ReadQuoted(StringView s, std::size_t &pos, int line) {
  String out;
  ++pos;
  for (;;) {
    if (pos >= s.size())
      Fail(line, u"a quoted text has no closing quote");
    Char c = s[pos++];
    if (c == u'"')
      return out;
    if (c == u'\\') {
      if (pos >= s.size() || (s[pos] != u'\\' && s[pos] != u'"'))
        Fail(line, u"a backslash in a quoted text must be doubled");
      out += s[pos++];
    } else {
      out += c;
    }
  }
}

int HexDigit(Char c) {
  if (c >= u'0' && c <= u'9')
    return c - u'0';
  if (c >= u'a' && c <= u'f')
    return c - u'a' + 10;
  if (c >= u'A' && c <= u'F')
    return c - u'A' + 10;
  return -1;
}

bool ParseHexNumber(StringView s, std::size_t maxDigits, DWORD &value) {
  if (s.empty() || s.size() > maxDigits)
    return false;
  value = 0;
  for (Char c : s) {
    int d = HexDigit(c);
    if (d < 0)
      return false;
    value = value * 16 + static_cast<DWORD>(d);
  }
  return true;
}

TBytes ParseHexBytes(StringView s, int line) {
  TBytes out;
  s = TrimBlanks(s);
  if (s.empty())
    return out;
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = s.find(u',', start);
    StringView item =
        TrimBlanks(s.substr(start, comma == StringView::npos ? StringView::npos : comma - start));
    DWORD b = 0;
    if (!ParseHexNumber(item, 2, b))
      Fail(line, u"a byte list holds something that is not a hexadecimal byte");
    out.push_back(static_cast<Byte>(b));
    if (comma == StringView::npos)
      return out;
    start = comma + 1;
  }
}

TValue ParseData(StringView data, int line) {
  TValue v;
  if (!data.empty() && data[0] == u'"') {
    std::size_t pos = 0;
    v.Type = REG_SZ;
    v.Text = ReadQuoted(data, pos, line);
    if (!TrimBlanks(data.substr(pos)).empty())
      Fail(line, u"text follows a quoted value");
    return v;
  }
  if (data == u"-")
    Fail(line, u"a value deletion (\"=-\") has no place in a registry file");
  if (data.substr(0, 6) == u"dword:") {
    v.Type = REG_DWORD;
    if (!ParseHexNumber(TrimBlanks(data.substr(6)), 8, v.Number))
      Fail(line, u"a dword value needs 1 to 8 hexadecimal digits");
    return v;
  }
  DWORD type = REG_BINARY;
  std::size_t colon = StringView::npos;
  if (data.substr(0, 4) == u"hex:") {
    colon = 3;
  } else if (data.substr(0, 4) == u"hex(") {
    std::size_t close = data.find(u')');
    if (close == StringView::npos || close + 1 >= data.size() || data[close + 1] != u':' ||
        !ParseHexNumber(data.substr(4, close - 4), 8, type))
      Fail(line, u"a typed byte list must begin with hex(TYPE):");
    colon = close + 1;
  } else {
    Fail(line, u"unknown kind of value data");
  }
  TBytes bytes = ParseHexBytes(data.substr(colon + 1), line);
  if (type == REG_SZ) {
    if (bytes.size() % 2 != 0)
      Fail(line, u"a string value given as bytes has an odd number of bytes");
    String text = DecodeUtf16LE(bytes);
    if (!text.empty() && text.back() == 0)
      text.pop_back();
    v.Type = REG_SZ;
    v.Text = std::move(text);
  } else if (type == REG_DWORD && bytes.size() == 4) {
    v.Type = REG_DWORD;
    v.Number = static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 |
               static_cast<DWORD>(bytes[2]) << 16 | static_cast<DWORD>(bytes[3]) << 24;
  } else {
    v.Type = type;
    v.Raw = std::move(bytes);
  }
  return v;
}

void SplitLines(StringView text, std::vector<StringView> &lines) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t nl = text.find(u'\n', start);
    StringView line = text.substr(start, nl == StringView::npos ? StringView::npos : nl - start);
    if (!line.empty() && line.back() == u'\r')
      line.remove_suffix(1);
    lines.push_back(line);
    if (nl == StringView::npos)
      break;
    start = nl + 1;
  }
}

// ---- Writing ------------------------------------------------------------------------------

void AppendName(std::string &out, StringView name) {
  if (name.empty()) {
    out += '@';
    return;
  }
  out += '"';
  std::string utf8 = StringToUtf8(name);
  for (char c : utf8) {
    if (c == '\\' || c == '"')
      out += '\\';
    out += c;
  }
  out += '"';
}

void AppendQuotedText(std::string &out, StringView text) {
  out += '"';
  for (char c : StringToUtf8(text)) {
    if (c == '\\' || c == '"')
      out += '\\';
    out += c;
  }
  out += '"';
}

void AppendHex(std::string &out, std::size_t prefixLength, const TBytes &bytes) {
  static const char digits[] = "0123456789abcdef";
  std::size_t column = prefixLength;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) {
      out += ',';
      ++column;
      if (column > 76) {
        out += "\\\r\n  ";
        column = 2;
      }
    }
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
    column += 2;
  }
}

void AppendValue(std::string &out, const TValue &v) {
  std::size_t lineStart = out.size();
  AppendName(out, v.Name);
  out += '=';
  char buf[32];
  if (v.Type == REG_SZ && QuotableText(v.Text)) {
    AppendQuotedText(out, v.Text);
  } else if (v.Type == REG_SZ) {
    // Control characters and broken surrogates cannot stand in a quoted text.
    TBytes bytes = EncodeUtf16LE(v.Text);
    bytes.push_back(0);
    bytes.push_back(0);
    out += "hex(1):";
    AppendHex(out, out.size() - lineStart, bytes);
  } else if (v.Type == REG_DWORD) {
    std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v.Number));
    out += buf;
  } else {
    if (v.Type == REG_BINARY)
      out += "hex:";
    else {
      std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.Type));
      out += buf;
    }
    AppendHex(out, out.size() - lineStart, v.Raw);
  }
  out += "\r\n";
}

void AppendKey(std::string &out, const TKey &key, const std::string &path, bool isRoot) {
  if (!isRoot || !key.Values().empty()) {
    out += "\r\n[";
    out += path;
    out += "]\r\n";
    for (const TValue &v : key.Values())
      AppendValue(out, v);
  }
  for (const auto &[upper, sub] : key.SubKeys)
    AppendKey(out, *sub, path + "\\" + StringToUtf8(sub->Name), false);
}

// ---- Files --------------------------------------------------------------------------------

std::filesystem::path HiveDirectory() {
  if (const char *dir = std::getenv("KRX_REGISTRY_DIR"); dir && *dir)
    return std::filesystem::path(dir);
  return XdgUserDirectory("XDG_CONFIG_HOME", ".config") / "krx" / "registry";
}

String PathText(const std::filesystem::path &p) { return Utf8ToString(p.string()); }

[[noreturn]] void RaiseFile(StringView what, const std::filesystem::path &p, StringView reason) {
  throw ERegistryException(Format(u"%s \"%s\": %s", {what, PathText(p), reason}));
}

[[noreturn]] void RaiseFile(StringView what, const std::filesystem::path &p, int err) {
  RaiseFile(what, p, Utf8ToString(std::strerror(err)));
}

// Reads the file; False when it does not exist.
bool ReadHiveFile(const std::filesystem::path &p, std::string &bytes) {
  TOpenResult file = OpenRegularFile(p.string(), O_RDONLY);
  if (!file.Handle.Valid()) {
    if (!file.NotRegular && (file.Error == ENOENT || file.Error == ENOTDIR))
      return false;
    RaiseFile(u"Cannot read the registry file", p, file.Reason());
  }
  const int fd = file.Handle.Get();
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    RaiseFile(u"Cannot read the registry file", p, errno);
  if (static_cast<std::size_t>(st.st_size) > kMaxHiveBytes)
    RaiseFile(u"Cannot read the registry file", p, EFBIG);
  bytes.clear();
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      RaiseFile(u"Cannot read the registry file", p, errno);
    }
    if (n == 0)
      break;
    bytes.append(buf, static_cast<std::size_t>(n));
    if (bytes.size() > kMaxHiveBytes)
      RaiseFile(u"Cannot read the registry file", p, EFBIG);
  }
  return true;
}

std::unique_ptr<TKey> LoadHiveFile(const std::filesystem::path &p, StringView hiveName) {
  std::string bytes;
  if (!ReadHiveFile(p, bytes))
    return std::make_unique<TKey>(String(hiveName));
  try {
    return ParseHive(bytes, hiveName);
  } catch (const EHiveFormat &e) {
    String where = e.Line > 0 ? Format(u", line %d", {e.Line}) : String();
    throw ERegistryException(Format(u"The registry file \"%s\" is damaged%s: %s. It is left as "
                                    u"it is; mend or remove it.",
                                    {PathText(p), where, e.Message}));
  }
}

void ReplaceHiveFile(const std::filesystem::path &p, const std::string &bytes) {
  // The hive is private to its user; the folder is ours, so no in-place fallback is needed.
  const TReplaceResult result =
      ReplaceFileContents(p.string(), bytes, TReplaceOptions{0600, false});
  if (result.FailedStep != TReplaceStep::None)
    RaiseFile(u"Cannot write the registry file", p, result.Error);
}

// A writer killed between creating its temporary file and renaming it leaves the file
// behind. Every writer holds the hive's lock while its temporary file exists, so under the
// lock each one found belongs to a writer that is gone. Earlier versions named temporary
// files "." + the hive's name + "." and a unique part; those are swept too.
void RemoveStaleTempFiles(const std::filesystem::path &hive) {
  const std::filesystem::path prefix = ReplaceTempPrefix(hive.string());
  const std::string starts[] = {prefix.filename().string(), "." + hive.filename().string() + "."};
  std::error_code ec;
  for (std::filesystem::directory_iterator it(prefix.parent_path(), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    for (const std::string &start : starts)
      if (name.size() > start.size() && name.compare(0, start.size(), start) == 0 &&
          it->is_regular_file(ec)) {
        ::unlink(it->path().c_str());
        break;
      }
  }
}

} // namespace

// ---- Tree ---------------------------------------------------------------------------------

bool TValue::SameData(const TValue &other) const {
  if (Type != other.Type)
    return false;
  if (Type == REG_SZ)
    return Text == other.Text;
  if (Type == REG_DWORD)
    return Number == other.Number;
  return Raw == other.Raw;
}

TKey::TKey(String name) : Name(std::move(name)), Upper(UpperName(Name)) {}

TKey *TKey::FindSubKey(StringView name) {
  auto it = SubKeys.find(UpperName(name));
  return it != SubKeys.end() ? it->second.get() : nullptr;
}

TKey &TKey::ForceSubKey(StringView name, bool &created) {
  String upper = UpperName(name);
  auto it = SubKeys.lower_bound(upper);
  if (it != SubKeys.end() && it->first == upper)
    return *it->second;
  created = true;
  return *SubKeys.emplace_hint(it, std::move(upper), std::make_unique<TKey>(String(name)))->second;
}

bool TKey::RemoveSubKey(StringView name) { return SubKeys.erase(UpperName(name)) > 0; }

TValue *TKey::FindValue(StringView name) {
  auto it = FValueIndex.find(FoldedName(name));
  return it != FValueIndex.end() ? &FValues[it->second] : nullptr;
}

TValue &TKey::AddValue(TValue value) {
  KR_ASSERT(FindValue(value.Name) == nullptr);
  FValueIndex.emplace(FoldedName(value.Name), FValues.size());
  return FValues.emplace_back(std::move(value));
}

bool TKey::RemoveValue(StringView name) {
  auto it = FValueIndex.find(FoldedName(name));
  if (it == FValueIndex.end())
    return false;
  const std::size_t index = it->second;
  FValueIndex.erase(it);
  FValues.erase(FValues.begin() + static_cast<std::ptrdiff_t>(index));
  for (auto &[upper, i] : FValueIndex)
    if (i > index)
      --i;
  return true;
}

TKey *TKey::Find(const std::vector<String> &path) {
  TKey *k = this;
  for (const String &name : path) {
    k = k->FindSubKey(name);
    if (!k)
      return nullptr;
  }
  return k;
}

TKey &TKey::Force(const std::vector<String> &path, bool &created) {
  TKey *k = this;
  for (const String &name : path)
    k = &k->ForceSubKey(name, created);
  return *k;
}

StringView HiveName(HKEY rootKey) {
  if (rootKey == HKEY_CURRENT_USER)
    return u"HKEY_CURRENT_USER";
  if (rootKey == HKEY_LOCAL_MACHINE)
    return u"HKEY_LOCAL_MACHINE";
  return {};
}

bool ValidKeyName(StringView name) {
  return !name.empty() && name.size() <= 255 && name.find(u'\\') == StringView::npos &&
         QuotableText(name);
}

bool ValidValueName(StringView name) { return name.size() <= 16383 && QuotableText(name); }

// ---- Text form ----------------------------------------------------------------------------

std::unique_ptr<TKey> ParseHive(const std::string &bytes, StringView hiveName) {
  auto root = std::make_unique<TKey>(String(hiveName));
  String text = DecodeHiveText(bytes);
  std::vector<StringView> lines;
  SplitLines(text, lines);

  bool sawHeader = false;
  TKey *current = nullptr;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int lineNo = static_cast<int>(i) + 1;
    StringView line = TrimBlanks(lines[i]);
    if (line.empty() || line[0] == u';')
      continue;
    if (!sawHeader) {
      if (StringToUtf8(line) != kHeader)
        Fail(lineNo, u"the file does not begin with \"Windows Registry Editor Version 5.00\"");
      sawHeader = true;
      continue;
    }
    if (line[0] == u'[') {
      if (line.back() != u']')
        Fail(lineNo, u"a key line must end with ']'");
      StringView path = line.substr(1, line.size() - 2);
      if (!path.empty() && path[0] == u'-')
        Fail(lineNo, u"a key deletion (\"[-...]\") has no place in a registry file");
      std::size_t slash = path.find(u'\\');
      StringView hive = path.substr(0, slash);
      if (!AnsiSameText(hive, hiveName))
        Fail(lineNo, Format(u"the key belongs to \"%s\", not to %s", {hive, hiveName}));
      current = root.get();
      std::size_t depth = 0;
      while (slash != StringView::npos) {
        std::size_t next = path.find(u'\\', slash + 1);
        StringView name =
            path.substr(slash + 1, next == StringView::npos ? StringView::npos : next - slash - 1);
        if (!ValidKeyName(name))
          Fail(lineNo, u"the key path holds an empty or invalid key name");
        if (++depth > kMaxKeyDepth)
          Fail(lineNo, u"the key path is nested too deeply");
        bool created = false;
        current = &current->ForceSubKey(name, created);
        slash = next;
      }
      continue;
    }
    if (line[0] != u'"' && line[0] != u'@')
      Fail(lineNo, u"a line is neither a key nor a value");
    if (!current)
      Fail(lineNo, u"a value comes before the first key");
    std::size_t pos = 0;
    String name;
    if (line[0] == u'@') {
      pos = 1;
    } else {
      name = ReadQuoted(line, pos, lineNo);
      if (!ValidValueName(name))
        Fail(lineNo, u"the value name holds control characters");
    }
    while (pos < line.size() && IsBlank(line[pos]))
      ++pos;
    if (pos >= line.size() || line[pos] != u'=')
      Fail(lineNo, u"a value name must be followed by '='");
    String data(TrimBlanks(line.substr(pos + 1)));
    // Byte lists continue over lines that end with a backslash.
    if (data.rfind(u"hex", 0) == 0) {
      while (!data.empty() && data.back() == u'\\') {
        data.pop_back();
        if (++i >= lines.size())
          Fail(lineNo, u"a byte list continues past the end of the file");
        data += TrimBlanks(lines[i]);
      }
    }
    TValue v = ParseData(data, lineNo);
    v.Name = std::move(name);
    if (TValue *old = current->FindValue(v.Name)) {
      v.Name = old->Name;
      *old = std::move(v);
    } else {
      current->AddValue(std::move(v));
    }
  }
  return root;
}

std::string WriteHive(const TKey &root, StringView hiveName) {
  std::string out(kHeader);
  out += "\r\n";
  AppendKey(out, root, StringToUtf8(hiveName), true);
  return out;
}

// ---- Transactions -------------------------------------------------------------------------

std::unique_ptr<TKey> LoadHive(HKEY rootKey) {
  return LoadHiveFile(RegistryHiveFile(rootKey), HiveName(rootKey));
}

void ChangeHive(HKEY rootKey, const std::function<bool(TKey &)> &change) {
  const std::filesystem::path file = RegistryHiveFile(rootKey);
  const std::filesystem::path dir = file.parent_path();
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec)
    RaiseFile(u"Cannot create the registry folder", dir, ec.value());

  const std::filesystem::path lockName = file.string() + ".lock";
  TFileHandle lock(::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.Get() < 0)
    RaiseFile(u"Cannot open the registry lock", lockName, errno);
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  while (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR)
      RaiseFile(u"Cannot lock the registry file", file, errno);
    if (std::chrono::steady_clock::now() >= deadline)
      throw ERegistryException(
          Format(u"The registry file \"%s\" stayed locked by another process for 10 seconds",
                 {PathText(file)}));
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // Closing the descriptor (on every way out) releases the lock.
  RemoveStaleTempFiles(file);
  std::unique_ptr<TKey> root = LoadHiveFile(file, HiveName(rootKey));
  if (!change(*root))
    return;
  const std::string bytes = WriteHive(*root, HiveName(rootKey));
  // A larger file could not be read back: every value in it would be lost to the user.
  if (bytes.size() > kMaxHiveBytes)
    throw ERegistryException(Format(
        u"The change would make the registry file \"%s\" larger than %d MB, more than can be "
        u"read back. It was not made; the file is left as it was.",
        {PathText(file), static_cast<Integer>(kMaxHiveBytes >> 20)}));
  ReplaceHiveFile(file, bytes);
}

} // namespace krx::reghive

namespace krx {

std::filesystem::path RegistryHiveFile(HKEY rootKey) {
  StringView name = reghive::HiveName(rootKey);
  if (name.empty())
    throw ERegistryException(u"Only HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are kept");
  return reghive::HiveDirectory() / (StringToUtf8(name) + ".reg");
}

} // namespace krx
