// The class library's generic containers as thin wrappers over the standard library:
// TList<T>, TObjectList<T> (owning; frees its objects last to first), TStack<T> and
// TObjectStack<T>. Indexes are 0-based; a bad index raises EArgumentOutOfRangeException, as
// in the class library. The dictionaries are in GenericDictionaries.h, in namespace
// krx::generics (the system has a TDictionary of its own, XML/Dictionaries.h).
#pragma once

#include "Platform/Rtl/SysUtils.h"

#include <algorithm>
#include <concepts>
#include <functional>
#include <utility>
#include <vector>

namespace krx {

inline constexpr const Char *SArgumentOutOfRange = u"Argument out of range";
inline constexpr const Char *SGenericItemNotFound = u"Item not found";
inline constexpr const Char *SGenericDuplicateItem = u"Duplicates not allowed";
inline constexpr const Char *SUnbalancedOperation = u"Unbalanced stack or queue operation";

template <typename T> class TList {
public:
  using const_iterator = typename std::vector<T>::const_iterator;
  using iterator = typename std::vector<T>::iterator;

  TList() = default;
  virtual ~TList() = default;
  TList(const TList &) = delete;
  TList &operator=(const TList &) = delete;

  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  bool IsEmpty() const { return FItems.empty(); }
  const T &operator[](Integer Index) const { return FItems[Check(Index)]; }
  T &operator[](Integer Index) { return FItems[Check(Index)]; }
  const T &Items(Integer Index) const { return FItems[Check(Index)]; }
  void SetItem(Integer Index, const T &Value) { FItems[Check(Index)] = Value; }
  const T &First() const { return Items(0); }
  const T &Last() const { return Items(Count() - 1); }

  Integer Add(const T &Value) {
    FItems.push_back(Value);
    return Count() - 1;
  }
  void Insert(Integer Index, const T &Value) {
    if (Index < 0 || Index > Count())
      throw EArgumentOutOfRangeException(SArgumentOutOfRange);
    FItems.insert(FItems.begin() + Index, Value);
  }
  virtual void Delete(Integer Index) { FItems.erase(FItems.begin() + Check(Index)); }
  // Deletes the first equal item; its former index or -1.
  Integer Remove(const T &Value) {
    Integer i = IndexOf(Value);
    if (i >= 0)
      Delete(i);
    return i;
  }
  virtual void Clear() { FItems.clear(); }
  Integer IndexOf(const T &Value) const {
    auto it = std::find(FItems.begin(), FItems.end(), Value);
    return it == FItems.end() ? -1 : static_cast<Integer>(it - FItems.begin());
  }
  bool Contains(const T &Value) const { return IndexOf(Value) >= 0; }
  void Exchange(Integer Index1, Integer Index2) {
    std::swap(FItems[Check(Index1)], FItems[Check(Index2)]);
  }
  void Move(Integer CurIndex, Integer NewIndex) {
    T value = FItems[Check(CurIndex)];
    Check(NewIndex);
    FItems.erase(FItems.begin() + CurIndex);
    FItems.insert(FItems.begin() + NewIndex, std::move(value));
  }
  void Reverse() { std::reverse(FItems.begin(), FItems.end()); }
  // Sorts with a comparison that returns negative, zero or positive.
  void Sort(const std::function<Integer(const T &, const T &)> &Compare) {
    std::stable_sort(FItems.begin(), FItems.end(),
                     [&](const T &a, const T &b) { return Compare(a, b) < 0; });
  }
  void Sort() { std::stable_sort(FItems.begin(), FItems.end()); }
  const std::vector<T> &ToArray() const { return FItems; }

  const_iterator begin() const { return FItems.begin(); }
  const_iterator end() const { return FItems.end(); }
  iterator begin() { return FItems.begin(); }
  iterator end() { return FItems.end(); }

protected:
  std::size_t Check(Integer Index) const {
    if (Index < 0 || Index >= Count())
      throw EArgumentOutOfRangeException(SArgumentOutOfRange);
    return static_cast<std::size_t>(Index);
  }
  std::vector<T> FItems;
};

// A list of object pointers that frees the objects it removes while OwnsObjects (the
// default). Extract removes an object without freeing it.
template <typename T> class TObjectList : public TList<T *> {
public:
  explicit TObjectList(bool AOwnsObjects = true) : FOwnsObjects(AOwnsObjects) {}
  ~TObjectList() override { Clear(); }

  bool OwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

  void Delete(Integer Index) override {
    T *item = this->FItems[this->Check(Index)];
    this->FItems.erase(this->FItems.begin() + Index);
    if (FOwnsObjects)
      delete item;
  }
  // Frees the objects from the last to the first; an object whose destructor removes
  // others from this list does not make the walk skip or overrun.
  void Clear() override {
    while (!this->FItems.empty()) {
      T *item = this->FItems.back();
      this->FItems.pop_back();
      if (FOwnsObjects)
        delete item;
    }
  }
  T *Extract(T *Value) {
    Integer i = this->IndexOf(Value);
    if (i < 0)
      return nullptr;
    this->FItems.erase(this->FItems.begin() + i);
    return Value;
  }

private:
  bool FOwnsObjects;
};

template <typename T> class TStack {
public:
  TStack() = default;
  virtual ~TStack() = default;
  TStack(const TStack &) = delete;
  TStack &operator=(const TStack &) = delete;

  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  void Push(const T &Value) { FItems.push_back(Value); }
  // Raises EListError "Unbalanced stack or queue operation" when empty.
  T Pop() {
    if (FItems.empty())
      throw EListError(SUnbalancedOperation);
    T result = std::move(FItems.back());
    FItems.pop_back();
    return result;
  }
  const T &Peek() const {
    if (FItems.empty())
      throw EListError(SUnbalancedOperation);
    return FItems.back();
  }
  virtual void Clear() { FItems.clear(); }

protected:
  std::vector<T> FItems;
};

// A stack of owned objects: Pop frees the object it removes (use Extract to keep it).
template <typename T> class TObjectStack : public TStack<T *> {
public:
  ~TObjectStack() override { Clear(); }
  void Pop() { delete TStack<T *>::Pop(); }
  T *Extract() { return TStack<T *>::Pop(); }
  void Clear() override {
    while (!this->FItems.empty()) {
      T *item = this->FItems.back();
      this->FItems.pop_back();
      delete item;
    }
  }
};

} // namespace krx
