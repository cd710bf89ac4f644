#include "Engine/KRX.ReservedWords.h"

#include "Platform/Rtl/SysUtils.h"

#include <algorithm>
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

// The upper-case words with their values, sorted by word, so that a lookup is a binary
// search over a key on the stack: no allocation per identifier.
struct TEntry {
  String Word;
  TReservedWord Value;
};
std::unique_ptr<std::vector<TEntry>> GDictionary;

} // namespace

String ReservedWordName(TReservedWord word) {
  KR_ASSERT(static_cast<Integer>(word) < ReservedWordCount);
  return kNames[word];
}

void ReservedWordsInitialization() {
  auto dict = std::make_unique<std::vector<TEntry>>();
  for (Integer i = 0; i < ReservedWordCount; ++i) {
    auto w = static_cast<TReservedWord>(i);
    if (w == rwUnsafe || w == rwAdd || w == rwRemove)
      continue;
    String key = UpperCase(StringView(kNames[i]).substr(2));
    KR_ASSERT(key.size() <= kLongestWord);
    dict->push_back({std::move(key), w});
  }
  std::sort(dict->begin(), dict->end(),
            [](const TEntry &a, const TEntry &b) { return a.Word < b.Word; });
  GDictionary = std::move(dict);
}

void ReservedWordsFinalization() { GDictionary.reset(); }

bool IsReservedWord(StringView word, TReservedWord &value) {
  KR_ASSERT(GDictionary != nullptr);
  if (word.size() > kLongestWord || word.size() < 2)
    return false;
  Char buf[kLongestWord];
  for (std::size_t i = 0; i < word.size(); ++i) {
    Char c = word[i];
    buf[i] = (c >= u'a' && c <= u'z') ? Char(c - 32) : c;
  }
  const StringView key(buf, word.size());
  auto it = std::lower_bound(GDictionary->begin(), GDictionary->end(), key,
                             [](const TEntry &e, StringView k) { return StringView(e.Word) < k; });
  if (it == GDictionary->end() || StringView(it->Word) != key)
    return false;
  value = it->Value;
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
