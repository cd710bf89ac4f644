#include "Platform/Rtl/Classes.h"

#include "Platform/Rtl/Character.h"
#include "Platform/Rtl/Streams.h"

#include <algorithm>

namespace krx {

// ---- TPersistent -------------------------------------------------------------------------

const TClassInfo &TPersistent::StaticClassInfo() {
  static const TClassInfo info = TClassInfoBuilder<TPersistent>(nullptr).Build();
  return info;
}

void TPersistent::Assign(const TPersistent *Source) {
  if (Source != nullptr)
    Source->AssignTo(this);
  else
    AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent *Dest) const { Dest->AssignError(this); }

void TPersistent::AssignError(const TPersistent *Source) const {
  String sourceName = Source ? Source->ClassName() : String(u"nil");
  throw EConvertError(Format(SAssignError, {sourceName, ClassName()}));
}

// ---- TStrings -----------------------------------------------------------------------------

namespace {

// Texts handed over as the class library's null-terminated strings end at the first #0.
StringView UpToNul(const String &s) {
  StringView v(s);
  auto nul = v.find(Char(0));
  return nul == StringView::npos ? v : v.substr(0, nul);
}

bool IsBlank(Char c) { return c >= 1 && c <= u' '; }

} // namespace

void TStrings::Error(const Char *Msg, Integer Data) { throw EStringListError(Format(Msg, {Data})); }

void TStrings::Put(Integer Index, const String &S) {
  TObject *temp = GetObject(Index);
  Delete(Index);
  InsertObject(Index, S, temp);
}

TObject *TStrings::GetObject(Integer) const { return nullptr; }

void TStrings::PutObject(Integer, TObject *) {}

Integer TStrings::Add(const String &S) {
  Integer result = GetCount();
  Insert(result, S);
  return result;
}

Integer TStrings::AddObject(const String &S, TObject *AObject) {
  Integer result = Add(S);
  PutObject(result, AObject);
  return result;
}

TStrings &TStrings::AddPair(const String &Name, const String &Value) {
  Add(Name + FNameValueSeparator + Value);
  return *this;
}

void TStrings::AddStrings(const TStrings &Strings) {
  if (&Strings == this) {
    // Adding a list to itself takes the lines present at the start.
    std::vector<std::pair<String, TObject *>> copy;
    for (Integer i = 0; i < Strings.GetCount(); ++i)
      copy.emplace_back(Strings.Get(i), Strings.GetObject(i));
    WithUpdate(*this, [&] {
      for (auto &[s, o] : copy)
        AddObject(s, o);
    });
    return;
  }
  WithUpdate(*this, [&] {
    for (Integer i = 0; i < Strings.GetCount(); ++i)
      AddObject(Strings.Get(i), Strings.GetObject(i));
  });
}

void TStrings::InsertObject(Integer Index, const String &S, TObject *AObject) {
  Insert(Index, S);
  PutObject(Index, AObject);
}

void TStrings::Exchange(Integer Index1, Integer Index2) {
  WithUpdate(*this, [&] {
    String tempString = Get(Index1);
    TObject *tempObject = GetObject(Index1);
    Put(Index1, Get(Index2));
    PutObject(Index1, GetObject(Index2));
    Put(Index2, tempString);
    PutObject(Index2, tempObject);
  });
}

void TStrings::Move(Integer CurIndex, Integer NewIndex) {
  if (CurIndex == NewIndex)
    return;
  WithUpdate(*this, [&] {
    String tempString = Get(CurIndex);
    TObject *tempObject = GetObject(CurIndex);
    PutObject(CurIndex, nullptr); // an owning list must not free it
    Delete(CurIndex);
    InsertObject(NewIndex, tempString, tempObject);
  });
}

Integer TStrings::CompareStrings(const String &S1, const String &S2) const {
  return AnsiCompareText(S1, S2);
}

Integer TStrings::IndexOf(const String &S) const {
  for (Integer i = 0; i < GetCount(); ++i)
    if (CompareStrings(Get(i), S) == 0)
      return i;
  return -1;
}

Integer TStrings::IndexOfName(const String &Name) const {
  // Names compare code unit by code unit after one-to-one case folding, so only a name of
  // the same length can match: checking that first keeps large ini sections fast.
  for (Integer i = 0; i < GetCount(); ++i) {
    const String s = Get(i);
    const auto p = s.find(FNameValueSeparator);
    if (p == String::npos || p != Name.size())
      continue;
    if (CompareStrings(s.substr(0, p), Name) == 0)
      return i;
  }
  return -1;
}

Integer TStrings::IndexOfObject(const TObject *AObject) const {
  for (Integer i = 0; i < GetCount(); ++i)
    if (GetObject(i) == AObject)
      return i;
  return -1;
}

String TStrings::Names(Integer Index) const {
  String s = Get(Index);
  Integer p = Pos(String(1, FNameValueSeparator), s);
  return p != 0 ? Copy(s, 1, p - 1) : String();
}

String TStrings::Values(const String &Name) const {
  Integer i = IndexOfName(Name);
  return i >= 0 ? Copy(Get(i), Length(Name) + 2) : String();
}

void TStrings::SetValues(const String &Name, const String &Value) {
  Integer i = IndexOfName(Name);
  if (!Value.empty()) {
    if (i < 0)
      i = Add(String());
    Put(i, Name + FNameValueSeparator + Value);
  } else if (i >= 0) {
    Delete(i);
  }
}

String TStrings::ValueFromIndex(Integer Index) const {
  if (Index < 0)
    return {};
  String s = Get(Index);
  Integer p = Pos(String(1, FNameValueSeparator), s);
  return p > 0 ? Copy(s, p + 1) : String();
}

void TStrings::SetValueFromIndex(Integer Index, const String &Value) {
  if (!Value.empty()) {
    if (Index < 0)
      Index = Add(String());
    Put(Index, Names(Index) + FNameValueSeparator + Value);
  } else if (Index >= 0) {
    Delete(Index);
  }
}

String TStrings::GetText() const {
  String result;
  Integer count = GetCount();
  for (Integer i = 0; i < count; ++i) {
    result += Get(i);
    if (FTrailingLineBreak || i + 1 < count)
      result += FLineBreak;
  }
  return result;
}

void TStrings::SetText(const String &Value) {
  WithUpdate(*this, [&] {
    Clear();
    const std::size_t n = Value.size();
    std::size_t p = 0;
    if (FLineBreak == sLineBreak) {
      while (p < n) {
        std::size_t start = p;
        while (p < n && Value[p] != u'\r' && Value[p] != u'\n')
          ++p;
        Add(Value.substr(start, p - start));
        if (p < n && Value[p] == u'\r')
          ++p;
        if (p < n && Value[p] == u'\n')
          ++p;
      }
    } else if (FLineBreak.empty()) {
      if (n > 0)
        Add(Value);
    } else {
      while (p < n) {
        std::size_t lb = Value.find(FLineBreak, p);
        std::size_t end = lb == String::npos ? n : lb;
        Add(Value.substr(p, end - p));
        p = lb == String::npos ? n : lb + FLineBreak.size();
      }
    }
  });
}

String TStrings::DelimitedText() const { return DelimitedTextWith(FDelimiter, FQuoteChar); }

void TStrings::SetDelimitedText(const String &Value) {
  SetDelimitedTextWith(Value, FDelimiter, FQuoteChar);
}

String TStrings::DelimitedTextWith(Char delimiter, Char quote) const {
  Integer count = GetCount();
  if (count == 1 && Get(0).empty())
    return String(2, quote);
  String result;
  for (Integer i = 0; i < count; ++i) {
    String s = Get(i);
    bool mustQuote = false;
    // The scan, like the class library's, ends at a #0.
    for (Char c : UpToNul(s)) {
      if (c == quote || c == delimiter || (!FStrictDelimiter && IsBlank(c))) {
        mustQuote = true;
        break;
      }
    }
    if (mustQuote)
      s = AnsiQuotedStr(s, quote);
    if (i > 0)
      result += delimiter;
    result += s;
  }
  return result;
}

void TStrings::SetDelimitedTextWith(const String &Value, Char delimiter, Char quote) {
  const StringView v = UpToNul(Value);
  const std::size_t n = v.size();
  auto at = [&](std::size_t i) -> Char { return i < n ? v[i] : Char(0); };
  WithUpdate(*this, [&] {
    Clear();
    std::size_t p = 0;
    if (!FStrictDelimiter)
      while (IsBlank(at(p)))
        ++p;
    while (p < n) {
      String s;
      if (at(p) == quote) {
        // A quoted item: doubled quotes stand for one; an unterminated item runs to the end.
        ++p;
        for (;;) {
          std::size_t q = v.find(quote, p);
          if (q == StringView::npos) {
            s.append(v.substr(p));
            p = n;
            break;
          }
          s.append(v.substr(p, q - p));
          if (at(q + 1) == quote) {
            s.push_back(quote);
            p = q + 2;
          } else {
            p = q + 1;
            break;
          }
        }
      } else {
        std::size_t start = p;
        while (p < n && (FStrictDelimiter || v[p] > u' ') && v[p] != delimiter)
          ++p;
        s.assign(v.substr(start, p - start));
      }
      Add(s);
      if (!FStrictDelimiter)
        while (IsBlank(at(p)))
          ++p;
      if (p < n && v[p] == delimiter) {
        // A delimiter that ends the text adds an empty last item.
        if (p + 1 == n)
          Add(String());
        do
          ++p;
        while (!FStrictDelimiter && IsBlank(at(p)));
      }
    }
  });
}

// The class library formats and reads comma text with ',' and '"' whatever the list's own
// delimiter and quote character are.
String TStrings::CommaText() const { return DelimitedTextWith(u',', u'"'); }

void TStrings::SetCommaText(const String &Value) { SetDelimitedTextWith(Value, u',', u'"'); }

void TStrings::BeginUpdate() {
  if (FUpdateCount == 0)
    SetUpdateState(true);
  ++FUpdateCount;
}

void TStrings::EndUpdate() {
  // An EndUpdate without BeginUpdate is ignored rather than leaving the count negative,
  // which would silence every later change event.
  if (FUpdateCount == 0)
    return;
  --FUpdateCount;
  if (FUpdateCount == 0)
    SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

void TStrings::LoadFromBytes(const TBytes &Buffer, const TEncoding *AEncoding) {
  WithUpdate(*this, [&] {
    const TEncoding *encoding = AEncoding;
    std::size_t skip =
        TEncoding::GetBufferEncoding(Buffer.data(), Buffer.size(), encoding, FDefaultEncoding);
    SetEncoding(encoding);
    SetText(encoding->GetString(Buffer.data() + skip, Buffer.size() - skip));
  });
}

TBytes TStrings::SaveToBytes(const TEncoding *AEncoding) const {
  const TEncoding *encoding = AEncoding ? AEncoding : (FEncoding ? FEncoding : FDefaultEncoding);
  TBytes result;
  if (FWriteBOM)
    result = encoding->GetPreamble();
  TBytes body = encoding->GetBytes(GetText());
  result.insert(result.end(), body.begin(), body.end());
  return result;
}

void TStrings::LoadFromFile(const String &FileName, const TEncoding *AEncoding) {
  LoadFromBytes(LoadFileBytes(FileName), AEncoding);
}

void TStrings::SaveToFile(const String &FileName, const TEncoding *AEncoding) const {
  const TBytes bytes = SaveToBytes(AEncoding);
  SaveFileAtomically(FileName, {reinterpret_cast<const char *>(bytes.data()), bytes.size()});
}

void TStrings::LoadFromStream(TStream &Stream, const TEncoding *AEncoding) {
  Int64 size = Stream.Size() - Stream.Position();
  if (size > 0x7FFFFFFF)
    throw EReadError(u"Stream read error");
  TBytes buffer(static_cast<std::size_t>(std::max<Int64>(size, 0)));
  if (!buffer.empty())
    Stream.ReadBuffer(buffer.data(), static_cast<Integer>(buffer.size()));
  LoadFromBytes(buffer, AEncoding);
}

void TStrings::SaveToStream(TStream &Stream, const TEncoding *AEncoding) const {
  TBytes bytes = SaveToBytes(AEncoding);
  if (!bytes.empty())
    Stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
}

void TStrings::Assign(const TPersistent *Source) {
  auto *source = dynamic_cast<const TStrings *>(Source);
  if (source == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  if (source == this)
    return; // clearing first would lose the lines
  WithUpdate(*this, [&] {
    Clear();
    FNameValueSeparator = source->FNameValueSeparator;
    FQuoteChar = source->FQuoteChar;
    FDelimiter = source->FDelimiter;
    FLineBreak = source->FLineBreak;
    FStrictDelimiter = source->FStrictDelimiter;
    FTrailingLineBreak = source->FTrailingLineBreak;
    FWriteBOM = source->FWriteBOM;
    FDefaultEncoding = source->FDefaultEncoding;
    FEncoding = source->FEncoding;
    AddStrings(*source);
  });
}

bool TStrings::Equals(const TStrings &Other) const {
  if (GetCount() != Other.GetCount())
    return false;
  for (Integer i = 0; i < GetCount(); ++i)
    if (Get(i) != Other.Get(i))
      return false;
  return true;
}

std::vector<String> TStrings::ToStringArray() const {
  std::vector<String> result;
  result.reserve(static_cast<std::size_t>(GetCount()));
  for (Integer i = 0; i < GetCount(); ++i)
    result.push_back(Get(i));
  return result;
}

// ---- TStringList --------------------------------------------------------------------------

TStringList::TStringList(TDuplicates Duplicates, bool Sorted, bool CaseSensitive)
    : FDuplicates(Duplicates), FSorted(Sorted), FCaseSensitive(CaseSensitive) {}

TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
  std::vector<TObject *> owned;
  if (FOwnsObjects)
    for (auto &item : FList)
      owned.push_back(item.FObject);
  FList.clear();
  for (TObject *o : owned)
    delete o;
}

String TStringList::Get(Integer Index) const {
  if (Index < 0 || Index >= GetCount())
    Error(SListIndexError, Index);
  return FList[static_cast<std::size_t>(Index)].FString;
}

void TStringList::Put(Integer Index, const String &S) {
  if (FSorted)
    Error(SSortedListError, 0);
  if (Index < 0 || Index >= GetCount())
    Error(SListIndexError, Index);
  Changing();
  FList[static_cast<std::size_t>(Index)].FString = S;
  Changed();
}

TObject *TStringList::GetObject(Integer Index) const {
  if (Index < 0 || Index >= GetCount())
    Error(SListIndexError, Index);
  return FList[static_cast<std::size_t>(Index)].FObject;
}

void TStringList::PutObject(Integer Index, TObject *AObject) {
  if (Index < 0 || Index >= GetCount())
    Error(SListIndexError, Index);
  Changing();
  FList[static_cast<std::size_t>(Index)].FObject = AObject;
  Changed();
}

void TStringList::SetCapacity(Integer NewCapacity) {
  if (NewCapacity < GetCount())
    Error(SListCapacityError, NewCapacity);
  if (static_cast<std::size_t>(NewCapacity) > FList.capacity())
    FList.reserve(static_cast<std::size_t>(NewCapacity));
  else if (static_cast<std::size_t>(NewCapacity) < FList.capacity())
    FList.shrink_to_fit();
}

Integer TStringList::Add(const String &S) { return AddObject(S, nullptr); }

Integer TStringList::AddObject(const String &S, TObject *AObject) {
  Integer result = GetCount();
  if (FSorted && Find(S, result)) {
    switch (FDuplicates) {
    case dupIgnore:
      return result;
    case dupError:
      Error(SDuplicateString, 0);
    case dupAccept:
      break;
    }
  }
  InsertItem(result, S, AObject);
  return result;
}

void TStringList::Insert(Integer Index, const String &S) { InsertObject(Index, S, nullptr); }

void TStringList::InsertObject(Integer Index, const String &S, TObject *AObject) {
  if (FSorted)
    Error(SSortedListError, 0);
  if (Index < 0 || Index > GetCount())
    Error(SListIndexError, Index);
  InsertItem(Index, S, AObject);
}

void TStringList::InsertItem(Integer Index, const String &S, TObject *AObject) {
  Changing();
  FList.insert(FList.begin() + Index, TStringItem{S, AObject});
  Changed();
}

void TStringList::Delete(Integer Index) {
  if (Index < 0 || Index >= GetCount())
    Error(SListIndexError, Index);
  Changing();
  TObject *owned = FOwnsObjects ? FList[static_cast<std::size_t>(Index)].FObject : nullptr;
  FList.erase(FList.begin() + Index);
  delete owned;
  Changed();
}

void TStringList::Clear() {
  if (FList.empty())
    return;
  Changing();
  std::vector<TObject *> owned;
  if (FOwnsObjects)
    for (auto &item : FList)
      owned.push_back(item.FObject);
  FList.clear();
  FList.shrink_to_fit();
  // The objects go after the list is empty, so that their destructors see a consistent list.
  for (TObject *o : owned)
    delete o;
  Changed();
}

void TStringList::Exchange(Integer Index1, Integer Index2) {
  if (Index1 < 0 || Index1 >= GetCount())
    Error(SListIndexError, Index1);
  if (Index2 < 0 || Index2 >= GetCount())
    Error(SListIndexError, Index2);
  Changing();
  ExchangeItems(Index1, Index2);
  Changed();
}

void TStringList::ExchangeItems(Integer Index1, Integer Index2) {
  std::swap(FList[static_cast<std::size_t>(Index1)], FList[static_cast<std::size_t>(Index2)]);
}

Integer TStringList::IndexOf(const String &S) const {
  if (!FSorted)
    return TStrings::IndexOf(S);
  Integer result;
  return Find(S, result) ? result : -1;
}

void TStringList::Assign(const TPersistent *Source) {
  TStrings::Assign(Source);
  if (auto *source = dynamic_cast<const TStringList *>(Source); source && source != this) {
    FCaseSensitive = source->FCaseSensitive;
    FDuplicates = source->FDuplicates;
    FSorted = source->FSorted;
  }
}

bool TStringList::Find(const String &S, Integer &Index) const {
  bool result = false;
  Integer l = 0, h = GetCount() - 1;
  while (l <= h) {
    Integer i = (l + h) >> 1;
    Integer c = CompareStrings(FList[static_cast<std::size_t>(i)].FString, S);
    if (c < 0) {
      l = i + 1;
    } else {
      h = i - 1;
      if (c == 0) {
        result = true;
        if (FDuplicates != dupAccept)
          l = i;
      }
    }
  }
  Index = l;
  return result;
}

void TStringList::Sort() {
  CustomSort([](TStringList *list, Integer a, Integer b) {
    return list->CompareStrings(list->FList[static_cast<std::size_t>(a)].FString,
                                list->FList[static_cast<std::size_t>(b)].FString);
  });
}

void TStringList::CustomSort(const TStringListSortCompare &Compare) {
  if (!FSorted && GetCount() > 1) {
    Changing();
    QuickSort(0, GetCount() - 1, Compare);
    Changed();
  }
}

// The class library's quicksort, so that equal strings end in the same order as there.
void TStringList::QuickSort(Integer L, Integer R, const TStringListSortCompare &Compare) {
  while (L < R) {
    if (R - L == 1) {
      if (Compare(this, L, R) > 0)
        ExchangeItems(L, R);
      break;
    }
    Integer i = L, j = R, p = (L + R) >> 1;
    do {
      while (i != p && Compare(this, i, p) < 0)
        ++i;
      while (j != p && Compare(this, j, p) > 0)
        --j;
      if (i <= j) {
        if (i != j)
          ExchangeItems(i, j);
        if (p == i)
          p = j;
        else if (p == j)
          p = i;
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - L > R - i) {
      if (i < R)
        QuickSort(i, R, Compare);
      R = j;
    } else {
      if (L < j)
        QuickSort(L, j, Compare);
      L = i;
    }
  }
}

void TStringList::SetSorted(bool Value) {
  if (FSorted != Value) {
    if (Value)
      Sort();
    FSorted = Value;
  }
}

void TStringList::SetCaseSensitive(bool Value) {
  if (Value != FCaseSensitive) {
    FCaseSensitive = Value;
    if (FSorted) {
      SetSorted(false);
      SetSorted(true);
    }
  }
}

Integer TStringList::CompareStrings(const String &S1, const String &S2) const {
  return FCaseSensitive ? AnsiCompareStr(S1, S2) : AnsiCompareText(S1, S2);
}

void TStringList::SetUpdateState(bool Updating) {
  if (Updating)
    Changing();
  else
    Changed();
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange)
    OnChange(this);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging)
    OnChanging(this);
}

// ---- TComponent ---------------------------------------------------------------------------

namespace {

bool IsValidIdent(StringView ident) {
  if (ident.empty() || !(IsLetter(ident[0]) || ident[0] == u'_'))
    return false;
  for (Char c : ident.substr(1))
    if (!(IsLetterOrDigit(c) || c == u'_'))
      return false;
  return true;
}

} // namespace

const TClassInfo &TComponent::StaticClassInfo() {
  static const TClassInfo info = TClassInfoBuilder<TComponent>(&TPersistent::StaticClassInfo())
                                     .Str(u"Name", &TComponent::Name, &TComponent::SetName)
                                     .Stored(false)
                                     .Integer(u"Tag", &TComponent::Tag, &TComponent::SetTag)
                                     .Default(0)
                                     .Build();
  return info;
}

TComponent::TComponent(TComponent *AOwner) {
  if (AOwner != nullptr)
    AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  RemoveFreeNotifications();
  DestroyComponents();
  if (FOwner != nullptr)
    FOwner->RemoveComponent(this);
}

TComponent *TComponent::Components(Integer Index) const {
  if (Index < 0 || Index >= ComponentCount())
    throw EListError(Format(SListIndexError, {Index}));
  return FComponents[static_cast<std::size_t>(Index)].get();
}

Integer TComponent::ComponentIndex() const {
  if (FOwner == nullptr)
    return -1;
  for (std::size_t i = 0; i < FOwner->FComponents.size(); ++i)
    if (FOwner->FComponents[i].get() == this)
      return static_cast<Integer>(i);
  return -1;
}

TComponent *TComponent::FindComponent(StringView AName) const {
  if (AName.empty())
    return nullptr;
  for (auto &c : FComponents)
    if (SameText(c->FName, AName))
      return c.get();
  return nullptr;
}

void TComponent::SetName(const String &NewName) {
  if (FName == NewName)
    return;
  if (!NewName.empty() && !IsValidIdent(NewName))
    throw EComponentError(Format(SInvalidName, {NewName}));
  if (FOwner != nullptr)
    FOwner->ValidateRename(this, FName, NewName);
  else
    ValidateRename(nullptr, FName, NewName);
  FName = NewName;
}

void TComponent::ValidateRename(TComponent *AComponent, const String &CurName,
                                const String &NewName) {
  if (AComponent != nullptr && !SameText(CurName, NewName) && AComponent->FOwner == this &&
      FindComponent(NewName) != nullptr)
    throw EComponentError(Format(SDuplicateName, {NewName}));
}

void TComponent::InsertComponent(TComponent *AComponent) {
  KR_ASSERT(AComponent != nullptr && AComponent->FOwner == nullptr && AComponent != this);
  ValidateRename(AComponent, String(), AComponent->FName);
  Insert(AComponent);
  if (FComponentState.Contains(csDesigning))
    AComponent->SetDesigning(true);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent *AComponent) {
  KR_ASSERT(AComponent != nullptr && AComponent->FOwner == this);
  ValidateRename(AComponent, AComponent->FName, String());
  Notification(AComponent, opRemove);
  Remove(AComponent);
}

void TComponent::Insert(TComponent *AComponent) {
  FComponents.emplace_back(AComponent);
  AComponent->FOwner = this;
}

void TComponent::Remove(TComponent *AComponent) {
  auto it = std::find_if(FComponents.begin(), FComponents.end(),
                         [&](const auto &p) { return p.get() == AComponent; });
  if (it != FComponents.end()) {
    (void)it->release(); // ownership goes back to the caller
    FComponents.erase(it);
  }
  AComponent->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent *instance = FComponents.back().get();
    if (instance->FComponentState.Contains(csFreeNotification))
      RemoveComponent(instance);
    else
      Remove(instance);
    delete instance;
  }
}

void TComponent::Destroying() {
  if (FComponentState.Contains(csDestroying))
    return;
  FComponentState.Include(csDestroying);
  for (auto &c : FComponents)
    c->Destroying();
}

void TComponent::Loading() { FComponentState.Include(csLoading); }

void TComponent::Loaded() { FComponentState.Exclude(csLoading); }

void TComponent::Notification(TComponent *AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent != nullptr)
    RemoveFreeNotification(AComponent);
  // Walk from the last component; a notification may free components of this one.
  Integer i = ComponentCount() - 1;
  while (i >= 0) {
    FComponents[static_cast<std::size_t>(i)]->Notification(AComponent, Operation);
    --i;
    if (i >= ComponentCount())
      i = ComponentCount() - 1;
  }
}

void TComponent::FreeNotification(TComponent *AComponent) {
  KR_ASSERT(AComponent != nullptr);
  if (FOwner == nullptr || AComponent->FOwner != FOwner) {
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end()) {
      FFreeNotifies.push_back(AComponent);
      AComponent->FreeNotification(this);
    }
  }
  FComponentState.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent *AComponent) {
  RemoveNotification(AComponent);
  AComponent->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent *AComponent) {
  auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
  if (it != FFreeNotifies.end()) {
    FFreeNotifies.erase(it);
    if (FFreeNotifies.empty())
      FComponentState.Exclude(csFreeNotification);
  }
}

void TComponent::RemoveFreeNotifications() {
  // Unlink first, so that a Notification override that does not call the inherited one
  // cannot make this loop run forever.
  while (!FFreeNotifies.empty()) {
    TComponent *other = FFreeNotifies.back();
    RemoveFreeNotification(other);
    other->Notification(this, opRemove);
  }
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
  if (Value)
    FComponentState.Include(csDesigning);
  else
    FComponentState.Exclude(csDesigning);
  if (SetChildren)
    for (auto &c : FComponents)
      c->SetDesigning(Value);
}

} // namespace krx
