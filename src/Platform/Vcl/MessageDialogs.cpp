#include "Platform/Vcl/MessageDialogs.h"

#include "Platform/Vcl/Panels.h"
#include "Platform/Vcl/StdCtrls.h"
#include "Platform/Vcl/TextDraw.h"

#include <algorithm>
#include <memory>

namespace krx {

namespace {

constexpr const Char *kButtonNames[] = {u"Yes",     u"No",       u"OK",     u"Cancel",
                                        u"Abort",   u"Retry",    u"Ignore", u"All",
                                        u"NoToAll", u"YesToAll", u"Help",   u"Close"};
constexpr const Char *kButtonCaptions[] = {u"&Yes",       u"&No",         u"OK",      u"Cancel",
                                           u"&Abort",     u"&Retry",      u"&Ignore", u"&All",
                                           u"N&o to All", u"Yes to &All", u"&Help",   u"&Close"};
constexpr const Char *kIconNames[] = {u"IDI_WARNING", u"IDI_ERROR", u"IDI_INFORMATION",
                                      u"IDI_QUESTION"};

} // namespace

String MsgDlgButtonName(TMsgDlgBtn Button) { return kButtonNames[Button]; }
String MsgDlgButtonCaption(TMsgDlgBtn Button) { return kButtonCaptions[Button]; }

TForm *CreateMessageDialog(const String &Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
  return CreateMessageDialog(Msg, DlgType, Buttons, DefaultMsgDlgButton(Buttons));
}

// Sizes in dialog units of the class library's message dialog, converted by the form font's average
// character width (horizontal, per 4 units) and height (vertical, per 8 units).
TForm *CreateMessageDialog(const String &Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                           TMsgDlgBtn DefaultButton) {
  if (!Buttons.Contains(DefaultButton))
    DefaultButton = DefaultMsgDlgButton(Buttons);
  std::unique_ptr<TForm> owned(TCustomForm::CreateNew<TForm>(Application));
  TForm *form = owned.get();
  form->SetBorderStyle(bsDialog);
  form->SetPosition(poScreenCenter);
  form->SetCaption(MsgDlgCaption(DlgType));

  TCanvas canvas;
  canvas.Font().Assign(form->Font());
  const Integer avgWidth =
      canvas.TextWidth(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52;
  const Integer charHeight = canvas.TextHeight(u"Ag");
  const Integer horzMargin = MulDiv(8, avgWidth, 4);
  const Integer vertMargin = MulDiv(8, charHeight, 8);
  const Integer horzSpacing = MulDiv(10, avgWidth, 4);
  const Integer vertSpacing = MulDiv(10, charHeight, 8);
  const Integer buttonSpacing = MulDiv(4, avgWidth, 4);
  const Integer buttonHeight = MulDiv(14, charHeight, 8);
  Integer buttonWidth = MulDiv(50, avgWidth, 4);
  Integer buttonCount = 0;
  for (int b = mbYes; b <= mbClose; ++b)
    if (Buttons.Contains(static_cast<TMsgDlgBtn>(b))) {
      ++buttonCount;
      TRect r = Rect(0, 0, 0, 0);
      DrawTextW(canvas, kButtonCaptions[b], r, DT_CALCRECT | DT_SINGLELINE);
      buttonWidth = std::max(buttonWidth, r.Right + 8);
    }

  const Integer screenWidth = Screen ? Screen->PrimaryMonitor()->Width() : 1024;
  TRect textRect = Rect(0, 0, screenWidth / 2, 0);
  DrawTextW(canvas, Msg, textRect, DT_CALCRECT | DT_WORDBREAK);
  const bool hasIcon = DlgType != mtCustom;
  Integer iconTextWidth = textRect.Right;
  Integer iconTextHeight = textRect.Bottom;
  if (hasIcon) {
    iconTextWidth += 32 + horzSpacing;
    iconTextHeight = std::max(iconTextHeight, 32);
  }
  const Integer groupWidth =
      buttonCount > 0 ? buttonWidth * buttonCount + buttonSpacing * (buttonCount - 1) : 0;
  form->SetClientWidth(std::max(iconTextWidth, groupWidth) + horzMargin * 2);
  form->SetClientHeight(iconTextHeight + buttonHeight + vertSpacing + vertMargin * 2);

  if (hasIcon) {
    auto *image = new TImage(form);
    image->SetName(u"Image");
    image->SetParent(form);
    image->SetPictureName(kIconNames[DlgType]);
    image->SetBounds(horzMargin, vertMargin, 32, 32);
  }
  auto *message = new TLabel(form);
  message->SetName(u"Message");
  message->SetParent(form);
  message->SetWordWrap(true);
  message->SetCaption(Msg);
  message->SetBounds(iconTextWidth - textRect.Right + horzMargin, vertMargin, textRect.Width(),
                     textRect.Height());

  const TMsgDlgBtn cancelButton = Buttons.Contains(mbCancel) ? mbCancel
                                  : Buttons.Contains(mbNo)   ? mbNo
                                                             : mbOK;
  Integer x = (form->ClientWidth() - groupWidth) / 2;
  for (int b = mbYes; b <= mbClose; ++b) {
    const auto button = static_cast<TMsgDlgBtn>(b);
    if (!Buttons.Contains(button))
      continue;
    auto *control = new TButton(form);
    control->SetName(kButtonNames[b]);
    control->SetParent(form);
    control->SetCaption(kButtonCaptions[b]);
    control->SetModalResult(ModalResultOf(button));
    control->SetDefault(button == DefaultButton);
    control->SetCancel(button == cancelButton && Buttons.Contains(cancelButton));
    control->SetBounds(x, iconTextHeight + vertMargin + vertSpacing, buttonWidth, buttonHeight);
    if (button == DefaultButton && control->CanFocus())
      form->SetActiveControl(control);
    x += buttonWidth + buttonSpacing;
  }
  return owned.release();
}

} // namespace krx
