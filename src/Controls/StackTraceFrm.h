// The call-stack dialog: before the expert writes the debugger's call stack to the trace file, it
// asks whether to append to the file and whether to have Kestrune turn it into a sequence diagram.
// The dialog reopens where it was closed while the IDE runs.
#pragma once

#include "Controls/FormEx.h"
#include "Controls/KRHintImages.h"
#include "Controls/KindBtns.h"

namespace krx {

class TKRStackTraceForm : public TFormEx {
public:
  explicit TKRStackTraceForm(TComponent *AOwner) : TFormEx(AOwner) {}

  TCheckBox *AppendBox = nullptr;
  TCheckBox *CreateDiagramBox = nullptr;
  TLabel *Label1 = nullptr;
  TLabel *FileLbl = nullptr;
  TKindButton *OKBtn = nullptr;
  TKindButton *CancelBtn = nullptr;
  TKRHintImage *KRHintImage1 = nullptr;
  TKRHintImage *KRHintImage2 = nullptr;

  void FormCreate(TObject *Sender);
  void FormClose(TObject *Sender, TCloseAction &Action);

protected:
  void Created() override;
};

// Runs the dialog for the trace file; on OK the two flags take the boxes' states and the result is
// True, otherwise the flags stay as passed.
bool StackTraceDialog(const String &fileName, bool &append, bool &createDiagram);

} // namespace krx
