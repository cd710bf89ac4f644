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

bool IsAnswerSection(StringView name) {
  return SameText(name, u"ProjectFiles") || SameText(name, u"EditorFiles") ||
         SameText(name, u"TransferControl");
}

// True for lines that an earlier answer may hold: none but blank ones, or answer sections and
// "name=value" lines below a section only, so that the rewrite drops nothing but blanks.
bool IsEarlierAnswer(const TStrings &lines) {
  bool inSection = false, answer = false, blank = true;
  for (Integer i = 0; i < lines.Count(); ++i) {
    const String s = Trim(lines.Strings(i));
    if (s.empty())
      continue;
    blank = false;
    if (s.size() >= 2 && s.front() == u'[' && s.back() == u']') {
      inSection = true;
      answer = answer || IsAnswerSection(Trim(StringView(s).substr(1, s.size() - 2)));
    } else if (!inSection || s.front() == u';' || s.find(u'=') == String::npos) {
      return false;
    }
  }
  return blank || answer;
}

// The answer file as one update finds it: its content, and the file it was read from (none
// for a file still to be created).
class TTransferFile {
public:
  explicit TTransferFile(const String &fileName) : FFileName(fileName) {
    const std::string os = FileNameToOS(fileName);
    const TReadResult read = ReadRegularFile(os);
    TStringList lines;
    if (read.Ok()) {
      const TBytes bytes(read.Bytes.begin(), read.Bytes.end());
      lines.LoadFromBytes(bytes, UnmarkedUtf8(bytes));
      if (!IsEarlierAnswer(lines))
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

  void Update() {
    TReplaceOptions options;
    options.ExpectedFile = FStamp ? &*FStamp : nullptr;
    options.ExpectNew = !FStamp;
    SaveFileAtomically(FFileName, FIni->FileBytes(), options);
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

String ShownFileName(StringView Name) {
  String shown;
  for (Char c : Name)
    shown += c == u'\r' ? String(u"#13") : c == u'\n' ? String(u"#10") : String(1, c);
  return shown;
}

void CheckExchangeFileName(const String &ExchangeFile, StringView Name) {
  if (!HoldsLineBreak(Name))
    return;
  throw EKRXException(Format(u"The file name \"%s\" holds a line break and cannot be written "
                             u"to \"%s\"",
                             {ShownFileName(Name), ExpandFileName(ExchangeFile)}));
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
  file.Update();
}

void SignalTransferReady(const String &FileName) {
  TTransferFile file(FileName);
  file.Ini().WriteBool(u"TransferControl", u"TransferReady", true);
  file.Update();
}

} // namespace krx
