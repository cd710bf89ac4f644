// The data module's answers to Kestrune's requests (ids 1026 to 1034) and the foreground
// switching they use. The endpoint's queue hands each request to one handler, one at a time,
// on the IDE's main thread; an exception that leaves a handler goes to the application's
// exception handler through the endpoint window.
//
// Files that Kestrune names arrive from another process: a file that does not exist or is not
// open makes a request do nothing (or only bring the IDE to the front), and answers that
// Kestrune waits for (the transfer files) are marked ready also after a failure.
#include "KR4expt/KR4ExptDM.h"

#include "Common/BDSHelp.h"
#include "Common/KRX.DelphiVersions.h"
#include "Engine/ModuleExplorers.h"
#include "KR4expt/JumpLocationParsers.h"
#include "KR4expt/TransferFiles.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/ScopeExit.h"
#include "Platform/Shell/Dialogs.h"
#include "ToolsApi/OTAUtils.h"
#include "World/ClassEx.h"

#include <algorithm>
#include <climits>

namespace krx {

namespace {

const Char *const SNotReloaded =
    u"The file \"%s\" was not reloaded: %s. The editor keeps its text, and the file is left as "
    u"it is.";
const Char *const SNamesRefused =
    u"Not added to the project \"%s\" (a file name must not hold a line break): %s";
const Char *const SKestruneFilesBound =
    u"The file \"%s\" was not opened: the files Kestrune's requests open stay open for it, at "
    u"most %d of them with %d MB in all, until you change or close them, and %d of them with "
    u"%d MB are open now.";

// Bytes as whole megabytes, rounded up.
Integer Megabytes(Int64 bytes) {
  return static_cast<Integer>((bytes + (Int64{1} << 20) - 1) >> 20);
}

// Why a read failed, as the end of a sentence.
String ReadFailure(const TReadResult &read) {
  const String reason = read.Reason();
  return StartsStr(u"is ", reason) ? u"it " + reason : reason;
}

// Whether a file holds an editor's text as a save writes it: the editor's UTF-8 bytes as they
// stand, or its text in the encoding the file's byte-order mark (or its absence) announces.
// A file that holds anything else was written by someone else since the save.
bool HoldsEditorText(const std::string &bytes, IOTASourceEditor *editor) {
  std::string utf8;
  TToolsAPIUtils::ReadEditorChunks(editor, 0, utf8, -1);
  if (bytes == utf8)
    return true;
  String text;
  TTextEncoding encoding;
  return DecodeTextBytes(reinterpret_cast<const Byte *>(bytes.data()), bytes.size(), text,
                         encoding) &&
         text == Utf8ToString(utf8);
}

// Compile modes of request 1031 by mode: 3 makes, as 0 does.
constexpr TOTACompileMode kCompileModes[] = {cmOTAMake, cmOTABuild, cmOTACheck, cmOTAMake};

} // namespace

void TKR4ExptDataModule::BindRequests() {
  Stub->OnBuildProject = [this](Integer mode) { BuildProjectRequest(mode); };
  Stub->OnEditorFilesRequest = [this](const String &f) { EditorFilesRequest(f); };
  Stub->OnProjectFilesRequest = [this](const String &f) { ProjectFilesRequest(f); };
  Stub->OnOpenFile = [this](const String &f) { OpenFileRequest(f); };
  Stub->OnReloadFile = [this](const String &f) { RefreshFileRequest(f); };
  Stub->OnShowHelp = [this](const String &k) { ShowHelpRequest(k); };
  Stub->OnGotoLine = [this](const String &f, Integer line, Integer col) {
    GotoLineRequest(f, line, col);
  };
  Stub->OnJumpToLocation = [this](const String &f, const String &kind, const String &cls,
                                  const String &member, const String &params) {
    JumpToLocationRequest(f, kind, cls, member, params);
  };
  Stub->OnUpdateProjectFiles = [this](const String &f) { UpdateProjectFileRequest(f); };
  ForeGndTimer->OnTimer = [this](TObject *sender) { ForeGndTimerTimer(sender); };
}

// ---- Foreground switching -------------------------------------------------------------------

void TKR4ExptDataModule::BringIDEToFront(bool FocusEditor) {
  HWND window = nullptr;
  if (Application && Application->MainFormOnTaskBar() && Application->MainForm())
    window = Application->MainForm()->Handle();
  else
    window = ServiceCast<IOTAIDEServices>(BorlandIDEServices)->GetParentHandle();
  if (IsIconic(window))
    ShowWindow(window, SW_RESTORE);
  switch (ForeGndMode) {
  case TForeGndMode::SimulateClick:
    ForceForegroundByClick(window);
    break;
  case TForeGndMode::Plain:
    BringWindowToFront(window);
    break;
  case TForeGndMode::AttachThread:
    ForceForegroundAttached(window);
    break;
  }
  if (!FocusEditor || !ForeGndFocusEditor)
    return;
  IPtr<IOTAEditView> view;
  TToolsAPIUtils::GetTopEditWindow(view);
  if (!view || !view->GetEditWindow() || !view->GetEditWindow()->Form())
    return; // no editor to focus
  if (TWinControl *editor = TToolsAPIUtils::EditControlOfWindow(view.get());
      editor && editor->CanFocus()) {
    try {
      editor->SetFocus();
    } catch (const Exception &) {
      // A control that refuses the focus leaves it where it is.
    }
  }
}

void TKR4ExptDataModule::DelayedForeground(bool FocusEditor) {
  if (!ForeGndDelayed)
    return;
  ForeGndTimer->SetTag(FocusEditor ? 1 : 0);
  ForeGndTimer->SetEnabled(true);
}

void TKR4ExptDataModule::ForeGndTimerTimer(TObject *) { BringIDEToFront(ForeGndTimer->Tag() != 0); }

void TKR4ExptDataModule::ForceForegroundByClick(HWND Window) {
  // A synthetic click on a window of this process gives the process the right to take the
  // foreground.
  std::unique_ptr<TForm> clickForm(TCustomForm::CreateNew<TForm>(nullptr));
  clickForm->SetBorderStyle(bsNone);
  clickForm->SetBounds(0, 0, 1, 1);
  clickForm->Show();
  mouse_event(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE, 0, 0, 0, 0);
  mouse_event(MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE, 0, 0, 0, 0);
  SetForegroundWindow(Window);
}

bool TKR4ExptDataModule::ForceForegroundAttached(HWND Window) {
  if (IsIconic(Window))
    ShowWindow(Window, SW_RESTORE);
  if (GetForegroundWindow() == Window)
    return true;
  const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  const DWORD windowThread = GetWindowThreadProcessId(Window, nullptr);
  bool done = false;
  if (AttachThreadInput(windowThread, foregroundThread, TRUE)) {
    BringWindowToTop(Window);
    SetForegroundWindow(Window);
    AttachThreadInput(windowThread, foregroundThread, FALSE);
    done = GetForegroundWindow() == Window;
  }
  if (!done) {
    // Without the lock time-out the foreground may be taken directly.
    DWORD timeout = 0;
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_SENDCHANGE);
    BringWindowToTop(Window);
    SetForegroundWindow(Window);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                          reinterpret_cast<PVOID>(static_cast<std::uintptr_t>(timeout)),
                          SPIF_SENDCHANGE);
  }
  return GetForegroundWindow() == Window;
}

// ---- Opening and showing files ----------------------------------------------------------------

void TKR4ExptDataModule::OpenFileRequest(const String &FileName) {
  if (!FileExists(FileName))
    return;
  const Int64 size = AdmitKestruneFile(FileName);
  BringIDEToFront(true);
  IPtr<IOTAEditBuffer> buffer;
  TToolsAPIUtils::OpenFile(FileName, buffer);
  if (buffer)
    CountKestruneFile(FileName, size);
  DelayedForeground(true);
}

Int64 TKR4ExptDataModule::AdmitKestruneFile(const String &FileName) {
  IPtr<IOTAEditBuffer> buffer;
  TToolsAPIUtils::FindOpenModule(FileName, buffer);
  const Int64 size = buffer ? -1 : FileSize(FileName);
  if (size < 0)
    return -1;
  // The files the user closed or changed since they were opened no longer count.
  std::erase_if(KestruneFiles, [](const TKestruneFile &f) {
    IPtr<IOTAEditBuffer> open;
    TToolsAPIUtils::FindOpenModule(f.FileName, open);
    return !open || open->Modified();
  });
  Int64 total = 0;
  for (const TKestruneFile &f : KestruneFiles)
    total += f.Size;
  if (KestruneFiles.size() >= MaxKestruneFiles || total + size > MaxKestruneBytes)
    throw EKRXException(
        Format(SKestruneFilesBound,
               {FileName, static_cast<Integer>(MaxKestruneFiles), Megabytes(MaxKestruneBytes),
                static_cast<Integer>(KestruneFiles.size()), Megabytes(total)}));
  return size;
}

void TKR4ExptDataModule::CountKestruneFile(const String &FileName, Int64 Size) {
  if (Size >= 0)
    KestruneFiles.push_back({FileName, Size});
}

void TKR4ExptDataModule::ForgetKestruneFile(const String &FileName) {
  std::erase_if(KestruneFiles, [&](const TKestruneFile &f) { return f.FileName == FileName; });
}

void TKR4ExptDataModule::GotoLineRequest(const String &FileName, Integer Line, Integer Column) {
  // The line before the target goes to the top. Kestrune's line may be any integer: the
  // lowest one has no line before it, and every line below 1 shows line 1 anyway.
  ShowFileAtPosition(FileName, std::max(Line, 1) - 1, Line, Column);
}

void TKR4ExptDataModule::ShowFileAtPosition(const String &FileName, Integer TopMin, Integer Line,
                                            Integer Column) {
  const Int64 size = AdmitKestruneFile(FileName);
  IPtr<IOTAActionServices> actions;
  TToolsAPIUtils::GetActionServices(actions);
  if (!actions->OpenFile(FileName))
    return;
  BringIDEToFront(false);
  IPtr<IOTAEditBuffer> buffer;
  TToolsAPIUtils::FindOpenModule(FileName, buffer);
  if (buffer)
    CountKestruneFile(FileName, size);
  if (!buffer || buffer->EditViewCount() < 1)
    return;
  buffer->Show();
  IPtr<IOTAEditView> view = buffer->EditViews(0);
  Line = std::max(Line, 1);
  view->SetCursorPos({std::max(Column, 1), Line});
  // The target stays above the view's last line; a line near the largest integer must not
  // overflow on the way.
  const Int64 lowest = std::min<Int64>(Int64{Line} - view->ViewHeight() + 2, INT_MAX);
  const Integer top = std::max(static_cast<Integer>(lowest), std::max(TopMin, 1));
  view->SetTopPos({1, top});
  TToolsAPIUtils::FocusEditControl(view.get());
  view->Paint();
  DelayedForeground(true);
}

// ---- Jumping to a declared element --------------------------------------------------------------

void TKR4ExptDataModule::JumpToLocationRequest(const String &FileName, const String &KindName,
                                               const String &ClassName, const String &MemberName,
                                               const String &ParamText) {
  const Int64 size = AdmitKestruneFile(FileName);
  IPtr<IOTAEditBuffer> buffer;
  TToolsAPIUtils::OpenFile(FileName, buffer);
  if (!buffer)
    return;
  CountKestruneFile(FileName, size);
  Integer line = 0, bodyLine = 0;
  bool located = false;
  // A file of no known language has no parser to find the element with.
  const TSourceLanguageKind language = ModuleExplorerRegistry().LanguageOfFile(FileName);
  if (buffer->EditViewCount() > 0 && language != lanUndefined) {
    String source;
    TToolsAPIUtils::ReadEditorSource(buffer.get(), source);
    TJumpLocationParser parser(source, KindName, ClassName, MemberName, ParamText, language);
    located = parser.Locate(line, bodyLine);
  }
  if (located)
    ShowFileAtPosition(FileName, std::max(SourceLine(line), 1), std::max(SourceLine(bodyLine), 1),
                       1);
  else
    BringIDEToFront(false);
}

// ---- Help and builds ----------------------------------------------------------------------------

void TKR4ExptDataModule::ShowHelpRequest(const String &) {
  BringIDEToFront(false);
  ShowBDSHelp(ThisIDEVersion());
}

void TKR4ExptDataModule::BuildProjectRequest(Integer Mode) {
  // A mode without a compile mode is a request this IDE cannot carry out.
  if (Mode < 0 || Mode > 3)
    return;
  IPtr<IOTAProject> project;
  TToolsAPIUtils::GetActiveProject(project);
  if (!project)
    return;
  BringIDEToFront(true);
  if (IPtr<IOTAProjectBuilder> builder = project->ProjectBuilder())
    builder->BuildProject(kCompileModes[Mode], true);
}

// ---- Reloading a file Kestrune rewrote ----------------------------------------------------------

void TKR4ExptDataModule::RefreshFileRequest(const String &FileName) {
  IPtr<IOTAEditBuffer> buffer;
  TToolsAPIUtils::FindOpenModule(FileName, buffer);
  if (!buffer)
    return; // a file that is not open needs no reload
  if (buffer->Modified()) {
    // The user's own changes win: the buffer and the file stay as they are.
    BringIDEToFront(false);
    Application->ProcessMessages();
    return;
  }
  // The bytes Kestrune wrote, with the stamp and last-write time of the file they came from:
  // the save below writes the buffer's text, which may differ in its encoding or byte-order
  // mark, and must not change them.
  const std::string os = FileNameToOS(FileName);
  TReadResult written = ReadRegularFile(os);
  bool updated = false;
  // A unit with a form takes the new text through the editor: reloading the file would reload
  // the form as well. A unit alone is reloaded by the IDE.
  if (IPtr<IOTAModule> module = buffer->Module(); module && module->ModuleFileCount() > 1)
    updated = TToolsAPIUtils::WriteEditorSource(buffer.get(), FileName);
  if (!updated) {
    IPtr<IOTAActionServices> actions;
    TToolsAPIUtils::GetActionServices(actions);
    updated = actions->ReloadFile(FileName);
  }
  // Saved now, the editor's old text would go over the file Kestrune wrote.
  if (!updated)
    throw EKRXException(Format(
        SNotReloaded,
        {FileName, written.Ok() ? String(u"the IDE could not read it") : ReadFailure(written)}));
  // Kestrune writes files in bursts and sends 1026 after each write. Each step below first
  // checks that the file is still the one it expects; one that is not was written again, and
  // is left as it is for the 1026 that follows, which reloads it: nothing is lost.
  // A file that could not be read before the reload (something else stood under the name) is
  // taken as the reload found it, when the editor holds its text.
  if (!written.Ok()) {
    written = ReadRegularFile(os);
    if (!written.Ok() || !HoldsEditorText(written.Bytes, buffer.get()))
      return;
  }
  TFileStamp stamp;
  if (!FileStampOf(os, stamp) || stamp != written.Stamp)
    return;
  {
    TBusyGuard busy(*this);
    IPtr<IOTAModule> module = buffer->Module();
    if (!module || !module->Save(false, true))
      return;
  }
  // The file as the save left it: only what the save wrote is put right.
  const TReadResult saved = ReadRegularFile(os);
  if (!saved.Ok())
    return;
  stamp = saved.Stamp;
  if (saved.Bytes != written.Bytes) {
    if (!HoldsEditorText(saved.Bytes, buffer.get()))
      return;
    TReplaceOptions options;
    options.ExpectedFile = &stamp;
    options.ExpectUnchanged = true;
    const TReplaceResult back = ReplaceFileContents(os, written.Bytes, options);
    if (back.FailedStep != TReplaceStep::None)
      return;
    stamp = back.Stamp;
  }
  FileSetLastWriteTimeIfUnchanged(os, stamp, LastWriteTimeOf(written.Stamp));
}

// ---- File lists -------------------------------------------------------------------------------

namespace {

// Runs the collection, which answers whether it wrote its list into `section`, and always
// marks the transfer file ready afterwards, never over a list this request did not write. A
// file that may not take an answer is refused first, so that nothing is written to it at all.
template <class F> void AnswerTransfer(const String &transferFile, const Char *section, F collect) {
  CheckTransferTarget(transferFile);
  bool listed = false;
  {
    TScopeFail failed{[&] { SignalTransferReadyUnlisted(transferFile, section, true); }};
    listed = collect();
  }
  if (listed)
    SignalTransferReady(transferFile);
  else
    SignalTransferReadyUnlisted(transferFile, section, false);
}

} // namespace

void TKR4ExptDataModule::ProjectFilesRequest(const String &TransferFile) {
  AnswerTransfer(TransferFile, u"ProjectFiles", [&] {
    // Asked inside: whatever fails here, Kestrune still sees the transfer file ready.
    const TSourceLanguageKind language = IsDelphiPersonality() ? lanPascal : lanUndefined;
    IPtr<IOTAProject> project;
    TToolsAPIUtils::GetActiveProject(project);
    if (!project)
      return false;
    // A project of another personality lists the files no explorer claims.
    TStringList files;
    TModuleExplorerRegistry &registry = ModuleExplorerRegistry();
    for (Integer i = 0; i < project->GetModuleCount(); ++i)
      if (IPtr<IOTAModuleInfo> info = project->GetModule(i)) {
        const String name = info->FileName();
        if (registry.LanguageOfFile(name) == language)
          files.Add(name);
      }
    WriteTransferFileList(TransferFile, u"ProjectFiles", files);
    return true;
  });
}

void TKR4ExptDataModule::EditorFilesRequest(const String &TransferFile) {
  AnswerTransfer(TransferFile, u"EditorFiles", [&] {
    TStringList files;
    IPtr<IOTAEditorServices> editors;
    TToolsAPIUtils::GetEditViewServices(editors);
    IPtr<IOTAEditBufferIterator> iterator;
    if (editors->GetEditBufferIterator(iterator) && iterator)
      for (Integer i = 0; i < iterator->Count(); ++i)
        if (IPtr<IOTAEditBuffer> buffer = iterator->EditBuffers(i); buffer && buffer->Modified())
          files.Add(buffer->FileName());
    WriteTransferFileList(TransferFile, u"EditorFiles", files);
    return true;
  });
}

// ---- Changing a project's files -----------------------------------------------------------------

void TKR4ExptDataModule::UpdateProjectFileRequest(const String &UpdateFile) {
  IPtr<IOTAProject> active;
  TToolsAPIUtils::GetActiveProject(active);
  if (!active) {
    Application->MessageBox(u"Unable to update project file. No active project", nullptr,
                            MB_ICONERROR);
    return;
  }
  TProjectFileUpdates updates;
  updates.LoadFromFile(UpdateFile);
  IPtr<IOTAProject> target = active;
  const String projectName = updates.GetProjectName();
  if (!projectName.empty()) {
    target = nullptr;
    IPtr<IOTAProjectGroup> group;
    TToolsAPIUtils::GetMainProjectGroup(group);
    for (Integer i = 0; group && i < group->ProjectCount() && !target; ++i)
      if (IPtr<IOTAProject> p = group->Projects(i); p && SameFileName(p->FileName(), projectName))
        target = p;
    if (!target) {
      const String text = u"Unable to update project file. Project file not found" + projectName;
      Application->MessageBox(text.c_str(), nullptr, MB_ICONERROR);
      return;
    }
  }
  if (!StartsText(u"Delphi", target->Personality()) || updates.Language != lanPascal)
    return;
  struct TRelease {
    TKR4ExptDataModule &Module;
    ~TRelease() {
      Module.UpdateProject = nullptr;
      Module.UpdateProjectNames.clear();
      Module.RefusedUpdateNames.clear();
    }
  } release{*this};
  UpdateProject = target;
  // The project's names once, so that each entry costs one lookup, not a scan of the project.
  for (Integer i = 0; i < target->GetModuleCount(); ++i)
    if (IPtr<IOTAModuleInfo> info = target->GetModule(i))
      UpdateProjectNames.insert(info->FileName());
  updates.ForEach([this](TFileUpdateOperation op, const String &name, const String &newName) {
    ApplyProjectUpdate(op, name, newName);
  });
  if (RefusedUpdateNames.empty())
    return;
  // Named in full up to a few; a hostile document may hold thousands.
  constexpr std::size_t kShown = 5;
  String names;
  for (std::size_t i = 0; i < std::min(kShown, RefusedUpdateNames.size()); ++i)
    names += (i > 0 ? u", \"" : u"\"") + ShownFileName(RefusedUpdateNames[i]) + u"\"";
  if (RefusedUpdateNames.size() > kShown)
    names += Format(u" and %d more", {static_cast<Integer>(RefusedUpdateNames.size() - kShown)});
  throw EKRXException(Format(SNamesRefused, {target->FileName(), names}));
}

void TKR4ExptDataModule::ApplyProjectUpdate(TFileUpdateOperation Op, const String &Name,
                                            const String &NewName) {
  const String file = Op == fuAdd ? Name : Op == fuRename ? NewName : String();
  // An entry without a name has nothing to add.
  if (file.empty() || !UpdateProject)
    return;
  // Every answer listing the project's files would fail on such a name.
  if (HoldsLineBreak(file)) {
    RefusedUpdateNames.push_back(file);
    return;
  }
  if (UpdateProjectNames.insert(file).second)
    UpdateProject->AddFile(file, false);
}

} // namespace krx
