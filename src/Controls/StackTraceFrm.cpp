#include "Controls/StackTraceFrm.h"

#include "Controls/FormStates.h"
#include "Platform/Vcl/FileCtrl.h"

#include <memory>

namespace krx {

namespace {

constexpr const Char *kAppendHint =
    u"@Append to exsiting trace file|If enabled, the current stack trace will be appended\\N\\Lto "
    u"the trace file rather than overwriting the existing file.\\N\\L\\N\\LThis is typically used "
    u"to combine several stacks into a\\N\\Lsingle sequence diagram.";
constexpr const Char *kCreateDiagramHint =
    u"@Create sequence diagram from stack trace file|If enabled, the trace file is sent to "
    u"Kestrune\\N\\Lwhich converts it to a sequence diagram.\\N\\LThis is the default for creating "
    u"a sequence diagram\\N\\Lfrom a single stack trace.\\N\\L\\N\\LIf it is disabled, the stack "
    u"data is written to the trace file \\N\\Lwithout creating a sequence diagram. This is "
    u"typically \\N\\Lused if you want to manually edit the trace file or to \\N\\Lcombine "
    u"multiple stacks into a single trace file.\\N\\L\\N\\LOnce created or edited, a trace file "
    u"can be converted \\N\\Lto a sequence diagram from the Kestrune\\N\\LDiagram Explorer view.";

} // namespace

void TKRStackTraceForm::Created() {
  TFormEx::Created();
  SetName(u"KRStackTraceForm");
  SetBorderStyle(bsDialog);
  SetCaption(u"Create stack trace");
  SetClientWidth(281);
  SetClientHeight(121);
  Font().SetName(u"MS Sans Serif");
  Font().SetHeight(-11);
  SetPosition(poScreenCenter);

  Label1 = MakeControl<TLabel>(this, this, u"Label1");
  Label1->SetLeft(12);
  Label1->SetTop(8);
  Label1->SetCaption(u"Trace file:");
  FileLbl = MakeControl<TLabel>(this, this, u"FileLbl");
  FileLbl->SetLeft(64);
  FileLbl->SetTop(8);
  FileLbl->SetCaption(u"runtime");
  FileLbl->SetShowHint(true);
  AppendBox = MakeControl<TCheckBox>(this, this, u"AppendBox");
  AppendBox->SetBounds(12, 32, 157, 17);
  AppendBox->SetCaption(u"&Append to exsiting trace file");
  AppendBox->SetTabOrder(0);
  CreateDiagramBox = MakeControl<TCheckBox>(this, this, u"CreateDiagramBox");
  CreateDiagramBox->SetBounds(12, 56, 237, 17);
  CreateDiagramBox->SetCaption(u"&Create sequence diagram from stack trace file");
  CreateDiagramBox->SetTabOrder(1);
  KRHintImage1 = MakeControl<TKRHintImage>(this, this, u"KRHintImage1");
  KRHintImage1->SetBounds(176, 32, 16, 16);
  KRHintImage1->SetHint(kAppendHint);
  KRHintImage2 = MakeControl<TKRHintImage>(this, this, u"KRHintImage2");
  KRHintImage2->SetBounds(256, 56, 16, 16);
  KRHintImage2->SetHint(kCreateDiagramHint);
  OKBtn = MakeControl<TKindButton>(this, this, u"OKBtn");
  OKBtn->SetLeft(104);
  OKBtn->SetTop(88);
  OKBtn->SetHeight(25);
  OKBtn->SetCaption(u"OK");
  OKBtn->SetDefault(true);
  OKBtn->SetModalResult(mrOk);
  OKBtn->SetTabOrder(2);
  CancelBtn = MakeControl<TKindButton>(this, this, u"CancelBtn");
  CancelBtn->SetLeft(192);
  CancelBtn->SetTop(88);
  CancelBtn->SetHeight(25);
  CancelBtn->SetCaption(u"Cancel");
  CancelBtn->SetCancel(true);
  CancelBtn->SetModalResult(mrCancel);
  CancelBtn->SetTabOrder(3);

  OnCreate = [this](TObject *sender) { FormCreate(sender); };
  OnClose = [this](TObject *sender, TCloseAction &action) { FormClose(sender, action); };
}

void TKRStackTraceForm::FormCreate(TObject *) {
  if (RestoreFormState(*this, ClassName()))
    SetPosition(poDesigned); // placed where it was closed, not centred again
  FileLbl->SetAutoSize(false);
  FileLbl->SetWidth(ClientWidth() - FileLbl->Left() - 4);
}

void TKRStackTraceForm::FormClose(TObject *, TCloseAction &) { SaveFormState(*this, ClassName()); }

bool StackTraceDialog(const String &fileName, bool &append, bool &createDiagram) {
  std::unique_ptr<TKRStackTraceForm> form(TCustomForm::Create<TKRStackTraceForm>(nullptr));
  form->AppendBox->SetChecked(append);
  form->CreateDiagramBox->SetChecked(createDiagram);
  form->FileLbl->SetCaption(MinimizeName(
      fileName, [&](const String &s) { return TextWidthOf(form->Font(), s); },
      form->FileLbl->Width()));
  form->FileLbl->SetHint(fileName);
  if (form->ShowModal() != mrOk)
    return false;
  append = form->AppendBox->Checked();
  createDiagram = form->CreateDiagramBox->Checked();
  return true;
}

} // namespace krx
