#include "Platform/Rtl/GenericDictionaries.h"
#include "XML/Dictionaries.h" // the system's TDictionary: both are seen in one unit

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace krx {
namespace {

struct Tracked {
  Tracked(std::vector<int> &log, int id) : Log(log), Id(id) {}
  ~Tracked() { Log.push_back(Id); }
  std::vector<int> &Log;
  int Id;
};

TEST(GenericList, IndexChecksAndEditing) {
  TList<int> list;
  list.Add(3);
  list.Add(1);
  list.Insert(0, 2);
  EXPECT_EQ(list.ToArray(), (std::vector<int>{2, 3, 1}));
  EXPECT_THROW((void)list[3], EArgumentOutOfRangeException);
  EXPECT_THROW(list.Insert(4, 0), EArgumentOutOfRangeException);
  EXPECT_THROW(list.Delete(-1), EArgumentOutOfRangeException);
  EXPECT_EQ(list.Remove(3), 1);
  EXPECT_EQ(list.Remove(9), -1);
  list.Add(0);
  list.Move(0, 2);
  EXPECT_EQ(list.ToArray(), (std::vector<int>{1, 0, 2}));
  list.Sort([](const int &a, const int &b) { return b - a; });
  EXPECT_EQ(list.ToArray(), (std::vector<int>{2, 1, 0}));
  int sum = 0;
  for (int v : list)
    sum += v;
  EXPECT_EQ(sum, 3);
}

TEST(GenericObjectList, FreesLastToFirstAndExtractKeeps) {
  std::vector<int> log;
  auto *kept = new Tracked(log, 9);
  {
    TObjectList<Tracked> list;
    for (int i = 1; i <= 3; ++i)
      list.Add(new Tracked(log, i));
    list.Add(kept);
    EXPECT_EQ(list.Extract(kept), kept);
    list.Delete(1);
    EXPECT_EQ(log, std::vector<int>{2});
  }
  EXPECT_EQ(log, (std::vector<int>{2, 3, 1}));
  delete kept;
  TObjectList<Tracked> notOwning(false);
  Tracked local(log, 5);
  notOwning.Add(&local);
  notOwning.Clear();
  EXPECT_EQ(log.back(), 9);
}

TEST(GenericDictionary, DuplicatesAndMissingKeysRaise) {
  generics::TDictionary<String, int> map;
  map.Add(u"a", 1);
  try {
    map.Add(u"a", 2);
    FAIL();
  } catch (const EListError &e) {
    EXPECT_EQ(e.Message(), u"Duplicates not allowed");
  }
  try {
    (void)map[u"A"]; // keys compare exactly
    FAIL();
  } catch (const EListError &e) {
    EXPECT_EQ(e.Message(), u"Item not found");
  }
  map.AddOrSetValue(u"a", 5);
  int v = 0;
  EXPECT_TRUE(map.TryGetValue(u"a", v));
  EXPECT_EQ(v, 5);
  EXPECT_FALSE(map.TryGetValue(u"b", v));
  map.Remove(u"a");
  EXPECT_EQ(map.Count(), 0);
}

TEST(GenericDictionary, ObjectDictionaryOwnsItsValues) {
  std::vector<int> log;
  {
    TObjectDictionary<String, Tracked> map;
    map.Add(u"one", new Tracked(log, 1));
    map.Add(u"two", new Tracked(log, 2));
    auto *same = map[u"two"];
    map.AddOrSetValue(u"two", same); // the same object stays
    map.AddOrSetValue(u"one", new Tracked(log, 3));
    EXPECT_EQ(log, std::vector<int>{1});
    map.Remove(u"two");
    EXPECT_EQ(log, (std::vector<int>{1, 2}));
    auto pair = map.ExtractPair(u"one");
    std::unique_ptr<Tracked> extracted(pair.second);
    EXPECT_EQ(extracted->Id, 3);
    map.Add(u"four", new Tracked(log, 4));
    map.Add(u"five", new Tracked(log, 5));
  }
  // The extracted object goes with its unique_ptr, then the dictionary frees what it holds
  // (in no particular order).
  ASSERT_EQ(log.size(), 5u);
  std::sort(log.begin() + 3, log.end());
  EXPECT_EQ(log, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(GenericStack, UnbalancedPopRaises) {
  TStack<String> stack;
  stack.Push(u"a");
  stack.Push(u"b");
  EXPECT_EQ(stack.Peek(), u"b");
  EXPECT_EQ(stack.Pop(), u"b");
  EXPECT_EQ(stack.Pop(), u"a");
  try {
    stack.Pop();
    FAIL();
  } catch (const EListError &e) {
    EXPECT_EQ(e.Message(), u"Unbalanced stack or queue operation");
  }
  std::vector<int> log;
  {
    TObjectStack<Tracked> owned;
    owned.Push(new Tracked(log, 1));
    owned.Push(new Tracked(log, 2));
    owned.Push(new Tracked(log, 3));
    owned.Pop();
    std::unique_ptr<Tracked> kept(owned.Extract());
    EXPECT_EQ(kept->Id, 2);
    owned.Push(new Tracked(log, 4));
    kept.reset();
  }
  EXPECT_EQ(log, (std::vector<int>{3, 2, 4, 1})); // the rest from the top down
}

} // namespace
} // namespace krx
