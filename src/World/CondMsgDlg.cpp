#include "World/CondMsgDlg.h"

#include "Platform/Vcl/MessageDialogs.h"
#include "Platform/Vcl/StdCtrls.h"

#include <memory>

namespace krx {

Integer ConditionalMessageDlg(const String &Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                              bool &checked, const String &checkBoxText, const String &caption) {
  // Two buttons that were not asked for widen the button row and so the dialog, which makes room
  // for the check box; they are hidden below.
  TMsgDlgBtn spares[2];
  int spareCount = 0;
  for (int b = mbClose; b >= mbYes && spareCount < 2; --b)
    if (!Buttons.Contains(static_cast<TMsgDlgBtn>(b)))
      spares[spareCount++] = static_cast<TMsgDlgBtn>(b);
  KR_ASSERT(spareCount == 2);

  // The default button comes from the requested buttons only: a hidden spare never is one.
  std::unique_ptr<TForm> dialog(CreateMessageDialog(
      Msg, DlgType, Buttons + TMsgDlgButtons{spares[0], spares[1]}, DefaultMsgDlgButton(Buttons)));
  TControl *last = nullptr;
  for (TMsgDlgBtn spare : spares) {
    last = dialog->FindChildControl(MsgDlgButtonName(spare));
    if (last)
      last->Hide();
  }

  Integer x = dialog->ClientWidth();
  for (int b = mbClose; b >= mbYes; --b) {
    if (!Buttons.Contains(static_cast<TMsgDlgBtn>(b)))
      continue;
    last = dialog->FindChildControl(MsgDlgButtonName(static_cast<TMsgDlgBtn>(b)));
    KR_ASSERT(last != nullptr);
    x -= last->Width() + 8;
    last->SetLeft(x);
  }

  auto *box = MakeControl<TCheckBox>(dialog.get(), dialog.get());
  box->SetCaption(checkBoxText.empty() ? String(SDontAskAgain) : checkBoxText);
  box->SetLeft(8);
  box->SetTop(last ? last->Top() + (last->Height() - box->Height()) / 2
                   : dialog->Height() - box->Height() - 4);
  box->SetWidth(TextWidthOf(dialog->Font(), box->Caption()) + 20);
  box->SetChecked(checked);

  if (!caption.empty())
    dialog->SetCaption(caption);

  const Integer result = dialog->ShowModal();
  checked = box->Checked();
  return result;
}

} // namespace krx
