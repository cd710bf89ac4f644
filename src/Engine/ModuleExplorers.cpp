#include "Engine/ModuleExplorers.h"

#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/ScopeExit.h"
#include "Platform/Vcl/Forms.h"
#include "World/ParsingLocks.h"
#include "World/WordScanners.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace krx {

// ---- TModuleExplorerOptions -----------------------------------------------------------------

TModuleExplorerOptions::TModuleExplorerOptions() = default;

const TModuleExplorerOptionsClass &TModuleExplorerOptions::ClassRef() {
  static const TModuleExplorerOptionsClass cls{
      lanUndefined, []() -> std::unique_ptr<TModuleExplorerOptions> {
        return std::make_unique<TModuleExplorerOptions>();
      }};
  return cls;
}

const TClassInfo &TModuleExplorerOptions::StaticClassInfo() {
  using O = TModuleExplorerOptions;
  static const TClassInfo info =
      TClassInfoBuilder<O>(&TPersistent::StaticClassInfo(), u"TModuleExplorerOptions")
          .Enum(u"CommentAssociationMode", TCommentAssociationModeNames,
                &O::CommentAssociationMode, &O::SetCommentAssociationMode)
          .Str(u"CommentSignature", &O::CommentSignature, &O::SetCommentSignature)
          .Bool(u"CompressParams", &O::CompressParams, &O::SetCompressParams)
          .Bool(u"DetailedMetaDataHints", &O::DetailedMetaDataHints, &O::SetDetailedMetaDataHints)
          .Bool(u"EmptyLineUnassociatesComment", &O::EmptyLineUnassociatesComment,
                &O::SetEmptyLineUnassociatesComment)
          .Str(u"FileExtensions", &O::FileExtensions, &O::SetFileExtensions)
          .Bool(u"ParserEvaluatesConditions", &O::ParserEvaluatesConditions,
                &O::SetParserEvaluatesConditions)
          .Build();
  return info;
}

String TModuleExplorerOptions::CommentSignature() const {
  TParsingLock lock;
  return FCommentSignature;
}

void TModuleExplorerOptions::SetCommentSignature(const String &value) {
  TParsingLock lock;
  if (FCommentSignature != value)
    FCommentSignature = value;
}

String TModuleExplorerOptions::FileExtensions() const {
  TParsingLock lock;
  String r;
  for (std::size_t i = 0; i < FExtensions.size(); ++i) {
    if (i)
      r.push_back(u';');
    r += FExtensions[i];
  }
  return r;
}

void TModuleExplorerOptions::SetFileExtensions(const String &value) {
  if (value == FileExtensions())
    return;
  TParsingLock lock;
  FExtensions.clear();
  TWordScanner scanner;
  scanner.Delimiters = TSysCharSet{u',', u';'};
  scanner.QuoteChar = 0;
  Integer n = scanner.Scan(value);
  for (Integer i = 0; i < n; ++i) {
    String piece = scanner.GetWord(i);
    String bare;
    for (Char c : piece)
      if (c != u'*' && c != u'.')
        bare.push_back(c);
    bare = Trim(bare);
    if (!bare.empty())
      FExtensions.push_back(std::move(bare));
  }
}

bool TModuleExplorerOptions::ListsExtension(StringView extension) const {
  TParsingLock lock;
  for (const String &e : FExtensions)
    if (AnsiSameText(e, extension))
      return true;
  return false;
}

// ---- TExplorerMetricsHandler ----------------------------------------------------------------

TExplorerMetricsHandler::TExplorerMetricsHandler(TModuleExplorer &explorer)
    : FExplorer(explorer), FMessages(std::make_unique<TMessagesItem>()) {}

TExplorerMetricsHandler::~TExplorerMetricsHandler() = default;

void TExplorerMetricsHandler::Reset() { FMessages->ClearMessages(); }

// ---- TModuleExplorer ------------------------------------------------------------------------

namespace {
// The class warnings that explorers turn into messages.
constexpr TClassItemWarnings kReportedWarnings{cwDirective, cwIrregularMetaData};
} // namespace

TModuleExplorer::TModuleExplorer()
    : FReportedWarnings(kReportedWarnings), FMessages(std::make_unique<TMessagesItem>()),
      FModule(std::make_unique<TModuleItem>()) {}

TModuleExplorer::~TModuleExplorer() = default;

void TModuleExplorer::AfterConstruction() {
  FCompressParams = GetOptions().CompressParams();
  FMetrics = CreateMetricsHandler();
}

std::unique_ptr<TExplorerMetricsHandler> TModuleExplorer::CreateMetricsHandler() {
  return std::make_unique<TExplorerMetricsHandler>(*this);
}

TModuleExplorerOptions &TModuleExplorer::GetOptions() const {
  return ModuleExplorerRegistry().Options(Language());
}

void TModuleExplorer::Explore(const TStrings *source, bool headerOnly) {
  TExploreSource s;
  s.Lines = source;
  DoExplore(s, headerOnly);
}

void TModuleExplorer::ExploreText(const String &text, bool headerOnly) {
  TExploreSource s;
  s.Text = &text;
  DoExplore(s, headerOnly);
}

void TModuleExplorer::Clear() {
  if (IsBusy())
    return;
  const Integer count = FModule->ChildCount();
  {
    // The module keeps its file name, also when clearing fails.
    TScopeExit keepFileName{
        [this, fileName = FModule->FileName()] { FModule->SetFileName(fileName); }};
    FModule->Reset();
    FModule->Clear();
  }
  FModule->ClearCollection();
  FMessages->ClearMessages();
  FMetrics->Reset();
  if (count > 0)
    Changed();
}

void TModuleExplorer::EndUpdate() {
  if (FUpdateCount <= 0)
    return;
  if (--FUpdateCount == 0)
    Changed();
}

void TModuleExplorer::Changed() {
  if (FUpdateCount == 0 && OnChange)
    OnChange(*this);
}

String TModuleExplorer::CompressWhitespace(String text) const {
  if (!FCompressParams)
    return text;
  // Nothing changes before the first two characters in a row up to the blank; most texts
  // have none. Compressed in place from there: the text only ever gets shorter.
  const std::size_t n = text.size();
  std::size_t i = 0;
#if defined(__SSE2__)
  // Eight pairs at a time: a character is at most a blank when it saturates to zero less 32.
  const __m128i blank = _mm_set1_epi16(u' '), zero = _mm_setzero_si128();
  for (; i + 9 <= n; i += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + i + 1));
    const __m128i pair = _mm_and_si128(_mm_cmpeq_epi16(_mm_subs_epu16(a, blank), zero),
                                       _mm_cmpeq_epi16(_mm_subs_epu16(b, blank), zero));
    const unsigned hit = static_cast<unsigned>(_mm_movemask_epi8(pair));
    if (hit != 0) {
      i += static_cast<std::size_t>(__builtin_ctz(hit)) / 2;
      break;
    }
  }
#endif
  while (i + 1 < n && !(text[i] <= u' ' && text[i + 1] <= u' '))
    ++i;
  if (i + 1 >= n)
    return text;
  std::size_t w = i;
  while (i < n) {
    const Char c = text[i++];
    text[w++] = c;
    if (c <= u' ')
      while (i < n && text[i] <= u' ')
        ++i;
  }
  text.resize(w);
  return text;
}

// ---- TModuleExplorerRegistry ----------------------------------------------------------------

namespace {
std::unique_ptr<TModuleExplorerRegistry> GRegistry;
}

TModuleExplorerRegistry::TModuleExplorerRegistry() = default;
TModuleExplorerRegistry::~TModuleExplorerRegistry() = default;

void TModuleExplorerRegistry::RegisterExplorerClass(const TModuleExplorerClass &cls) {
  FExplorerClasses[cls.Language] = &cls;
}

void TModuleExplorerRegistry::UnregisterExplorerClass(const TModuleExplorerClass &cls) {
  if (FExplorerClasses[cls.Language] == &cls)
    FExplorerClasses[cls.Language] = nullptr;
}

void TModuleExplorerRegistry::RegisterOptionsClass(const TModuleExplorerOptionsClass &cls) {
  FOptionsClasses[cls.Language] = &cls;
}

void TModuleExplorerRegistry::UnregisterOptionsClass(const TModuleExplorerOptionsClass &cls) {
  if (FOptionsClasses[cls.Language] == &cls)
    FOptionsClasses[cls.Language] = nullptr;
}

TModuleExplorerOptions &TModuleExplorerRegistry::Options(TSourceLanguageKind language) {
  KR_ASSERT(static_cast<std::size_t>(language) < kLanguages);
  auto &slot = FOptions[language];
  if (!slot) {
    KR_ASSERT(FOptionsClasses[language] != nullptr);
    slot = FOptionsClasses[language]->Create();
  }
  return *slot;
}

std::unique_ptr<TModuleExplorer>
TModuleExplorerRegistry::CreateExplorer(TSourceLanguageKind language) {
  KR_ASSERT(static_cast<std::size_t>(language) < kLanguages);
  KR_ASSERT(FExplorerClasses[language] != nullptr);
  return FExplorerClasses[language]->Create();
}

TSourceLanguageKind TModuleExplorerRegistry::LanguageOfFile(StringView fileName) {
  String ext;
  for (Char c : ExtractFileExt(String(fileName)))
    if (c != u'*' && c != u'.')
      ext.push_back(c);
  if (ext.empty())
    return lanUndefined;
  for (std::size_t i = lanPascal; i < kLanguages; ++i) {
    auto language = static_cast<TSourceLanguageKind>(i);
    if (Options(language).ListsExtension(ext))
      return language;
  }
  return lanUndefined;
}

void ShowExplorerException() {
  if (Application)
    Application->HandleException(nullptr);
}

TModuleExplorerRegistry &ModuleExplorerRegistry() {
  KR_ASSERT(GRegistry != nullptr);
  return *GRegistry;
}

bool ModuleExplorerRegistryExists() { return GRegistry != nullptr; }

void ModuleExplorersInitialization() { GRegistry = std::make_unique<TModuleExplorerRegistry>(); }

void ModuleExplorersFinalization() { GRegistry.reset(); }

} // namespace krx
