#include "Engine/GlobalDelegates.h"

#include "Common/DataFolders.h"
#include "Engine/CodeItems.h"
#include "Engine/ModuleExplorers.h"
#include "Platform/Rtl/Character.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Shell/ShellApi.h"
#include "World/ClassEx.h"

#include <filesystem>
#include <fstream>
#include <unordered_set>

namespace krx {

namespace {

constexpr const Char *SDelegatesNotFound = u"Global Delegate Definition file not found:\r\n";
constexpr const Char *SGlobalDelegatesFile = u"GlobalDelegates.txt";

// The built-in default of the global delegates file: one line, no mark, no line break.
constexpr char kDefaultDelegates[] = "TNotifyEvent = procedure (Sender: TObject) of object;";
static_assert(sizeof(kDefaultDelegates) - 1 == 53);

std::unique_ptr<TStringList> GGlobalDelegates;

// What tells that the global delegates file is still the one whose names the list holds: the
// file's name, device, inode, size and modification time, and the validator (and language
// mode) that checked the names. Every parse starts with a load; an unchanged file is not read
// again.
struct TDelegatesStamp {
  String FileName;
  TFileStamp File;
  const TIdentifierValidator *Validator = nullptr;
  TDelphiLanguageMode LanguageMode = dlmDelphi7Win32;
  bool Valid = false;

  bool Same(const TDelegatesStamp &o) const {
    return Valid && o.Valid && File == o.File && Validator == o.Validator &&
           LanguageMode == o.LanguageMode && FileName == o.FileName;
  }
};

// The stamp of the last load; made on first use, since the unit's start-up may run before
// this file's own globals are constructed.
TDelegatesStamp &LoadedDelegates() {
  static TDelegatesStamp stamp;
  return stamp;
}

// The stamp of the delegates file as it is now. It is not valid for anything but a regular
// file, nor for one modified in the last two seconds.
TDelegatesStamp DelegatesStampOf(const String &fileName, const TIdentifierValidator &validator,
                                 TDelphiLanguageMode mode) {
  TDelegatesStamp stamp;
  TFileStamp file;
  if (!FileStampOf(FileNameToOS(fileName), file) || RecentlyModified(file))
    return stamp;
  stamp = {fileName, file, &validator, mode, true};
  return stamp;
}

// The global delegates' names, hashed and compared as AnsiSameText compares them, so that a
// property's type is found in constant time however long the file is, without a copy.
struct TFoldedHash {
  using is_transparent = void;
  std::size_t operator()(StringView s) const {
    std::size_t h = 14695981039346656037ull;
    for (const Char c : s)
      h = (h ^ (c < 0x80 ? ((c >= u'A' && c <= u'Z') ? Char(c + 32) : c) : FoldChar(c))) *
          1099511628211ull;
    return h;
  }
};
struct TFoldedEqual {
  using is_transparent = void;
  bool operator()(StringView a, StringView b) const { return AnsiSameText(a, b); }
};
using TDelegateNames = std::unordered_set<String, TFoldedHash, TFoldedEqual>;

TDelegateNames &GlobalDelegateNames() {
  static TDelegateNames names;
  return names;
}

} // namespace

bool IsGlobalDelegate(StringView type) {
  const TDelegateNames &names = GlobalDelegateNames();
  return names.find(type) != names.end();
}

std::span<const Byte> DefaultGlobalDelegates() {
  return {reinterpret_cast<const Byte *>(kDefaultDelegates), sizeof(kDefaultDelegates) - 1};
}

const TStringList &GlobalDelegates() {
  KR_ASSERT(GGlobalDelegates != nullptr);
  return *GGlobalDelegates;
}

String GlobalDelegatesFileName() {
  return SharedDataFolder(SharedUnderExpertKeyVersion) + SGlobalDelegatesFile;
}

void WriteDefaultGlobalDelegatesFile() {
  namespace fs = std::filesystem;
  try {
    const fs::path target(FileNameToOS(GlobalDelegatesFileName()));
    const fs::path temp = target.string() + ".tmp";
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      const auto bytes = DefaultGlobalDelegates();
      out.write(reinterpret_cast<const char *>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
      out.close();
      if (!out)
        throw EInOutError(u"Cannot write " + Utf8ToString(temp.string()));
    }
    fs::rename(temp, target, ec);
    if (ec) {
      fs::remove(temp, ec);
      throw EInOutError(u"Cannot write " + Utf8ToString(target.string()));
    }
  } catch (const Exception &) {
    ShowExplorerException();
  }
}

void OpenGlobalDelegatesFileInShell() {
  const String fileName = GlobalDelegatesFileName();
  if (!FileExistsQuiet(fileName))
    throw EKRToolsException(SDelegatesNotFound + fileName);
  ShellExecuteW(0, u"open", fileName.c_str(), nullptr, nullptr, 1 /* SW_SHOWNORMAL */);
}

void LoadGlobalDelegatesFile() {
  if (!GGlobalDelegates)
    return;
  try {
    const String fileName = GlobalDelegatesFileName();
    TIdentifierValidator &validator = GlobalPascalLanguage()->IdentValidator();
    TDelegatesStamp stamp =
        DelegatesStampOf(fileName, validator, TPascalLanguage::GetLanguageMode());
    if (stamp.Same(LoadedDelegates()))
      return;
    LoadedDelegates() = TDelegatesStamp();
    if (!FileExistsQuiet(fileName))
      WriteDefaultGlobalDelegatesFile();
    TStringList lines;
    LoadStringsFromFile(lines, fileName);
    // The names are gathered into a new list: deleting the refused lines from the loaded
    // list would move the rest of it once for each of them.
    TStringList names;
    names.SetCapacity(lines.Count());
    TDelegateNames keys;
    keys.reserve(static_cast<std::size_t>(lines.Count()));
    for (Integer i = 0; i < lines.Count(); ++i) {
      String line = lines[i];
      const std::size_t eq = line.find(u'=');
      if (eq != String::npos)
        line.resize(eq);
      line = Trim(line);
      if (!line.empty() && validator.IsValidFor(ckDelegate, line)) {
        names.Add(line);
        keys.insert(std::move(line));
      }
    }
    GGlobalDelegates->Assign(names);
    GlobalDelegateNames() = std::move(keys);
    LoadedDelegates() = std::move(stamp);
  } catch (const Exception &) {
    ShowExplorerException();
  }
}

void GlobalDelegatesInitialization() {
  GGlobalDelegates = std::make_unique<TStringList>();
  GlobalDelegateNames().clear();
  // A new, empty list: the file is read again at the next parse.
  LoadedDelegates() = TDelegatesStamp();
}

void GlobalDelegatesFinalization() {
  GGlobalDelegates.reset();
  GlobalDelegateNames().clear();
}

} // namespace krx
