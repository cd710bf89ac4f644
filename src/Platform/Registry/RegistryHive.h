// The registry's storage: a hive as a tree of keys and values in memory, its .reg text
// form, and the transactions on the hive files. Used by TRegistry only (and its tests).
#pragma once

#include "Platform/Registry/Registry.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

namespace krx::reghive {

struct TValue {
  String Name;
  DWORD Type = REG_SZ;
  String Text;      // REG_SZ
  DWORD Number = 0; // REG_DWORD
  TBytes Raw;       // every other type, as stored

  bool SameData(const TValue &other) const;
};

class TKey {
public:
  explicit TKey(String name);

  String Name;
  String Upper; // Name upper-cased: the order and identity of keys
  // Sub-keys by upper-cased name, so in the order they enumerate in.
  std::map<String, std::unique_ptr<TKey>> SubKeys;

  TKey *FindSubKey(StringView name);
  // Finds the sub-key or inserts it at its place; `created` tells which.
  TKey &ForceSubKey(StringView name, bool &created);
  bool RemoveSubKey(StringView name);
  // Values are found through an index by case-folded name, so a key with many values costs
  // no scan per lookup.
  TValue *FindValue(StringView name);
  // Appends a value whose name the key does not hold yet.
  TValue &AddValue(TValue value);
  bool RemoveValue(StringView name);
  // The values in creation order.
  const std::vector<TValue> &Values() const { return FValues; }
  // Follows the path from this key; null when a component is missing.
  TKey *Find(const std::vector<String> &path);
  // Follows the path, creating what is missing; `created` is True when anything was.
  TKey &Force(const std::vector<String> &path, bool &created);

private:
  std::vector<TValue> FValues;
  std::unordered_map<String, std::size_t> FValueIndex; // case-folded name to index
};

// "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE"; empty for another root.
StringView HiveName(HKEY rootKey);

// Keys nest at most this deep below the hive, as on the original platform.
inline constexpr std::size_t kMaxKeyDepth = 512;

// A key name: 1 to 255 code units, no backslash, no control character, no lone surrogate.
bool ValidKeyName(StringView name);
// A value name ("" is the default value): no control character, no lone surrogate.
bool ValidValueName(StringView name);

// Reads the .reg text of a hive (UTF-8 with or without byte-order mark, or UTF-16LE with
// one). Raises EHiveFormat naming the line for anything it cannot take exactly.
struct EHiveFormat {
  int Line;
  String Message;
};
std::unique_ptr<TKey> ParseHive(const std::string &bytes, StringView hiveName);
// The .reg text (UTF-8, CRLF) of a hive: every key with a header, sub-keys in order.
std::string WriteHive(const TKey &root, StringView hiveName);

// The hive as its file stands now (empty when there is no file). Raises
// ERegistryException for a file that cannot be read or is damaged.
std::unique_ptr<TKey> LoadHive(HKEY rootKey);
// The largest hive file that is read (and so the largest that is written).
inline constexpr std::size_t kMaxHiveBytes = 64u << 20;

// One transaction: under the hive's lock, removes temporary files that killed writers left,
// reads the hive again, runs `change` on it and, when it returns True, replaces the file with
// the changed hive. Waits at most 10 s for the lock. Raises ERegistryException when the hive
// cannot be read, is damaged or cannot be written, or when the change would make it larger
// than kMaxHiveBytes (it could never be read again); the file is then left as it was.
void ChangeHive(HKEY rootKey, const std::function<bool(TKey &)> &change);

} // namespace krx::reghive
