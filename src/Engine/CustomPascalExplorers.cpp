#include "Engine/CustomPascalExplorers.h"

#include "Engine/ParamLists.h"
#include "Platform/Rtl/Character.h"
#include "Platform/Rtl/Files.h"
#include "World/ClassEx.h"
#include "World/KRStrUtils.h"
#include "World/ParsingLocks.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <unordered_map>

namespace krx {

namespace {

constexpr Integer kMaxInteger = std::numeric_limits<Integer>::max();

// Messages of the engine, as the user reads them.
constexpr const Char *SUnexpectedToken = u"Unexpected token \"%s\"";
constexpr const Char *SUnexpectedDirective = u"Unexpected directive";
constexpr const Char *SIllegalProcDirectives = u"Illegal procedure directives";
constexpr const Char *SVariantRecords = u"variant records not supported";
constexpr const Char *SInvalidToken = u"Invalid token";
constexpr const Char *SRegionName = u"Error in region name (unterminated string)";
constexpr const Char *SUnmatchedEndRegion = u"Unmatched $ENDREGION";
constexpr const Char *SUnmatchedRegion = u"Unmatched $REGION";
constexpr const Char *SNestedTooDeep = u"Nested deeper than %d levels";
constexpr const Char *SIncludeNotFound = u"Include file not found: %s";
constexpr const Char *SIgnoredRegion = u"Ignored region directive: %s";
constexpr const Char *SIgnoredDirective = u"Ignored compiler directive: %s";
constexpr const Char *SIgnoredAttributes = u"Ignored Attibute(s) in %s declaration";
constexpr const Char *SIrregularClass = u"Irregular Comment or Attribute in %s";
constexpr const Char *SClassNotFound = u"Class %s interface not found";
constexpr const Char *SDifferentParams =
    u"Associated method implementation with different parameter list";
constexpr const Char *SDeclNotFound = u"%s.%s declaration not found";

constexpr TCodeMessageKind kError = TCodeMessageKind::Error;
constexpr TCodeMessageKind kWarning = TCodeMessageKind::Warning;
constexpr TCodeMessageKind kHint = TCodeMessageKind::Hint;

bool IsClassKind(TCodeItemKind k) { return k >= ckClass && k <= ckRecordHelper; }

bool IsRoutineItem(const TCodeItem *item) {
  TCodeItemKind k = item->Kind();
  return k == ckProcedure || k == ckMethod || k == ckMethodImpl;
}

bool OneOf(TReservedWord w, std::initializer_list<TReservedWord> words) {
  return std::find(words.begin(), words.end(), w) != words.end();
}

} // namespace

const TModuleExplorerOptionsClass &TCustomPascalExplorerOptions::ClassRef() {
  static const TModuleExplorerOptionsClass cls{
      lanPascal, []() -> std::unique_ptr<TModuleExplorerOptions> {
        return std::make_unique<TCustomPascalExplorerOptions>();
      }};
  return cls;
}

// ---- Construction ---------------------------------------------------------------------------

TCustomPascalModuleExplorer::TCustomPascalModuleExplorer() {
  FTokens = std::make_unique<TGrammarTokens>(this);
  TModuleExplorerOptions &o = ModuleExplorerRegistry().Options(lanPascal);
  FEvaluateConditions = o.ParserEvaluatesConditions();
  FDetailedMetaDataHints = o.DetailedMetaDataHints();
  FCommentMode = o.CommentAssociationMode();
  FEmptyLineUnassociatesComment = o.EmptyLineUnassociatesComment();
  {
    TParsingLock lock;
    FCommentSignature = o.CommentSignature();
  }
}

TCustomPascalModuleExplorer::~TCustomPascalModuleExplorer() {
  // The helper calls back into this object while it goes.
  FTokens.reset();
}

// ---- The driver -----------------------------------------------------------------------------

void TCustomPascalModuleExplorer::DoExplore(const TExploreSource &source, bool headerOnly) {
  if (IsBusy())
    return;
  BeginUpdate();
  struct TUpdateGuard {
    TModuleExplorer &E;
    ~TUpdateGuard() { E.EndUpdate(); }
  } updateGuard{*this};
  BeginBusy();
  struct TBusyGuard {
    TCustomPascalModuleExplorer &E;
    ~TBusyGuard() { E.EndBusy(); }
  } busyGuard{*this};

  // Clear refuses while busy; the parse owns the explorer from here.
  EndBusy();
  Clear();
  BeginBusy();

  TModuleItem &module = Module();
  TGrammarTokenizer &t = Tokenizer();
  FTokens->SetEvaluateConditions(FEvaluateConditions);
  module.SetImplLineNr(-1);
  module.SetLanguage(GlobalPascalLanguage());

  FTokens->SetSource(source, module.FileName());
  struct TTextGuard {
    TGrammarTokenizer &T;
    ~TTextGuard() { T.Clear(); }
  } textGuard{t};
  ResetParseState(headerOnly);

  t.SetSkipKinds({});
  t.SetNumbersAsNumbers(true);
  t.SetRecordComments(true);
  t.SetCommentTextMode(FParse.SignatureLength > 0 ? TCommentTextMode::FirstLine
                                                  : TCommentTextMode::Opener);
  t.SetTolerateErrors(!headerOnly);
  t.SetRaiseAtEnd(false);
  if (FEmptyLineUnassociatesComment)
    t.OnBlankLine = [this](TKRBaseTokenizer &) { BlankLine(); };
  else
    t.OnBlankLine = nullptr;

  bool cancelled = false;
  {
    // However the parse ends, it leaves no current item or region and no declaration mode.
    struct TParseEndGuard {
      TParseState &S;
      ~TParseEndGuard() {
        S.CurrentItem = nullptr;
        S.CurrentRegion = nullptr;
        S.DeclarationMode = false;
      }
    } parseEndGuard{FParse};
    StartMetrics();
    if (headerOnly)
      SetDeclarationMode(true);
    else
      ParseModuleHeader();
    ParseModule(cancelled);
    if (FParse.Blocks.size() > 1) {
      CloseOpenBlocks();
      module.SetEndLineValue(ModelLine(t.LineNr()));
    } else if (module.EndLineValue() == 0 && t.LineNr() > 0) {
      module.SetEndLineValue(ModelLine(t.LineNr()));
    }
    CloseRegions();
  }
  FParse.OutsideDeclarations = true;

  if (cancelled)
    return;
  ApplyClassWarnings();
  AssociateMethods();
  AssociateRoutines();
  if (!headerOnly)
    MetricsHandler().ParsingEnded(t);
}

void TCustomPascalModuleExplorer::ResetParseState(bool headerOnly) {
  TModuleItem &module = Module();
  FParse = TParseState();
  FParse.HeaderOnly = headerOnly;
  if (FCommentMode == camSignOnly || FCommentMode == camSignUnassociate) {
    FParse.SignatureLength = Length(FCommentSignature);
    // A signature mode without a signature would match every comment (or none): the user's
    // setting falls back to plain association rather than failing every parse.
    if (FParse.SignatureLength == 0)
      FCommentMode = camEnabled;
  }
  FParse.Blocks.reserve(64);
  FParse.Blocks.push_back({&module, rwBegin});
  FParse.CurrentItem = &module;
  UpdateCurrentScope();
  TSourceRegion *root = &module.RootRegion();
  root->StartLine = 0;
  FParse.CurrentRegion = root;
  FParse.SkipKinds = TTokenKinds{TTokenKind::tkComment, TTokenKind::tkKRTag};
}

void TCustomPascalModuleExplorer::CloseRegions() {
  TModuleItem &module = Module();
  TSourceRegion *root = &module.RootRegion();
  const Integer last = module.GetLastLine();
  for (TSourceRegion *r = FParse.CurrentRegion; r && r != root; r = r->Parent()) {
    r->EndLine = last;
    AddPositionMessage(SUnmatchedRegion, {SourceLine(r->StartLine), 0}, kError);
  }
}

void TCustomPascalModuleExplorer::StartMetrics() { MetricsHandler().ParsingStarts(Tokenizer()); }

void TCustomPascalModuleExplorer::BlankLine() { FParse.PendingCommentLine = -1; }

// ---- Tokens ---------------------------------------------------------------------------------

// A ";" ends a constant section's effect on number counting; a symbol outside an attribute
// bracket ends the pending comment, and the brackets open and close attributes.
inline void TCustomPascalModuleExplorer::HandleSymbol() {
  const StringView s = Tokenizer().TokenText();
  const Char c = s.size() == 1 ? s[0] : u'\0';
  if (c == u';')
    FParse.ConstSeen = false;
  if (!FAttributesEnabled) {
    ResetPendingComment();
    return;
  }
  if (c == u'[') {
    if (++FParse.AttributeDepth == 1 && FParse.PendingAttributeLine < 0)
      FParse.PendingAttributeLine = ModelLine(Tokenizer().LineNr());
  } else if (c == u']') {
    if (FParse.AttributeDepth > 0)
      --FParse.AttributeDepth;
  } else if (FParse.AttributeDepth <= 0) {
    ResetPendingComment();
  }
}

TTokenKind TCustomPascalModuleExplorer::NextToken() {
  TGrammarTokenizer &t = Tokenizer();
  FParse.Before = ScanPos();
  const TTokenKind current = t.TokenKind();
  // The current token is done with once the next one is read, so its text is taken from
  // the tokenizer: as a view of the source text, or moved when the tokenizer holds it.
  if (current == TTokenKind::tkIdent) {
    FParse.CurIdent ^= 1;
    TIdentRecord &ident = FParse.Idents[FParse.CurIdent];
    ident.Text = t.TakeTokenText(ident.Own);
    FParse.PrevTokenText = ident.Text;
    ident.Next = FParse.Before;
    ident.PrologLine = GetPendingCommentLine();
    ident.Include = FParse.IncludeStack.empty() ? nullptr : FParse.IncludeStack.back().Item;
    if (FParse.AttributeDepth <= 0)
      ResetPendingComment();
  } else {
    FParse.PrevTokenText = t.TakeTokenText(FParse.PrevToken);
  }
  FParse.PrevTokenKind = current;
  for (;;) {
    const TTokenKind k = t.NextToken();
    FParse.WordLookup = TWordLookup::Unknown;
    // Most tokens are symbols or identifiers outside routine bodies, which need no call.
    if (k == TTokenKind::tkSymbol)
      HandleSymbol();
    else if (k != TTokenKind::tkIdent || FParse.InRoutineBody)
      HandleToken(k);
    if (!FParse.SkipKinds.Contains(k))
      return k;
  }
}

void TCustomPascalModuleExplorer::LookUpTokenWord() {
  FParse.WordLookup = TokenKind() == TTokenKind::tkIdent && IsReservedWord(TokenText(), FParse.Word)
                          ? TWordLookup::Found
                          : TWordLookup::None;
}

void TCustomPascalModuleExplorer::HandleToken(TTokenKind kind) {
  TGrammarTokenizer &t = Tokenizer();
  switch (kind) {
  case TTokenKind::tkNone:
  case TTokenKind::tkKRTag:
    ResetPendingComment();
    break;
  case TTokenKind::tkError:
    ResetPendingComment();
    AddPositionMessage(SInvalidToken, TokenPos(), kError);
    break;
  case TTokenKind::tkIdent:
    if (FParse.InRoutineBody) {
      if (t.TokenText().size() == 5 && SameText(t.TokenText(), u"const"))
        FParse.ConstSeen = true;
      MetricsHandler().IdentifierInBody(BodyRoutine(), t);
    }
    break;
  case TTokenKind::tkComment:
    HandleComment();
    MetricsHandler().CommentSeen(t);
    break;
  case TTokenKind::tkDirective:
    FParse.PendingCommentLine = -1;
    FParse.DirectiveSeen = true;
    HandleDirective(t.Token());
    break;
  case TTokenKind::tkString:
    if (FParse.InRoutineBody && !FParse.InAsm)
      MetricsHandler().StringInBody(BodyRoutine(), t);
    break;
  case TTokenKind::tkSymbol:
    HandleSymbol();
    break;
  case TTokenKind::tkNumber:
    if (FParse.InRoutineBody && !FParse.ConstSeen)
      MetricsHandler().NumberInBody(BodyRoutine(), t);
    break;
  }
}

TProcItem *TCustomPascalModuleExplorer::BodyRoutine() const {
  return FParse.CurrentItem ? FParse.CurrentItem->AsProcItem() : nullptr;
}

TTokenKind TCustomPascalModuleExplorer::NextTokenReportingDirectives() {
  const bool saved = FParse.OutsideDeclarations;
  FParse.OutsideDeclarations = false;
  struct TRestore {
    bool &Flag;
    bool Value;
    ~TRestore() { Flag = Value; }
  } restore{FParse.OutsideDeclarations, saved};
  return NextToken();
}

TTokenKind TCustomPascalModuleExplorer::NextTokenKeepComments() {
  const TTokenKinds saved = FParse.SkipKinds;
  FParse.SkipKinds.Exclude(TTokenKind::tkComment);
  struct TRestore {
    TTokenKinds &Kinds;
    TTokenKinds Value;
    ~TRestore() { Kinds = Value; }
  } restore{FParse.SkipKinds, saved};
  return NextToken();
}

TTokenKind TCustomPascalModuleExplorer::NextStatementToken() {
  if (FParse.PushBack) {
    FParse.PushBack = false;
    return TokenKind();
  }
  return NextToken();
}

void TCustomPascalModuleExplorer::PushBackDeclarationStart() {
  const TTokenKind k = TokenKind();
  if (k == TTokenKind::tkIdent || k == TTokenKind::tkKRTag || IsSymbol(u"["))
    FParse.PushBack = true;
}

bool TCustomPascalModuleExplorer::OperatorIsKeyword() const {
  return SameText(CurrentIdent().Text, u"CLASS");
}

bool TCustomPascalModuleExplorer::IsDirectiveWord(TReservedWord &word) {
  TReservedWord w;
  if (!TokenWord(w) || (w == rwOperator && !OperatorIsKeyword()) || AfterDottedNameDot())
    return false;
  word = w;
  return true;
}

void TCustomPascalModuleExplorer::CheckNotReservedWord() {
  TReservedWord w;
  if (IsReservedWordToken(w))
    RaiseUnexpectedToken();
}

namespace {

// The words that cannot follow an opening round or square bracket: each starts a section, a
// block or a declaration.
constexpr TReservedWord kNotAfterBracket[] = {
    rwBegin,   rwAsm,       rwEnd,         rwImplementation, rwInitialization, rwFinalization,
    rwResourceString, rwType, rwLabel,     rwThreadVar,      rwCase,           rwTry,
    rwPacked,  rwClass,     rwInterface,   rwRecord,         rwDispInterface,  rwConstructor,
    rwDestructor, rwProperty, rwUses,      rwStrict,         rwInline,         rwDelayed};

// The first and last letters of those words by length: an identifier that matches neither of
// its length is none of them, which saves the word lookup for nearly every identifier between
// brackets.
class TWordShapes {
public:
  TWordShapes() {
    for (TReservedWord w : kNotAfterBracket) {
      const String word = ReservedWordName(w).substr(2); // behind "rw"
      FFirst[word.size()] |= Bit(word.front());
      FLast[word.size()] |= Bit(word.back());
    }
  }
  bool MayBeOne(StringView text) const {
    const std::size_t n = text.size();
    return n > 0 && n < kLengths && (FFirst[n] & Bit(text.front())) != 0 &&
           (FLast[n] & Bit(text.back())) != 0;
  }

private:
  static constexpr std::size_t kLengths = 15;
  // The letter's bit, ASCII case folded; nothing for other characters.
  static std::uint32_t Bit(Char c) {
    c = static_cast<Char>(c | 0x20);
    return c >= u'a' && c <= u'z' ? 1u << (c - u'a') : 0;
  }
  std::uint32_t FFirst[kLengths]{}, FLast[kLengths]{};
};

} // namespace

void TCustomPascalModuleExplorer::CheckWordAfterBracket(Char ch) {
  TReservedWord w;
  if (ch == u'(' || ch == u'[') {
    static const TWordShapes shapes;
    if (shapes.MayBeOne(TokenText()) && IsDirectiveWord(w) &&
        std::find(std::begin(kNotAfterBracket), std::end(kNotAfterBracket), w) !=
            std::end(kNotAfterBracket))
      RaiseUnexpectedToken();
  } else if (ch == u'<') {
    if (IsReservedWordToken(w) && w != rwClass && w != rwRecord && w != rwConstructor)
      RaiseUnexpectedToken();
  }
}

// ---- Comments -------------------------------------------------------------------------------

void TCustomPascalModuleExplorer::HandleComment() {
  TGrammarTokenizer &t = Tokenizer();
  const TLastComment &c = t.LastComment();
  const Integer firstLine = ModelLine(c.Pos.Line);
  switch (FCommentMode) {
  case camEnabled:
    break;
  case camDisabled:
    return;
  case camSignOnly:
  case camSignUnassociate: {
    const String &text = t.Token();
    const std::size_t opener = c.Kind == TCommentKind::Brace ? 1 : 2;
    const bool equal = text.size() >= opener + FCommentSignature.size() &&
                       StringView(text).substr(opener, FCommentSignature.size()) ==
                           StringView(FCommentSignature);
    if (FCommentMode == camSignOnly) {
      if (!equal) {
        ReportIrregularComment(firstLine);
        return;
      }
    } else if (equal) {
      FParse.PendingCommentLine = -1;
      ReportIrregularComment(firstLine);
      return;
    }
    break;
  }
  }
  if (c.StartsLine) {
    if (FParse.PendingCommentLine < 0)
      FParse.PendingCommentLine = firstLine;
  } else {
    ReportIrregularComment(firstLine);
  }
}

void TCustomPascalModuleExplorer::ReportIrregularComment(Integer line) {
  if (line < 0 || !FParse.CurrentItem)
    return;
  TClassItem *cls = FParse.CurrentItem->AsClassItem();
  if (!cls)
    return;
  cls->SetWarning(cwIrregularMetaData, true);
  if (FDetailedMetaDataHints) {
    // "Irregular Comment or Attribute in <class> in line <line>", put together without
    // Format: a class body full of such comments adds one hint each.
    const String number = IntToStr(SourceLine(line));
    String text;
    text.reserve(34 + cls->Name().size() + 9 + number.size());
    text.append(StringView(u"Irregular Comment or Attribute in ")).append(cls->Name());
    text.append(StringView(u" in line ")).append(number);
    Messages()->AddMessage(std::move(text), SourceLine(line), kHint, 1);
  }
}

// ---- Directives, regions and include files --------------------------------------------------

void TCustomPascalModuleExplorer::HandleDirective(const String &text) {
  TGrammarTokenizer &t = Tokenizer();
  StringView body = text;
  if (!body.empty() && body[0] == u'(') {
    body = body.size() >= 5 ? body.substr(3, body.size() - 5) : StringView();
  } else {
    body = body.size() >= 3 ? body.substr(2, body.size() - 3) : StringView();
  }
  if (body.empty())
    return;
  // The directive's own start: a directive may span lines.
  const TSourcePos at = t.LastComment().Pos;
  bool region = false;
  // Most directives are neither: their first letter spares the two text comparisons.
  const Char first = body[0];
  if ((first == u'E' || first == u'e') && StartsText(u"ENDREGION", body)) {
    region = true;
    if (FParse.IgnoredRegions > 0) {
      --FParse.IgnoredRegions;
    } else if (FParse.CurrentRegion && FParse.CurrentRegion->Parent()) {
      FParse.CurrentRegion->EndLine = ModelLine(t.LineNr());
      FParse.CurrentRegion = FParse.CurrentRegion->Parent();
      --FParse.RegionDepth;
    } else {
      AddPositionMessage(SUnmatchedEndRegion, at, kError);
    }
  } else if ((first == u'R' || first == u'r') && StartsText(u"REGION", body)) {
    region = true;
    String name;
    if (!UnquotePascalString(Trim(body.substr(6)), name))
      AddPositionMessage(SRegionName, at, kError);
    if (FParse.RegionDepth >= MaxNestingDepth) {
      ++FParse.IgnoredRegions;
      AddPositionMessage(Format(SNestedTooDeep, {MaxNestingDepth}), at, kError);
    } else if (FParse.CurrentRegion) {
      auto *r = new TSourceRegion(FParse.CurrentRegion);
      r->Name = name;
      r->StartLine = ModelLine(at.Line);
      FParse.CurrentRegion = r;
      ++FParse.RegionDepth;
    }
  } else if ((first == u'R' || first == u'r') && body.size() > 6) {
    const String mask = Trim(body.substr(body.size() - 6));
    if ((SameText(mask, u"*.dfm") || SameText(mask, u"*.nfm") || SameText(mask, u"*.fmx")) &&
        !Module().DesignInfo())
      new TDFMModuleDesignInfo(&Module(), ModelLine(t.LineNr()));
  }
  if (region || FParse.DeclarationMode) {
    if (TClassItem *cls = FParse.CurrentItem ? FParse.CurrentItem->AsClassItem() : nullptr)
      cls->SetWarning(region ? cwRegion : cwDirective, true);
  }
  if (FParse.OutsideDeclarations)
    return;
  if (region) {
    if (ReportedWarnings().Contains(cwRegion))
      AddPositionMessage(Format(SIgnoredRegion, {text}), at, kWarning);
  } else if (ReportedWarnings().Contains(cwDirective)) {
    AddPositionMessage(Format(SIgnoredDirective, {text}), at, kWarning);
  }
}

String TCustomPascalModuleExplorer::IncludingFileName() { return Module().FileName(); }

void TCustomPascalModuleExplorer::IncludeFileNotFound(const String &fileName) {
  AddPositionMessage(Format(SIncludeNotFound, {fileName}), Tokenizer().LastComment().Pos, kWarning);
}

void TCustomPascalModuleExplorer::BeginIncludeFile(const String &fileName) {
  TGrammarTokenizer &t = Tokenizer();
  const bool moduleLevel = FParse.CurrentItem == ModuleLevelScope();
  auto *item = new TIncludeFileItem(FParse.CurrentItem, fileName);
  FParse.IncludeStack.push_back({FParse.CurrentItem, item, moduleLevel});
  item->SetVisibility(FParse.Visibility);
  // The item stands on the line where the directive ends, at the directive's column.
  item->SetStart({t.LineNr(), t.LastComment().Pos.Column});
  item->SetEnd(LastReadPos());
  FParse.CurrentItem = item;
}

void TCustomPascalModuleExplorer::ForgetCurrentIdent() {
  // The previous token's text may view the record's string, which is kept.
  FParse.Idents[FParse.CurIdent].Text = {};
}

void TCustomPascalModuleExplorer::EndIncludeFile() {
  if (FParse.IncludeStack.empty())
    return;
  FParse.CurrentItem = FParse.IncludeStack.back().Interrupted;
  FParse.IncludeStack.pop_back();
}

TCodeItem *TCustomPascalModuleExplorer::ModuleLevelScope() {
  for (auto it = FParse.IncludeStack.rbegin(); it != FParse.IncludeStack.rend(); ++it)
    if (it->ModuleLevel)
      return it->Item;
  return &Module();
}

TClassItem *TCustomPascalModuleExplorer::BodyClass() const {
  TCodeItem *item = FParse.CurrentItem;
  while (item && item->Kind() == ckModuleSection && dynamic_cast<TIncludeFileItem *>(item))
    item = item->Owner();
  return item ? item->AsClassItem() : nullptr;
}

// ---- Skipping and reading -------------------------------------------------------------------

void TCustomPascalModuleExplorer::SkipToDirectiveOrSemicolon(
    std::initializer_list<TReservedWord> words, String &text) {
  TCollectingGuard collect(Tokenizer());
  bool first = true;
  for (;;) {
    const TTokenKind k = NextToken();
    if (k == TTokenKind::tkNone || k == TTokenKind::tkError || IsSymbol(u";"))
      break;
    if (k == TTokenKind::tkIdent) {
      TReservedWord w;
      if (!first && IsDirectiveWord(w) && OneOf(w, words))
        break;
      if (IsReservedWordToken(w) && !OneOf(w, words))
        RaiseUnexpectedToken();
    }
    first = false;
  }
  text = Tokenizer().CollectedTextAsLine(false);
}

void TCustomPascalModuleExplorer::SkipExpression(std::initializer_list<TReservedWord> words,
                                                 String &text) {
  TCollectingGuard collect(Tokenizer());
  for (;;) {
    const TTokenKind k = NextToken();
    if (k == TTokenKind::tkNone || IsSymbol(u";"))
      break;
    if (k == TTokenKind::tkIdent) {
      TReservedWord w;
      if (IsDirectiveWord(w) && OneOf(w, words))
        break;
      if (IsReservedWordToken(w) && !OneOf(w, words))
        RaiseUnexpectedToken();
    } else if (k == TTokenKind::tkSymbol) {
      // A sum, or a signed number (dispid -4 of a type library's enumerator).
      if (!IsSymbol(u"+") && !IsSymbol(u"-"))
        RaiseUnexpectedToken();
    } else if (k == TTokenKind::tkKRTag) {
      RaiseUnexpectedToken();
    }
  }
  text = Tokenizer().CollectedTextAsLine(false);
}

void TCustomPascalModuleExplorer::ReadDesignator(String &text) {
  text = Helper().ReadIdent();
  for (;;) {
    NextToken();
    if (IsSymbol(u".")) {
      text += u".";
      text += Helper().ReadIdent();
    } else if (IsSymbol(u"[")) {
      text += u"[";
      text += Helper().ReadBracketed(u'[', u']', false);
      text += u"]";
    } else {
      return;
    }
  }
}

void TCustomPascalModuleExplorer::SkipTypeList(Char terminator,
                                               std::initializer_list<TReservedWord> words,
                                               String &text) {
  text.clear();
  for (;;) {
    const String name = Helper().ReadTypeIdent();
    if (!text.empty())
      text += u", ";
    text += name;
    if (!IsSymbol(u","))
      break;
  }
  TReservedWord w;
  if (TokenKind() == TTokenKind::tkSymbol && Token().size() == 1 && Token()[0] == terminator)
    return;
  if (IsDirectiveWord(w) && OneOf(w, words))
    return;
  RaiseUnexpectedToken();
}

void TCustomPascalModuleExplorer::SkipAsmBlock() {
  TGrammarTokenizer &t = Tokenizer();
  const bool saved = t.DoubleQuotedStrings();
  t.SetDoubleQuotedStrings(true);
  FParse.InAsm = true;
  struct TRestore {
    TCustomPascalModuleExplorer &E;
    TGrammarTokenizer &T;
    bool Saved;
    ~TRestore() {
      T.SetDoubleQuotedStrings(Saved);
      E.FParse.InAsm = false;
    }
  } restore{*this, t, saved};
  for (;;) {
    const TTokenKind k = NextToken();
    if (k == TTokenKind::tkNone)
      break;
    if (k != TTokenKind::tkIdent)
      continue;
    if (FParse.PrevTokenKind == TTokenKind::tkSymbol && PrevTokenText() == u"@")
      continue;
    TReservedWord w;
    if (IsReservedWordToken(w) && w != rwType && w != rwPacked)
      break;
  }
  PushBackDeclarationStart();
}

void TCustomPascalModuleExplorer::SkipAttribute(Integer depth) {
  if (TClassItem *cls = FParse.CurrentItem ? FParse.CurrentItem->AsClassItem() : nullptr)
    cls->SetWarning(cwAttribute, true);
  Helper().SkipToClosingBracket(depth);
}

// ---- Scope and blocks -----------------------------------------------------------------------

void TCustomPascalModuleExplorer::SetCurrentItem(TCodeItem *item) {
  if (item == FParse.CurrentItem)
    return;
  FParse.CurrentItem = item;
  FParse.CodeSectionKind = cskUndefined;
  UpdateCurrentScope();
}

void TCustomPascalModuleExplorer::UpdateCurrentScope() {
  TModuleItem &module = Module();
  if (FParse.CurrentItem == &module || FParse.CurrentItem == ModuleLevelScope())
    FParse.Visibility =
        (module.ImplLineNr() >= 0 || module.ModuleType() != mtUnit) ? scPrivate : scPublic;
}

void TCustomPascalModuleExplorer::PushBlock(TCodeItem *item) {
  FParse.Blocks.push_back({item, rwBegin});
}

void TCustomPascalModuleExplorer::PushMarker(TReservedWord word) {
  FParse.Blocks.push_back({nullptr, word});
}

void TCustomPascalModuleExplorer::BeginBlock(TReservedWord word) {
  TGrammarTokenizer &t = Tokenizer();
  switch (word) {
  case rwBegin:
  case rwAsm:
    if (FParse.Blocks.size() == 1 && FParse.CurrentItem &&
        (FParse.CurrentItem == &Module() || IsRoutineItem(FParse.CurrentItem))) {
      PushBlock(FParse.CurrentItem);
      if (auto *proc = FParse.CurrentItem->AsProcItem()) {
        proc->SetBegin({t.LineNr(), TokenPos().Column});
        if (word == rwAsm)
          proc->SetIsPureAsmProc(true);
        FParse.InRoutineBody = true;
      }
    } else {
      PushMarker(word);
    }
    break;
  case rwInitialization:
  case rwFinalization:
  case rwTry:
  case rwRecord:
    PushMarker(word);
    break;
  case rwCase: {
    const TBlockEntry &last = FParse.Blocks.back();
    if (!last.Item && last.Word == rwRecord)
      break;
    TClassItem *cls = last.Item ? last.Item->AsClassItem() : nullptr;
    if (cls && cls->ClassKind() == clRecord) {
      ParseVariantPart();
      break;
    }
    PushMarker(word);
    break;
  }
  default:
    // Only the words above open blocks; any other is a grammar mistake, not source text.
    KR_ASSERT(false);
  }
}

TSourcePos TCustomPascalModuleExplorer::PreviousLineEnd() {
  return {Tokenizer().LineNr() - 1, kMaxInteger};
}

TSourcePos TCustomPascalModuleExplorer::ClosingEndStart() {
  const TSourcePos scan = ScanPos();
  return {scan.Line, scan.Column - 3};
}

void TCustomPascalModuleExplorer::EndBlock(bool closed) {
  TGrammarTokenizer &t = Tokenizer();
  TModuleItem &module = Module();
  if (FParse.Blocks.size() <= 1) {
    SetCurrentItem(&module);
    module.SetEndLineValue(ModelLine(t.LineNr()));
    FParse.DeclarationMode = false;
    FParse.OutsideDeclarations = true;
    FParse.InRoutineBody = false;
    FParse.CodeSectionKind = cskUndefined;
    return;
  }
  const TBlockEntry entry = FParse.Blocks.back();
  FParse.Blocks.pop_back();
  if (!entry.Item)
    return;
  TCodeItem *item = entry.Item;
  auto *proc = item->AsProcItem();
  TClassItem *cls = item->AsClassItem();
  if (closed) {
    item->SetDeclarationEnd(LastReadPos());
    if (proc) {
      proc->SetBodyEnd(ClosingEndStart());
      FParse.InRoutineBody = false;
    }
    try {
      if (cls) {
        ReportIrregularComment(GetPendingCommentLine());
        if (!IsSymbol(u";"))
          ParseHintDirectives(cls, false, false, true);
      } else if (!IsSymbol(u";")) {
        NextToken();
      }
    } catch (const ETokenError &) {
      // The message is out; the block still ends here.
      item->SetBadFormat(true);
    }
    if (IsSymbol(u";"))
      item->SetDeclarationEnd(LastReadPos());
    else
      PushBackDeclarationStart();
  } else {
    item->SetDeclarationEnd(PreviousLineEnd());
    if (proc)
      proc->SetBodyEnd(PreviousLineEnd());
    FParse.InRoutineBody = false;
  }
  if (item == FParse.CurrentItem)
    SetCurrentItem(item->Owner() ? item->Owner() : &module);
  if (cls) {
    const bool nested = GlobalPascalLanguage()->SupportsNestedTypes();
    if (!(nested && BodyClass()))
      SetDeclarationMode(false);
    FParse.CodeSectionKind = cskType;
    FParse.Visibility = cls->Visibility();
  } else {
    FParse.CodeSectionKind = cskUndefined;
  }
}

void TCustomPascalModuleExplorer::CloseOpenBlocks() {
  while (FParse.Blocks.size() > 1)
    EndBlock(false);
  FParse.DeclarationMode = false;
  FParse.OutsideDeclarations = true;
  // Declarations that follow belong to the include file being read, when it was opened at
  // module level, so that their positions are known to count in that file.
  SetCurrentItem(ModuleLevelScope());
}

void TCustomPascalModuleExplorer::SetDeclarationMode(bool on) {
  if (on == FParse.DeclarationMode)
    return;
  FParse.DeclarationMode = on;
  FParse.OutsideDeclarations = !on;
  if (on) {
    // A class body that an include file begins is still the class's block.
    TCodeItem *item = FParse.CurrentItem;
    if (item && item->Kind() == ckModuleSection && item->Owner() &&
        item->Owner()->AsClassItem() && dynamic_cast<TIncludeFileItem *>(item))
      item = item->Owner();
    PushBlock(item);
  } else
    CloseOpenBlocks();
}

TModuleSectionItem *TCustomPascalModuleExplorer::AddModuleSection(TModuleSectionKind kind) {
  TGrammarTokenizer &t = Tokenizer();
  TModuleSectionItem *section = Module().AddSection(kind);
  section->SetStart({t.LineNr(), TokenPos().Column});
  section->SetHeaderEnd(LastReadPos());
  FParse.CodeSectionKind = cskUndefined;
  FModuleSectionKind = kind;
  return section;
}

TModuleSectionKind TCustomPascalModuleExplorer::ReservedWordToSectionKind(TReservedWord word) {
  switch (word) {
  case rwInterface:
    return msInterface;
  case rwImplementation:
    return msImplementation;
  case rwInitialization:
    return msInitialization;
  case rwFinalization:
    return msFinalization;
  default:
    KR_ASSERT(false);
    return msImplementation;
  }
}

void TCustomPascalModuleExplorer::SetImplementationLine(Integer line) {
  Module().SetImplLineNr(line);
  FParse.ImplementationIncludes.clear();
  for (const TIncludeEntry &e : FParse.IncludeStack)
    FParse.ImplementationIncludes.push_back(e.Item->LineNr());
}

Integer TCustomPascalModuleExplorer::GetImplementationLine() const {
  return ModuleItem()->ImplLineNr();
}

// ---- Declaration items ----------------------------------------------------------------------

void TCustomPascalModuleExplorer::SetHeaderEndAtToken(TCodeItem *item) {
  item->SetEnd(IsSymbol(u";") ? LastReadPos() : EndBeforeToken());
}

void TCustomPascalModuleExplorer::ParseModuleHeader() {
  TModuleItem &module = Module();
  TGrammarTokenizer &t = Tokenizer();
  module.SetModuleType(mtUnknown);
  module.SetHintDirectives({});
  module.SetDeprecatedText(String());
  TModuleType moduleType;
  if (NextToken() == TTokenKind::tkIdent && ModuleKindFromText(Token(), moduleType)) {
    module.SetModuleType(moduleType);
    UpdateCurrentScope();
    module.SetStart({t.LineNr(), TokenPos().Column});
    module.SetPrologLine(GetPendingCommentLine());
    if (moduleType != mtUnit) {
      module.SetImplLineNr(0);
      UpdateCurrentScope();
    }
    try {
      module.SetName(Helper().ReadQualifiedIdent());
      ParseHintDirectives(&module, true, false, false);
    } catch (const ETokenError &) {
      module.SetBadFormat(true);
    }
    module.SetHeaderEnd(LastReadPos());
  } else {
    PushBackDeclarationStart();
  }
}

TProcData *TCustomPascalModuleExplorer::ParseProcData(TMethodKind methodKind, const String &name,
                                                      Integer prologLine, TSourcePos start) {
  if (FParse.Blocks.size() > 1)
    CloseOpenBlocks();
  if (TokenKind() == TTokenKind::tkNone)
    RaiseUnexpectedToken();
  auto *proc = new TProcData(FParse.CurrentItem);
  proc->SetPrologLine(prologLine);
  try {
    if (TokenKind() != TTokenKind::tkIdent && TokenKind() != TTokenKind::tkSymbol)
      RaiseUnexpectedToken();
    ParseProcSignature(proc, methodKind, start, name);
    const TMethodDirectives allowed{pdForward, pdExternal, pdOverload, pdUnsafe,
                                    pdInline,  pdDelayed,  pdAsync,    pdLocked};
    if (!(proc->Directives() - allowed).Empty())
      RaiseBadFormat(SIllegalProcDirectives);
  } catch (const ETokenError &) {
    proc->SetBadFormat(true);
    FinishProcData(proc);
    throw;
  }
  FinishProcData(proc);
  return proc;
}

void TCustomPascalModuleExplorer::FinishProcData(TProcData *proc) {
  SetHeaderEndAtToken(proc);
  if (!proc->HasDirective(pdForward) && !proc->HasDirective(pdExternal) &&
      GetImplementationLine() >= 0 && WithinNestingLimit(proc))
    SetCurrentItem(proc);
}

void TCustomPascalModuleExplorer::ParseProcSignature(TProcItem *item, TMethodKind methodKind,
                                                     TSourcePos start, const String &name) {
  item->SetMethodKind(methodKind);
  item->SetName(name);
  item->SetStart(start);
  if (IsSymbol(u"(")) {
    item->SetParameters(Helper().ReadBracketed(u'(', u')', false));
    NextToken();
  }
  if (IsSymbol(u":")) {
    item->SetDataName(Helper().ReadTypeIdent());
    if (methodKind != mkFunction && methodKind != mkOperator && methodKind != mkMethod)
      RaiseUnexpectedToken();
  } else {
    item->SetDataName(String());
  }
  if (TokenKind() == TTokenKind::tkSymbol && !IsSymbol(u";"))
    RaiseUnexpectedToken();
}

namespace {
// Name and generic arity of a routine item from one part of a dotted name.
void SetRoutineName(TCodeItem *item, const TGenericIdentifer &part) {
  item->SetName(part.Name);
  if (part.GenericCount > 0) {
    item->SetGenericArity(part.Name, part.GenericCount);
    item->SetTypeConstraints(part.GenericText);
  }
}
} // namespace

TMethodItem *TCustomPascalModuleExplorer::ParseMethodDeclaration(
    const TRoutineHeading &heading, const TGenericIdentPath &nameParts) {
  auto *method = new TMethodItem(FParse.CurrentItem);
  method->SetPrologLine(heading.PrologLine);
  method->SetVisibility(FParse.Visibility);
  method->SetMethodKind(heading.MethodKind);
  if (heading.ClassMethod)
    method->SetClassMethod(true);
  const TGenericIdentifer &part = nameParts.front();
  try {
    ParseProcSignature(method, heading.MethodKind, heading.Start, part.Name);
    SetRoutineName(method, part);
    if (method->HasDirective(pdForward))
      RaiseBadFormat(SUnexpectedDirective);
  } catch (const ETokenError &) {
    method->SetBadFormat(true);
    SetHeaderEndAtToken(method);
    throw;
  }
  SetHeaderEndAtToken(method);
  return method;
}

TMethodImplItem *TCustomPascalModuleExplorer::ParseMethodImplementation(
    const TRoutineHeading &heading, const TGenericIdentPath &nameParts) {
  TGrammarTokenizer &t = Tokenizer();
  if (FParse.Blocks.size() > 1)
    CloseOpenBlocks();
  if (GetImplementationLine() < 0) {
    SetImplementationLine(ModelLine(t.LineNr()));
    UpdateCurrentScope();
  }
  auto *impl = new TMethodImplItem(FParse.CurrentItem);
  impl->SetPrologLine(heading.PrologLine);
  impl->SetVisibility(FParse.Visibility);
  if (heading.ClassMethod)
    impl->SetClassMethod(true);
  const Integer n = static_cast<Integer>(nameParts.size());
  const TGenericIdentifer &last = nameParts.back();
  try {
    if (n < 2)
      RaiseUnexpectedToken();
    impl->SetBaseClass(GenericIdentPathText(nameParts, n - 1));
    impl->SetRefBaseClass(GenericIdentPathLookupName(nameParts, n - 1));
    ParseProcSignature(impl, heading.MethodKind, heading.Start, last.Name);
    SetRoutineName(impl, last);
    if (impl->HasDirective(pdForward) || impl->HasDirective(pdExternal))
      RaiseBadFormat(SUnexpectedDirective);
    if (n > 2 && !GlobalPascalLanguage()->SupportsNestedTypes())
      RaiseUnexpectedToken();
  } catch (const ETokenError &) {
    impl->SetBadFormat(true);
  }
  SetHeaderEndAtToken(impl);
  if (WithinNestingLimit(impl))
    SetCurrentItem(impl);
  return impl;
}

TClassItem *TCustomPascalModuleExplorer::AddClassItem(TClassKind classKind,
                                                      const TIdentRecord &declaredName) {
  const bool nested = GlobalPascalLanguage()->SupportsNestedTypes();
  if (!(nested && FParse.CodeSectionKind == cskType)) {
    if (FParse.DeclarationMode)
      SetDeclarationMode(false);
    else
      CloseOpenBlocks();
  }
  // An include directive directly behind the class header is read while the grammar still
  // looks ahead from the header, before the class exists; the include file then holds the
  // start of the class body, so its (still empty) item moves under the new class.
  TIncludeEntry *body = nullptr;
  if (!FParse.IncludeStack.empty() && FParse.CurrentItem == FParse.IncludeStack.back().Item &&
      FParse.CurrentItem->ChildCount() == 0 && declaredName.Include != FParse.CurrentItem)
    body = &FParse.IncludeStack.back();
  auto *cls = new TClassItem(body ? body->Interrupted : FParse.CurrentItem);
  cls->SetClassKind(classKind);
  cls->SetName(String(declaredName.Text));
  cls->SetStart(declaredName.Start());
  cls->SetPrologLine(declaredName.PrologLine);
  cls->SetVisibility(FParse.Visibility);
  const StringView name = declaredName.Text;
  const std::size_t lt = name.find(u'<');
  if (lt != StringView::npos) {
    const String base(name.substr(0, lt));
    TGenericParamList params;
    try {
      params.ParseText(String(name.substr(lt)));
      String names;
      bool constrained = false;
      for (Integer i = 0; i < params.Count(); ++i) {
        if (i)
          names += u",";
        names += params[i].Name;
        constrained = constrained || !params[i].Constraints.empty();
      }
      cls->SetName(base + u"<" + names + u">");
      cls->SetGenericArity(base, params.Count());
      if (constrained)
        cls->SetTypeConstraints(params.GetAsText());
    } catch (const EGenericParamListError &) {
      // A list the grammar accepted but the parameter parser refuses: keep the name as
      // written and mark the declaration.
      cls->SetBadFormat(true);
    }
  }
  if (body) {
    FParse.DepthOwner = nullptr; // the include file's item moves one level down
    body->Item->SetOwner(cls);
    body->Item->SetVisibility(scDefault);
    body->Interrupted = cls;
    body->ModuleLevel = false;
    SetCurrentItem(body->Item);
  } else {
    SetCurrentItem(cls);
  }
  FParse.CodeSectionKind = cskUndefined;
  FParse.Visibility = scDefault;
  return cls;
}

bool TCustomPascalModuleExplorer::WithinNestingLimit(TCodeItem *item) {
  const TCodeItem *owner = item->Owner();
  if (owner != FParse.DepthOwner) {
    Integer depth = 0;
    for (const TCodeItem *p = owner; p && p->Owner() && depth < MaxNestingDepth; p = p->Owner())
      ++depth;
    FParse.DepthOwner = owner;
    FParse.DepthOfOwner = depth;
  }
  if (FParse.DepthOfOwner < MaxNestingDepth)
    return true;
  item->SetBadFormat(true);
  AddPositionMessage(Format(SNestedTooDeep, {MaxNestingDepth}), item->Start(), kError);
  return false;
}

void TCustomPascalModuleExplorer::ParseHintDirectives(TCodeItem *, bool atCurrent, bool, bool) {
  if (!atCurrent) {
    NextToken();
    PushBackDeclarationStart();
  }
}

void TCustomPascalModuleExplorer::ParseVariantPart() { RaiseBadFormat(SVariantRecords); }

// ---- Messages -------------------------------------------------------------------------------

void TCustomPascalModuleExplorer::AddPositionMessage(const String &text, TSourcePos pos,
                                                     TCodeMessageKind kind) {
  Messages()->AddPositionMessage(text, pos.Line, kind, pos.Column);
}

void TCustomPascalModuleExplorer::RaiseUnexpectedToken() {
  RaiseBadFormat(Format(SUnexpectedToken, {Token()}));
}

void TCustomPascalModuleExplorer::RaiseBadFormat(const String &text) {
  AddPositionMessage(text, TokenPos(), kError);
  throw EBadFormat(text);
}

void TCustomPascalModuleExplorer::AddWarningAtLastToken(const String &text) {
  AddPositionMessage(text, FParse.Before, kWarning);
}

// ---- After the parse ------------------------------------------------------------------------

void TCustomPascalModuleExplorer::ApplyClassWarnings() {
  TModuleItem &module = Module();
  const TClassItemWarnings reported = ReportedWarnings();
  for (Integer i = 0; i < module.ChildCount(); ++i) {
    TClassItem *cls = module.GetChild(i)->AsClassItem();
    if (!cls)
      continue;
    const TClassItemWarnings w = cls->Warnings() * reported;
    if (w.Contains(cwAttribute))
      AddPositionMessage(Format(SIgnoredAttributes, {cls->Name()}), cls->Start(), kWarning);
    if (w.Contains(cwIrregularMetaData) && !FDetailedMetaDataHints)
      Messages()->AddMessage(Format(SIrregularClass, {cls->Name()}), cls->Start().Line, kHint,
                             cls->Start().Column);
  }
}

namespace {

// The container's own items of the given kind; items of included files count as the
// container's, since they stand directly in its text. `visit` gets each item with the lines
// of the include directives that hold it, outermost first (empty for the container's own).
template <class Visit>
void ForTopLevel(TCodeItem *container, TCodeItemKind kind, Visit &&visit,
                 std::vector<Integer> &includes) {
  for (Integer i = 0; i < container->ChildCount(); ++i) {
    TCodeItem *child = container->GetChild(i);
    if (child->Kind() == kind) {
      visit(static_cast<TProcItem *>(child), includes);
    } else if (child->ChildCount() > 0 && dynamic_cast<TIncludeFileItem *>(child)) {
      includes.push_back(child->LineNr());
      ForTopLevel(child, kind, visit, includes);
      includes.pop_back();
    }
  }
}

void CollectTopLevel(TCodeItem *container, TCodeItemKind kind, std::vector<TProcItem *> &out) {
  std::vector<Integer> includes;
  ForTopLevel(
      container, kind, [&](TProcItem *p, const std::vector<Integer> &) { out.push_back(p); },
      includes);
}

// Whether a place comes before another, each given by the lines of the include directives
// that hold it (outermost first) and its line in the innermost file: lines of different
// files are never compared with each other.
bool Precedes(const std::vector<Integer> &includes, Integer line,
              const std::vector<Integer> &otherIncludes, Integer otherLine) {
  const std::size_t n = std::min(includes.size(), otherIncludes.size());
  for (std::size_t i = 0; i < n; ++i)
    if (includes[i] != otherIncludes[i])
      return includes[i] < otherIncludes[i];
  return (includes.size() > n ? includes[n] : line) <
         (otherIncludes.size() > n ? otherIncludes[n] : otherLine);
}

// Pascal identifiers are the same without regard to case for every letter, as the language's
// SameIdent compares them. An identifier's key maps each character so that two keys are equal
// exactly when the identifiers are: ASCII upper-cased, any other character by its simple case
// folding (a result in ASCII upper-cased too). An ASCII name's key is its upper-case form, so
// such names sort as CompareText sorts them, and CompareText on keys upper-cases nothing.
inline Char IdentKeyChar(Char c) {
  if (c >= 0x80) {
    c = FoldChar(c);
    if (c >= 0x80)
      return c;
  }
  return c >= u'a' && c <= u'z' ? static_cast<Char>(c - 32) : c;
}

String IdentKey(String s) {
  for (Char &c : s)
    c = IdentKeyChar(c);
  return s;
}

// Without an early exit, so that the compiler reads several characters at a time.
bool IsAscii(StringView s) {
  Char any = 0;
  for (const Char c : s)
    any |= c;
  return any < 0x80;
}

bool SameIdentName(StringView a, StringView b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && IdentKeyChar(a[i]) != IdentKeyChar(b[i]))
      return false;
  return true;
}

// A routine with its lookup name; small and trivially copied, so that sorting moves no
// strings. Its signature key is computed only when a match needs it (TSignatureKeys).
struct TKeyedProc {
  TProcItem *Item;
  // The lookup name, or its key when the name is not plain ASCII (CompareText on either
  // compares as on keys).
  StringView Key;
  Integer Signature = -1;
  // The key's first eight characters, a byte each from the high end and zero behind the
  // name's end, so that most comparisons of the sort are one of integers. A character from
  // 0xFF on ends the prefix with 0xFF: names that agree up to there are compared in full.
  std::uint64_t Prefix = 0;
};

std::uint64_t UpperPrefix(StringView name) {
  std::uint64_t key = 0;
  std::size_t i = 0;
  for (; i < 8 && i < name.size(); ++i) {
    Char c = name[i];
    if (c >= u'a' && c <= u'z')
      c = static_cast<Char>(c - 32);
    if (c >= 0xFF) {
      key = (key << 8) | 0xFF;
      ++i;
      break;
    }
    key = (key << 8) | c;
  }
  return i == 0 ? 0 : i < 8 ? key << (8 * (8 - i)) : key;
}

// Routines in the order of their names' keys; stable, so that equal names keep source order.
// Keys of names that are not plain ASCII are made once each and kept in `keys`, which must
// be empty.
std::vector<TKeyedProc> SortedByLookupName(const std::vector<TProcItem *> &items,
                                           std::vector<String> &keys) {
  std::vector<TKeyedProc> r;
  r.reserve(items.size());
  for (TProcItem *p : items) {
    StringView name = p->GetLookupName();
    if (!IsAscii(name)) {
      if (keys.empty())
        keys.reserve(items.size()); // the views below stay valid
      keys.push_back(IdentKey(String(name)));
      name = keys.back();
    }
    r.push_back({p, name, -1, UpperPrefix(name)});
  }
  std::stable_sort(r.begin(), r.end(), [](const TKeyedProc &a, const TKeyedProc &b) {
    if (a.Prefix != b.Prefix)
      return a.Prefix < b.Prefix;
    return CompareText(a.Key, b.Key) < 0;
  });
  return r;
}

// The signature keys of the routines asked about, each computed once.
class TSignatureKeys {
public:
  bool Same(TKeyedProc &a, TKeyedProc &b) {
    bool same = false;
    if ((a.Signature < 0 || b.Signature < 0) && OneOmitsParameters(*a.Item, *b.Item, same))
      return same;
    const std::size_t i = Index(a), j = Index(b);
    return FKeys[i] == FKeys[j];
  }

private:
  // An implementation may leave its parameter list out, as Pascal allows: against a routine
  // with parameters and a key marked alike (both methods or both standalone routines, class
  // methods or not, no operator), the keys are the same exactly when that routine's signature
  // is the empty list's, which is found without writing it. False when this does not apply.
  static bool OneOmitsParameters(const TProcItem &x, const TProcItem &y, bool &same) {
    const auto blank = [](StringView s) {
      return std::all_of(s.begin(), s.end(), [](Char c) { return c <= u' '; });
    };
    const bool xBlank = blank(x.Parameters()), yBlank = blank(y.Parameters());
    if (xBlank == yBlank || x.MethodKind() == mkOperator || y.MethodKind() == mkOperator ||
        x.HasDirective(pdClassMethod) != y.HasDirective(pdClassMethod) ||
        (x.Kind() == ckProcedure) != (y.Kind() == ckProcedure))
      return false;
    const TProcItem &other = xBlank ? y : x;
    same = IsEmptyParamSignature(other.Parameters(), other.GetLanguageKind());
    return true;
  }

  std::size_t Index(TKeyedProc &k) {
    if (k.Signature < 0) {
      k.Signature = static_cast<Integer>(FKeys.size());
      FKeys.push_back(IdentKey(k.Item->GetSignatureKey()));
    }
    return static_cast<std::size_t>(k.Signature);
  }

  std::vector<String> FKeys;
};

} // namespace

void TCustomPascalModuleExplorer::Link(TProcItem *decl, TProcItem *impl) {
  decl->SetImplRef(impl);
  impl->SetDeclRef(decl);
}

void TCustomPascalModuleExplorer::CreateMissingDeclarations(std::vector<TProcItem *> &impls,
                                                            TCodeItem *owner) {
  auto *cls = dynamic_cast<TClassItem *>(owner);
  if (!cls)
    return;
  for (TProcItem *impl : impls) {
    auto *stub = new TMethodItem(cls);
    stub->Assign(impl);
    stub->SetStub(true);
    Link(stub, impl);
    if (!cls->Stub())
      AddPositionMessage(Format(SDeclNotFound, {cls->Name(), impl->Name()}), impl->Start(),
                         kWarning);
  }
}

void TCustomPascalModuleExplorer::Associate(std::vector<TProcItem *> &decls,
                                            std::vector<TProcItem *> &impls, TCodeItem *owner,
                                            bool shared) {
  // Nothing to match, and no stubs to make for implementations outside a class.
  if (impls.empty() || (decls.empty() && !dynamic_cast<TClassItem *>(owner))) {
    decls.clear();
    impls.clear();
    return;
  }
  std::vector<String> declKeys, implKeys;
  std::vector<TKeyedProc> ds = SortedByLookupName(decls, declKeys),
                          is = SortedByLookupName(impls, implKeys);
  decls.clear();
  impls.clear();
  std::size_t dn = ds.size(), in = is.size();
  std::vector<TKeyedProc *> g, h, taken;
  std::vector<TProcItem *> missing;
  TSignatureKeys keys;
  while (in > 0) {
    if (dn == 0) {
      for (std::size_t i = 0; i < in; ++i)
        missing.push_back(is[i].Item);
      CreateMissingDeclarations(missing, owner);
      return;
    }
    const StringView name = is[in - 1].Key;
    g.clear();
    h.clear();
    while (in > 0 && SameText(is[in - 1].Key, name)) {
      g.push_back(&is[in - 1]);
      --in;
    }
    while (dn > 0) {
      const Integer c = CompareText(ds[dn - 1].Key, name);
      if (c > 0) {
        --dn;
      } else if (c == 0) {
        h.push_back(&ds[dn - 1]);
        --dn;
      } else {
        break;
      }
    }
    // g and h hold their items in reverse source order; match from the end of each.
    std::reverse(g.begin(), g.end());
    std::reverse(h.begin(), h.end());
    taken.clear();
    for (auto hd = h.size(); hd-- > 0;) {
      for (auto gi = g.size(); gi-- > 0;) {
        if (h[hd]->Item->SameSignatureSource(*g[gi]->Item) || keys.Same(*g[gi], *h[hd])) {
          Link(h[hd]->Item, g[gi]->Item);
          if (shared)
            taken.push_back(g[gi]);
          g.erase(g.begin() + static_cast<std::ptrdiff_t>(gi));
          h.erase(h.begin() + static_cast<std::ptrdiff_t>(hd));
          break;
        }
      }
    }
    // A declaration of a classifier declared more than once under one name shares the body
    // that a declaration of the same signature got.
    for (auto hd = taken.empty() ? 0 : h.size(); hd-- > 0;) {
      for (TKeyedProc *impl : taken) {
        if (h[hd]->Item->SameSignatureSource(*impl->Item) || keys.Same(*impl, *h[hd])) {
          h[hd]->Item->SetImplRef(impl->Item);
          h.erase(h.begin() + static_cast<std::ptrdiff_t>(hd));
          break;
        }
      }
    }
    if (h.size() == 1 && g.size() == 1) {
      TProcItem *impl = g[0]->Item;
      Link(h[0]->Item, impl);
      AddPositionMessage(SDifferentParams, impl->Start(), kWarning);
      g.clear();
    }
    missing.clear();
    for (TKeyedProc *k : g)
      missing.push_back(k->Item);
    CreateMissingDeclarations(missing, owner);
  }
}

void TCustomPascalModuleExplorer::AssociateMethods() {
  TModuleItem &module = Module();
  std::vector<TProcItem *> allImpls;
  CollectTopLevel(&module, ckMethodImpl, allImpls);
  // Implementations by the key of their class part, in source order.
  std::unordered_map<String, std::vector<TProcItem *>> byClass;
  std::vector<String> order;
  // A class's implementations mostly follow each other: the same class part as the one
  // before (the same key) takes the same list without a key made and looked up.
  const String *previous = nullptr;
  std::vector<TProcItem *> *list = nullptr;
  for (TProcItem *p : allImpls) {
    const String &name = static_cast<TMethodImplItem *>(p)->RefBaseClass();
    if (!previous || !SameIdentName(name, *previous)) {
      String key = IdentKey(name);
      auto [it, added] = byClass.try_emplace(key);
      if (added)
        order.push_back(std::move(key));
      list = &it->second;
      previous = &name;
    }
    list->push_back(p);
  }
  // Every declared classifier name, and the classifiers with method bodies in declaration
  // order, those of one name chained from the first.
  struct TNamed {
    Integer First = -1, Last = -1;
  };
  struct TBodies {
    TTypeItem *Type;
    const String *Key;
    TNamed *Name;
    Integer Next = -1;
  };
  std::unordered_map<String, TNamed> declared;
  std::vector<TBodies> bodies;
  const bool recordMethods = TPascalLanguage::GetLanguageMode() >= dlmDelphi10Win32;
  // Types may be added below (stubs), so take them first.
  for (Integer i = 0; i < module.GetTypeCount(); ++i) {
    TTypeItem *type = module.GetType(i);
    const TCodeItemKind k = type->Kind();
    if (!IsClassKind(k))
      continue;
    auto [it, added] = declared.try_emplace(IdentKey(type->GetQualifiedLookupName()));
    if (!(k == ckClass || k == ckObject || k == ckHelper || k == ckRecordHelper ||
          (k == ckRecord && recordMethods)))
      continue;
    TNamed &named = it->second;
    const auto index = static_cast<Integer>(bodies.size());
    bodies.push_back({type, &it->first, &named});
    if (named.First < 0)
      named.First = index;
    else
      bodies[static_cast<std::size_t>(named.Last)].Next = index;
    named.Last = index;
  }
  for (std::size_t b = 0; b < bodies.size(); ++b) {
    const TBodies &entry = bodies[b];
    if (entry.Name->First != static_cast<Integer>(b))
      continue;
    auto it = byClass.find(*entry.Key);
    if (it == byClass.end() || it->second.empty())
      continue;
    std::vector<TProcItem *> impls = std::move(it->second);
    it->second.clear();
    // Methods an include file declares inside the class body are the class's methods too. A
    // classifier declared more than once under one name (both branches of a conditional read
    // with conditions off) has the methods of every declaration; a body that none of them
    // declares gets its stub in the first.
    std::vector<TProcItem *> decls;
    for (Integer d = static_cast<Integer>(b); d >= 0; d = bodies[static_cast<std::size_t>(d)].Next)
      CollectTopLevel(bodies[static_cast<std::size_t>(d)].Type, ckMethod, decls);
    Associate(decls, impls, entry.Type, entry.Next >= 0);
  }
  for (const String &key : order) {
    if (!declared.try_emplace(key).second)
      continue;
    std::vector<TProcItem *> impls = std::move(byClass[key]);
    auto *first = static_cast<TMethodImplItem *>(impls.front());
    auto *stub = new TClassItem(&module);
    stub->SetBadFormat(true);
    stub->SetStub(true);
    stub->SetName(first->BaseClass());
    stub->SetGenericName(first->RefBaseClass());
    AddPositionMessage(Format(SClassNotFound, {first->RefBaseClass()}), first->Start(), kWarning);
    std::vector<TProcItem *> none;
    Associate(none, impls, stub);
  }
}

void TCustomPascalModuleExplorer::AssociateRoutines() {
  TModuleItem &module = Module();
  std::vector<TProcItem *> decls, impls;
  const Integer implLine = module.ImplLineNr();
  // A routine read from an include file stands in the unit where its include directive does
  // (and "implementation" may stand in an include file too).
  std::vector<Integer> includes;
  ForTopLevel(
      &module, ckProcedure,
      [&](TProcItem *p, const std::vector<Integer> &in) {
        const bool before = Precedes(in, p->LineNr(), FParse.ImplementationIncludes, implLine);
        if (before || (p->HasDirective(pdForward) && !p->HasDirective(pdExternal)))
          decls.push_back(p);
        else
          impls.push_back(p);
        p->SetIsPublic(before);
      },
      includes);
  Associate(decls, impls, &module);
}

} // namespace krx
