// Message boxes and message dialogs. Every one goes through one replaceable service: the
// headless default writes the text to standard error and answers the default button; tests
// install a scripted answerer (TScriptedMessages).
#pragma once

#include "Platform/Rtl/EnumSet.h"
#include "Platform/Rtl/Types.h"
#include "Platform/Win/Windows.h"

#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace krx {

// ---- MessageBoxW --------------------------------------------------------------------------

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_OKCANCEL = 0x00000001;
inline constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
inline constexpr UINT MB_YESNOCANCEL = 0x00000003;
inline constexpr UINT MB_YESNO = 0x00000004;
inline constexpr UINT MB_RETRYCANCEL = 0x00000005;
inline constexpr UINT MB_CANCELTRYCONTINUE = 0x00000006;
inline constexpr UINT MB_ICONHAND = 0x00000010;
inline constexpr UINT MB_ICONERROR = MB_ICONHAND;
inline constexpr UINT MB_ICONSTOP = MB_ICONHAND;
inline constexpr UINT MB_ICONQUESTION = 0x00000020;
inline constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
inline constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr UINT MB_ICONASTERISK = 0x00000040;
inline constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
inline constexpr UINT MB_DEFBUTTON1 = 0x00000000;
inline constexpr UINT MB_DEFBUTTON2 = 0x00000100;
inline constexpr UINT MB_DEFBUTTON3 = 0x00000200;
inline constexpr UINT MB_DEFBUTTON4 = 0x00000300;
inline constexpr UINT MB_APPLMODAL = 0x00000000;
inline constexpr UINT MB_SYSTEMMODAL = 0x00001000;
inline constexpr UINT MB_TASKMODAL = 0x00002000;
inline constexpr UINT MB_TYPEMASK = 0x0000000F;
inline constexpr UINT MB_ICONMASK = 0x000000F0;
inline constexpr UINT MB_DEFMASK = 0x00000F00;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
inline constexpr int IDTRYAGAIN = 10;
inline constexpr int IDCONTINUE = 11;

// Shows a message box; answers the ID of the button chosen. A null caption is "Error", as on
// Windows. An unknown button set (MB_TYPEMASK) answers 0.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// ---- Message dialogs ----------------------------------------------------------------------

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn {
  mbYes,
  mbNo,
  mbOK,
  mbCancel,
  mbAbort,
  mbRetry,
  mbIgnore,
  mbAll,
  mbNoToAll,
  mbYesToAll,
  mbHelp,
  mbClose
};
using TMsgDlgButtons = EnumSet<TMsgDlgBtn>;

using TModalResult = Integer;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = IDOK;
inline constexpr TModalResult mrCancel = IDCANCEL;
inline constexpr TModalResult mrAbort = IDABORT;
inline constexpr TModalResult mrRetry = IDRETRY;
inline constexpr TModalResult mrIgnore = IDIGNORE;
inline constexpr TModalResult mrYes = IDYES;
inline constexpr TModalResult mrNo = IDNO;
inline constexpr TModalResult mrClose = 8;
inline constexpr TModalResult mrHelp = 9;
inline constexpr TModalResult mrTryAgain = 10;
inline constexpr TModalResult mrContinue = 11;
inline constexpr TModalResult mrAll = 12;
inline constexpr TModalResult mrNoToAll = 13;
inline constexpr TModalResult mrYesToAll = 14;

// The modal result of a dialog button (mbHelp: mrNone, it does not close the dialog).
TModalResult ModalResultOf(TMsgDlgBtn button);
// The caption the class library gives a dialog type ("Warning", "Error", "Information",
// "Confirm"); mtCustom has the application's title.
String MsgDlgCaption(TMsgDlgType type);
// The default button of a message dialog: OK, else Yes, else Retry (as the class library
// picks it); when that button is not present, the first button present.
TMsgDlgBtn DefaultMsgDlgButton(TMsgDlgButtons buttons);

// Shows a message dialog; answers the modal result of the button chosen.
Integer MessageDlg(const String &msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, Integer helpCtx);
Integer MessageDlg(const String &msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, Integer helpCtx,
                   TMsgDlgBtn defaultButton);
// A message dialog with only an OK button, captioned with the application's title.
void ShowMessage(const String &msg);

// The application's title, used as the caption of ShowMessage and mtCustom dialogs. The
// application object keeps it up to date.
void SetDialogApplicationTitle(const String &title);
String DialogApplicationTitle();

// ---- The service --------------------------------------------------------------------------

enum class TMessageKind { MessageBox, MessageDlg };

// One message box or dialog to show. Answers lists the answers its buttons give, in order;
// DefaultAnswer is the one the default button gives.
struct TMessageRequest {
  TMessageKind Kind = TMessageKind::MessageBox;
  String Text;
  String Caption;
  UINT Flags = 0;                 // MessageBoxW style (MessageBox only)
  TMsgDlgType DlgType = mtCustom; // MessageDlg only
  TMsgDlgButtons Buttons;         // MessageDlg only
  std::vector<Integer> Answers;
  Integer DefaultAnswer = 0;
};

using TMessageService = std::function<Integer(const TMessageRequest &)>;

// Installs the service (null: the headless default); returns the one installed before.
TMessageService SetMessageService(TMessageService service);
// The headless default: the caption and the text on standard error; the default answer.
Integer HeadlessMessageService(const TMessageRequest &request);

// A scripted answerer for tests: installed for its lifetime, it records every request and
// answers from its script in order, then with each request's default answer. An answer that
// is not among the request's answers fails the test run with EAssertionFailed.
class TScriptedMessages {
public:
  explicit TScriptedMessages(std::vector<Integer> script = {});
  ~TScriptedMessages();
  TScriptedMessages(const TScriptedMessages &) = delete;
  TScriptedMessages &operator=(const TScriptedMessages &) = delete;

  void Push(Integer answer);
  std::vector<TMessageRequest> Requests() const;

private:
  Integer Answer(const TMessageRequest &request);
  mutable std::mutex FLock;
  std::deque<Integer> FScript;
  std::vector<TMessageRequest> FRequests;
  TMessageService FPrevious;
};

void InitializeDialogs();
void FinalizeDialogs();

} // namespace krx
