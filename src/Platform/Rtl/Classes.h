// The class library's core classes as the system uses them: persistent objects with
// Assign/AssignTo, string lists and components (owner, name, owned components, free
// notification). Indexes are 0-based as in the class library.
#pragma once

#include "Platform/Rtl/Encoding.h"
#include "Platform/Rtl/EnumSet.h"
#include "Platform/Rtl/Intf.h"
#include "Platform/Rtl/ScopeExit.h"
#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/System.h"
#include "Platform/Rtl/TypInfo.h"

#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

namespace krx {

class TStream;

// ---- The class library's messages --------------------------------------------------------

inline constexpr const Char *SAssignError = u"Cannot assign a %s to a %s";
inline constexpr const Char *SListIndexError = u"List index out of bounds (%d)";
inline constexpr const Char *SListCapacityError = u"List capacity out of bounds (%d)";
inline constexpr const Char *SListCountError = u"List count out of bounds (%d)";
inline constexpr const Char *SDuplicateString = u"String list does not allow duplicates";
inline constexpr const Char *SSortedListError = u"Operation not allowed on sorted list";
inline constexpr const Char *SDuplicateName = u"A component named %s already exists";
inline constexpr const Char *SInvalidName = u"'%s' is not a valid component name";

// ---- TPersistent -------------------------------------------------------------------------

using TNotifyEvent = std::function<void(TObject *Sender)>;

class TPersistent : public TObject {
  KRX_PUBLISHED(TPersistent)
public:
  // Copies Source into this object. The base hands the work to Source->AssignTo, which
  // raises EConvertError "Cannot assign a <source class> to a <this class>"; a null Source
  // raises the same with "nil". A descendant that overrides it adds
  // `using TPersistent::Assign;` to keep the reference form.
  virtual void Assign(const TPersistent *Source);
  void Assign(const TPersistent &Source) { Assign(&Source); }

protected:
  virtual void AssignTo(TPersistent *Dest) const;
  // Raises EConvertError for an assignment from Source to this object.
  [[noreturn]] void AssignError(const TPersistent *Source) const;
};

// Implements IInterface without counting: whoever owns the object frees it.
class TInterfacedPersistent : public TPersistent, public virtual IInterface {
public:
  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }
};

// ---- TStrings, TStringList ----------------------------------------------------------------

enum TDuplicates { dupIgnore, dupAccept, dupError };

// The abstract string list. Descendants provide the storage (Get, GetCount, Insert, Delete,
// Clear and, when they hold objects, GetObject/PutObject).
class TStrings : public TPersistent {
public:
  TStrings() = default;

  // -- Items
  virtual Integer GetCount() const = 0;
  Integer Count() const { return GetCount(); }
  virtual String Get(Integer Index) const = 0;
  virtual void Put(Integer Index, const String &S);
  String Strings(Integer Index) const { return Get(Index); }
  void SetStrings(Integer Index, const String &S) { Put(Index, S); }
  String operator[](Integer Index) const { return Get(Index); }
  virtual TObject *GetObject(Integer Index) const;
  virtual void PutObject(Integer Index, TObject *AObject);
  TObject *Objects(Integer Index) const { return GetObject(Index); }
  void SetObjects(Integer Index, TObject *AObject) { PutObject(Index, AObject); }
  virtual Integer GetCapacity() const { return GetCount(); }
  virtual void SetCapacity(Integer) {}

  virtual Integer Add(const String &S);
  virtual Integer AddObject(const String &S, TObject *AObject);
  // Adds "Name<separator>Value".
  TStrings &AddPair(const String &Name, const String &Value);
  void Append(const String &S) { Add(S); }
  virtual void AddStrings(const TStrings &Strings);
  virtual void Insert(Integer Index, const String &S) = 0;
  virtual void InsertObject(Integer Index, const String &S, TObject *AObject);
  virtual void Delete(Integer Index) = 0;
  virtual void Clear() = 0;
  virtual void Exchange(Integer Index1, Integer Index2);
  virtual void Move(Integer CurIndex, Integer NewIndex);

  // -- Search (CompareStrings decides equality)
  virtual Integer IndexOf(const String &S) const;
  virtual Integer IndexOfName(const String &Name) const;
  virtual Integer IndexOfObject(const TObject *AObject) const;

  // -- Name/value lines ("name=value" with NameValueSeparator)
  // The name part of line Index; empty when the line holds no separator.
  String Names(Integer Index) const;
  // The value of the first line named Name; empty when there is none.
  String Values(const String &Name) const;
  // Replaces the value of the first line named Name or adds a line; an empty value deletes
  // the line.
  void SetValues(const String &Name, const String &Value);
  String ValueFromIndex(Integer Index) const;
  void SetValueFromIndex(Integer Index, const String &Value);

  // -- Whole-list texts
  // Every line followed by LineBreak (when TrailingLineBreak; else between lines).
  virtual String GetText() const;
  String Text() const { return GetText(); }
  // Splits at CR LF, CR and LF (or at LineBreak when that is not CR LF); a final line break
  // does not add an empty line.
  virtual void SetText(const String &Value);
  String CommaText() const;
  void SetCommaText(const String &Value);
  String DelimitedText() const;
  void SetDelimitedText(const String &Value);

  Char Delimiter() const { return FDelimiter; }
  void SetDelimiter(Char Value) { FDelimiter = Value; }
  Char QuoteChar() const { return FQuoteChar; }
  void SetQuoteChar(Char Value) { FQuoteChar = Value; }
  Char NameValueSeparator() const { return FNameValueSeparator; }
  void SetNameValueSeparator(Char Value) { FNameValueSeparator = Value; }
  bool StrictDelimiter() const { return FStrictDelimiter; }
  void SetStrictDelimiter(bool Value) { FStrictDelimiter = Value; }
  const String &LineBreak() const { return FLineBreak; }
  void SetLineBreak(const String &Value) { FLineBreak = Value; }
  bool TrailingLineBreak() const { return FTrailingLineBreak; }
  void SetTrailingLineBreak(bool Value) { FTrailingLineBreak = Value; }

  // -- Updates: counted; the first BeginUpdate announces a change, the last EndUpdate
  // reports it.
  void BeginUpdate();
  void EndUpdate();
  Integer UpdateCount() const { return FUpdateCount; }

  // -- Files and streams. Loading detects a byte-order mark (UTF-8, UTF-16LE, UTF-16BE) and
  // reads DefaultEncoding (ANSI) without one, unless an encoding is given; the encoding used
  // is kept in Encoding. Saving writes Encoding (or the one given) with its byte-order mark
  // when WriteBOM. SaveToFile replaces the file as a whole (SaveFileAtomically): a failure
  // leaves it as it was; errors name the file.
  virtual void LoadFromFile(const String &FileName, const TEncoding *AEncoding = nullptr);
  virtual void SaveToFile(const String &FileName, const TEncoding *AEncoding = nullptr) const;
  // Reads from the stream's position to its end.
  virtual void LoadFromStream(TStream &Stream, const TEncoding *AEncoding = nullptr);
  // Writes at the stream's position.
  virtual void SaveToStream(TStream &Stream, const TEncoding *AEncoding = nullptr) const;
  // Loads the lines from bytes in memory, with the same detection.
  void LoadFromBytes(const TBytes &Buffer, const TEncoding *AEncoding = nullptr);
  // The bytes that SaveToStream writes.
  TBytes SaveToBytes(const TEncoding *AEncoding = nullptr) const;
  const TEncoding *Encoding() const { return FEncoding; }
  const TEncoding *DefaultEncoding() const { return FDefaultEncoding; }
  void SetDefaultEncoding(const TEncoding *Value) {
    FDefaultEncoding = Value ? Value : TEncoding::Default();
  }
  bool WriteBOM() const { return FWriteBOM; }
  void SetWriteBOM(bool Value) { FWriteBOM = Value; }

  // Copies the lines, objects and text settings of another TStrings.
  void Assign(const TPersistent *Source) override;
  using TPersistent::Assign;
  bool Equals(const TStrings &Other) const;
  std::vector<String> ToStringArray() const;

  // Range-for over the lines (by value).
  class const_iterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = String;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = String;
    const_iterator(const TStrings *list, Integer index) : FList(list), FIndex(index) {}
    String operator*() const { return FList->Get(FIndex); }
    const_iterator &operator++() {
      ++FIndex;
      return *this;
    }
    const_iterator operator++(int) {
      auto old = *this;
      ++FIndex;
      return old;
    }
    bool operator==(const const_iterator &o) const { return FIndex == o.FIndex; }

  private:
    const TStrings *FList;
    Integer FIndex;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, GetCount()}; }

  // Raises EStringListError with Msg formatted with Data.
  [[noreturn]] static void Error(const Char *Msg, Integer Data);

  // Compares two strings as this list does (the base: Unicode, without regard to case).
  virtual Integer CompareStrings(const String &S1, const String &S2) const;

protected:
  virtual void SetUpdateState(bool Updating);
  String DelimitedTextWith(Char Delimiter, Char QuoteChar) const;
  void SetDelimitedTextWith(const String &Value, Char Delimiter, Char QuoteChar);
  void SetEncoding(const TEncoding *Value) { FEncoding = Value; }

private:
  Char FDelimiter = u',';
  Char FQuoteChar = u'"';
  Char FNameValueSeparator = u'=';
  bool FStrictDelimiter = false;
  bool FTrailingLineBreak = true;
  bool FWriteBOM = true;
  String FLineBreak = sLineBreak;
  Integer FUpdateCount = 0;
  const TEncoding *FEncoding = nullptr;
  const TEncoding *FDefaultEncoding = TEncoding::Default();
};

// Runs body inside BeginUpdate/EndUpdate of the list; EndUpdate also runs when body raises.
template <typename F> void WithUpdate(TStrings &list, F &&body) {
  list.BeginUpdate();
  TScopeExit end{[&list] { list.EndUpdate(); }};
  body();
}

class TStringList;
using TStringListSortCompare =
    std::function<Integer(TStringList *List, Integer Index1, Integer Index2)>;

class TStringList : public TStrings {
public:
  TStringList() = default;
  explicit TStringList(bool OwnsObjects) : FOwnsObjects(OwnsObjects) {}
  TStringList(TDuplicates Duplicates, bool Sorted, bool CaseSensitive);
  ~TStringList() override;

  Integer GetCount() const override { return static_cast<Integer>(FList.size()); }
  String Get(Integer Index) const override;
  void Put(Integer Index, const String &S) override;
  TObject *GetObject(Integer Index) const override;
  void PutObject(Integer Index, TObject *AObject) override;
  Integer GetCapacity() const override { return static_cast<Integer>(FList.capacity()); }
  void SetCapacity(Integer NewCapacity) override;

  Integer Add(const String &S) override;
  Integer AddObject(const String &S, TObject *AObject) override;
  void Insert(Integer Index, const String &S) override;
  void InsertObject(Integer Index, const String &S, TObject *AObject) override;
  void Delete(Integer Index) override;
  void Clear() override;
  void Exchange(Integer Index1, Integer Index2) override;
  Integer IndexOf(const String &S) const override;
  void Assign(const TPersistent *Source) override;
  using TStrings::Assign;

  // Binary search with CompareStrings: True when found; Index is the position of the match
  // (the first of equal strings unless duplicates are accepted) or the insertion point.
  virtual bool Find(const String &S, Integer &Index) const;
  virtual void Sort();
  virtual void CustomSort(const TStringListSortCompare &Compare);

  bool Sorted() const { return FSorted; }
  void SetSorted(bool Value);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value);
  // When set, the list frees the objects of deleted lines and its objects when cleared or
  // destroyed.
  bool OwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

  Integer CompareStrings(const String &S1, const String &S2) const override;

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

protected:
  void SetUpdateState(bool Updating) override;
  virtual void Changed();
  virtual void Changing();
  void InsertItem(Integer Index, const String &S, TObject *AObject);
  void ExchangeItems(Integer Index1, Integer Index2);

private:
  struct TStringItem {
    String FString;
    TObject *FObject = nullptr;
  };
  void QuickSort(Integer L, Integer R, const TStringListSortCompare &Compare);

  std::vector<TStringItem> FList;
  TDuplicates FDuplicates = dupIgnore;
  bool FSorted = false;
  bool FCaseSensitive = false;
  bool FOwnsObjects = false;
};

// ---- TComponent ---------------------------------------------------------------------------

enum TComponentStateFlag {
  csLoading,
  csReading,
  csWriting,
  csDestroying,
  csDesigning,
  csAncestor,
  csUpdating,
  csFixups,
  csFreeNotification,
  csInline,
  csDesignInstance
};
using TComponentState = EnumSet<TComponentStateFlag>;

enum TOperation { opInsert, opRemove };

// A component with an owner is owned by it: the owner frees its components, the last first,
// when it is freed, and the creator keeps only a plain pointer. A component without an owner
// is held by its creator (a std::unique_ptr). Deleting a component removes it from its owner
// and notifies the components that asked for a free notification.
//
// C++ destroys the derived parts of an object before ~TComponent runs, so a descendant whose
// Notification override must still see its own components go calls DestroyComponents() at
// the start of its destructor.
class TComponent : public TPersistent {
  KRX_PUBLISHED(TComponent)
public:
  explicit TComponent(TComponent *AOwner);
  ~TComponent() override;

  TComponent *Owner() const { return FOwner; }
  const String &Name() const { return FName; }
  // Raises EComponentError for a name that is not an identifier or that a sibling holds.
  virtual void SetName(const String &NewName);
  Integer ComponentCount() const { return static_cast<Integer>(FComponents.size()); }
  TComponent *Components(Integer Index) const;
  // The position of this component in its owner's list, -1 without owner.
  Integer ComponentIndex() const;
  // The owned component with that name (ASCII case ignored), or nullptr.
  TComponent *FindComponent(StringView AName) const;
  TComponentState ComponentState() const { return FComponentState; }

  // Takes ownership of AComponent (which must not have an owner).
  void InsertComponent(TComponent *AComponent);
  // Gives up ownership of AComponent without freeing it.
  void RemoveComponent(TComponent *AComponent);
  // Frees the owned components, the last first.
  void DestroyComponents();
  // Marks this component and its components as being destroyed.
  void Destroying();
  // Marks this component as being loaded from a description (csLoading) until Loaded runs.
  void Loading();
  // Called once every component of a description has its properties; ends csLoading.
  virtual void Loaded();

  // Asks for Notification(AComponent, opRemove) when AComponent is freed (and the other way
  // round). Components of the same owner are notified through the owner anyway.
  void FreeNotification(TComponent *AComponent);
  void RemoveFreeNotification(TComponent *AComponent);

  // Design mode, for hosts that load components as a designer would.
  void SetDesigning(bool Value, bool SetChildren = true);

  Integer Tag() const { return FTag; }
  void SetTag(Integer Value) { FTag = Value; }

protected:
  // Called on the owner (and from there on every owned component) when a component is
  // inserted or removed, and on every component that asked for a free notification.
  virtual void Notification(TComponent *AComponent, TOperation Operation);
  virtual void ValidateRename(TComponent *AComponent, const String &CurName, const String &NewName);

private:
  void Insert(TComponent *AComponent);
  void Remove(TComponent *AComponent);
  void RemoveNotification(TComponent *AComponent);
  void RemoveFreeNotifications();

  TComponent *FOwner = nullptr;
  String FName;
  std::vector<std::unique_ptr<TComponent>> FComponents;
  std::vector<TComponent *> FFreeNotifies;
  TComponentState FComponentState;
  Integer FTag = 0;
};

} // namespace krx
