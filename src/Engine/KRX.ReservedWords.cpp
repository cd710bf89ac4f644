#include "Engine/KRX.ReservedWords.h"

#include "Platform/Rtl/SysUtils.h"

#include <iterator>

namespace krx {

namespace {

constexpr const Char *kNames[] = {
#define KRX_X(name) u"rw" #name,
    KRX_RESERVED_WORDS(KRX_X)
#undef KRX_X
};
static_assert(std::size(kNames) == 72);

// Longer words cannot be reserved; saves looking at long identifiers.
constexpr std::size_t kLongestWord = 14;

// ASCII letters to lower case; a lower-case letter is the result for exactly its two cases.
constexpr Char Fold(Char c) { return Char(c | 0x20); }

// Where a word's length and its first, second and last characters (folded) place it in a
// table of 256 slots. The multipliers were found by trying; the table below checks at
// compile time that no two words share a slot, so a lookup compares with one word at most.
constexpr std::size_t Slot(Char first, Char second, Char last, std::size_t length) {
  return (first * 44u + second * 103u + last * 159u + length * 24u) & 255u;
}

// The words in lower case with their values; "unsafe", "add" and "remove" are left out.
struct TEntry {
  Char Word[kLongestWord] = {};
  std::size_t Length = 0;
  TReservedWord Value = rwBegin;
};
struct TTable {
  TEntry Entries[std::size(kNames)];
  Byte Slots[256] = {}; // 1 + the index in Entries, 0 for none
  bool Collision = false;
  constexpr TTable() {
    std::size_t count = 0;
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
      const auto w = static_cast<TReservedWord>(i);
      if (w == rwUnsafe || w == rwAdd || w == rwRemove)
        continue;
      TEntry &e = Entries[count];
      const Char *name = kNames[i] + 2;
      while (name[e.Length]) {
        e.Word[e.Length] = Fold(name[e.Length]);
        ++e.Length;
      }
      e.Value = w;
      Byte &slot = Slots[Slot(e.Word[0], e.Word[1], e.Word[e.Length - 1], e.Length)];
      Collision = Collision || slot != 0;
      slot = static_cast<Byte>(++count);
    }
  }
};
constexpr TTable kTable;
static_assert(!kTable.Collision);

} // namespace

String ReservedWordName(TReservedWord word) {
  KR_ASSERT(static_cast<Integer>(word) < ReservedWordCount);
  return kNames[word];
}

// The table is built at compile time; the unit's start-up has nothing left to do.
void ReservedWordsInitialization() {}
void ReservedWordsFinalization() {}

bool IsReservedWord(StringView word, TReservedWord &value) {
  const std::size_t n = word.size();
  if (n > kLongestWord || n < 2)
    return false;
  const Byte slot = kTable.Slots[Slot(Fold(word[0]), Fold(word[1]), Fold(word[n - 1]), n)];
  if (slot == 0)
    return false;
  const TEntry &e = kTable.Entries[slot - 1];
  if (e.Length != n)
    return false;
  for (std::size_t i = 0; i < n; ++i)
    if (Fold(word[i]) != e.Word[i])
      return false;
  value = e.Value;
  return true;
}

bool IsReservedKeyword(StringView word, TReservedWord &value) {
  TReservedWord w;
  if (!IsReservedWord(word, w) || w > rwUses)
    return false;
  value = w;
  return true;
}

} // namespace krx
