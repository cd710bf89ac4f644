// TKRXCollection: an ordered list of objects that may own them, keep them sorted by an
// overridable key and refuse duplicates. The code model keeps its child items in
// descendants of it; the timer pool keeps its timers in one sorted by id.
#pragma once

#include "Platform/Rtl/Classes.h"

#include <vector>

namespace krx {

// Raised with "Container error: %s" filled with the decimal text of an error code.
KRX_DECLARE_EXCEPTION(EContainerError, Exception);

// What Add does when an object with an equal key is already present.
enum TCollectionDuplicates : Byte {
  cdIgnore,    // the new object is not added (nor freed); Add returns -1
  cdAccept,    // no duplicate test at all
  cdFreeError, // the new object is freed through FreeItem and EContainerError raised
  cdError      // EContainerError raised; the new object is neither added nor freed
};

class TKRXCollection : public TPersistent {
public:
  // The key under which an item is compared and searched.
  using TKey = const void *;

  TKRXCollection() = default;
  // Frees the items when the collection owns them.
  ~TKRXCollection() override;

  // Takes the other collection's item references (the objects are shared, not copied):
  // one by one through Add when this collection refuses duplicates that the source accepts
  // or keeps its items sorted, else as one block.
  void Assign(const TPersistent *source) override;
  using TPersistent::Assign;

  // Index of the object, or -1 when the duplicate policy dropped it.
  Integer Add(TObject *item);
  // Removes the item; an owned item is freed after its removal.
  void Delete(Integer index);
  // Deletes from the last item to the first. Freeing an owned item may remove further
  // items from this collection; the walk continues below whatever is left.
  void Clear();
  void Exchange(Integer index1, Integer index2);
  TObject *Items(Integer index) const;
  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  Integer Capacity() const { return static_cast<Integer>(FItems.capacity()); }
  void SetCapacity(Integer capacity);

  // Searches by the item's key.
  bool FindItem(TObject *item, Integer &index);
  // Sorted: binary search; index is the match (the first of equal keys when duplicates are
  // accepted) or the insertion point. Otherwise a linear scan; index is Count when absent.
  bool Find(TKey key, Integer &index);

  bool Sorted() const { return FSorted; }
  void SetSorted(bool value);
  TCollectionDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TCollectionDuplicates value) { FDuplicates = value; }
  bool OwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool value) { FOwnsObjects = value; }
  // True while the items are held in key order; only possible while Sorted.
  bool SortActive() const { return FSortActive; }
  void SetSortActive(bool value);
  // Sorts the items when there is more than one and Sorted is set.
  void Sort();

  // Negative, zero or positive. The base: 0 for the same reference, else -1.
  virtual Integer Compare(TKey key1, TKey key2);
  virtual void FreeItem(TObject *item);
  // The base key is the item itself.
  virtual TKey KeyOf(TObject *item);
  // Sorts unless the items are already held in key order.
  virtual void EnsureSorted();

private:
  Integer AddItem(TObject *item, bool mayFree);
  void CheckIndex(Integer index) const;
  void QuickSort(Integer low, Integer high);

  bool FSorted = false;
  TCollectionDuplicates FDuplicates = cdIgnore;
  std::vector<TObject *> FItems;
  bool FOwnsObjects = false;
  bool FSortActive = false;
};

} // namespace krx
