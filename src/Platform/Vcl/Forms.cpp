#include "Platform/Vcl/Forms.h"

#include "Platform/Shell/Dialogs.h"

#include <filesystem>
#include <memory>

namespace krx {

TApplication *Application = nullptr;

namespace {

std::unique_ptr<TApplication> gApplication;

// The program's file name without folder and extension, the class library's default title.
String ProgramTitle() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? String() : Utf8ToString(exe.stem().string());
}

} // namespace

TApplication::TApplication() : FTitle(ProgramTitle()) {
  SetDialogApplicationTitle(FTitle);
  // Exceptions leaving window handlers and timer procedures come here.
  FPreviousHandler = SetWindowExceptionHandler([this] { HandleCurrentException(this); });
}

TApplication::~TApplication() { SetWindowExceptionHandler(std::move(FPreviousHandler)); }

void TApplication::HandleException(TObject *Sender) { HandleCurrentException(Sender); }

void TApplication::HandleCurrentException(TObject *Sender) {
  auto current = std::current_exception();
  if (!current)
    return;
  try {
    std::rethrow_exception(current);
  } catch (const EAbort &) {
    // silent
  } catch (const Exception &e) {
    if (OnException)
      OnException(Sender, e);
    else
      ShowException(e);
  } catch (const std::exception &e) {
    // Not one of the class library's: shown the same way, with what() as its message.
    Exception wrapped(Utf8ToString(e.what()));
    if (OnException)
      OnException(Sender, wrapped);
    else
      ShowException(wrapped);
  } catch (...) {
    ShowException(Exception(u"Unknown exception"));
  }
}

void TApplication::ShowException(const Exception &E) {
  String msg = E.Message();
  if (!msg.empty() && msg.back() > u'.')
    msg += u'.';
  MessageBox(msg.c_str(), FTitle.c_str(), MB_OK | MB_ICONSTOP);
}

bool TApplication::ProcessMessage(MSG &msg) {
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    return false;
  if (msg.message == WM_QUIT) {
    FTerminated = true;
  } else {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg))
    WaitMessage();
}

void TApplication::Run() {
  do {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  } while (!FTerminated);
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::SetTitle(const String &value) {
  FTitle = value;
  SetDialogApplicationTitle(value);
}

Integer TApplication::MessageBox(const Char *Text, const Char *Caption, Integer Flags) {
  return MessageBoxW(nullptr, Text, Caption, static_cast<UINT>(Flags));
}

void InitializeForms() {
  gApplication = std::make_unique<TApplication>();
  Application = gApplication.get();
}

void FinalizeForms() {
  Application = nullptr;
  gApplication.reset();
}

} // namespace krx
