#include "Engine/KRX.ReservedWords.h"

#include "Platform/Rtl/SysUtils.h"

#include <memory>
#include <vector>

namespace krx {

namespace {

constexpr const Char *kNames[] = {
#define KRX_X(name) u"rw" #name,
    KRX_RESERVED_WORDS(KRX_X)
#undef KRX_X
};
static_assert(std::size(kNames) == 72);

// Longer words cannot be reserved; saves upper-casing long identifiers.
constexpr std::size_t kLongestWord = 14;

// The upper-case words with their values, grouped by length and first letter: a lookup
// compares the identifier, folded as it goes, with the one to three words of its group, with
// no copy and no allocation per identifier.
struct TEntry {
  String Word;
  TReservedWord Value;
};
struct TDictionary {
  std::vector<TEntry> Groups[kLongestWord + 1][26];
};
std::unique_ptr<TDictionary> GDictionary;

Char AsciiUpper(Char c) { return (c >= u'a' && c <= u'z') ? Char(c - 32) : c; }

} // namespace

String ReservedWordName(TReservedWord word) {
  KR_ASSERT(static_cast<Integer>(word) < ReservedWordCount);
  return kNames[word];
}

void ReservedWordsInitialization() {
  auto dict = std::make_unique<TDictionary>();
  for (Integer i = 0; i < ReservedWordCount; ++i) {
    auto w = static_cast<TReservedWord>(i);
    if (w == rwUnsafe || w == rwAdd || w == rwRemove)
      continue;
    String key = UpperCase(StringView(kNames[i]).substr(2));
    KR_ASSERT(key.size() >= 2 && key.size() <= kLongestWord && key[0] >= u'A' && key[0] <= u'Z');
    dict->Groups[key.size()][key[0] - u'A'].push_back({std::move(key), w});
  }
  GDictionary = std::move(dict);
}

void ReservedWordsFinalization() { GDictionary.reset(); }

bool IsReservedWord(StringView word, TReservedWord &value) {
  KR_ASSERT(GDictionary != nullptr);
  const std::size_t n = word.size();
  if (n > kLongestWord || n < 2)
    return false;
  const Char first = AsciiUpper(word[0]);
  if (first < u'A' || first > u'Z')
    return false;
  for (const TEntry &e : GDictionary->Groups[n][first - u'A']) {
    std::size_t i = 1;
    while (i < n && AsciiUpper(word[i]) == e.Word[i])
      ++i;
    if (i == n) {
      value = e.Value;
      return true;
    }
  }
  return false;
}

bool IsReservedKeyword(StringView word, TReservedWord &value) {
  TReservedWord w;
  if (!IsReservedWord(word, w) || w > rwUses)
    return false;
  value = w;
  return true;
}

} // namespace krx
