// The reading algorithms of the tokenizer helper and the generic parameter list model, which
// every revision shares; how a helper gets its tokenizer and how it reads the dotted rest of a
// type name is the revision's own (PascalTokenizerHelpers.cpp).
#include "Engine/PascalTokenizerHelpers.h"

#include "Engine/ParamTokens.h"
#include "Platform/Rtl/ScopeExit.h"

namespace krx {

namespace {

bool ValidBracketPair(Char open, Char close) {
  return (open == u'(' && close == u')') || (open == u'<' && close == u'>') ||
         (open == u'[' && close == u']');
}

} // namespace

// ---- TGenericParamList ----------------------------------------------------------------------

TGenericParam &TGenericParamList::Add(const String &attributes, const String &name,
                                      const String &constraints) {
  auto item = std::make_unique<TGenericParam>(attributes, name, constraints);
  TGenericParam &result = *item;
  FItems.Add(item.release());
  return result;
}

void TGenericParamList::Insert(Integer index, std::unique_ptr<TGenericParam> item) {
  KR_ASSERT(item != nullptr);
  FItems.Insert(index, item.get());
  item.release();
}

String TGenericParamList::GetAsText() const {
  const Integer n = Count();
  if (n == 0)
    return {};
  String s;
  for (Integer i = 0; i < n;) {
    const TGenericParam &first = Items(i);
    Integer j = i + 1;
    while (j < n && first.Attributes.empty() && Items(j).Attributes.empty() &&
           SameIgnoringWhiteSpace(first.Constraints, Items(j).Constraints))
      ++j;
    if (!first.Attributes.empty())
      s += first.Attributes + u" ";
    for (Integer k = i; k < j; ++k) {
      if (k > i)
        s += u", ";
      s += Items(k).Name;
    }
    if (!first.Constraints.empty())
      s += u": " + first.Constraints;
    s += u"; ";
    i = j;
  }
  s.resize(s.size() - 2);
  return u"<" + s + u">";
}

void TGenericParamList::ParseText(const String &text) {
  Clear();
  const String s = Trim(text);
  if (s.empty())
    return;
  TPascalGenericParamParser parser;
  // Never leave half a list behind.
  TScopeFail clearOnFailure{[this] { Clear(); }};
  parser.Parse(s, *this);
}

bool TPascalTokenizerHelper::Unexpected() {
  FContext->UnexpectedToken();
  return AtEnd();
}

String TPascalTokenizerHelper::ReadIdent() {
  if (FContext->NextToken() != TTokenKind::tkIdent)
    FContext->UnexpectedToken();
  FContext->CheckIdentifier();
  return String(FTokenizer->TokenText());
}

String TPascalTokenizerHelper::DottedContinuation(String result) {
  for (;;) {
    FContext->NextToken();
    if (!FTokenizer->IsSymbol(u"."))
      return result;
    result += u".";
    result += ReadIdent();
  }
}

String TPascalTokenizerHelper::GenericDottedContinuation(String result) {
  KR_ASSERT(FTokenizer->TokenKind() == TTokenKind::tkIdent);
  for (;;) {
    FContext->NextToken();
    if (FTokenizer->IsSymbol(u"<")) {
      result += u"<";
      result += ReadBracketed(u'<', u'>', false);
      result += u">";
      FContext->NextToken();
    }
    if (!FTokenizer->IsSymbol(u"."))
      return result;
    result += u".";
    result += ReadIdent();
  }
}

String TPascalTokenizerHelper::ReadQualifiedIdent() { return DottedContinuation(ReadIdent()); }

String TPascalTokenizerHelper::ReadTypeIdent() { return ReadTypeName(ReadIdent()); }

String TPascalTokenizerHelper::ReadBracketed(Char openBracket, Char closeBracket, bool skipOnly,
                                             Integer *itemCount) {
  KR_ASSERT(ValidBracketPair(openBracket, closeBracket));
  auto &t = *FTokenizer;
  KR_ASSERT(t.IsSymbol(StringView(&openBracket, 1)));
  // The text is collected unless it is only passed over: a caller that skips may be
  // collecting a longer text itself.
  TCollectingGuard collect(t, !skipOnly);
  Integer depth = 1;
  Integer items = 1;
  {
    TTokenKinds seeing = FContext->GetSkipKinds();
    seeing.Exclude(TTokenKind::tkComment);
    seeing.Exclude(TTokenKind::tkDirective);
    TSkipKindsGuard skipGuard(*FContext, seeing);
    while (depth > 0) {
      const TTokenKind kind = FContext->NextToken();
      bool stop = false;
      switch (kind) {
      case TTokenKind::tkNone:
      case TTokenKind::tkKRTag:
      case TTokenKind::tkError:
        stop = Unexpected();
        break;
      case TTokenKind::tkIdent:
        FContext->BracketIdentifier(openBracket);
        break;
      case TTokenKind::tkComment:
        if (StartsStr(u"//", t.TokenText()))
          FContext->AddMessage(u"// style comment in parameter list can cause import problems");
        break;
      case TTokenKind::tkDirective:
        FContext->AddMessage(u"Directive in parameter list can cause import problems");
        break;
      case TTokenKind::tkSymbol: {
        // One-character symbols only: ">=" is a different token and closes nothing.
        const StringView s = t.TokenText();
        if (s.size() != 1)
          break;
        if (s[0] == u',' && depth == 1)
          ++items;
        else if (s[0] == u'[')
          // Attributes and index brackets are passed over whole; they never change the depth.
          SkipToClosingBracket(1);
        else if (s[0] == openBracket)
          ++depth;
        else if (s[0] == closeBracket)
          --depth;
        break;
      }
      default:
        break;
      }
      if (stop)
        break;
    }
  }
  if (itemCount)
    *itemCount = items;
  if (skipOnly)
    return {};
  return FContext->CompressText(t.CollectedTextAsLine(false));
}

void TPascalTokenizerHelper::SkipToClosingBracket(Integer depth) {
  KR_ASSERT(depth >= 1);
  for (;;) {
    switch (FContext->NextToken()) {
    case TTokenKind::tkNone:
    case TTokenKind::tkKRTag:
    case TTokenKind::tkError:
      if (Unexpected())
        return;
      break;
    case TTokenKind::tkIdent:
      FContext->AttributeIdentifier();
      break;
    case TTokenKind::tkSymbol:
      if (FTokenizer->IsSymbol(u"["))
        ++depth;
      else if (FTokenizer->IsSymbol(u"]")) {
        if (depth == 1)
          return;
        --depth;
      }
      break;
    default:
      break;
    }
  }
}

Integer TPascalTokenizerHelper::ReadGenericParamList(TGenericParamList *list) {
  auto &t = *FTokenizer;
  KR_ASSERT(t.IsSymbol(u"<"));
  KR_ASSERT(!t.Collecting());
  if (list)
    list->Clear();
  Integer count = 0;
  for (;;) {
    // Attributes of the group's first name.
    FContext->NextToken();
    String attributes;
    while (t.IsSymbol(u"[")) {
      {
        TCollectingGuard collect(t);
        SkipToClosingBracket(1);
        attributes = Format(u"%s[%s] ", {attributes, t.CollectedTextAsLine(false)});
      }
      FContext->NextToken();
    }
    attributes = TrimRight(attributes);

    // Names.
    const Integer groupStart = list ? list->Count() : 0;
    for (;;) {
      if (t.TokenKind() != TTokenKind::tkIdent && Unexpected())
        return count;
      FContext->CheckIdentifier();
      if (list)
        list->Add(list->Count() == groupStart ? attributes : String(), t.Token(), {});
      ++count;
      FContext->NextToken();
      SplitListEnd();
      if (t.TokenKind() != TTokenKind::tkSymbol && Unexpected())
        return count;
      if (!t.IsSymbol(u","))
        break;
      FContext->NextToken();
    }

    // Constraints, shared by the whole group.
    if (t.IsSymbol(u":")) {
      String constraints;
      for (;;) {
        if (FContext->NextToken() == TTokenKind::tkIdent) {
          const String word = t.Token();
          if (SameText(word, u"CLASS") || SameText(word, u"RECORD")) {
            constraints += word;
            FContext->NextToken();
          } else {
            constraints += ReadTypeName(word);
          }
          constraints += u", ";
          SplitListEnd();
        } else if (Unexpected()) {
          return count;
        }
        if (t.IsSymbol(u","))
          continue;
        if (t.IsSymbol(u";") || t.IsSymbol(u">"))
          break;
        if (Unexpected())
          return count;
      }
      if (EndsStr(u", ", constraints))
        constraints.resize(constraints.size() - 2);
      if (list)
        for (Integer i = groupStart; i < list->Count(); ++i)
          list->Items(i).Constraints = constraints;
    }

    if (t.IsSymbol(u">"))
      return count;
    if (!t.IsSymbol(u";") && Unexpected())
      return count;
  }
}

void TPascalTokenizerHelper::ReadGenericIdentPath(TGenericIdentPath &path, bool asText,
                                                  bool optional) {
  KR_ASSERT(path.empty());
  auto &t = *FTokenizer;
  for (;;) {
    if (FContext->NextToken() == TTokenKind::tkIdent) {
      if (optional && path.empty() && FContext->CurrentIsReservedWord())
        return;
      FContext->CheckIdentifier();
      path.emplace_back().Name.assign(t.TokenText());
    } else {
      if (!(optional && path.empty()))
        FContext->UnexpectedToken();
      return;
    }
    FContext->NextToken();
    if (GenericNamesEnabled()) {
      if (t.IsSymbol(u"<")) {
        String text;
        Integer count = 0;
        if (asText) {
          text = u"<" + ReadBracketed(u'<', u'>', false, &count) + u">";
        } else {
          TGenericParamList params;
          ReadGenericParamList(&params);
          text = params.GetAsText();
          count = params.Count();
        }
        path.back().GenericText = std::move(text);
        path.back().GenericCount = count;
        FContext->NextToken();
      } else if (t.IsSymbol(u"<>")) {
        path.back().GenericText = u"<>";
        FContext->NextToken();
      }
    }
    if (!t.IsSymbol(u"."))
      return;
  }
}

// ---- Path routines ------------------------------------------------------------------------

String GenericIdentPathText(const TGenericIdentPath &path, Integer n) {
  KR_ASSERT(n >= 0 && static_cast<std::size_t>(n) <= path.size());
  String s;
  for (Integer i = 0; i < n; ++i) {
    if (i > 0)
      s += u".";
    s += path[i].Name;
    s += path[i].GenericText;
  }
  return s;
}

String GenericIdentPathLookupName(const TGenericIdentPath &path, Integer n) {
  KR_ASSERT(n >= 0 && static_cast<std::size_t>(n) < path.size());
  String s;
  for (Integer i = 0; i < n; ++i) {
    if (i > 0)
      s += u".";
    s += path[i].Name;
    if (path[i].GenericCount > 0) {
      s += u"<";
      s.append(static_cast<std::size_t>(path[i].GenericCount - 1), u',');
      s += u">";
    }
  }
  return s;
}

} // namespace krx
