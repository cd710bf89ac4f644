#include "World/Containr.h"
#include "World/IntLists32.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace krx {
namespace {

// An item with an integer key; its destructor may run a hook (to remove other items).
class TItem : public TObject {
public:
  TItem(int key, std::vector<int> *freed = nullptr) : Key(key), Freed(freed) {}
  ~TItem() override {
    if (Freed)
      Freed->push_back(Key);
    if (OnFree)
      OnFree();
  }
  int Key;
  std::vector<int> *Freed;
  std::function<void()> OnFree;
};

class TKeyedCollection : public TKRXCollection {
public:
  TKey KeyOf(TObject *item) override { return &static_cast<TItem *>(item)->Key; }
  Integer Compare(TKey a, TKey b) override {
    const int x = *static_cast<const int *>(a), y = *static_cast<const int *>(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  std::vector<int> Keys() {
    std::vector<int> k;
    for (Integer i = 0; i < Count(); ++i)
      k.push_back(static_cast<TItem *>(Items(i))->Key);
    return k;
  }
};

TKeyedCollection &MakeSorted(TKeyedCollection &c, TCollectionDuplicates dups) {
  c.SetSorted(true);
  c.SetSortActive(true);
  c.SetDuplicates(dups);
  return c;
}

TEST(KRXCollection, SortedInsertionAndDuplicatePolicies) {
  std::vector<int> freed;
  TItem a(5), b(1), c(9), d(5);
  {
    TKeyedCollection col;
    MakeSorted(col, cdIgnore);
    EXPECT_EQ(col.Add(&a), 0);
    EXPECT_EQ(col.Add(&b), 0);
    EXPECT_EQ(col.Add(&c), 2);
    EXPECT_EQ(col.Add(&d), -1); // dropped, left to the caller
    EXPECT_EQ(col.Keys(), (std::vector<int>{1, 5, 9}));
    Integer index;
    EXPECT_FALSE(col.Find(&d.Key, index) && col.Items(index) == &d);
    int seven = 7, zero = 0, ten = 10;
    EXPECT_FALSE(col.Find(&seven, index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(col.Find(&zero, index));
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(col.Find(&ten, index));
    EXPECT_EQ(index, 3);
    col.SetDuplicates(cdError);
    try {
      col.Add(&d);
      FAIL();
    } catch (const EContainerError &e) {
      EXPECT_EQ(e.Message(), u"Container error: 0");
    }
    EXPECT_EQ(col.Count(), 3);
  }
  {
    TKeyedCollection col;
    MakeSorted(col, cdAccept);
    TItem e(5), f(5), g(5);
    col.Add(&a);
    col.Add(&c);
    col.Add(&e);
    // A new equal key goes before the first equal one.
    EXPECT_EQ(col.Add(&f), 0);
    EXPECT_EQ(col.Items(0), &f);
    EXPECT_EQ(col.Add(&g), 0);
    EXPECT_EQ(col.Keys(), (std::vector<int>{5, 5, 5, 5, 9}));
  }
  {
    TKeyedCollection col;
    MakeSorted(col, cdFreeError);
    col.Add(&a);
    auto *dup = new TItem(5, &freed);
    EXPECT_THROW(col.Add(dup), EContainerError);
    EXPECT_EQ(freed, std::vector<int>{5}); // freed by the collection
    EXPECT_EQ(col.Count(), 1);
  }
}

TEST(KRXCollection, UnsortedSearchIsLinearByReference) {
  TKRXCollection col;
  TItem a(1), b(2);
  EXPECT_EQ(col.Add(&a), 0);
  EXPECT_EQ(col.Add(&b), 1);
  EXPECT_EQ(col.Add(&a), -1); // the same reference is a duplicate under policy 0
  Integer index;
  EXPECT_TRUE(col.FindItem(&b, index));
  EXPECT_EQ(index, 1);
  TItem c(3);
  EXPECT_FALSE(col.FindItem(&c, index));
  EXPECT_EQ(index, 2);
  col.SetDuplicates(cdAccept);
  EXPECT_EQ(col.Add(&a), 2);
  EXPECT_THROW(col.Items(3), EListError);
  EXPECT_THROW(col.Exchange(0, -1), EListError);
}

TEST(KRXCollection, SortActiveSortsAndSortedOffEndsIt) {
  TKeyedCollection col;
  TItem items[] = {TItem(4), TItem(2), TItem(8), TItem(1), TItem(2), TItem(7)};
  col.SetDuplicates(cdAccept);
  for (auto &i : items)
    col.Add(&i);
  col.SetSortActive(true); // not Sorted: no effect
  EXPECT_FALSE(col.SortActive());
  EXPECT_EQ(col.Keys(), (std::vector<int>{4, 2, 8, 1, 2, 7}));
  col.SetSorted(true);
  col.SetSortActive(true);
  EXPECT_TRUE(col.SortActive());
  EXPECT_EQ(col.Keys(), (std::vector<int>{1, 2, 2, 4, 7, 8}));
  col.SetSorted(false);
  EXPECT_FALSE(col.SortActive());
}

TEST(KRXCollection, SortHandlesManyAndInconsistentKeys) {
  TKeyedCollection col;
  std::vector<std::unique_ptr<TItem>> items;
  col.SetDuplicates(cdAccept);
  for (int i = 0; i < 2000; ++i) {
    items.push_back(std::make_unique<TItem>((i * 7919) % 97));
    col.Add(items.back().get());
  }
  col.SetSorted(true);
  col.Sort();
  auto keys = col.Keys();
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  EXPECT_EQ(keys.size(), 2000u);
  // The base Compare (0 only for the same reference, else -1) sorts nothing consistently
  // but must stay inside the list.
  TKRXCollection plain;
  plain.SetDuplicates(cdAccept);
  for (auto &i : items)
    plain.Add(i.get());
  plain.SetSorted(true);
  plain.Sort();
  EXPECT_EQ(plain.Count(), 2000);
}

TEST(KRXCollection, ClearSurvivesDestructorsThatRemoveOtherItems) {
  std::vector<int> freed;
  TKeyedCollection col;
  col.SetOwnsObjects(true);
  std::vector<TItem *> items;
  for (int i = 0; i < 6; ++i) {
    items.push_back(new TItem(i, &freed));
    col.Add(items.back());
  }
  // Freeing item 5 removes (and frees) items 1 and 2; freeing item 3 removes item 0.
  items[5]->OnFree = [&] {
    Integer index;
    if (col.FindItem(items[2], index))
      col.Delete(index);
    if (col.FindItem(items[1], index))
      col.Delete(index);
  };
  items[3]->OnFree = [&] {
    Integer index;
    if (col.FindItem(items[0], index))
      col.Delete(index);
  };
  col.Clear();
  EXPECT_EQ(col.Count(), 0);
  EXPECT_EQ(freed, (std::vector<int>{5, 2, 1, 4, 3, 0}));
}

TEST(KRXCollection, AssignSharesReferencesAndAppliesTheTargetsPolicy) {
  TItem a(3), b(1), c(3);
  TKeyedCollection src;
  src.SetDuplicates(cdAccept);
  src.Add(&a);
  src.Add(&b);
  src.Add(&c);
  TKeyedCollection dst;
  MakeSorted(dst, cdIgnore);
  dst.Assign(src);
  EXPECT_EQ(dst.Keys(), (std::vector<int>{1, 3}));
  EXPECT_EQ(dst.Items(1), &a);

  TKeyedCollection copy;
  copy.SetDuplicates(cdAccept);
  copy.Assign(src);
  EXPECT_EQ(copy.Keys(), (std::vector<int>{3, 1, 3}));

  // A refused duplicate still belongs to the source: it is not freed.
  std::vector<int> freed;
  TKeyedCollection strict;
  MakeSorted(strict, cdFreeError);
  EXPECT_THROW(strict.Assign(src), EContainerError);
  EXPECT_TRUE(freed.empty());
  EXPECT_EQ(c.Key, 3);

  // Two owners of the same objects are refused.
  TKeyedCollection owner1, owner2;
  owner1.SetOwnsObjects(true);
  owner2.SetOwnsObjects(true);
  owner1.Add(new TItem(1));
  EXPECT_THROW(owner2.Assign(owner1), EAssertionFailed);
}

// ---- TIntList -----------------------------------------------------------------------------

TEST(IntList, GrowsByTheDocumentedSteps) {
  TIntList l;
  std::vector<Integer> capacities{l.Capacity()};
  for (int i = 0; i < 100; ++i) {
    l.Add(i);
    if (l.Capacity() != capacities.back())
      capacities.push_back(l.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<Integer>{0, 4, 8, 12, 28, 44, 60, 76, 95, 118}));
  EXPECT_EQ(l.Count(), 100);
  EXPECT_EQ(l.Items(99), 99);
}

TEST(IntList, SortedAddWithDuplicatePolicies) {
  TIntList l;
  l.SetSorted(true);
  for (int v : {5, 1, 9, 5, 3})
    l.Add(v);
  EXPECT_EQ(l.Count(), 4); // dupIgnore
  EXPECT_EQ(l.Add(5), 2);  // the index of the present value
  l.SetDuplicates(dupAccept);
  EXPECT_EQ(l.Add(5), 2); // before the first equal entry
  EXPECT_EQ(l.Count(), 5);
  Integer index;
  EXPECT_TRUE(l.Find(5, index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(l.Find(4, index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(l.Find(100, index));
  EXPECT_EQ(index, 5);
  l.SetDuplicates(dupError);
  try {
    l.Add(9);
    FAIL();
  } catch (const EListError &e) {
    EXPECT_EQ(e.Message(), u"Duplicate value");
  }
  std::vector<Integer> values;
  for (Integer i = 0; i < l.Count(); ++i)
    values.push_back(l[i]);
  EXPECT_EQ(values, (std::vector<Integer>{1, 3, 5, 5, 9}));
}

TEST(IntList, LimitsAndErrors) {
  TIntList l;
  EXPECT_THROW(l.Items(0), EListError);
  EXPECT_THROW(l.SetCount(-1), EListError);
  EXPECT_THROW(l.SetCapacity(TIntList::MaxListSize + 1), EListError);
  try {
    l.SetCapacity(134217728);
    ADD_FAILURE() << "no exception";
  } catch (const EListError &e) {
    EXPECT_EQ(e.Message(), u"List capacity out of bounds (134217728)");
  }
  l.SetCapacity(TIntList::MaxListSize); // the largest accepted
  EXPECT_EQ(l.Capacity(), 134217727);
  l.SetCapacity(0);
  l.SetCount(3);
  EXPECT_EQ(l[0] + l[1] + l[2], 0);
  EXPECT_THROW(l.SetCapacity(2), EListError);
  try {
    l.Items(3); // the index equal to Count is outside too
    ADD_FAILURE() << "no exception";
  } catch (const EListError &e) {
    EXPECT_EQ(e.Message(), u"List index out of bounds (3)");
  }
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
  EXPECT_EQ(l.Capacity(), 0);
}

TEST(IntList, AssignAppliesTheDestinationsRules) {
  TIntList src;
  for (int v : {3, 1, 3, 2})
    src.Add(v);
  TIntList dst;
  dst.SetSorted(true);
  dst.Add(42);
  dst.Assign(src);
  EXPECT_EQ(dst.Count(), 3);
  EXPECT_EQ(dst[0], 1);
  EXPECT_EQ(dst[2], 3);
  TIntList plain;
  plain.Assign(src);
  EXPECT_EQ(plain.Count(), 4);
  EXPECT_EQ(plain[0], 3);
  TStringList other;
  EXPECT_THROW(other.Assign(src), EConvertError);
}

} // namespace
} // namespace krx
