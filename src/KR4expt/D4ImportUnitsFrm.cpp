#include "KR4expt/D4ImportUnitsFrm.h"

#include "Engine/ModuleExplorers.h"

#include <memory>
#include <unordered_set>

namespace krx {

// From Controls/FormStates.h, whose generic dictionary shares its name with the code model's
// dictionary class that the explorer registry brings in.
void SaveFormState(TCustomForm &Form, const String &Name);
bool RestoreFormState(TCustomForm &Form, const String &Name);

namespace {

// The data of a project row: any non-null value; file rows carry none.
const char kProjectRowTag = 0;
void *ProjectRowData() { return const_cast<char *>(&kProjectRowTag); }

constexpr Integer kProjectImage = 6;
constexpr Integer kFileImage = 7;

} // namespace

bool TD4ImportUnitsForm::IsProjectRow(const TListItem *Item) {
  return Item && Item->Data() != nullptr;
}

void TD4ImportUnitsForm::Created() {
  TFormEx::Created();
  SetCaption(u"Import multiple");
  SetPosition(poScreenCenter);
  SetBorderWidth(8);
  SetClientWidth(520);
  SetClientHeight(360);

  BottomPanel = MakeControl<TPanel>(this, this, u"BottomPanel");
  BottomPanel->SetBevelOuter(bvNone);
  BottomPanel->SetHeight(36);
  BottomPanel->SetAlign(alBottom);
  NewModelBox = MakeControl<TCheckBox>(this, BottomPanel, u"NewModelBox");
  NewModelBox->SetCaption(u"Create &New Model");
  NewModelBox->SetBounds(0, 10, 130, 17);
  OKBtn = MakeControl<TKindButton>(this, BottomPanel, u"OKBtn");
  OKBtn->SetKind(bkOK);
  OKBtn->SetBounds(340, 6, 81, 25);
  OKBtn->SetAnchors({akRight, akTop});
  CancelBtn = MakeControl<TKindButton>(this, BottomPanel, u"CancelBtn");
  CancelBtn->SetKind(bkCancel);
  CancelBtn->SetBounds(428, 6, 81, 25);
  CancelBtn->SetAnchors({akRight, akTop});

  Panel = MakeControl<TPanel>(this, this, u"Panel");
  Panel->SetBevelOuter(bvNone);
  Panel->SetAlign(alClient);
  Label2 = MakeControl<TLabel>(this, Panel, u"Label2");
  Label2->SetCaption(u"&Available files");
  Label2->SetBounds(0, 0, 80, 13);
  ListView = MakeControl<TListView>(this, Panel, u"ListView");
  ListView->SetBounds(0, 16, 220, 280);
  ListView->SetViewStyle(vsReport);
  ListView->SetShowColumnHeaders(false);
  ListView->SetMultiSelect(true);
  ListView->SetReadOnly(true);
  ListView->SetColumnClick(false);
  ListView->SetDragMode(dmAutomatic);
  TListColumn *name = ListView->Columns().Add();
  name->SetCaption(u"Name");
  name->SetAutoSize(true);
  Label2->SetFocusControl(ListView);

  ImportList = MakeControl<TListBox>(this, Panel, u"ImportList");
  ImportList->SetBounds(284, 16, 220, 280);
  ImportList->SetMultiSelect(true);
  ImportList->SetDragMode(dmAutomatic);
  ImportLabel = MakeControl<TLabel>(this, Panel, u"ImportLabel");
  ImportLabel->SetCaption(u"&Files to import");
  ImportLabel->SetBounds(284, 0, 80, 13);
  ImportLabel->SetFocusControl(ImportList);

  struct {
    TSpeedButton **Field;
    const Char *Name;
    const Char *Hint;
    void (TD4ImportUnitsForm::*Click)(TObject *);
  } buttons[] = {
      {&InsertBtn, u"InsertBtn", u"Add selected", &TD4ImportUnitsForm::InsertBtnClick},
      {&InsertAllBtn, u"InsertAllBtn", u"Add all", &TD4ImportUnitsForm::InsertAllBtnClick},
      {&DeleteBtn, u"DeleteBtn", u"Exclude selected", &TD4ImportUnitsForm::DeleteBtnClick},
      {&DeleteAllBtn, u"DeleteAllBtn", u"Exclude all", &TD4ImportUnitsForm::DeleteAllBtnClick},
  };
  Integer top = 60;
  for (const auto &b : buttons) {
    TSpeedButton *button = MakeControl<TSpeedButton>(this, Panel, b.Name);
    button->SetFlat(true);
    button->SetHint(b.Hint);
    button->SetShowHint(true);
    button->SetBounds(240, top, 23, 22);
    button->OnClick = [this, click = b.Click](TObject *sender) { (this->*click)(sender); };
    *b.Field = button;
    top += 30;
  }

  ListView->OnDblClick = [this](TObject *sender) { InsertBtnClick(sender); };
  ListView->OnChange = [this](TObject *, TListItem *, TItemChange) { UpdateButtons(); };
  ListView->OnDragOver = [this](TObject *, TObject *source, Integer, Integer, bool &accept) {
    accept = source == ImportList;
  };
  ListView->OnDragDrop = [this](TObject *sender, TObject *, Integer, Integer) {
    DeleteBtnClick(sender);
  };
  ImportList->OnDragOver = [this](TObject *, TObject *source, Integer, Integer, bool &accept) {
    accept = source == ListView;
  };
  ImportList->OnDragDrop = [this](TObject *sender, TObject *, Integer, Integer) {
    InsertBtnClick(sender);
  };
  ImportList->OnDblClick = [this](TObject *sender) { DeleteBtnClick(sender); };
  ImportList->OnClick = [this](TObject *) { UpdateButtons(); };
  ImportList->OnKeyDown = [this](TObject *sender, Word &key, TShiftState) {
    if (key == VK_DELETE) {
      DeleteBtnClick(sender);
      key = 0; // swallowed
    }
  };
  OnCreate = [this](TObject *sender) { FormCreate(sender); };
  OnClose = [this](TObject *sender, TCloseAction &action) { FormClose(sender, action); };
  OnResize = [this](TObject *sender) { PanelResize(sender); };
}

void TD4ImportUnitsForm::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  constexpr Integer kMinSize = 300;
  TFormEx::SetBounds(ALeft, ATop, std::max(AWidth, kMinSize), std::max(AHeight, kMinSize));
}

void TD4ImportUnitsForm::FormCreate(TObject *) {
  FLanguage = lanPascal;
  FGap = ImportList->Left() - (ListView->Left() + ListView->Width());
  // The placement comes back through the form-state store, which keeps it on a screen.
  if (RestoreFormState(*this, ClassName()))
    SetPosition(poDesigned);
  PanelResize(this);
  UpdateButtons();
}

void TD4ImportUnitsForm::FormClose(TObject *, TCloseAction &) { SaveFormState(*this, ClassName()); }

void TD4ImportUnitsForm::FillList(const String &Text) {
  TStringList lines;
  lines.SetText(Text);
  ListView->Items().BeginUpdate();
  ListView->Items().Clear();
  for (Integer i = 0; i < lines.Count(); ++i) {
    const String line = lines[i];
    const std::size_t eq = line.find(u'=');
    if (eq == String::npos)
      continue;
    const String key = line.substr(0, eq);
    const String value = line.substr(eq + 1);
    if (SameText(key, u"project")) {
      TListItem *item = ListView->Items().Add();
      item->SetCaption(value);
      item->SetImageIndex(kProjectImage);
      item->SetData(ProjectRowData());
    } else if (SameText(key, u"file") &&
               ModuleExplorerRegistry().LanguageOfFile(value) == FLanguage) {
      TListItem *item = ListView->Items().Add();
      item->SetCaption(value);
      item->SetImageIndex(kFileImage);
      item->SetIndent(1);
    }
  }
  ListView->Items().EndUpdate();
  UpdateButtons();
}

void TD4ImportUnitsForm::AddFiles(bool SelectedOnly) {
  // Names are compared as the file system compares them: names that differ in case are two
  // files, and both may be imported. One lookup per row, not a scan of the list.
  std::unordered_set<String> listed;
  for (Integer i = 0; i < ImportList->Items().Count(); ++i)
    listed.insert(ImportList->Items()[i]);
  ImportList->Items().BeginUpdate();
  for (Integer i = 0; i < ListView->Items().Count(); ++i) {
    TListItem *item = ListView->Items()[i];
    if (IsProjectRow(item) || (SelectedOnly && !item->Selected()))
      continue;
    if (listed.insert(item->Caption()).second)
      ImportList->Items().Add(item->Caption());
  }
  ImportList->Items().EndUpdate();
  UpdateButtons();
}

void TD4ImportUnitsForm::InsertBtnClick(TObject *) { AddFiles(true); }
void TD4ImportUnitsForm::InsertAllBtnClick(TObject *) { AddFiles(false); }

void TD4ImportUnitsForm::DeleteBtnClick(TObject *) {
  ImportList->Items().BeginUpdate();
  for (Integer i = ImportList->Items().Count() - 1; i >= 0; --i)
    if (ImportList->Selected(i))
      ImportList->Items().Delete(i);
  ImportList->Items().EndUpdate();
  UpdateButtons();
}

void TD4ImportUnitsForm::DeleteAllBtnClick(TObject *) {
  ImportList->Items().Clear();
  UpdateButtons();
}

void TD4ImportUnitsForm::UpdateButtons() {
  const bool anyImport = ImportList->Items().Count() > 0;
  InsertBtn->SetEnabled(ListView->Selected() != nullptr);
  DeleteBtn->SetEnabled(ImportList->SelCount() > 0);
  DeleteAllBtn->SetEnabled(anyImport);
  OKBtn->SetEnabled(anyImport);
  Integer widest = 0;
  for (Integer i = 0; i < ImportList->Items().Count(); ++i)
    widest = std::max(widest, ImportList->Canvas().TextWidth(ImportList->Items()[i]));
  ImportList->SetScrollWidth(anyImport ? widest + 2 : 0);
}

void TD4ImportUnitsForm::PanelResize(TObject *) {
  const Integer w = (Panel->ClientWidth() - 2 * ListView->Left() - FGap) / 2;
  ListView->SetWidth(w);
  ImportList->SetWidth(w);
  const Integer left = w + ListView->Left() + FGap;
  ImportList->SetLeft(left);
  ImportLabel->SetLeft(left);
  for (TSpeedButton *b : {InsertBtn, InsertAllBtn, DeleteBtn, DeleteAllBtn})
    b->SetLeft((Panel->ClientWidth() - InsertBtn->Width()) / 2);
}

bool ImportUnitsDialog(const String &Text, TKRBatchCommand &Command, TSourceLanguageKind Language) {
  std::unique_ptr<TD4ImportUnitsForm> form(TCustomForm::Create<TD4ImportUnitsForm>(Application));
  form->SetLanguage(Language);
  form->FillList(Text);
  form->NewModelBox->SetChecked(Command.CreateNewModel);
  if (Command.CreateNewModel && form->ListView->Items().Count() > 0 &&
      TD4ImportUnitsForm::IsProjectRow(form->ListView->Items()[0]))
    Command.Project = form->ListView->Items()[0]->Caption();
  if (form->ShowModal() != mrOk)
    return false;
  Command.CreateNewModel = form->NewModelBox->Checked();
  for (Integer i = 0; i < form->ImportList->Items().Count(); ++i)
    Command.AddFile(form->ImportList->Items()[i]);
  return true;
}

} // namespace krx
