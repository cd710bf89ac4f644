// The "Import multiple" dialog: the user picks, among the files of the open projects and editors,
// those that Kestrune imports in one batch.
#pragma once

#include "Common/DataTyp.h"
#include "Controls/FormEx.h"
#include "Controls/KindBtns.h"
#include "KR4expt/KRBatchCmds.h"
#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Panels.h"

namespace krx {

class TD4ImportUnitsForm : public TFormEx {
public:
  explicit TD4ImportUnitsForm(TComponent *AOwner) : TFormEx(AOwner) {}

  TPanel *Panel = nullptr;
  TListView *ListView = nullptr;
  TLabel *Label2 = nullptr;
  TLabel *ImportLabel = nullptr;
  TListBox *ImportList = nullptr;
  TSpeedButton *InsertBtn = nullptr;
  TSpeedButton *InsertAllBtn = nullptr;
  TSpeedButton *DeleteBtn = nullptr;
  TSpeedButton *DeleteAllBtn = nullptr;
  TPanel *BottomPanel = nullptr;
  TCheckBox *NewModelBox = nullptr;
  TKindButton *OKBtn = nullptr;
  TKindButton *CancelBtn = nullptr;

  TSourceLanguageKind Language() const { return FLanguage; }
  void SetLanguage(TSourceLanguageKind Value) { FLanguage = Value; }
  // Fills the available list from "project=..." and "file=..." lines (keys without regard to case;
  // files only of the dialog's language).
  void FillList(const String &Text);
  // Whether the row is a project row (told by its data).
  static bool IsProjectRow(const TListItem *Item);

  void InsertBtnClick(TObject *Sender);
  void InsertAllBtnClick(TObject *Sender);
  void DeleteBtnClick(TObject *Sender);
  void DeleteAllBtnClick(TObject *Sender);
  void UpdateButtons();
  void PanelResize(TObject *Sender);
  void FormCreate(TObject *Sender);
  void FormClose(TObject *Sender, TCloseAction &Action);

  // The dialog is never made smaller than 300 by 300 pixels.
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;

protected:
  void Created() override;

private:
  void AddFiles(bool SelectedOnly);

  Integer FGap = 0;
  TSourceLanguageKind FLanguage = lanPascal;
};

// Runs the dialog for the projects and files of Text; on OK the command gets the chosen files and
// the new-model choice, and the result is True.
bool ImportUnitsDialog(const String &Text, TKRBatchCommand &Command, TSourceLanguageKind Language);

} // namespace krx
