#include "Platform/Shell/Dialogs.h"

#include "Platform/Rtl/SysUtils.h"

#include <algorithm>
#include <memory>
#include <unistd.h>

namespace krx {

namespace {

struct TDialogState {
  std::mutex Lock;
  TMessageService Service;
  String Title;
};

std::unique_ptr<TDialogState> gState;

Integer Show(const TMessageRequest &request) {
  TMessageService service;
  if (gState) {
    std::lock_guard g(gState->Lock);
    service = gState->Service;
  }
  return service ? service(request) : HeadlessMessageService(request);
}

std::vector<Integer> MessageBoxAnswers(UINT type) {
  switch (type & MB_TYPEMASK) {
  case MB_OK:
    return {IDOK};
  case MB_OKCANCEL:
    return {IDOK, IDCANCEL};
  case MB_ABORTRETRYIGNORE:
    return {IDABORT, IDRETRY, IDIGNORE};
  case MB_YESNOCANCEL:
    return {IDYES, IDNO, IDCANCEL};
  case MB_YESNO:
    return {IDYES, IDNO};
  case MB_RETRYCANCEL:
    return {IDRETRY, IDCANCEL};
  case MB_CANCELTRYCONTINUE:
    return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
  default:
    return {};
  }
}

} // namespace

int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
  TMessageRequest r;
  r.Kind = TMessageKind::MessageBox;
  r.Text = text ? text : u"";
  r.Caption = caption ? caption : u"Error";
  r.Flags = type;
  r.Answers = MessageBoxAnswers(type);
  if (r.Answers.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::size_t def = (type & MB_DEFMASK) >> 8;
  r.DefaultAnswer = r.Answers[def < r.Answers.size() ? def : 0];
  return Show(r);
}

TModalResult ModalResultOf(TMsgDlgBtn button) {
  static constexpr TModalResult results[] = {mrYes,     mrNo,       mrOk,     mrCancel,
                                             mrAbort,   mrRetry,    mrIgnore, mrAll,
                                             mrNoToAll, mrYesToAll, mrNone,   mrClose};
  return results[button];
}

String MsgDlgCaption(TMsgDlgType type) {
  switch (type) {
  case mtWarning:
    return u"Warning";
  case mtError:
    return u"Error";
  case mtInformation:
    return u"Information";
  case mtConfirmation:
    return u"Confirm";
  default:
    return DialogApplicationTitle();
  }
}

TMsgDlgBtn DefaultMsgDlgButton(TMsgDlgButtons buttons) {
  TMsgDlgBtn def = buttons.Contains(mbOK) ? mbOK : buttons.Contains(mbYes) ? mbYes : mbRetry;
  if (buttons.Contains(def))
    return def;
  for (int b = mbYes; b <= mbClose; ++b)
    if (buttons.Contains(static_cast<TMsgDlgBtn>(b)))
      return static_cast<TMsgDlgBtn>(b);
  return mbOK;
}

Integer MessageDlg(const String &msg, TMsgDlgType dlgType, TMsgDlgButtons buttons,
                   Integer helpCtx) {
  return MessageDlg(msg, dlgType, buttons, helpCtx, DefaultMsgDlgButton(buttons));
}

Integer MessageDlg(const String &msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, Integer,
                   TMsgDlgBtn defaultButton) {
  TMessageRequest r;
  r.Kind = TMessageKind::MessageDlg;
  r.Text = msg;
  r.Caption = MsgDlgCaption(dlgType);
  r.DlgType = dlgType;
  r.Buttons = buttons;
  for (int b = mbYes; b <= mbClose; ++b)
    if (b != mbHelp && buttons.Contains(static_cast<TMsgDlgBtn>(b)))
      r.Answers.push_back(ModalResultOf(static_cast<TMsgDlgBtn>(b)));
  if (!buttons.Contains(defaultButton))
    defaultButton = DefaultMsgDlgButton(buttons);
  r.DefaultAnswer = buttons.Empty() ? mrNone : ModalResultOf(defaultButton);
  return Show(r);
}

void ShowMessage(const String &msg) { MessageDlg(msg, mtCustom, {mbOK}, 0); }

void SetDialogApplicationTitle(const String &title) {
  if (!gState)
    return;
  std::lock_guard g(gState->Lock);
  gState->Title = title;
}

String DialogApplicationTitle() {
  if (!gState)
    return {};
  std::lock_guard g(gState->Lock);
  return gState->Title;
}

TMessageService SetMessageService(TMessageService service) {
  KR_ASSERT(gState != nullptr); // the unit "Dialogs" must be initialised (src/Units.cpp)
  std::lock_guard g(gState->Lock);
  std::swap(gState->Service, service);
  return service;
}

Integer HeadlessMessageService(const TMessageRequest &request) {
  std::string line =
      "[message] " + StringToUtf8(request.Caption) + ": " + StringToUtf8(request.Text) + "\n";
  [[maybe_unused]] auto n = ::write(STDERR_FILENO, line.data(), line.size());
  return request.DefaultAnswer;
}

TScriptedMessages::TScriptedMessages(std::vector<Integer> script)
    : FScript(script.begin(), script.end()) {
  FPrevious = SetMessageService([this](const TMessageRequest &r) { return Answer(r); });
}

TScriptedMessages::~TScriptedMessages() { SetMessageService(std::move(FPrevious)); }

void TScriptedMessages::Push(Integer answer) {
  std::lock_guard g(FLock);
  FScript.push_back(answer);
}

std::vector<TMessageRequest> TScriptedMessages::Requests() const {
  std::lock_guard g(FLock);
  return FRequests;
}

Integer TScriptedMessages::Answer(const TMessageRequest &request) {
  Integer answer;
  {
    std::lock_guard g(FLock);
    FRequests.push_back(request);
    if (FScript.empty())
      return request.DefaultAnswer;
    answer = FScript.front();
    FScript.pop_front();
  }
  // A scripted answer the dialog's buttons cannot give is a fault of the test.
  KR_ASSERT(std::find(request.Answers.begin(), request.Answers.end(), answer) !=
            request.Answers.end());
  return answer;
}

void InitializeDialogs() { gState = std::make_unique<TDialogState>(); }

void FinalizeDialogs() { gState.reset(); }

} // namespace krx
