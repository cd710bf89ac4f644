#include "KR4expt/TransferFiles.h"

#include "Common/KRX.Exceptions.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/Streams.h"
#include "World/Utf8IniFiles.h"

#include <cerrno>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace krx {

// Kestrune polls the transfer file for "TransferReady" while the IDE writes it. Each update
// writes the new version beside the file (beside a link's target) and renames it over the
// file, so a reader sees the old or the new content in full; where the folder takes no new
// file, the file is rewritten in place and flushed, and the list, written by the first update,
// is on disk before the second one writes the mark.
//
// Each update decides on what it read through its own descriptor, and replaces only that file
// (or, for a new one, only nothing): a file put under the name between the look and the write
// is left as it is.

namespace {

const Char *const SRefused = u"The transfer file \"%s\" %s; it is left as it is";
const Char *const SListTooLarge =
    u"The list of %d files would make the transfer file \"%s\" larger than 64 MB; it is not "
    u"written, and the answer lists no files";

bool IsAnswerSection(StringView name) {
  return SameText(name, u"ProjectFiles") || SameText(name, u"EditorFiles") ||
         SameText(name, u"TransferControl");
}

// True for the lines of an earlier answer: answer sections only, at least one, holding
// "name=value" lines only, so that the rewrite drops nothing but blank lines. Anything else
// (blank lines only, a comment, another section beside an answer's) is a user's file.
bool IsEarlierAnswer(const TStrings &lines) {
  bool inSection = false;
  for (Integer i = 0; i < lines.Count(); ++i) {
    const String s = Trim(lines.Strings(i));
    if (s.empty())
      continue;
    if (s.size() >= 2 && s.front() == u'[' && s.back() == u']') {
      if (!IsAnswerSection(Trim(StringView(s).substr(1, s.size() - 2))))
        return false;
      inSection = true;
    } else if (!inSection || s.front() == u';' || s.find(u'=') == String::npos) {
      return false;
    }
  }
  return inSection;
}

// Room kept below the read bound for what the mark's update adds to a list (the mark, or
// "FileCount" 0 with it), so that the file stays readable for that update and the next request.
constexpr Int64 kMarkRoom = 256;

// The answer file as one update finds it: its content, and the file it was read from (none
// for a file still to be created).
class TTransferFile {
public:
  explicit TTransferFile(const String &fileName) : FFileName(fileName) {
    const std::string os = FileNameToOS(fileName);
    const TReadResult read = ReadRegularFile(os);
    TStringList lines;
    if (read.Ok()) {
      // An empty file is one the requester made ready for the answer.
      const TBytes bytes(read.Bytes.begin(), read.Bytes.end());
      lines.LoadFromBytes(bytes, UnmarkedUtf8(bytes));
      if (!bytes.empty() && !IsEarlierAnswer(lines))
        Refuse(u"holds something other than an earlier answer");
      FStamp = read.Stamp;
    } else if (read.Error == ENOENT || read.Error == ELOOP) {
      struct stat st {};
      if (read.Error == ELOOP || ::lstat(os.c_str(), &st) == 0)
        Refuse(u"is a link that does not resolve");
    } else if (read.NotRegular) {
      Refuse(u"is not a regular file (a FIFO, device or socket)");
    } else {
      Refuse(read.Error == EISDIR || read.Error == EFBIG ? read.Reason()
                                                         : u"cannot be read: " + read.Reason());
    }
    FIni = std::make_unique<TUtf8IniFile>(fileName, lines);
  }

  TUtf8IniFile &Ini() { return *FIni; }

  void Update() { Update(FIni->FileBytes()); }
  void Update(const std::string &bytes) {
    TReplaceOptions options;
    options.ExpectedFile = FStamp ? &*FStamp : nullptr;
    options.ExpectNew = !FStamp;
    // Where only an in-place rewrite is possible, a file of several names is the user's too.
    options.InPlaceOnlySingleLink = true;
    SaveFileAtomically(FFileName, bytes, options);
  }

private:
  [[noreturn]] void Refuse(const String &why) const {
    throw EKRXException(Format(SRefused, {ExpandFileName(FFileName), why}));
  }

  String FFileName;
  std::optional<TFileStamp> FStamp;
  std::unique_ptr<TUtf8IniFile> FIni;
};

} // namespace

bool HoldsLineBreak(StringView Name) { return Name.find_first_of(u"\r\n") != StringView::npos; }

const Char *UncarriedNameReason(StringView Name) {
  if (HoldsLineBreak(Name))
    return u"holds a line break";
  // Every ini reader trims a value, so such a name would come back as another one.
  if (!Name.empty() && (Name.front() <= u' ' || Name.back() <= u' '))
    return u"begins or ends with a blank or control character";
  return nullptr;
}

String ShownFileName(StringView Name) {
  String shown;
  for (Char c : Name)
    shown += c < u' ' ? u"#" + IntToStr(c) : String(1, c);
  return shown;
}

void CheckExchangeFileName(const String &ExchangeFile, StringView Name) {
  const Char *why = UncarriedNameReason(Name);
  if (!why)
    return;
  throw EKRXException(Format(u"The file name \"%s\" %s and cannot be written to \"%s\"",
                             {ShownFileName(Name), String(why), ExpandFileName(ExchangeFile)}));
}

void CheckTransferTarget(const String &FileName) { TTransferFile check(FileName); }

void WriteTransferFileList(const String &FileName, const String &Section, const TStrings &List) {
  for (Integer i = 0; i < List.Count(); ++i)
    CheckExchangeFileName(FileName, List.Strings(i));
  TTransferFile file(FileName);
  TUtf8IniFile &ini = file.Ini();
  ini.WriteInteger(Section, u"FileCount", List.Count());
  for (Integer i = 0; i < List.Count(); ++i)
    ini.WriteString(Section, Format(u"File_%d", {i}), List.Strings(i));
  const std::string bytes = ini.FileBytes();
  // Past the read bound the mark could not be added to it, nor the next answer.
  if (static_cast<Int64>(bytes.size()) + kMarkRoom > MaxReadFileSize)
    throw EKRXException(Format(SListTooLarge, {List.Count(), ExpandFileName(FileName)}));
  file.Update(bytes);
}

void SignalTransferReady(const String &FileName) {
  TTransferFile file(FileName);
  file.Ini().WriteBool(u"TransferControl", u"TransferReady", true);
  file.Update();
}

void SignalTransferReadyUnlisted(const String &FileName, const String &Section, bool Failed) {
  TTransferFile file(FileName);
  TUtf8IniFile &ini = file.Ini();
  if (Failed || ini.ValueExists(Section, u"FileCount"))
    ini.WriteInteger(Section, u"FileCount", 0);
  ini.WriteBool(u"TransferControl", u"TransferReady", true);
  file.Update();
}

} // namespace krx
