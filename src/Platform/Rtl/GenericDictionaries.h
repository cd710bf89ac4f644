// The class library's generic dictionaries: TDictionary<K, V> and TObjectDictionary<K, V>
// (owning its values). A missing key raises EListError, as in the class library.
//
// The system has a TDictionary of its own (XML/Dictionaries.h: a name-value string list), and
// in C++ a class and a class template cannot share a name in one namespace. The generic
// dictionaries therefore live in krx::generics, so that krx::TDictionary is always the
// system's list and the generic one is written generics::TDictionary<K, V>;
// TObjectDictionary, whose name is free, is also known in krx.
#pragma once

#include "Platform/Rtl/Generics.h"

#include <unordered_map>

namespace krx {
namespace generics {

template <typename K, typename V, typename Hash = std::hash<K>, typename Eq = std::equal_to<K>>
class TDictionary {
public:
  using Map = std::unordered_map<K, V, Hash, Eq>;
  using const_iterator = typename Map::const_iterator;

  TDictionary() = default;
  virtual ~TDictionary() = default;
  TDictionary(const TDictionary &) = delete;
  TDictionary &operator=(const TDictionary &) = delete;

  Integer Count() const { return static_cast<Integer>(FMap.size()); }
  // Raises EListError "Duplicates not allowed" when the key is present.
  void Add(const K &Key, const V &Value) {
    if (!FMap.emplace(Key, Value).second)
      throw EListError(SGenericDuplicateItem);
  }
  void AddOrSetValue(const K &Key, const V &Value) {
    auto it = FMap.find(Key);
    if (it == FMap.end()) {
      FMap.emplace(Key, Value);
    } else {
      V old = it->second;
      it->second = Value;
      if constexpr (std::equality_comparable<V>) {
        if (!(old == Value))
          ValueRemoved(old);
      } else {
        ValueRemoved(old);
      }
    }
  }
  // The value of Key; raises EListError "Item not found" when absent.
  const V &Items(const K &Key) const {
    auto it = FMap.find(Key);
    if (it == FMap.end())
      throw EListError(SGenericItemNotFound);
    return it->second;
  }
  const V &operator[](const K &Key) const { return Items(Key); }
  bool TryGetValue(const K &Key, V &Value) const {
    auto it = FMap.find(Key);
    if (it == FMap.end())
      return false;
    Value = it->second;
    return true;
  }
  bool ContainsKey(const K &Key) const { return FMap.find(Key) != FMap.end(); }
  bool ContainsValue(const V &Value) const {
    for (auto &[k, v] : FMap)
      if (v == Value)
        return true;
    return false;
  }
  void Remove(const K &Key) {
    auto it = FMap.find(Key);
    if (it == FMap.end())
      return;
    V old = it->second;
    FMap.erase(it);
    ValueRemoved(old);
  }
  // Removes Key without freeing its value.
  std::pair<K, V> ExtractPair(const K &Key) {
    auto it = FMap.find(Key);
    if (it == FMap.end())
      return {Key, V{}};
    std::pair<K, V> result{it->first, it->second};
    FMap.erase(it);
    return result;
  }
  void Clear() {
    Map old;
    old.swap(FMap);
    for (auto &[k, v] : old)
      ValueRemoved(v);
  }
  std::vector<K> Keys() const {
    std::vector<K> r;
    for (auto &[k, v] : FMap)
      r.push_back(k);
    return r;
  }
  std::vector<V> Values() const {
    std::vector<V> r;
    for (auto &[k, v] : FMap)
      r.push_back(v);
    return r;
  }

  const_iterator begin() const { return FMap.begin(); }
  const_iterator end() const { return FMap.end(); }

protected:
  virtual void ValueRemoved(const V &) {}
  Map FMap;
};

// A dictionary whose values are objects it owns (the class library's doOwnsValues): values
// that are removed, replaced or cleared are freed.
template <typename K, typename V, typename Hash = std::hash<K>, typename Eq = std::equal_to<K>>
class TObjectDictionary : public TDictionary<K, V *, Hash, Eq> {
public:
  ~TObjectDictionary() override { this->Clear(); }

protected:
  void ValueRemoved(V *const &Value) override { delete Value; }
};

} // namespace generics

using generics::TObjectDictionary;

} // namespace krx
