#include "Engine/DelphiExplorers.h"

#include "Common/DataFolders.h"
#include "Engine/ParamLists.h"
#include "Platform/Rtl/Character.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Shell/ShellApi.h"
#include "World/ClassEx.h"
#include "World/KRStrUtils.h"
#include "World/ParsingLocks.h"


#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <unordered_set>

namespace krx {

namespace {

constexpr TCodeMessageKind kError = TCodeMessageKind::Error;

constexpr const Char *SCallConventionRedefined = u"Calling convention redefined";
constexpr const Char *SUsesUnterminated = u"Error in uses clause (unterminated string)";
constexpr const Char *SDelegatesNotFound = u"Global Delegate Definition file not found:\r\n";
constexpr const Char *SGlobalDelegatesFile = u"GlobalDelegates.txt";

// The built-in default of the global delegates file: one line, no mark, no line break.
constexpr char kDefaultDelegates[] = "TNotifyEvent = procedure (Sender: TObject) of object;";
static_assert(sizeof(kDefaultDelegates) - 1 == 53);

// The words of the language that the validator refuses as names.
constexpr const Char *kReservedWordText =
    u"and array as asm begin case class const constructor destructor dispinterface div do "
    u"downto else end except exports file final finalization finally for function goto if "
    u"implementation in inherited initialization inline interface is label library mod nil "
    u"not object of or out packed procedure program property raise record repeat "
    u"resourcestring sealed set shl shr static string then threadvar to try type unit unsafe "
    u"until uses var while with xor";

std::unique_ptr<TStringList> GGlobalDelegates;
std::unique_ptr<TTokenizerSynchronizer> GSynchronizer;

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

bool IsGlobalDelegate(StringView type) {
  const TDelegateNames &names = GlobalDelegateNames();
  return names.find(type) != names.end();
}

TDelphiLanguageMode Mode() { return TPascalLanguage::GetLanguageMode(); }
bool NestedTypes() { return Mode() > dlmDelphi7Win32; }
bool GenericsOn() { return Mode() >= dlmD2009Win32; }
bool MethodReferences() { return Mode() >= dlmD2009Win32; }

bool OneOf(TReservedWord w, std::initializer_list<TReservedWord> words) {
  return std::find(words.begin(), words.end(), w) != words.end();
}

bool IsHintWord(TReservedWord w) { return w >= rwDeprecated && w <= rwLastHint; }

// Trim, cutting a string of the caller's own in place instead of copying it.
void TrimInPlace(String &s) {
  std::size_t e = s.size();
  while (e > 0 && s[e - 1] <= u' ')
    --e;
  s.resize(e);
  std::size_t b = 0;
  while (b < s.size() && s[b] <= u' ')
    ++b;
  s.erase(0, b);
}

// The routine directives of a signature, besides calling conventions and hints.
bool IsProcDirectiveWord(TReservedWord w) {
  return OneOf(w, {rwForward, rwOverload, rwUnsafe, rwInline, rwDelayed, rwVirtual, rwDynamic,
                   rwAbstract, rwOverride, rwStatic, rwReintroduce, rwFinal});
}

// Every word that ends the text of a directive argument.
constexpr std::initializer_list<TReservedWord> kDirectiveWords = RoutineDirectiveWords;

// The property specifier words that end the text of another specifier.
constexpr std::initializer_list<TReservedWord> kPropertyWords = {
    rwRead,    rwWrite,   rwAdd,      rwRemove,   rwIndex,  rwImplements, rwStored,
    rwDefault, rwNodefault, rwReadOnly, rwWriteOnly, rwDispID};

// What a text is to the tokenizer without reading it: one ASCII identifier and nothing else,
// something that starts with a number, or anything else.
enum class TPlainShape : Byte { Identifier, Number, Other };

TPlainShape PlainTextShape(StringView text) {
  const auto letter = [](Char c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
  };
  if (text.empty())
    return TPlainShape::Other;
  if (text[0] >= u'0' && text[0] <= u'9')
    return TPlainShape::Number;
  if (!letter(text[0]))
    return TPlainShape::Other;
  for (const Char c : text)
    if (!letter(c) && !(c >= u'0' && c <= u'9'))
      return TPlainShape::Other;
  return TPlainShape::Identifier;
}

} // namespace

// ---- Keyword mappers ------------------------------------------------------------------------
// Each answers False for a word outside its range.

bool ReservedWordToClassKind(TReservedWord w, TClassKind &kind) {
  switch (w) {
  case rwClass:
    kind = clClass;
    return true;
  case rwInterface:
    kind = clInterface;
    return true;
  case rwRecord:
    kind = clRecord;
    return true;
  case rwObject:
    kind = clObject;
    return true;
  case rwDispInterface:
    kind = clDispInterface;
    return true;
  default:
    return false;
  }
}

bool ReservedWordToMethodKind(TReservedWord w, TMethodKind &kind) {
  switch (w) {
  case rwConstructor:
    kind = mkConstructor;
    return true;
  case rwDestructor:
    kind = mkDestructor;
    return true;
  case rwProcedure:
    kind = mkProcedure;
    return true;
  case rwFunction:
    kind = mkFunction;
    return true;
  case rwOperator:
    kind = mkOperator;
    return true;
  default:
    return false;
  }
}

bool ReservedWordToHintDirective(TReservedWord w, THintDirective &hint) {
  if (!IsHintWord(w))
    return false;
  hint = static_cast<THintDirective>(hdDeprecated + (w - rwDeprecated));
  return true;
}

bool ReservedWordToCallingConvention(TReservedWord w, TCallConvention &cc) {
  for (const auto &[word, convention] : CallConventionWords)
    if (word == w) {
      cc = convention;
      return true;
    }
  return false;
}

TMethodDirective ReservedWordToProcDirective(TReservedWord w) {
  switch (w) {
  case rwForward:
    return pdForward;
  case rwExternal:
    return pdExternal;
  case rwOverload:
    return pdOverload;
  case rwUnsafe:
    return pdUnsafe;
  case rwInline:
    return pdInline;
  case rwDelayed:
    return pdDelayed;
  case rwVirtual:
    return pdVirtual;
  case rwDynamic:
    return pdDynamic;
  case rwAbstract:
    return pdAbstract;
  case rwMessage:
    return pdMessage;
  case rwOverride:
    return pdOverride;
  case rwStatic:
    return pdStatic;
  case rwReintroduce:
    return pdReintroduce;
  case rwFinal:
    return pdSealed;
  default:
    throw EKRXException(
        Format(u"Reserved word %d is not a proc directive", {static_cast<Integer>(w)}));
  }
}

bool ReservedWordToVisibility(TReservedWord w, TVisibility &v) {
  switch (w) {
  case rwPrivate:
    v = scPrivate;
    return true;
  case rwProtected:
    v = scProtected;
    return true;
  case rwPublic:
    v = scPublic;
    return true;
  case rwPublished:
    v = scPublished;
    return true;
  case rwAutomated:
    v = scAutomated;
    return true;
  default:
    return false;
  }
}

// A calling convention met after another: a real convention replaces whatever came before
// (so "cdecl; varargs" ends with varargs), export and far only fill an empty slot.
TCallConvention MergeCallConvention(TCallConvention current, TCallConvention next) {
  if (next == ccExport || next == ccFar)
    return (current == ccDefault || current == ccExport || current == ccFar) ? next : current;
  return next;
}

// ---- TDelphiExplorerOptions -----------------------------------------------------------------

TDelphiExplorerOptions::TDelphiExplorerOptions() { SetFileExtensions(u"pas;dpr;dpk;inc"); }

const TModuleExplorerOptionsClass &TDelphiExplorerOptions::ClassRef() {
  static const TModuleExplorerOptionsClass cls{
      lanPascal, []() -> std::unique_ptr<TModuleExplorerOptions> {
        return std::make_unique<TDelphiExplorerOptions>();
      }};
  return cls;
}

const TClassInfo &TDelphiExplorerOptions::StaticClassInfo() {
  using O = TDelphiExplorerOptions;
  static const TClassInfo info =
      TClassInfoBuilder<O>(&TModuleExplorerOptions::StaticClassInfo(), u"TDelphiExplorerOptions")
          .Bool(u"FixEvents", &O::FixEvents, &O::SetFixEvents)
          .Enum(u"LanguageMode", TDelphiLanguageModeNames, &O::LanguageMode, &O::SetLanguageMode)
          .Build();
  return info;
}

TDelphiLanguageMode TDelphiExplorerOptions::LanguageMode() const {
  return TPascalLanguage::GetLanguageMode();
}

void TDelphiExplorerOptions::SetLanguageMode(TDelphiLanguageMode value) {
  GlobalPascalLanguage()->SetLanguageMode(value);
}

// ---- TPascalGenericsIdentValidator ----------------------------------------------------------

TPascalGenericsIdentValidator::TPascalGenericsIdentValidator() {
  FTokens = std::make_unique<TGrammarTokens>(this);
  TGrammarTokenizer &t = FTokens->Tokenizer();
  t.SetNumbersAsNumbers(true);
  t.SetSkipKinds(TTokenKinds{TTokenKind::tkComment, TTokenKind::tkDirective});
  t.SetTolerateErrors(true);
}

TPascalGenericsIdentValidator::~TPascalGenericsIdentValidator() { FTokens.reset(); }

void TPascalGenericsIdentValidator::UnexpectedToken() {
  FResult = false;
  throw EAbort(u"");
}

void TPascalGenericsIdentValidator::CheckIdentifier() {
  if (FChecking && !TPascalIdentValidator::IsValidIdent(FTokens->Tokenizer().Token()))
    UnexpectedToken();
}

void TPascalGenericsIdentValidator::BracketIdentifier(Char openBracket) {
  if (openBracket != u'<') {
    CheckIdentifier();
    return;
  }
  const String &word = FTokens->Tokenizer().Token();
  if (GlobalPascalLanguage()->IsReservedWord(word) && !SameText(word, u"CLASS") &&
      !SameText(word, u"RECORD") && !SameText(word, u"OPERATOR") &&
      !SameText(word, u"CONSTRUCTOR") && !SameText(word, u"string"))
    UnexpectedToken();
}

TTokenKinds TPascalGenericsIdentValidator::GetSkipKinds() {
  return FTokens->Tokenizer().SkipKinds();
}

void TPascalGenericsIdentValidator::SetSkipKinds(TTokenKinds kinds) {
  FTokens->Tokenizer().SetSkipKinds(kinds);
}

TTokenKind TPascalGenericsIdentValidator::NextToken() { return FTokens->Tokenizer().NextToken(); }

bool TPascalGenericsIdentValidator::ReadPath(const String &text, bool checking, bool asText,
                                             TGenericIdentPath &path, bool &complete) {
  TGrammarTokenizer &t = FTokens->Tokenizer();
  t.SetText(text);
  FResult = true;
  FChecking = checking;
  path.clear();
  complete = false;
  try {
    FTokens->Helper().ReadGenericIdentPath(path, asText, false);
  } catch (const EAbort &) {
    FChecking = true;
    return false;
  } catch (const ETokenError &) {
    FChecking = true;
    return false;
  }
  FChecking = true;
  complete = t.TokenKind() == TTokenKind::tkNone;
  return FResult;
}

String TPascalGenericsIdentValidator::UnqualifiedName(const String &text) {
  if (text.empty())
    return {};
  TGenericIdentPath path;
  bool complete;
  if (!ReadPath(text, false, true, path, complete) || path.empty())
    return text;
  const TGenericIdentifer &last = path.back();
  if (last.GenericCount <= 0)
    return last.Name;
  return Format(u"%s<%s>", {last.Name, String(static_cast<std::size_t>(last.GenericCount - 1), u',')});
}

bool TPascalGenericsIdentValidator::IsValidName(TCodeItemKind kind, const String &text) {
  if (text.empty())
    return false;
  if (kind == ckMethod) {
    TGenericIdentPath path;
    bool complete;
    return ReadPath(text, true, false, path, complete) && complete && path.size() == 1 &&
           TPascalIdentValidator::IsValidName(ckMethod, path[0].Name);
  }
  if (kind == ckResClause) {
    TGenericIdentPath path;
    bool complete;
    if (!ReadPath(text, false, true, path, complete) || !complete || path.size() < 2)
      return false;
    if (!TPascalIdentValidator::IsValidName(ckField, path[0].Name))
      return false;
    for (std::size_t i = 1; i < path.size(); ++i)
      if (!IsIdentText(path[i].Name, false))
        return false;
    return true;
  }
  return TPascalIdentValidator::IsValidName(kind, text);
}

bool TPascalGenericsIdentValidator::IsValidFor(TCodeItemKind kind, const String &text) {
  if (kind == ckDelegate || kind == ckClass || kind == ckInterface || kind == ckRecord) {
    // A plain ASCII identifier reads as one part checked as an identifier, and a text that
    // starts with a digit reads a number first: both answers are given without the reading
    // (and without the exception that ends it), since a global delegates file of a million
    // lines asks this for every line.
    switch (PlainTextShape(text)) {
    case TPlainShape::Identifier:
      return TPascalIdentValidator::IsValidIdent(text);
    case TPlainShape::Number:
      return false;
    case TPlainShape::Other:
      break;
    }
    TGenericIdentPath path;
    bool complete;
    return ReadPath(text, true, false, path, complete) && complete && path.size() == 1;
  }
  return TPascalIdentValidator::IsValidFor(kind, text);
}

bool TPascalGenericsIdentValidator::IsValidQualifiedFor(TCodeItemKind, const String &text) {
  TGenericIdentPath path;
  bool complete;
  return ReadPath(text, true, true, path, complete) && complete && !path.empty();
}

void TPascalGenericsIdentValidator::SplitGenericName(const String &text, String &name,
                                                     bool &isGeneric, String &typeParams) {
  TGenericIdentPath path;
  bool complete;
  if (!ReadPath(text, false, true, path, complete) || path.empty()) {
    name = text;
    isGeneric = false;
    typeParams.clear();
    return;
  }
  const Integer n = static_cast<Integer>(path.size());
  name = GenericIdentPathText(path, n - 1);
  if (n > 1)
    name += u".";
  name += path.back().Name;
  isGeneric = path.back().GenericCount > 0;
  typeParams = path.back().GenericText;
}

bool TPascalGenericsIdentValidator::SplitQualifiedName(const String &text, String &name,
                                                       String &qualifier) {
  TGenericIdentPath path;
  bool complete;
  if (!ReadPath(text, false, true, path, complete) || path.empty() || !complete) {
    name = text;
    qualifier.clear();
    return false;
  }
  name = path.back().Name + path.back().GenericText;
  qualifier = GenericIdentPathText(path, static_cast<Integer>(path.size()) - 1);
  return true;
}

bool TPascalGenericsIdentValidator::SplitList(const String &text, TStrings &strings) {
  if (Trim(text).empty())
    return true;
  TGrammarTokenizer &t = FTokens->Tokenizer();
  t.SetText(text);
  FResult = true;
  FChecking = true;
  try {
    for (;;) {
      strings.Add(FTokens->Helper().ReadTypeIdent());
      if (t.IsSymbol(u","))
        continue;
      if (t.TokenKind() == TTokenKind::tkNone && FResult)
        return true;
      break;
    }
  } catch (const EAbort &) {
  } catch (const ETokenError &) {
  }
  strings.Clear();
  return false;
}

// ---- TTokenizerSynchronizer -----------------------------------------------------------------

TTokenizerSynchronizer::TTokenizerSynchronizer(TSourceLanguage *language)
    : TLanguageObserver(nullptr, language) {}

void TTokenizerSynchronizer::LanguageChanged() {
  TParsingLock lock;
  const TDelphiLanguageMode mode = Mode();
  SetEscapedIdentifiersEnabled(mode != dlmDelphi7Win32);
  const bool generics = mode >= dlmD2009Win32;
  SetGenericNamesEnabled(generics);
  std::unique_ptr<TPascalIdentValidator> v;
  if (generics)
    v = std::make_unique<TPascalGenericsIdentValidator>();
  else
    v = std::make_unique<TPascalIdentValidator>();
  v->UpdateExtraNames(mode);
  if (GlobalPascalLanguage())
    GlobalPascalLanguage()->SetIdentValidator(std::move(v));
  TLanguageObserver::LanguageChanged();
}

// ---- Global delegates -----------------------------------------------------------------------

std::span<const Byte> DefaultGlobalDelegates() {
  return {reinterpret_cast<const Byte *>(kDefaultDelegates), sizeof(kDefaultDelegates) - 1};
}

const TStringList &GlobalDelegates() {
  KR_ASSERT(GGlobalDelegates != nullptr);
  return *GGlobalDelegates;
}

String TDelphiModuleExplorer::GetGlobalDelegatesFileName() {
  return SharedDataFolder(SharedUnderExpertKeyVersion) + SGlobalDelegatesFile;
}

void TDelphiModuleExplorer::WriteDefaultGlobalDelegates() {
  namespace fs = std::filesystem;
  try {
    const fs::path target(StringToUtf8(GetGlobalDelegatesFileName()));
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

void TDelphiModuleExplorer::OpenGlobalDelegatesFile() {
  const String fileName = GetGlobalDelegatesFileName();
  if (!FileExistsQuiet(fileName))
    throw EKRToolsException(SDelegatesNotFound + fileName);
  ShellExecuteW(0, u"open", fileName.c_str(), nullptr, nullptr, 1 /* SW_SHOWNORMAL */);
}

void TDelphiModuleExplorer::LoadGlobalDelegates() {
  if (!GGlobalDelegates)
    return;
  try {
    const String fileName = GetGlobalDelegatesFileName();
    TIdentifierValidator &validator = GlobalPascalLanguage()->IdentValidator();
    TDelegatesStamp stamp = DelegatesStampOf(fileName, validator, Mode());
    if (stamp.Same(LoadedDelegates()))
      return;
    LoadedDelegates() = TDelegatesStamp();
    if (!FileExistsQuiet(fileName))
      WriteDefaultGlobalDelegates();
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

// ---- Unit start-up --------------------------------------------------------------------------

void DelphiExplorersInitialization() {
  TPascalLanguage *language = GlobalPascalLanguage();
  KR_ASSERT(language != nullptr);
  TPascalTokenizer t(kReservedWordText);
  while (t.NextToken() != TTokenKind::tkNone)
    if (t.TokenKind() == TTokenKind::tkIdent)
      language->ReservedWords().Add(t.Token());
  GSynchronizer = std::make_unique<TTokenizerSynchronizer>(language);
  GSynchronizer->LanguageChanged();
  GGlobalDelegates = std::make_unique<TStringList>();
  GlobalDelegateNames().clear();
  // A new, empty list: the file is read again at the next parse.
  LoadedDelegates() = TDelegatesStamp();
}

void DelphiExplorersFinalization() {
  GSynchronizer.reset();
  GGlobalDelegates.reset();
  GlobalDelegateNames().clear();
}

// ---- TDelphiModuleExplorer ------------------------------------------------------------------

const TModuleExplorerClass &TDelphiModuleExplorer::ClassRef() {
  static const TModuleExplorerClass cls{lanPascal, &TModuleExplorer::Create<TDelphiModuleExplorer>};
  return cls;
}

TDelphiModuleExplorer::TDelphiModuleExplorer()
    : FDelegateNames(std::make_unique<TUniqueStringList>(false)) {}

bool TDelphiModuleExplorer::ModuleKindFromText(const String &text, TModuleType &moduleType) {
  if (SameText(text, u"program"))
    moduleType = mtProgram;
  else if (SameText(text, u"unit"))
    moduleType = mtUnit;
  else if (SameText(text, u"library"))
    moduleType = mtLibrary;
  else if (SameText(text, u"package"))
    moduleType = mtPackage;
  else
    return false;
  return true;
}

void TDelphiModuleExplorer::StartMetrics() {
  TCustomPascalModuleExplorer::StartMetrics();
  SetDottedNames(Mode() != dlmDelphi7Win32);
  SetAttributesEnabled(GlobalPascalLanguage()->SupportsAttributes());
  auto *options = dynamic_cast<TDelphiExplorerOptions *>(&GetOptions());
  FGrammar = TGrammarState();
  FGrammar.FixEvents = options ? options->FixEvents() : true;
  FDelegateNames->Clear();
  LoadGlobalDelegates();
}

bool TDelphiModuleExplorer::InClassBody() const { return DeclarationMode() && BodyClass(); }

bool TDelphiModuleExplorer::AtModuleLevel() const {
  TCodeItem *c = CurrentItem();
  return c == ModuleItem() ||
         (c && c->Kind() == ckModuleSection && dynamic_cast<TIncludeFileItem *>(c) != nullptr);
}

// ---- The statement loop ---------------------------------------------------------------------

inline bool TDelphiModuleExplorer::NextLoopToken(TTokenKind &kind) {
  try {
    kind = NextStatementToken();
    return true;
  } catch (const ETokenError &) {
    return false;
  }
}

void TDelphiModuleExplorer::RunStatement(TTokenKind kind,
                                         void (TDelphiModuleExplorer::*statement)(TTokenKind)) {
  TGrammarTokenizer &t = Tokenizer();
  // Where this statement starts: a statement that leaves the same token pushed back made
  // no progress and must not be read again.
  const TSourcePos start = ScanPos();
  const std::size_t depth = IncludeDepth(t);
  try {
    (this->*statement)(kind);
  } catch (const ETokenError &) {
    // The message is out and the item marked; the next statement is read normally.
  } catch (const EGenericParamListError &) {
  } catch (const EParamListError &) {
  }
  if (PushedBack() && ScanPos() == start && IncludeDepth(t) == depth)
    ClearPushBack();
}

inline bool TDelphiModuleExplorer::StartsStatement(TTokenKind kind) {
  switch (kind) {
  case TTokenKind::tkIdent: {
    TReservedWord w;
    return IsReservedWordToken(w) || SectionKind() == cskType || InClassBody();
  }
  case TTokenKind::tkSymbol: {
    const String &s = Token();
    return s.size() == 1 && (s[0] == u'<' || s[0] == u'[');
  }
  case TTokenKind::tkKRTag:
    return true;
  default:
    return false;
  }
}

void TDelphiModuleExplorer::ParseModule(bool &stop) {
  stop = false;
  SetSectionKind(cskUndefined);
  for (;;) {
    TTokenKind kind;
    if (!NextLoopToken(kind))
      continue;
    if (kind == TTokenKind::tkNone)
      break;
    if (StartsStatement(kind)) {
      RunStatement(kind, &TDelphiModuleExplorer::Statement);
      if (FGrammar.StopAtImplementation)
        break;
    }
    if (OnProgress) {
      OnProgress(Tokenizer().LineNr(), stop);
      if (stop)
        break;
    }
  }
}

void TDelphiModuleExplorer::ParseProcBody(TProcItem *proc, bool wholeBody, bool &stop) {
  stop = false;
  if (proc)
    SetCurrentItem(proc);
  SetSectionKind(cskUndefined);
  SetCurrentVisibility(scDefault);
  FGrammar.BodyBlockBase = Blocks().size();
  for (;;) {
    TTokenKind kind;
    if (!NextLoopToken(kind))
      continue;
    if (kind == TTokenKind::tkNone)
      break;
    if (!wholeBody && proc && ModelLine(TokenLine()) >= proc->GetLastHeaderLine()) {
      PushBackToken();
      break;
    }
    RunStatement(kind, &TDelphiModuleExplorer::ProcBodyStatement);
    if (OnProgress) {
      OnProgress(Tokenizer().LineNr(), stop);
      if (stop)
        break;
    }
  }
}

void TDelphiModuleExplorer::ProcBodyStatement(TTokenKind kind) {
  if (kind == TTokenKind::tkSymbol) {
    if (IsSymbol(u"[") && AttributesEnabled())
      SkipAttribute(1);
    return;
  }
  if (kind != TTokenKind::tkIdent)
    return;
  TReservedWord w;
  if (IsReservedWordToken(w)) {
    ProcBodyWord(w);
    return;
  }
  // Inside a statement block identifiers are statements, not declarations.
  if (Blocks().size() > FGrammar.BodyBlockBase)
    return;
  switch (SectionKind()) {
  case cskVar:
  case cskClassVar:
  case cskConst:
  case cskResourceString:
  case cskClassThreadVar:
    ParseFieldDeclaration(false);
    break;
  case cskUndefined:
  case cskThreadVar:
    RaiseUnexpectedToken();
    break;
  default:
    break;
  }
}

void TDelphiModuleExplorer::ProcBodyWord(TReservedWord word) {
  switch (word) {
  case rwBegin:
  case rwCase:
  case rwTry:
    BeginBlock(word);
    break;
  case rwAsm:
    BeginBlock(rwAsm);
    SkipAsmBlock();
    break;
  case rwEnd:
    EndBlock(true);
    break;
  case rwVar:
  case rwConst:
  case rwResourceString:
  case rwType:
  case rwLabel:
  case rwThreadVar:
    StartCodeSection(word);
    if (word == rwType)
      SkipLocalTypes();
    else if (word == rwLabel)
      SkipLabelList();
    break;
  case rwProcedure:
  case rwFunction: {
    const TCodeItem *before = CurrentItem();
    ParseRoutineHeading(word);
    if (CurrentItem() != before)
      SetSectionKind(cskUndefined);
    break;
  }
  default:
    break;
  }
}

void TDelphiModuleExplorer::SkipLocalTypes() {
  bool reread = false; // the current token is the next one to examine
  for (;;) {
    const TTokenKind k = reread ? TokenKind() : NextToken();
    reread = false;
    if (k == TTokenKind::tkNone)
      break;
    if (k == TTokenKind::tkSymbol && (IsSymbol(u"(") || IsSymbol(u"["))) {
      SkipBracketGroup();
      continue;
    }
    TReservedWord w;
    if (k != TTokenKind::tkIdent || !IsReservedWordToken(w))
      continue;
    const bool afterEquals = PrevTokenKind() == TTokenKind::tkSymbol && PrevTokenText() == u"=";
    if (OneOf(w, {rwBegin, rwAsm, rwEnd, rwVar, rwConst, rwResourceString, rwLabel, rwThreadVar}) ||
        ((w == rwProcedure || w == rwFunction) && !afterEquals))
      break;
    if (w == rwRecord) {
      SkipRecordBody();
      reread = true;
    } else if (afterEquals &&
               (w == rwClass || w == rwObject || w == rwInterface || w == rwDispInterface)) {
      // A local class body is passed over whole: its end must not end the routine.
      NextToken();
      if (!IsSymbol(u";") && !TokenIs(u"OF"))
        SkipLocalTypeBody();
    }
  }
  PushBackDeclarationStart();
}

void TDelphiModuleExplorer::SkipLabelList() {
  for (;;) {
    const TTokenKind k = NextToken();
    if (k != TTokenKind::tkIdent && k != TTokenKind::tkNumber)
      RaiseUnexpectedToken();
    NextToken();
    if (IsSymbol(u";"))
      return;
    if (!IsSymbol(u","))
      RaiseUnexpectedToken();
  }
}

void TDelphiModuleExplorer::SkipBracketGroup() {
  Integer depth = 1;
  while (depth > 0) {
    const TTokenKind k = NextToken();
    if (k == TTokenKind::tkNone)
      return;
    if (k != TTokenKind::tkSymbol)
      continue;
    if (IsSymbol(u"(") || IsSymbol(u"["))
      ++depth;
    else if (IsSymbol(u")") || IsSymbol(u"]"))
      --depth;
  }
}

void TDelphiModuleExplorer::Statement(TTokenKind kind) {
  switch (kind) {
  case TTokenKind::tkIdent: {
    TReservedWord w;
    if (IsReservedWordToken(w))
      ReservedWordStatement(w);
    else
      IdentifierStatement();
    break;
  }
  case TTokenKind::tkSymbol:
    if (IsSymbol(u"<")) {
      if (SectionKind() == cskType && GenericsOn())
        ParseGenericTypeDeclaration();
    } else if (IsSymbol(u"[")) {
      if (AttributesEnabled())
        SkipAttribute(1);
    }
    break;
  case TTokenKind::tkKRTag:
    new TKRTagData(CurrentItem());
    break;
  default:
    break;
  }
}

void TDelphiModuleExplorer::ReservedWordStatement(TReservedWord word) {
  TModuleItem &module = Module();
  switch (word) {
  case rwAsm:
    BeginBlock(rwAsm);
    SkipAsmBlock();
    break;
  case rwEnd: {
    // The final end after an initialization or finalization section closes the section and
    // the module; an end of a block nested in the section closes only that block.
    const bool sectionEnds = Blocks().size() > 1 && Blocks().back().Item &&
                             Blocks().back().Item->Kind() == ckModuleSection &&
                             (LastModuleSection() == msInitialization ||
                              LastModuleSection() == msFinalization);
    EndBlock(true);
    if (sectionEnds)
      EndBlock(true);
    break;
  }
  case rwImplementation:
  case rwInitialization:
  case rwFinalization: {
    CloseOpenBlocks();
    TModuleSectionItem *section = AddModuleSection(ReservedWordToSectionKind(word));
    if (module.ModuleType() == mtUnknown || module.ModuleType() == mtNone)
      module.SetModuleType(mtUnit);
    if (word == rwImplementation) {
      if (GetImplementationLine() < 0) {
        SetImplementationLine(ModelLine(TokenLine()));
        UpdateCurrentScope();
      }
      if (HeaderOnly())
        FGrammar.StopAtImplementation = true;
    } else {
      PushBlock(section);
    }
    break;
  }
  case rwVar:
  case rwConst:
  case rwResourceString:
  case rwType:
  case rwThreadVar: {
    // An include file read in a class body holds the class's sections too.
    const TCodeItem *c = DeclarationMode() ? BodyClass() : nullptr;
    const TCodeItemKind k = c ? c->Kind() : ckNone;
    if (DeclarationMode() && Mode() != dlmDelphi7Win32 &&
        (k == ckClass || k == ckRecord || k == ckHelper || k == ckRecordHelper)) {
      ClassSection(word);
    } else {
      SetDeclarationMode(false);
      ModuleSection(word);
    }
    break;
  }
  case rwLabel:
    SetDeclarationMode(false);
    SetSectionKind(cskLabel);
    break;
  case rwPacked:
  case rwClass:
  case rwInterface:
  case rwRecord:
  case rwObject:
  case rwDispInterface: {
    const bool afterEquals = PrevTokenKind() == TTokenKind::tkSymbol && PrevTokenText() == u"=";
    ParseTypeDefinition(word, CurrentIdent(), afterEquals);
    break;
  }
  case rwConstructor:
  case rwDestructor:
  case rwProcedure:
  case rwFunction:
  case rwOperator:
    ParseRoutineHeading(word);
    break;
  case rwProperty:
    if (InClassBody())
      ParseProperty();
    break;
  case rwUses:
    CloseOpenBlocks();
    ParseUsesClause();
    break;
  case rwBegin:
  case rwCase:
  case rwTry:
    BeginBlock(word);
    break;
  default:
    break;
  }
}

void TDelphiModuleExplorer::IdentifierStatement() {
  if (InClassBody()) {
    TReservedWord w;
    if (IsDirectiveWord(w) &&
        OneOf(w, {rwPrivate, rwProtected, rwPublic, rwPublished, rwAutomated, rwStrict})) {
      ParseVisibility(w);
      return;
    }
  }
  if (SectionKind() == cskType)
    ParseTypeDeclaration();
  else if (InClassBody())
    ParseFieldDeclaration(true);
}

// ---- Sections and uses ----------------------------------------------------------------------

void TDelphiModuleExplorer::ClassSection(TReservedWord word) {
  if (word == rwResourceString)
    RaiseUnexpectedToken();
  StartCodeSection(word);
}

void TDelphiModuleExplorer::StartCodeSection(TReservedWord word) {
  ReportIrregularComment(PendingCommentLine());
  auto *item = new TCodeSectionItem(CurrentItem());
  try {
    item->SetStart(TokenPos());
    item->SetVisibility(CurrentVisibility());
    item->SetEnd(LastReadPos());
    const TIdentRecord &before = CurrentIdent();
    const bool afterClass = InClassBody() && SameText(before.Text, u"CLASS") &&
                            PrevTokenKind() == TTokenKind::tkIdent;
    TCodeSectionKind kind = cskUndefined;
    switch (word) {
    case rwVar:
    case rwThreadVar:
      if (afterClass) {
        ReportIrregularComment(before.PrologLine);
        kind = word == rwVar ? cskClassVar : cskClassThreadVar;
        item->SetStart(before.Start());
      } else {
        kind = word == rwVar ? cskVar : cskThreadVar;
      }
      break;
    case rwConst:
      kind = cskConst;
      break;
    case rwResourceString:
      kind = cskResourceString;
      break;
    case rwType:
      kind = cskType;
      break;
    case rwLabel:
      kind = cskLabel;
      break;
    default:
      RaiseUnexpectedToken();
    }
    item->SetSectionKind(kind);
    SetSectionKind(kind);
  } catch (const EBadFormat &) {
    delete item;
  }
}

void TDelphiModuleExplorer::ModuleSection(TReservedWord word) {
  if (!AtModuleLevel())
    return;
  if (word == rwConst && PrevTokenKind() == TTokenKind::tkIdent && SameText(PrevTokenText(), u"OF"))
    return;
  if (word == rwType && PrevTokenKind() == TTokenKind::tkSymbol && PrevTokenText() == u"=")
    return;
  switch (word) {
  case rwVar:
    SetSectionKind(cskVar);
    break;
  case rwConst:
    SetSectionKind(cskConst);
    break;
  case rwResourceString:
    SetSectionKind(cskResourceString);
    break;
  case rwType:
    SetSectionKind(cskType);
    break;
  case rwThreadVar:
    SetSectionKind(cskThreadVar);
    break;
  default:
    break;
  }
}

void TDelphiModuleExplorer::ParseUsesClause() {
  TGrammarTokenizer &t = Tokenizer();
  auto *clause = new TUsesClause(CurrentItem());
  clause->SetStart(TokenPos());
  clause->SetPrologLine(PendingCommentLine());
  clause->SetVisibility(CurrentVisibility());
  {
    TTokenKinds skip = GetSkipKinds();
    skip.Include(TTokenKind::tkDirective);
    TSkipKindsGuard skipGuard(*this, skip);
    SetDirectiveSeen(false);
    TCollectingGuard collect(t);
    try {
      for (;;) {
        // A unit is listed once its name is read, with its path as soon as that is read:
        // what follows may fail.
        clause->AddUnit(Helper().ReadQualifiedIdent(), String());
        if (TokenIs(u"IN")) {
          // A string left open at the end of its line is an error token that starts with a
          // quote: the path is what it holds.
          const TTokenKind k = NextToken();
          if (k != TTokenKind::tkString &&
              !(k == TTokenKind::tkError && !Token().empty() && Token()[0] == u'\''))
            RaiseUnexpectedToken();
          String path;
          const bool closed = UnquotePascalString(Token(), path);
          TStringList &paths = clause->ModulePaths();
          paths.Put(paths.Count() - 1, path);
          if (!closed)
            AddPositionMessage(SUsesUnterminated, TokenPos(), kError);
          NextToken();
        }
        if (TokenIs(u"AS")) {
          if (NextToken() != TTokenKind::tkIdent)
            RaiseUnexpectedToken();
          CheckNotReservedWord();
          NextToken();
        }
        if (!IsSymbol(u","))
          break;
      }
      if (!IsSymbol(u";"))
        RaiseUnexpectedToken();
      clause->SetUsesListText(t.CollectedTextAsLine(false));
    } catch (const ETokenError &) {
      clause->SetBadFormat(true);
      if (t.Collecting())
        clause->SetUsesListText(t.CollectedTextAsLine(false));
    }
  }
  PushBackDeclarationStart();
  clause->SetEnd(IsSymbol(u";") ? EndBeforeToken() : TokenPos());
  clause->SetHasDirective(DirectiveSeen());
}

// ---- Types ----------------------------------------------------------------------------------

void TDelphiModuleExplorer::ParseTypeDeclaration() {
  TReservedWord w;
  if (IsReservedWordToken(w)) {
    SetSectionKind(cskUndefined);
    RaiseUnexpectedToken();
  }
  try {
    if (NextToken() != TTokenKind::tkSymbol)
      RaiseUnexpectedToken();
    TIdentRecord declared = CurrentIdent();
    if (IsSymbol(u"<")) {
      if (!GenericsOn())
        RaiseUnexpectedToken();
      TGenericParamList params;
      Helper().ReadGenericParamList(&params);
      NextToken();
      const String text = params.GetAsText();
      declared.Append(text);
      declared.Next.Column += Length(text);
      ResetPendingComment();
    }
    if (!IsSymbol(u"="))
      RaiseUnexpectedToken();
    TypeAfterEquals(declared);
  } catch (const EBadFormat &) {
    PushBackDeclarationStart();
  }
}

void TDelphiModuleExplorer::ParseGenericTypeDeclaration() {
  if (!GenericsOn())
    RaiseUnexpectedToken();
  TIdentRecord declared = CurrentIdent();
  TGenericParamList params;
  try {
    Helper().ReadGenericParamList(&params);
  } catch (const EBadFormat &) {
    PushBackDeclarationStart();
    return;
  }
  NextToken();
  if (!IsSymbol(u"=")) {
    PushBackDeclarationStart();
    return;
  }
  ResetPendingComment();
  const String text = params.GetAsText();
  declared.Append(text);
  declared.Next.Column += Length(text);
  try {
    TypeAfterEquals(declared);
  } catch (const EBadFormat &) {
    PushBackDeclarationStart();
  }
}

void TDelphiModuleExplorer::TypeAfterEquals(const TIdentRecord &declared) {
  const TTokenKind k = NextToken();
  switch (k) {
  case TTokenKind::tkIdent: {
    TReservedWord w;
    if (IsReservedWordToken(w)) {
      TMethodKind mk;
      if (w == rwType)
        ParseUnhandledType(declared, String());
      else if (OneOf(w, {rwPacked, rwClass, rwInterface, rwRecord, rwObject, rwDispInterface}))
        ParseTypeDefinition(w, declared, true);
      else if ((w == rwProcedure || w == rwFunction) && ReservedWordToMethodKind(w, mk))
        ParseProceduralType(mk, false, false, &declared);
      else
        RaiseUnexpectedToken();
    } else if (MethodReferences() && SameText(TokenText(), u"reference")) {
      ParseMethodReference(declared);
    } else {
      ParseUnhandledType(declared, String());
    }
    break;
  }
  case TTokenKind::tkString:
  case TTokenKind::tkNumber:
    ParseUnhandledType(declared, String());
    break;
  case TTokenKind::tkSymbol:
    if (IsSymbol(u"(") || IsSymbol(u"+") || IsSymbol(u"-") || IsSymbol(u"^"))
      ParseUnhandledType(declared, String());
    else
      RaiseUnexpectedToken();
    break;
  default:
    RaiseUnexpectedToken();
  }
}

TUnhandledTypeItem *TDelphiModuleExplorer::NewUnhandledType(const TIdentRecord &declared,
                                                            String text, Byte typeForm) {
  auto *item = new TUnhandledTypeItem(CurrentItem());
  item->SetName(String(declared.Text));
  item->SetStart(declared.Start());
  item->SetPrologLine(declared.PrologLine);
  item->SetVisibility(CurrentVisibility());
  item->SetDeclarationText(std::move(text));
  item->SetTypeInfo(typeForm);
  // The last character read, on the line where the current token starts: the token may be an
  // unterminated comment that runs to the end of the text.
  item->SetEnd({TokenLine(), LastReadPos().Column});
  return item;
}

void TDelphiModuleExplorer::ParseUnhandledType(const TIdentRecord &declared,
                                               const String &prefix) {
  TGrammarTokenizer &t = Tokenizer();
  const String first(TokenText());
  const TTokenKind firstKind = TokenKind();
  String rest;
  {
    TCollectingGuard collect(t);
    bool reread = false;
    bool afterFirst = true;
    bool endedInside = false; // a procedural type took the closing ";"
    for (;;) {
      const TTokenKind k = reread ? TokenKind() : NextToken();
      reread = false;
      if (k == TTokenKind::tkNone)
        RaiseUnexpectedToken();
      if (IsSymbol(u";"))
        break;
      TReservedWord w;
      if (k == TTokenKind::tkIdent && IsReservedWordToken(w)) {
        if (w == rwConst) {
          if (!(PrevTokenKind() == TTokenKind::tkIdent && SameText(PrevTokenText(), u"OF")))
            RaiseUnexpectedToken();
        } else if (w == rwRecord) {
          SkipRecordBody();
          reread = true;
        } else if (w == rwProcedure || w == rwFunction) {
          // "array of procedure" and the like: read the procedural type and go on.
          TMethodKind mk;
          ReservedWordToMethodKind(w, mk);
          if (ParseProceduralType(mk, false, true, nullptr)) {
            endedInside = true;
            break;
          }
          reread = true;
        } else if (w != rwPacked) {
          RaiseUnexpectedToken();
        }
      }
      afterFirst = false;
    }
    (void)afterFirst;
    rest = t.CollectedTextAsLine(!endedInside);
    if (endedInside)
      PushBackDeclarationStart();
  }
  String text;
  text.reserve(declared.Text.size() + 3 + prefix.size() + first.size() + 1 + rest.size());
  text += declared.Text;
  text += u" = ";
  text += prefix;
  text += first;
  if (!rest.empty()) {
    const bool word = firstKind == TTokenKind::tkIdent || firstKind == TTokenKind::tkNumber;
    const Char c = rest[0];
    const bool restWord = c == u'_' || (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') ||
                          (c >= u'A' && c <= u'Z') || c > 127 || c == u'&';
    if (word && restWord)
      text += u" ";
    text += rest;
  }
  NewUnhandledType(declared, std::move(text), 0);
}

void TDelphiModuleExplorer::SkipLocalTypeBody() {
  Integer depth = 1;
  bool reread = true; // the current token is the body's first
  for (;;) {
    const TTokenKind k = reread ? TokenKind() : NextToken();
    reread = false;
    if (k == TTokenKind::tkNone)
      return;
    TReservedWord w;
    if (k != TTokenKind::tkIdent || !IsReservedWordToken(w))
      continue;
    if (w == rwEnd) {
      if (--depth == 0)
        return;
    } else if (w == rwRecord) {
      ++depth;
    } else if ((w == rwClass || w == rwObject || w == rwInterface || w == rwDispInterface) &&
               PrevTokenKind() == TTokenKind::tkSymbol && PrevTokenText() == u"=") {
      // A nested type with a body; "class of" and forward declarations have none.
      NextToken();
      if (!IsSymbol(u";") && !TokenIs(u"OF"))
        ++depth;
      reread = true;
    }
  }
}

void TDelphiModuleExplorer::ParseTypeDefinition(TReservedWord word, TIdentRecord declared,
                                                bool afterEquals) {
  TModuleItem &module = Module();
  bool packed = false;
  if (word == rwPacked) {
    if (!afterEquals)
      return;
    NextToken();
    TReservedWord w;
    if (IsReservedWordToken(w) &&
        OneOf(w, {rwClass, rwInterface, rwRecord, rwObject, rwDispInterface})) {
      word = w;
      packed = true;
    } else {
      ParseUnhandledType(declared, u"packed ");
      return;
    }
  }
  if (!afterEquals) {
    if (word == rwInterface) {
      if (module.ModuleType() == mtUnknown || module.ModuleType() == mtNone) {
        module.SetModuleType(mtUnit);
        UpdateCurrentScope();
      }
      if (module.ModuleType() == mtUnit && module.IntfLineNr() < 0)
        module.SetIntfLineNr(ModelLine(TokenLine()));
      AddModuleSection(msInterface);
    } else if (word == rwRecord) {
      BeginBlock(rwRecord);
    }
    return;
  }
  if (CurrentItem() && CurrentItem()->AsProcItem()) {
    // Types local to a routine are not modelled; their bodies are passed over whole.
    if (word == rwRecord)
      BeginBlock(rwRecord);
    else {
      NextToken();
      if (!IsSymbol(u";") && !TokenIs(u"OF"))
        SkipLocalTypeBody();
    }
    return;
  }
  TClassKind kind = clUndefined;
  ReservedWordToClassKind(word, kind);
  if (packed && kind != clClass && kind != clRecord && kind != clObject)
    AddPositionMessage(Format(u"Unexpected token \"%s\"", {String(u"packed")}), TokenPos(), kError);
  const String wordText(TokenText());
  NextTokenWithComments();
  String ioMetaData;
  SkipCommentTokens(kind == clClass ? &ioMetaData : nullptr);
  if (TokenIs(u"OF")) {
    const String target = Helper().ReadQualifiedIdent();
    if (!IsSymbol(u";"))
      RaiseUnexpectedToken();
    NewUnhandledType(declared, Format(u"%s = class of %s;", {declared.Text, target}), 2);
    return;
  }
  if (IsSymbol(u";")) {
    NewUnhandledType(declared, Format(u"%s = %s;", {declared.Text, wordText}), 1);
    return;
  }
  TClassItem *cls = AddClassItem(kind, declared);
  if (packed)
    cls->SetPacked(true);
  if (!ioMetaData.empty())
    cls->SetIOMetaData(ioMetaData);
  if (SameText(CurrentIdent().Text, u"CLASS"))
    ForgetCurrentIdent();
  try {
    if (Mode() != dlmDelphi7Win32 && IsIdent() && TokenText().size() >= 6) {
      bool taken = true;
      if (SameText(TokenText(), u"ABSTRACT"))
        cls->SetDirectives({cldAbstract});
      else if (SameText(TokenText(), u"SEALED"))
        cls->SetDirectives({cldSealed});
      else if (SameText(TokenText(), u"HELPER"))
        cls->SetClassKind(cls->ClassKind() == clRecord ? clRecordHelper : clHelper);
      else
        taken = false;
      if (taken) {
        NextTokenWithComments();
        SkipCommentTokens(nullptr);
      }
    }
    if (IsSymbol(u"("))
      ParseAncestorList(cls);
    if (cls->ClassKind() == clHelper || cls->ClassKind() == clRecordHelper) {
      if (!TokenIs(u"FOR"))
        RaiseUnexpectedToken();
      cls->SetHelperTarget(Helper().ReadTypeIdent());
    }
    if (IsSymbol(u"[")) {
      if (cls->ClassKind() == clInterface || cls->ClassKind() == clDispInterface) {
        ParseGUID(cls);
      } else {
        if (!AttributesEnabled())
          RaiseUnexpectedToken();
        SkipAttribute(1);
        NextToken();
      }
    }
  } catch (const ETokenError &) {
    cls->SetBadFormat(true);
  }
  if (IsSymbol(u";")) {
    if (NestedTypes()) {
      PushBlock(cls);
      EndBlock(true);
    } else {
      SetDeclarationMode(false);
      CloseOpenBlocks();
    }
    cls->SetNormalized(false);
    cls->SetHeaderEndLineValue(cls->EndLineValue());
    cls->SetHeaderEndPos(cls->EndPos());
    return;
  }
  if (NestedTypes() && DeclarationMode())
    PushBlock(cls);
  else
    SetDeclarationMode(true);
  cls->SetHeaderEnd(EndBeforeToken());
  if (!WithinNestingLimit(cls)) {
    // Too deep to hold members: the body is passed over up to its end, which closes it.
    SkipLocalTypeBody();
    if (TokenKind() != TTokenKind::tkNone)
      EndBlock(true);
    return;
  }
  PushBackDeclarationStart();
}

void TDelphiModuleExplorer::NextTokenWithComments() {
  TGrammarTokenizer &t = Tokenizer();
  const TCommentTextMode mode = t.CommentTextMode();
  t.SetCommentTextMode(TCommentTextMode::FirstLine);
  struct TRestore {
    TGrammarTokenizer &T;
    TCommentTextMode Mode;
    ~TRestore() { T.SetCommentTextMode(Mode); }
  } restore{t, mode};
  NextTokenKeepComments();
}

void TDelphiModuleExplorer::SkipCommentTokens(String *ioMetaData) {
  while (TokenKind() == TTokenKind::tkComment) {
    const String &text = Token();
    if (ioMetaData && ioMetaData->empty() && text.size() >= 12 && text[0] == u'{' &&
        StringView(text).substr(1, 11) == u"IOMETADATA ") {
      String body = text.substr(1);
      if (!body.empty() && body.back() == u'}')
        body.pop_back();
      *ioMetaData = body;
      ResetPendingComment();
    }
    NextTokenWithComments();
  }
}

void TDelphiModuleExplorer::ParseAncestorList(TClassItem *cls) {
  const TClassKind kind = cls->ClassKind();
  if (kind == clDispInterface)
    RaiseUnexpectedToken();
  const String first = Helper().ReadTypeIdent();
  const bool mayInherit =
      kind == clClass || kind == clInterface || kind == clObject || kind == clHelper;
  if (mayInherit)
    cls->SetAncestor(first);
  String further;
  while (IsSymbol(u",")) {
    const String name = Helper().ReadTypeIdent();
    if (!further.empty())
      further += u", ";
    further += name;
  }
  if (!IsSymbol(u")"))
    RaiseUnexpectedToken();
  switch (kind) {
  case clClass:
  case clHelper:
    cls->SetInterfaces(further);
    break;
  case clInterface:
    if (!further.empty())
      RaiseUnexpectedToken();
    break;
  case clRecord:
    RaiseUnexpectedToken();
  default:
    if (!further.empty())
      RaiseUnexpectedToken();
  }
  if (kind == clClass) {
    String ioMetaData;
    NextTokenWithComments();
    SkipCommentTokens(&ioMetaData);
    if (!ioMetaData.empty() && cls->IOMetaData().empty())
      cls->SetIOMetaData(ioMetaData);
  } else {
    NextToken();
  }
}

void TDelphiModuleExplorer::ParseGUID(TClassItem *cls) {
  const TTokenKind k = NextToken();
  TReservedWord w;
  if (k == TTokenKind::tkString || (k == TTokenKind::tkIdent && !IsReservedWordToken(w))) {
    const String text = Token();
    NextToken();
    if (IsSymbol(u"]")) {
      cls->SetGUID(text);
      ResetPendingComment();
      NextToken();
      return;
    }
  }
  if (!AttributesEnabled() || AttributeDepth() <= 0)
    RaiseUnexpectedToken();
  if (!IsSymbol(u"]"))
    Helper().SkipToClosingBracket(1);
  NextToken();
}

void TDelphiModuleExplorer::ParseVisibility(TReservedWord word) {
  ReportIrregularComment(PendingCommentLine());
  auto *item = new TVisibilityItem(CurrentItem());
  try {
    item->SetStart(TokenPos());
    TVisibility v = scDefault;
    if (word == rwStrict) {
      NextToken();
      if (TokenIs(u"PRIVATE"))
        v = scStrictPrivate;
      else if (TokenIs(u"PROTECTED"))
        v = scStrictProtected;
      else
        RaiseUnexpectedToken();
    } else {
      ReservedWordToVisibility(word, v);
    }
    SetCurrentVisibility(v);
    item->SetVisibility(v);
    item->SetEnd(LastReadPos());
    SetSectionKind(cskVar);
  } catch (const ETokenError &) {
    delete item;
    PushBackDeclarationStart();
  }
}

void TDelphiModuleExplorer::SkipRecordBody() {
  Integer depth = 1;
  bool first = true;
  bool reread = false;
  for (;;) {
    const TTokenKind k = reread ? TokenKind() : NextToken();
    reread = false;
    if (k == TTokenKind::tkNone || k == TTokenKind::tkKRTag || IsSymbol(u"="))
      return;
    if (k != TTokenKind::tkIdent) {
      first = false;
      continue;
    }
    TReservedWord w;
    if (IsReservedWordToken(w)) {
      if (w == rwEnd) {
        if (--depth == 0)
          break;
      } else if (w == rwRecord) {
        ++depth;
      } else if (w == rwProcedure || w == rwFunction) {
        const bool allowed =
            (PrevTokenKind() == TTokenKind::tkSymbol && PrevTokenText() == u":") ||
            (PrevTokenKind() == TTokenKind::tkIdent && SameText(PrevTokenText(), u"OF"));
        if (!allowed)
          RaiseUnexpectedToken();
        TMethodKind mk;
        ReservedWordToMethodKind(w, mk);
        ParseProceduralType(mk, false, true, nullptr);
        reread = true;
      } else if (w != rwCase && w != rwPacked) {
        RaiseUnexpectedToken();
      }
    } else if (!first && IsDirectiveWord(w) && IsHintWord(w)) {
      return;
    }
    first = false;
  }
  // The hint directives of the record type.
  NextToken();
  TReservedWord w;
  while (IsIdent() && IsDirectiveWord(w) && IsHintWord(w))
    NextToken();
}

// ---- Routines -------------------------------------------------------------------------------

void TDelphiModuleExplorer::ParseRoutineHeading(TReservedWord word) {
  if (PrevTokenKind() == TTokenKind::tkSymbol && PrevTokenText() == u":")
    return;
  TMethodKind mk = mkProcedure;
  ReservedWordToMethodKind(word, mk);
  if (PrevTokenKind() == TTokenKind::tkSymbol && PrevTokenText() == u"=") {
    if (CurrentItem() == ModuleItem()) {
      const TIdentRecord declared = CurrentIdent();
      ParseProceduralType(mk, false, false, &declared);
    }
    return;
  }
  TRoutineHeading heading;
  heading.MethodKind = mk;
  const TIdentRecord &before = CurrentIdent();
  heading.ClassMethod = PrevTokenKind() == TTokenKind::tkIdent && SameText(before.Text, u"CLASS");
  if (heading.ClassMethod) {
    heading.PrologLine = before.PrologLine;
    heading.Start = before.Start();
  } else {
    heading.PrologLine = GetPendingCommentLine();
    heading.Start = TokenPos();
  }
  SetSectionKind(cskUndefined);
  // The main block of a program (or a unit's begin ... end.) is the module's own block.
  const bool anonymousAllowed = InRoutineBody() || (MethodReferences() && Blocks().size() > 1 &&
                                                    (LastModuleSection() == msInitialization ||
                                                     LastModuleSection() == msFinalization ||
                                                     Blocks()[1].Item == ModuleItem()));
  // The name's parts are read into the buffer kept for them, which is handed back emptied
  // (a heading read while this one is, if any, starts with a fresh one).
  TGenericIdentPath path;
  path.swap(FRoutinePath);
  try {
    Helper().ReadGenericIdentPath(path, false, anonymousAllowed);
    if (path.empty()) {
      if (!anonymousAllowed)
        RaiseUnexpectedToken();
      Module().MarkedLines().Add(TokenLine());
    } else if (path.size() == 1) {
      if (DeclarationMode()) {
        ParseMethodDeclaration(heading, path);
      } else {
        if (path[0].GenericCount > 0 || !path[0].GenericText.empty())
          RaiseUnexpectedToken();
        ParseProcData(mk, path[0].Name, heading.PrologLine, heading.Start);
      }
    } else if (DeclarationMode()) {
      ParseResClause(heading, path);
    } else {
      ParseMethodImplementation(heading, path);
    }
  } catch (const ETokenError &) {
  }
  path.clear();
  FRoutinePath.swap(path);
  PushBackDeclarationStart();
}

void TDelphiModuleExplorer::ParseResClause(const TRoutineHeading &heading,
                                           const TGenericIdentPath &nameParts) {
  auto *item = new TResClauseItem(CurrentItem());
  item->SetPrologLine(heading.PrologLine);
  item->SetMethodKind(heading.MethodKind);
  item->SetVisibility(CurrentVisibility());
  item->SetName(GenericIdentPathText(nameParts, static_cast<Integer>(nameParts.size())));
  item->SetStart(heading.Start);
  try {
    if (!IsSymbol(u"="))
      RaiseUnexpectedToken();
    item->SetImplMethod(Helper().ReadQualifiedIdent());
    if (!IsSymbol(u";"))
      RaiseUnexpectedToken();
  } catch (const ETokenError &) {
    item->SetBadFormat(true);
    SetHeaderEndAtToken(item);
    throw;
  }
  SetHeaderEndAtToken(item);
}

void TDelphiModuleExplorer::ParseProcSignature(TProcItem *item, TMethodKind methodKind,
                                               TSourcePos start, const String &name) {
  TCustomPascalModuleExplorer::ParseProcSignature(item, methodKind, start, name);
  for (;;) {
    if (IsSymbol(u";"))
      NextToken();
    TReservedWord w;
    if (!IsIdent() || !IsDirectiveWord(w))
      break;
    TCallConvention cc;
    if (w == rwExternal) {
      item->SetDirective(pdExternal, true);
      String text;
      SkipExpression(kDirectiveWords, text);
      item->SetExternalSpec(text);
    } else if (ReservedWordToCallingConvention(w, cc)) {
      item->SetCallConvention(MergeCallConvention(item->CallConvention(), cc));
      NextToken();
    } else if (w == rwMessage) {
      // DataName now takes the message expression; a function's result type moves aside.
      if (!item->HasDirective(pdMessage))
        item->SetMessageResultType(item->DataName());
      item->SetDirective(pdMessage, true);
      String text;
      SkipExpression(kDirectiveWords, text);
      item->SetDataName(std::move(text));
    } else if (w == rwDispID) {
      String text;
      SkipExpression(kDirectiveWords, text);
      item->SetDispID(text);
    } else if (IsHintWord(w)) {
      ParseHintDirectives(item, true, true, false);
    } else if (IsProcDirectiveWord(w)) {
      item->SetDirective(ReservedWordToProcDirective(w), true);
      NextToken();
    } else {
      break;
    }
  }
}

void TDelphiModuleExplorer::ParseHintDirectives(TCodeItem *item, bool atCurrent, bool multiple,
                                                bool strict) {
  item->SetHintDirectives({});
  item->SetDeprecatedText(String());
  if (!atCurrent)
    NextToken();
  THintDirectives hints;
  for (;;) {
    TReservedWord w;
    THintDirective hint;
    if (!IsIdent() || !IsDirectiveWord(w) || !ReservedWordToHintDirective(w, hint))
      break;
    hints.Include(hint);
    item->SetHintDirectives(hints);
    const TTokenKind k = NextToken();
    if (k == TTokenKind::tkString) {
      if (w != rwDeprecated)
        RaiseUnexpectedToken();
      String message;
      UnquotePascalString(Token(), message);
      item->SetDeprecatedText(message);
      NextToken();
    } else if (k == TTokenKind::tkNumber) {
      if (!HintTakesNumber(w))
        RaiseUnexpectedToken();
      NextToken();
    }
    if (IsIdent())
      continue;
    if (multiple && IsSymbol(u";")) {
      NextToken();
      continue;
    }
    break;
  }
  if (strict && !IsSymbol(u";"))
    RaiseUnexpectedToken();
}

bool TDelphiModuleExplorer::ParseProceduralType(TMethodKind methodKind, bool isReference,
                                                bool skipOnly, const TIdentRecord *declared) {
  TCodeItem *parent = CurrentItem();
  bool passedSemicolon = false;
  String params, result;
  TCallConvention cc = ccDefault;
  bool ofObject = false;
  try {
    TReservedWord w;
    NextToken();
    if (IsReservedWordToken(w))
      return false;
    if (IsSymbol(u"(")) {
      // Read as text only when it is kept: a caller that skips is recording the text itself.
      params = Helper().ReadBracketed(u'(', u')', skipOnly);
      NextToken();
      if (IsReservedWordToken(w))
        return false;
    }
    if (IsSymbol(u":")) {
      result = skipOnly ? SkipTypeName() : Helper().ReadTypeIdent();
      if (TokenKind() == TTokenKind::tkNone)
        RaiseUnexpectedToken();
    }
    bool ccSeen = false;
    for (;;) {
      if (IsSymbol(u";")) {
        NextToken();
        passedSemicolon = true;
      }
      TCallConvention next;
      if (TokenIs(u"OF")) {
        passedSemicolon = false;
        NextToken();
        if (!TokenIs(u"OBJECT"))
          RaiseUnexpectedToken();
        ofObject = true;
        NextToken();
      } else if (IsIdent() && IsDirectiveWord(w) && ReservedWordToCallingConvention(w, next)) {
        passedSemicolon = false;
        if (ccSeen)
          AddPositionMessage(SCallConventionRedefined, TokenPos(), kError);
        ccSeen = true;
        cc = next;
        NextToken();
      } else {
        break;
      }
    }
    if (skipOnly || !declared)
      return passedSemicolon;
    const bool hasResult =
        methodKind == mkFunction || methodKind == mkOperator || methodKind == mkMethod;
    if (hasResult == result.empty())
      RaiseUnexpectedToken();
  } catch (const ETokenError &) {
    PushBackDeclarationStart();
    return false;
  }
  if (!NestedTypes())
    SetDeclarationMode(false);
  SetSectionKind(cskType);
  // The item is freed again (leaving its owner) when building it raises.
  std::unique_ptr<TDelegateItem> pending(new TDelegateItem(parent));
  TDelegateItem *item = pending.get();
  item->SetKind(isReference ? ckMethodReference : ofObject ? ckDelegate : ckFunctionPointer);
  item->SetName(String(declared->Text));
  FDelegateNames->Add(item->Name());
  item->SetStart(declared->Start());
  item->SetPrologLine(declared->PrologLine);
  item->SetMethodKind(methodKind);
  item->SetParameters(params);
  item->SetDataName(result);
  item->SetCallConvention(cc);
  item->SetVisibility(CurrentVisibility());
  item->SetEnd(IsSymbol(u";") ? LastReadPos() : EndBeforeToken());
  pending.release();
  PushBackDeclarationStart();
  return passedSemicolon;
}

void TDelphiModuleExplorer::ParseMethodReference(const TIdentRecord &declared) {
  const String word = Token();
  NextToken();
  if (TokenIs(u"TO")) {
    NextToken();
    TReservedWord w;
    TMethodKind mk;
    if (!IsReservedWordToken(w) || (w != rwProcedure && w != rwFunction) ||
        !ReservedWordToMethodKind(w, mk))
      RaiseUnexpectedToken();
    ParseProceduralType(mk, true, false, &declared);
    return;
  }
  const String next = Token();
  String text = Format(u"%s = %s%s%s", {declared.Text, word,
                                        String(IsIdent() ? u" " : u""), next});
  if (!IsSymbol(u";")) {
    String rest;
    SkipToDirectiveOrSemicolon({}, rest);
    if (!rest.empty())
      text += u" " + rest;
    text += u";";
  }
  NewUnhandledType(declared, std::move(text), 0);
}

String TDelphiModuleExplorer::SkipTypeName() {
  if (NextToken() != TTokenKind::tkIdent)
    RaiseUnexpectedToken();
  for (;;) {
    NextToken();
    if (IsSymbol(u"<")) {
      Integer depth = 1;
      while (depth > 0) {
        const TTokenKind k = NextToken();
        if (k == TTokenKind::tkNone || IsSymbol(u";"))
          RaiseUnexpectedToken();
        if (IsSymbol(u"<"))
          ++depth;
        else if (IsSymbol(u">"))
          --depth;
      }
      NextToken();
    }
    if (!IsSymbol(u"."))
      return u"_";
    if (NextToken() != TTokenKind::tkIdent)
      RaiseUnexpectedToken();
  }
}

// ---- Fields ---------------------------------------------------------------------------------

void TDelphiModuleExplorer::ParseFieldDeclaration(bool inClass) {
  TFieldKind fieldKind = fkInstance;
  switch (SectionKind()) {
  case cskUndefined:
  case cskVar:
    fieldKind = fkInstance;
    break;
  case cskClassVar:
    fieldKind = fkStatic;
    break;
  case cskConst:
    fieldKind = fkConst;
    break;
  case cskResourceString:
    fieldKind = fkResourceString;
    break;
  case cskClassThreadVar:
    fieldKind = fkStaticThread;
    break;
  default:
    RaiseUnexpectedToken();
  }
  auto *field = new TFieldItem(CurrentItem());
  field->SetStart(TokenPos());
  field->SetPrologLine(GetPendingCommentLine());
  field->SetVisibility(CurrentVisibility());
  field->SetFieldKind(fieldKind);
  field->SetName(String(TokenText()));
  try {
    for (;;) {
      NextToken();
      if (!IsSymbol(u","))
        break;
      // "A, B: T" is one field item named "A, B".
      String names = field->Name();
      names += u", ";
      names += Helper().ReadIdent();
      field->SetName(std::move(names));
    }
    if (TokenKind() != TTokenKind::tkSymbol)
      RaiseUnexpectedToken();
    const TCodeSectionKind section = SectionKind();
    const bool colon = IsSymbol(u":"), equals = IsSymbol(u"=");
    if (inClass) {
      bool ok;
      if (section == cskConst)
        ok = colon || equals;
      else if (section == cskResourceString)
        ok = equals;
      else
        ok = colon;
      if (!ok)
        RaiseUnexpectedToken();
    }
    if (colon) {
      String type;
      ReadFieldType(type);
      field->SetDataName(std::move(type));
    }
    if (IsSymbol(u"=")) {
      if (inClass && section != cskConst && section != cskResourceString)
        RaiseUnexpectedToken();
      String value;
      ReadInitializer(value);
      field->SetInitializer(value);
    }
    ParseHintDirectives(field, true, false, false);
  } catch (const ETokenError &) {
    field->SetBadFormat(true);
  }
  PushBackDeclarationStart();
  field->SetEnd(EndBeforeToken());
}

void TDelphiModuleExplorer::ReadFieldType(String &text) {
  TGrammarTokenizer &t = Tokenizer();
  TCollectingGuard collect(t);
  Integer depth = 0;
  bool first = true;
  bool reread = false;
  for (;;) {
    const TTokenKind k = reread ? TokenKind() : NextToken();
    reread = false;
    if (k == TTokenKind::tkNone)
      break;
    if (k == TTokenKind::tkSymbol) {
      const StringView s = TokenText();
      if (depth <= 0 && (s == u";" || s == u"="))
        break;
      if (s == u"(" || s == u"[")
        ++depth;
      else if (s == u")" || s == u"]")
        --depth;
    } else if (k == TTokenKind::tkIdent) {
      TReservedWord w;
      if (IsReservedWordToken(w)) {
        if (w == rwPacked) {
        } else if (w == rwRecord) {
          SkipRecordBody();
          reread = true;
        } else if (w == rwProcedure || w == rwFunction) {
          const bool allowed =
              first || (PrevTokenKind() == TTokenKind::tkIdent && SameText(PrevTokenText(), u"OF"));
          if (!allowed)
            RaiseUnexpectedToken();
          TMethodKind mk;
          ReservedWordToMethodKind(w, mk);
          // A ";" passed to read "; cdecl" ended the type: the current token is the next
          // declaration's first.
          if (ParseProceduralType(mk, false, true, nullptr))
            break;
          reread = true;
        } else if (w == rwEnd && !first) {
          break;
        } else {
          RaiseUnexpectedToken();
        }
      } else if (!first && IsDirectiveWord(w) && IsHintWord(w)) {
        break;
      }
    }
    first = false;
  }
  text = t.CollectedTextAsLine(false);
  TrimInPlace(text);
  if (!text.empty() && text.back() == u';') {
    text.pop_back();
    TrimInPlace(text);
  }
}

void TDelphiModuleExplorer::ReadInitializer(String &text) {
  TGrammarTokenizer &t = Tokenizer();
  TCollectingGuard collect(t);
  Integer depth = 0;
  bool first = true;
  for (;;) {
    const TTokenKind k = NextToken();
    if (k == TTokenKind::tkNone || k == TTokenKind::tkKRTag || k == TTokenKind::tkError)
      break;
    if (k == TTokenKind::tkSymbol) {
      const StringView s = TokenText();
      if (s == u"(" || s == u"[")
        ++depth;
      else if (s == u")" || s == u"]")
        --depth;
      else if (s == u";" && depth <= 0)
        break;
    } else if (k == TTokenKind::tkIdent) {
      TReservedWord w;
      if (IsReservedWordToken(w)) {
        if (w == rwEnd && !first)
          break;
        RaiseUnexpectedToken();
      }
      if (!first && IsDirectiveWord(w) && IsHintWord(w))
        break;
    }
    first = false;
  }
  text = t.CollectedTextAsLine(false);
  TrimInPlace(text);
}

// ---- Properties -----------------------------------------------------------------------------

// What a property declaration holds, as far as it was read.
struct TPropertyDeclaration {
  String Name;
  String ArrayStr;
  String DataName;
  String ReadSpec;
  String WriteSpec;
  String IndexStr;
  String ImplementsStr;
  String StorageStr;
  String DefaultStr;
  String DispID;
  TDefaultSpecifier DefaultSpec = dsUnspecified;
  // The directives of the specifiers read whole.
  TPropertyDirectives Directives;
  // "add" or "remove" met: the property is an event.
  bool AddRemove = false;
};

void TDelphiModuleExplorer::ParseProperty() {
  const TIdentRecord &before = CurrentIdent();
  const bool classProperty =
      PrevTokenKind() == TTokenKind::tkIdent && SameText(before.Text, u"CLASS");
  Integer prolog;
  TSourcePos start;
  if (classProperty) {
    prolog = before.PrologLine;
    start = before.Start();
  } else {
    prolog = GetPendingCommentLine();
  }
  SetSectionKind(cskUndefined);
  TReservedWord w;
  if (NextToken() != TTokenKind::tkIdent || IsReservedWordToken(w))
    return;
  if (!classProperty)
    start = TokenPos();
  TCodeItem *owner = CurrentItem();
  const Integer place = owner->ChildCount();
  const TVisibility visibility = CurrentVisibility();
  TPropertyDeclaration decl;
  decl.Name = String(TokenText());
  bool badFormat = false;
  try {
    ReadPropertyDeclaration(decl, classProperty);
  } catch (const ETokenError &) {
    badFormat = true;
  }
  PushBackDeclarationStart();

  const bool event = IsEventProperty(decl);
  TPropertyItem *prop = event ? new TEventItem(owner) : new TPropertyItem(owner);
  if (!event) {
    // A property stands where its declaration started, before the items of include files
    // whose directives stand inside it; an event stands behind them.
    for (Integer n = owner->ChildCount() - 1 - place; n > 0; --n)
      TCodeItem::AddChild(owner, TCodeItem::RemoveChild(owner, owner->GetChild(place)));
  }
  prop->SetName(std::move(decl.Name));
  prop->SetPrologLine(prolog);
  prop->SetVisibility(visibility);
  prop->SetStart(start);
  prop->SetArrayStr(decl.ArrayStr);
  prop->SetDataName(std::move(decl.DataName));
  prop->SetDirectives(decl.Directives);
  prop->SetReadSpec(decl.ReadSpec);
  prop->SetWriteSpec(decl.WriteSpec);
  prop->SetIndexStr(decl.IndexStr);
  prop->SetImplementsStr(decl.ImplementsStr);
  prop->SetStorageStr(decl.StorageStr);
  prop->SetDefaultSpec(decl.DefaultSpec);
  prop->SetDefaultStr(decl.DefaultStr);
  prop->SetDispID(decl.DispID);
  prop->SetBadFormat(badFormat);
  prop->SetEnd(EndBeforeToken());
}

void TDelphiModuleExplorer::ReadPropertyDeclaration(TPropertyDeclaration &decl,
                                                    bool classProperty) {
  TPropertyDirectives d;
  if (classProperty)
    d.Include(prStatic);
  NextToken();
  CheckNotReservedWord();
  if (IsSymbol(u"[")) {
    decl.ArrayStr = Helper().ReadBracketed(u'[', u']', false);
    d.Include(prArray);
    NextToken();
    if (!IsSymbol(u":"))
      RaiseUnexpectedToken();
  }
  // A property with neither index parameters nor a type redeclares an inherited one.
  bool redeclared = false;
  if (IsSymbol(u":")) {
    decl.DataName = Helper().ReadTypeIdent();
  } else {
    redeclared = true;
    d.Include(prOverride);
  }
  decl.Directives = d;
  bool endedBySemicolon = false;
  for (;;) {
    if (IsSymbol(u";")) {
      endedBySemicolon = true;
      break;
    }
    if (!IsIdent())
      break;
    if (TokenIs(u"ADD") || TokenIs(u"REMOVE")) {
      const bool add = TokenIs(u"ADD");
      decl.AddRemove = true;
      String text;
      ReadDesignator(text);
      (add ? decl.ReadSpec : decl.WriteSpec) = std::move(text);
      continue;
    }
    TReservedWord w;
    if (!IsDirectiveWord(w) || !ReadPropertySpecifier(w, redeclared, decl, d))
      break;
    decl.Directives = d;
  }
  decl.Directives = d;
  if (!endedBySemicolon) {
    // The next declaration must start here.
    bool starts = false;
    if (IsIdent()) {
      TReservedWord next;
      starts = (IsReservedWordToken(next) &&
                OneOf(next, {rwEnd, rwClass, rwInterface, rwConstructor, rwDestructor, rwProcedure,
                             rwFunction, rwOperator, rwProperty})) ||
               (IsDirectiveWord(next) && OneOf(next, {rwPrivate, rwProtected, rwPublic, rwPublished,
                                                      rwAutomated, rwStrict}));
    }
    if (!starts)
      RaiseUnexpectedToken();
  } else {
    NextToken();
    if (TokenIs(u"DEFAULT")) {
      d.Include(prDefaultArray);
      if (redeclared)
        d.Include(prArray);
      decl.Directives = d;
      NextToken();
      if (!IsSymbol(u";"))
        RaiseUnexpectedToken();
    }
  }
  if (d.Contains(prReadOnly) && d.Contains(prWriteOnly))
    RaiseUnexpectedToken();
}

bool TDelphiModuleExplorer::ReadPropertySpecifier(TReservedWord word, bool redeclared,
                                                  TPropertyDeclaration &decl,
                                                  TPropertyDirectives &d) {
  String text;
  switch (word) {
  case rwRead:
    ReadDesignator(text);
    decl.ReadSpec = std::move(text);
    return true;
  case rwWrite:
    ReadDesignator(text);
    decl.WriteSpec = std::move(text);
    return true;
  case rwIndex:
    if (redeclared)
      RaiseUnexpectedToken();
    SkipToDirectiveOrSemicolon(kPropertyWords, text);
    decl.IndexStr = Trim(text);
    d.Include(prIndex);
    return true;
  case rwImplements:
    SkipTypeList(u';', kPropertyWords, text);
    decl.ImplementsStr = std::move(text);
    return true;
  case rwStored:
    decl.StorageStr = Helper().ReadQualifiedIdent();
    d.Include(prStored);
    return true;
  case rwDefault:
    decl.DefaultSpec = dsDefault;
    SkipToDirectiveOrSemicolon(kPropertyWords, text);
    decl.DefaultStr = Trim(text);
    return true;
  case rwNodefault:
    decl.DefaultSpec = dsNoDefault;
    NextToken();
    return true;
  case rwReadOnly:
    d.Include(prReadOnly);
    NextToken();
    return true;
  case rwWriteOnly:
    d.Include(prWriteOnly);
    NextToken();
    return true;
  case rwDispID:
    SkipToDirectiveOrSemicolon(kPropertyWords, text);
    decl.DispID = Trim(text);
    return true;
  default:
    return false;
  }
}

bool TDelphiModuleExplorer::IsEventProperty(const TPropertyDeclaration &decl) const {
  if (decl.AddRemove)
    return true;
  const String &type = decl.DataName;
  if (type.empty() || DelphiTypeCode(lanPascal, type) != 34)
    return false;
  if (FDelegateNames->Contains(type) || IsGlobalDelegate(type) || IsEventTypeNameOfModel(type))
    return true;
  const String &name = decl.Name;
  return FGrammar.FixEvents && !decl.Directives.Contains(prDefaultArray) && name.size() >= 3 &&
         name[0] == u'O' && name[1] == u'n' && name[2] >= u'A' && name[2] <= u'Z';
}

// ---- Variant parts --------------------------------------------------------------------------

void TDelphiModuleExplorer::ParseVariantPart() {
  TGrammarTokenizer &t = Tokenizer();
  auto *section = new TRecordVariantSection(CurrentItem());
  section->SetStart(TokenPos());
  section->SetPrologLine(GetPendingCommentLine());
  section->SetVisibility(CurrentVisibility());
  t.StartCollecting();
  Integer nesting = 0;
  try {
    for (;;) {
      const TTokenKind k = NextToken();
      if (k == TTokenKind::tkNone || k == TTokenKind::tkKRTag)
        break;
      TReservedWord w;
      if (k != TTokenKind::tkIdent || !IsReservedWordToken(w))
        continue;
      if (w == rwEnd) {
        if (nesting == 0)
          break;
        --nesting;
      } else if (w == rwRecord) {
        ++nesting;
      } else if (w != rwCase && w != rwPacked) {
        RaiseUnexpectedToken();
      }
    }
    section->SetName(u"case " + t.CollectedTextAsLine(false));
  } catch (const ETokenError &) {
    section->SetBadFormat(true);
    section->SetName(u"case " + (t.Collecting() ? t.CollectedTextAsLine(false) : String()));
  }
  PushBackDeclarationStart();
  section->SetEnd(EndBeforeToken());
}

} // namespace krx
