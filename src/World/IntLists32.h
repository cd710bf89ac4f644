// TIntList: a growable array of 32-bit integers with an optional sorted mode.
#pragma once

#include "Platform/Rtl/Classes.h"

namespace krx {

class TIntList : public TPersistent {
public:
  // The largest capacity and count.
  static constexpr Integer MaxListSize = 0x7FFFFFF;

  TIntList() = default;
  ~TIntList() override;

  // Unsorted: appends. Sorted: inserts at the search position; a present value is handled
  // by Duplicates (dupIgnore returns its index, dupError raises EListError "Duplicate
  // value", dupAccept inserts before the first equal entry).
  Integer Add(Integer value);
  Integer Items(Integer index) const;
  Integer operator[](Integer index) const { return Items(index); }
  Integer Count() const { return FCount; }
  Integer Capacity() const { return FCapacity; }
  void SetCapacity(Integer capacity);
  // New entries are zero.
  void SetCount(Integer count);
  void Clear();
  // Binary search over entries in ascending order; index is the match (the first of equal
  // entries when duplicates are accepted) or the insertion point.
  bool Find(Integer value, Integer &index) const;

  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates value) { FDuplicates = value; }
  bool Sorted() const { return FSorted; }
  void SetSorted(bool value) { FSorted = value; }

protected:
  // Into another TIntList: cleared, then every entry added in order, so that the
  // destination's own Sorted and Duplicates apply.
  void AssignTo(TPersistent *dest) const override;
  virtual void Grow();
  // Raises EListError with the message formatted with the data.
  [[noreturn]] virtual void Error(StringView message, Integer data) const;

private:
  Integer FCapacity = 0;
  Integer FCount = 0;
  TDuplicates FDuplicates = dupIgnore;
  Integer *FList = nullptr;
  bool FSorted = false;
};

} // namespace krx
