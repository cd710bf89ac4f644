// The application object of the headless class library: the message loop of the process, its
// title, and the handler of exceptions that reach a message handler, a timer or an action.
// The rest of the visual class library (forms, controls) joins this unit later.
#pragma once

#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/System.h"
#include "Platform/Win/Windows.h"

#include <functional>

namespace krx {

using TExceptionEvent = std::function<void(TObject *Sender, const Exception &E)>;

class TApplication : public TObject {
public:
  TApplication();
  ~TApplication() override;

  // To be called inside a catch block. EAbort is silent; any other exception goes to
  // OnException when set, otherwise to ShowException. The process goes on.
  void HandleException(TObject *Sender);
  // Shows the exception's message (a full stop added unless it ends in one or in a
  // character below it) in an error message box captioned with the title.
  void ShowException(const Exception &E);

  // Handles every message waiting in the queue, then returns; may be called from a handler.
  void ProcessMessages();
  // Handles one message, or waits for one when the queue is empty.
  void HandleMessage();
  // The message loop: handles messages until Terminate (or WM_QUIT).
  void Run();
  // Ends Run: posts WM_QUIT.
  void Terminate();
  bool Terminated() const { return FTerminated; }

  const String &Title() const { return FTitle; }
  void SetTitle(const String &value);

  // MessageBoxW owned by the application (a null caption is Windows' "Error").
  Integer MessageBox(const Char *Text, const Char *Caption = nullptr, Integer Flags = 0);

  TExceptionEvent OnException;

private:
  bool ProcessMessage(MSG &msg);
  void HandleCurrentException(TObject *Sender);

  String FTitle;
  bool FTerminated = false;
  TWindowExceptionHandler FPreviousHandler;
};

// The process-wide application object; exists while the unit "Forms" is initialised.
extern TApplication *Application;

void InitializeForms();
void FinalizeForms();

} // namespace krx
