#include "Engine/KRX.ReservedWords.h"

#include "Platform/Rtl/SysUtils.h"

#include <memory>
#include <unordered_map>

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

std::unique_ptr<std::unordered_map<String, TReservedWord>> GDictionary;

} // namespace

String ReservedWordName(TReservedWord word) {
  KR_ASSERT(static_cast<Integer>(word) < ReservedWordCount);
  return kNames[word];
}

void ReservedWordsInitialization() {
  auto dict = std::make_unique<std::unordered_map<String, TReservedWord>>();
  for (Integer i = 0; i < ReservedWordCount; ++i) {
    auto w = static_cast<TReservedWord>(i);
    if (w == rwUnsafe || w == rwAdd || w == rwRemove)
      continue;
    String key = UpperCase(StringView(kNames[i]).substr(2));
    KR_ASSERT(key.size() <= kLongestWord);
    dict->emplace(std::move(key), w);
  }
  GDictionary = std::move(dict);
}

void ReservedWordsFinalization() { GDictionary.reset(); }

bool IsReservedWord(StringView word, TReservedWord &value) {
  KR_ASSERT(GDictionary != nullptr);
  if (word.size() > kLongestWord || word.empty())
    return false;
  Char buf[kLongestWord];
  for (std::size_t i = 0; i < word.size(); ++i) {
    Char c = word[i];
    buf[i] = (c >= u'a' && c <= u'z') ? Char(c - 32) : c;
  }
  auto it = GDictionary->find(String(buf, word.size()));
  if (it == GDictionary->end())
    return false;
  value = it->second;
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
