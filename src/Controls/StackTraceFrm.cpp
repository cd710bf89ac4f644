#include "Controls/StackTraceFrm.h"

#include "Controls/FormStates.h"
#include "Platform/Vcl/FileCtrl.h"

#include <memory>

namespace krx {

namespace {

constexpr const Char *kDescription = uR"(object KRStackTraceForm: TKRStackTraceForm
  BorderStyle = bsDialog
  Caption = 'Create stack trace'
  ClientWidth = 281
  ClientHeight = 121
  Font.Name = 'MS Sans Serif'
  Font.Height = -11
  Position = poScreenCenter
  PixelsPerInch = 96
  object Label1: TLabel
    Left = 12
    Top = 8
    Caption = 'Trace file:'
  end
  object FileLbl: TLabel
    Left = 64
    Top = 8
    Caption = 'runtime'
    ShowHint = True
  end
  object AppendBox: TCheckBox
    Left = 12
    Top = 32
    Width = 157
    Height = 17
    Caption = '&Append to exsiting trace file'
    TabOrder = 0
  end
  object CreateDiagramBox: TCheckBox
    Left = 12
    Top = 56
    Width = 237
    Height = 17
    Caption = '&Create sequence diagram from stack trace file'
    TabOrder = 1
  end
  object KRHintImage1: TKRHintImage
    Left = 176
    Top = 32
    Width = 16
    Height = 16
    Hint = '@Append to exsiting trace file|If enabled, the current stack trace will be appended\N\Lto the trace file rather than overwriting the existing file.\N\L\N\LThis is typically used to combine several stacks into a\N\Lsingle sequence diagram.'
  end
  object KRHintImage2: TKRHintImage
    Left = 256
    Top = 56
    Width = 16
    Height = 16
    Hint = '@Create sequence diagram from stack trace file|If enabled, the trace file is sent to Kestrune\N\Lwhich converts it to a sequence diagram.\N\LThis is the default for creating a sequence diagram\N\Lfrom a single stack trace.\N\L\N\LIf it is disabled, the stack data is written to the trace file \N\Lwithout creating a sequence diagram. This is typically \N\Lused if you want to manually edit the trace file or to \N\Lcombine multiple stacks into a single trace file.\N\L\N\LOnce created or edited, a trace file can be converted \N\Lto a sequence diagram from the Kestrune\N\LDiagram Explorer view.'
  end
  object OKBtn: TKindButton
    Left = 104
    Top = 88
    Height = 25
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 2
  end
  object CancelBtn: TKindButton
    Left = 192
    Top = 88
    Height = 25
    Caption = 'Cancel'
    Cancel = True
    ModalResult = 2
    TabOrder = 3
  end
end
)";

template <class T> T *Bind(TComponent *root, StringView name) {
  auto *c = dynamic_cast<T *>(root->FindComponent(String(name)));
  KR_ASSERT(c != nullptr);
  return c;
}

} // namespace

String TKRStackTraceForm::Description() const { return kDescription; }

void TKRStackTraceForm::Created() {
  TFormEx::Created();
  AppendBox = Bind<TCheckBox>(this, u"AppendBox");
  CreateDiagramBox = Bind<TCheckBox>(this, u"CreateDiagramBox");
  Label1 = Bind<TLabel>(this, u"Label1");
  FileLbl = Bind<TLabel>(this, u"FileLbl");
  OKBtn = Bind<TKindButton>(this, u"OKBtn");
  CancelBtn = Bind<TKindButton>(this, u"CancelBtn");
  KRHintImage1 = Bind<TKRHintImage>(this, u"KRHintImage1");
  KRHintImage2 = Bind<TKRHintImage>(this, u"KRHintImage2");
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
