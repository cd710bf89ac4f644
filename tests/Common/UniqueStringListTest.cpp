#include "Common/KRX.StringList.Helper.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

TEST(UniqueStringList, KeepsOneEntryPerValue) {
  TUniqueStringList ci(false);
  ci.Add(u"Foo");
  ci.Add(u"FOO");
  ci.Add(u"bar");
  EXPECT_EQ(ci.Count(), 2);
  EXPECT_TRUE(ci.Contains(u"foo"));
  EXPECT_EQ(ci.Strings(0), u"bar"); // sorted

  TUniqueStringList cs(true);
  cs.Add(u"Foo");
  cs.Add(u"FOO");
  cs.Add(u"Foo");
  EXPECT_EQ(cs.Count(), 2);
  EXPECT_FALSE(cs.Contains(u"foo"));
}

TEST(UniqueStringList, RemoveValuesAndLists) {
  TUniqueStringList l(false);
  for (const Char *s : {u"a", u"b", u"c", u"d"})
    l.Add(s);
  l.Remove(u"x"); // absent: nothing
  l.Remove(u"B");
  EXPECT_EQ(l.Count(), 3);
  TStringList other;
  other.Add(u"d");
  other.Add(u"q");
  l.Remove(other);
  EXPECT_EQ(l.CommaText(), u"a,c");
  l.Remove(l); // every entry, even when the list removes itself
  EXPECT_EQ(l.Count(), 0);
}

} // namespace
} // namespace krx
