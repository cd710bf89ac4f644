#include "World/IntLists32.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace krx {

TIntList::~TIntList() { std::free(FList); }

Integer TIntList::Items(Integer index) const {
  if (index < 0 || index >= FCount)
    Error(SListIndexError, index);
  return FList[index];
}

void TIntList::SetCapacity(Integer capacity) {
  if (capacity < FCount || capacity > MaxListSize)
    Error(SListCapacityError, capacity);
  if (capacity == FCapacity)
    return;
  if (capacity == 0) {
    std::free(FList);
    FList = nullptr;
  } else {
    auto *p = static_cast<Integer *>(
        std::realloc(FList, static_cast<std::size_t>(capacity) * sizeof(Integer)));
    if (!p)
      throw std::bad_alloc();
    FList = p;
  }
  FCapacity = capacity;
}

void TIntList::SetCount(Integer count) {
  if (count < 0 || count > MaxListSize)
    Error(SListCountError, count);
  if (count > FCapacity)
    SetCapacity(count);
  if (count > FCount)
    std::memset(FList + FCount, 0, static_cast<std::size_t>(count - FCount) * sizeof(Integer));
  FCount = count;
}

void TIntList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

void TIntList::Grow() {
  Integer delta = FCapacity > 64 ? FCapacity / 4 : FCapacity > 8 ? 16 : 4;
  SetCapacity(FCapacity + delta);
}

bool TIntList::Find(Integer value, Integer &index) const {
  bool result = false;
  Integer low = 0, high = FCount - 1;
  while (low <= high) {
    const Integer mid = (low + high) >> 1;
    if (FList[mid] < value) {
      low = mid + 1;
    } else {
      high = mid - 1;
      if (FList[mid] == value) {
        result = true;
        if (FDuplicates != dupAccept)
          low = mid;
      }
    }
  }
  index = low;
  return result;
}

Integer TIntList::Add(Integer value) {
  Integer index = FCount;
  if (FSorted && Find(value, index)) {
    switch (FDuplicates) {
    case dupIgnore:
      return index;
    case dupError:
      Error(u"Duplicate value", 0);
    case dupAccept:
      break;
    }
  }
  if (FCount == FCapacity)
    Grow();
  if (index < FCount)
    std::memmove(FList + index + 1, FList + index,
                 static_cast<std::size_t>(FCount - index) * sizeof(Integer));
  FList[index] = value;
  ++FCount;
  return index;
}

void TIntList::AssignTo(TPersistent *dest) const {
  auto *list = dynamic_cast<TIntList *>(dest);
  if (!list) {
    TPersistent::AssignTo(dest);
    return;
  }
  if (list == this)
    return;
  list->Clear();
  list->SetCapacity(FCount);
  for (Integer i = 0; i < FCount; ++i)
    list->Add(FList[i]);
}

void TIntList::Error(StringView message, Integer data) const { throw EListError(message, {data}); }

} // namespace krx
