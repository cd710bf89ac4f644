// The key-bindings frame of the options dialog: commands with their shortcuts, a hot-key edit to
// type a new shortcut, and shortcuts that occur twice marked (red rows, the "Duplicates" label
// enabled). In this revision the frame holds its own PNG image list with the "Warnings" image.
#pragma once

#include "Controls/ComCtrlsEx.h"
#include "Controls/KRX.Base.Frame.h"
#include "Platform/Vcl/Menus.h"
#include "Platform/Vcl/Panels.h"
#include "lib/PngImaging/Source/PngImageList.h"

#include <set>
#include <vector>

namespace krx {

class TKRKeyBindingsFrame : public TBaseFrame {
public:
  explicit TKRKeyBindingsFrame(TComponent *AOwner);

  TCheckBox *SortedBox = nullptr;
  TListViewEx *ListView = nullptr;
  TPanel *BottomPanel = nullptr;
  TLabel *EditLabel = nullptr;
  THotKeyEx *HotKeyEdit = nullptr;
  TLabel *DuplicatesLbl = nullptr;

  // Lists the menu items (caption without its accelerator, shortcut text, load order).
  void LoadBindings(const std::vector<TMenuItem *> &MenuItems);
  // Gives each menu item the shortcut shown for it (none for an empty or unknown text).
  void StoreBindings(const std::vector<TMenuItem *> &MenuItems);

  bool Sorted() const { return FSorted; }
  void SetSorted(bool Value);
  // Whether the row is marked as a duplicate.
  bool IsDuplicate(const TListItem *Item) const { return FDuplicates.count(Item) != 0; }

  void MarkDuplicates();

  // The frame's own image list: one image, "Warnings", the list view's small images.
  TPngImageList *ImageList1 = nullptr;

protected:
  void Created() override;

private:
  Integer ListViewCompare(TListItem *Item1, TListItem *Item2) const;
  void ListViewChange(TListItem *Item);
  void HotKeyEditChange();
  void ListViewKeyDown(Word &Key, TShiftState Shift);
  void FormResize();
  void SetupDuplicatesLabel();
  // The list view's images, as far as they are made with the frame.
  void CreateImages();

  Integer FWarningsIndex = -1;
  bool FSorted = false;
  std::set<const TListItem *> FDuplicates;
};

} // namespace krx
