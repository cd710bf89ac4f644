// The class library's standard message dialog as a form: CreateMessageDialog builds it (an icon
// image, the message label and one button per requested button, named as the class library names
// them) for a caller that changes it before showing it modally.
#pragma once

#include "Platform/Shell/Dialogs.h"
#include "Platform/Vcl/Forms.h"

namespace krx {

// The name of a dialog button's control ("Yes", "No", "OK", "Cancel", "Abort", "Retry", "Ignore",
// "All", "NoToAll", "YesToAll", "Help", "Close") and its caption ("&Yes", ...).
String MsgDlgButtonName(TMsgDlgBtn Button);
String MsgDlgButtonCaption(TMsgDlgBtn Button);

// A message dialog form (not shown; owned by the application): caption by type (or the
// application's title for mtCustom), a TImage-like icon named "Image" (not for mtCustom), a
// word-wrapped TLabel named "Message", and the buttons in TMsgDlgBtn order, centred in a row below.
// DefaultButton becomes the default button (it must be among Buttons; otherwise the class library's
// choice among Buttons: OK, Yes, Retry, else the first); the cancel button is Cancel, else No, else
// OK when present. The caller frees the form.
TForm *CreateMessageDialog(const String &Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                           TMsgDlgBtn DefaultButton);
TForm *CreateMessageDialog(const String &Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons);

} // namespace krx
