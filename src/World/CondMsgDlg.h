// The standard message dialog with an extra check box ("Don't ask me again") whose state goes back
// to the caller, which keeps it as a setting.
#pragma once

#include "Platform/Shell/Dialogs.h"

namespace krx {

inline constexpr const Char *SDontAskAgain = u"Don't ask me again";

// Shows the message dialog with the requested buttons, laid out from the right edge, and a check
// box at the left showing `checked`; afterwards `checked` holds the box's state. An empty box text
// is SDontAskAgain, an empty caption the dialog type's caption. Returns the modal result. When
// showing fails, the dialog is freed and `checked` is unchanged.
Integer ConditionalMessageDlg(const String &Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                              bool &checked, const String &checkBoxText = {},
                              const String &caption = {});

} // namespace krx
