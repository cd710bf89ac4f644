// The IDE's extension interfaces: the services a plug-in asks the IDE for, the IDE objects it
// meets (modules, projects, edit buffers, views, readers and writers, debug processes) and the
// notifier and wizard interfaces a plug-in implements. Declarations only: the IDE (here the
// test IDE host, tools/testide) implements the services; the plug-in implements notifiers
// and wizards.
//
// Every interface is counted (Rtl/Intf.h) and carries its GUID. The IDE's services object
// answers QueryService by GUID, so a plug-in asks for a service at every use and an IDE can
// lack one; ServiceCast is the failing cast, SupportsService the optional one.
//
// Positions: an edit position is 1-based (column, line); a character position is a 0-based
// character index in a 1-based line; a buffer position is a 0-based byte offset into the
// buffer's UTF-8 text.
#pragma once

#include "Platform/Rtl/Classes.h"
#include "Platform/Rtl/EnumSet.h"
#include "Platform/Rtl/Intf.h"
#include "Platform/Rtl/Types.h"
#include "Platform/Win/Windows.h"

namespace krx {

class TMainMenu;
class TMenuItem;
class TCustomImageList;
class TCustomAction;
class TCustomForm;
class TCustomStyleServices;
class TFormClassInfo;
// A form class as the class library describes it.
using TCustomFormClass = const TFormClassInfo *;

class IOTAModule;
class IOTAProject;
class IOTAEditBuffer;
class IOTAEditView;

// ---- Notifiers and wizards ----------------------------------------------------------------

class IOTANotifier : public virtual IInterface {
public:
  KRX_GUID("{F17A7BCF-E07D-11D1-AB0B-00C04FB16FB3}");
  virtual void AfterSave() = 0;
  virtual void BeforeSave() = 0;
  // The object the notifier is attached to is going away; the notifier must let go of it.
  virtual void Destroyed() = 0;
  virtual void Modified() = 0;
};

enum TWizardStateItem { wsEnabled, wsChecked };
using TWizardState = EnumSet<TWizardStateItem>;

class IOTAWizard : public virtual IOTANotifier {
public:
  KRX_GUID("{B75C0CE0-EEA6-11D1-9504-00608CCBF153}");
  virtual String GetIDString() = 0;
  virtual String GetName() = 0;
  virtual TWizardState GetState() = 0;
  virtual void Execute() = 0;
};

enum TOTAFileNotification {
  ofnFileOpening,
  ofnFileOpened,
  ofnFileClosing,
  ofnDefaultDesktopLoad,
  ofnDefaultDesktopSave,
  ofnProjectDesktopLoad,
  ofnProjectDesktopSave,
  ofnPackageInstalled,
  ofnPackageUninstalled,
  ofnActiveProjectChanged,
};

class IOTAIDENotifier : public virtual IOTANotifier {
public:
  KRX_GUID("{E052204F-ECE9-11D1-AB19-00C04FB16FB3}");
  virtual void FileNotification(TOTAFileNotification NotifyCode, const String &FileName,
                                bool &Cancel) = 0;
  virtual void BeforeCompile(IOTAProject *Project, bool &Cancel) = 0;
  virtual void AfterCompile(bool Succeeded) = 0;
};

class IOTAModuleNotifier : public virtual IOTANotifier {
public:
  KRX_GUID("{F17A7BCE-E07D-11D1-AB0B-00C04FB16FB3}");
  // False keeps the IDE from writing over a file changed on disk.
  virtual bool CheckOverwrite() = 0;
  virtual void ModuleRenamed(const String &NewName) = 0;
};

class IOTAEditorNotifier : public virtual IOTANotifier {
public:
  KRX_GUID("{0E3B9D7B-E119-11D1-AB0C-00C04FB16FB3}");
  virtual void ViewNotification(IOTAEditView *View, TOperation Operation) = 0;
  virtual void ViewActivated(IOTAEditView *View) = 0;
};

class INTAIDEThemingServicesNotifier : public virtual IOTANotifier {
public:
  KRX_GUID("{4CBFAA40-89E6-412C-B667-9034666E2931}");
  virtual void ChangingTheme() = 0;
  virtual void ChangedTheme() = 0;
};

// ---- Editors: readers, writers, views, buffers ---------------------------------------------

struct TOTAEditPos {
  Integer Col = 0;
  Integer Line = 0;
};

struct TOTACharPos {
  Integer CharIndex = 0;
  Integer Line = 0;
};

class IOTAEditReader : public virtual IInterface {
public:
  KRX_GUID("{1462C270-193A-4D2C-9B6E-A473268C40DA}");
  // Copies at most Count bytes of the UTF-8 text from byte Position into Buffer; returns
  // the number copied (0 at or past the end).
  virtual Integer GetText(Integer Position, char *Buffer, Integer Count) = 0;
};

class IOTAEditWriter : public virtual IInterface {
public:
  KRX_GUID("{51724C6B-DF04-4957-98B1-AD51CBD6B3BA}");
  // Copies the original text from the writer's position up to byte Pos into the result.
  virtual void CopyTo(Integer Pos) = 0;
  // Skips the original text from the writer's position up to byte Pos (past the end: to the
  // end).
  virtual void DeleteTo(Integer Pos) = 0;
  // Inserts UTF-8 text at the writer's position.
  virtual void Insert(const char *Text) = 0;
  // The writer's position in the original text.
  virtual Integer CurrentPos() = 0;
};

class IOTAEditBlock : public virtual IInterface {
public:
  KRX_GUID("{FB8EE84B-59CA-4D65-BA95-67A01DABC712}");
  virtual bool IsValid() = 0;
  virtual String Text() = 0;
};

// The window that shows an edit view; its form holds the editor control.
class INTAEditWindow : public virtual IInterface {
public:
  KRX_GUID("{B06CA0F2-D95A-4CD4-914D-CEF8CAF99ADF}");
  virtual TCustomForm *Form() = 0;
};

class IOTAEditView : public virtual IInterface {
public:
  KRX_GUID("{31353E8D-33A6-4E10-A75C-D84A96FA4EF5}");
  virtual TOTAEditPos CursorPos() = 0;
  virtual void SetCursorPos(const TOTAEditPos &Value) = 0;
  // The edit position shown in the view's top left corner.
  virtual TOTAEditPos TopPos() = 0;
  virtual void SetTopPos(const TOTAEditPos &Value) = 0;
  // Columns and lines the view shows.
  virtual Integer ViewWidth() = 0;
  virtual Integer ViewHeight() = 0;
  // The number (1-based) of the buffer's last line.
  virtual Integer LastLineNumber() = 0;
  // EdPosToCharPos: EditPos to CharPos, else CharPos to EditPos.
  virtual void ConvertPos(bool EdPosToCharPos, TOTAEditPos &EditPos, TOTACharPos &CharPos) = 0;
  // The byte position of a character position; -1 when the line does not exist.
  virtual Integer CharPosToPos(const TOTACharPos &CharPos) = 0;
  virtual IPtr<IOTAEditBlock> Block() = 0;
  virtual IPtr<IOTAEditBuffer> Buffer() = 0;
  // Null when the view has no window.
  virtual IPtr<INTAEditWindow> GetEditWindow() = 0;
  virtual void Paint() = 0;
};

class IOTAEditor : public virtual IInterface {
public:
  KRX_GUID("{F17A7BD0-E07D-11D1-AB0B-00C04FB16FB3}");
  virtual String FileName() = 0;
  // Unsaved changes.
  virtual bool Modified() = 0;
  virtual IPtr<IOTAModule> Module() = 0;
  virtual void Show() = 0;
  // Returns the index by which RemoveNotifier takes the notifier away again.
  virtual Integer AddNotifier(IOTANotifier *Notifier) = 0;
  virtual void RemoveNotifier(Integer Index) = 0;
};

class IOTASourceEditor : public virtual IOTAEditor {
public:
  KRX_GUID("{EB6465CE-D901-43C4-AB69-240A7400B9AA}");
  virtual IPtr<IOTAEditReader> CreateReader() = 0;
  virtual IPtr<IOTAEditWriter> CreateWriter() = 0;
  virtual IPtr<IOTAEditWriter> CreateUndoableWriter() = 0;
  virtual Integer EditViewCount() = 0;
  virtual IPtr<IOTAEditView> EditViews(Integer Index) = 0;
};

class IOTAEditBuffer : public virtual IOTASourceEditor {
public:
  KRX_GUID("{1E3919E1-D77C-451C-AE81-20BA08B66041}");
  // The view the user works in; null without views.
  virtual IPtr<IOTAEditView> TopView() = 0;
};

class IOTAEditBufferIterator : public virtual IInterface {
public:
  KRX_GUID("{906010CD-8126-42DE-B1F5-CAC747645C57}");
  virtual Integer Count() = 0;
  virtual IPtr<IOTAEditBuffer> EditBuffers(Integer Index) = 0;
};

// ---- Modules and projects -------------------------------------------------------------------

class IOTAModule : public virtual IInterface {
public:
  KRX_GUID("{C0D4CBA8-54A3-48EA-BE63-98CE3D9F0F43}");
  virtual String FileName() = 0;
  // The module's files (a unit and its form); each has one editor.
  virtual Integer ModuleFileCount() = 0;
  virtual IPtr<IOTAEditor> ModuleFileEditors(Integer Index) = 0;
  // Writes the module's files: under a name the user picks (ChangeName), or even when
  // nothing changed (ForceSave). True when saved.
  virtual bool Save(bool ChangeName, bool ForceSave) = 0;
  virtual Integer AddNotifier(IOTAModuleNotifier *Notifier) = 0;
  virtual void RemoveNotifier(Integer Index) = 0;
};

class IOTAModuleInfo : public virtual IInterface {
public:
  KRX_GUID("{845FED73-C304-4FDB-90A7-1CDBCACD99E6}");
  virtual String FileName() = 0;
};

enum TOTACompileMode { cmOTAMake, cmOTABuild, cmOTACheck };

class IOTAProjectBuilder : public virtual IInterface {
public:
  KRX_GUID("{DE03F2A0-79F4-40CC-AE39-B359EC28AEED}");
  virtual bool BuildProject(TOTACompileMode CompileMode, bool Wait) = 0;
};

class IOTAProject : public virtual IOTAModule {
public:
  KRX_GUID("{E692EA06-F26F-4CC4-9360-FC4D22BA0ADB}");
  // "Delphi.Personality" for a Delphi project.
  virtual String Personality() = 0;
  // "Package" for a package; another text for every other kind.
  virtual String ProjectType() = 0;
  virtual Integer GetModuleCount() = 0;
  virtual IPtr<IOTAModuleInfo> GetModule(Integer Index) = 0;
  virtual void AddFile(const String &FileName, bool IsUnitOrForm) = 0;
  virtual IPtr<IOTAProjectBuilder> ProjectBuilder() = 0;
};

class IOTAProjectGroup : public virtual IOTAModule {
public:
  KRX_GUID("{CA17E7BC-1865-4D6D-A3D8-1FA8567CAFA0}");
  virtual Integer ProjectCount() = 0;
  virtual IPtr<IOTAProject> Projects(Integer Index) = 0;
  virtual IPtr<IOTAProject> ActiveProject() = 0;
};

// ---- Debugger -----------------------------------------------------------------------------

class IOTAThread : public virtual IInterface {
public:
  KRX_GUID("{16921F9D-B1CD-4E08-AD18-0E12477D485F}");
  virtual Integer GetCallCount() = 0;
  // The text of one call on the stack, as the IDE numbers them.
  virtual String GetCallHeader(Integer Index) = 0;
};

class IOTAProcess : public virtual IInterface {
public:
  KRX_GUID("{1EAB2B52-A5D2-446B-9723-298E28D3C8E2}");
  // Null when the process has no current thread.
  virtual IPtr<IOTAThread> CurrentThread() = 0;
  virtual Integer ThreadCount() = 0;
  virtual IPtr<IOTAThread> Threads(Integer Index) = 0;
};

// ---- Services -----------------------------------------------------------------------------

class IOTAWizardServices : public virtual IInterface {
public:
  KRX_GUID("{B75C0CE3-EEA6-11D1-9504-00608CCBF153}");
  // Returns the index by which RemoveWizard takes the wizard away; -1 when refused.
  virtual Integer AddWizard(IOTAWizard *Wizard) = 0;
  virtual void RemoveWizard(Integer Index) = 0;
};

class IOTAAboutBoxServices : public virtual IInterface {
public:
  KRX_GUID("{62A2F7FD-16F1-45B9-9417-A2D293D07A22}");
  // Adds one plug-in entry to the About box; returns its index.
  virtual Integer AddPluginInfo(const String &Title, const String &Description, HBITMAP Image,
                                bool IsUnRegistered, const String &StatusLabel,
                                const String &VersionText, const String &Extra) = 0;
  virtual void RemovePluginInfo(Integer Index) = 0;
};

// Reached through the global SplashScreenServices while the IDE starts, not by GUID.
class IOTASplashScreenServices : public virtual IInterface {
public:
  KRX_GUID("{B78128B2-8647-4990-87F5-35C50CD53015}");
  virtual void AddPluginBitmap(const String &Caption, HBITMAP Bitmap, bool IsUnRegistered,
                               const String &StatusText, const String &VersionText) = 0;
};

class IOTAIDEServices : public virtual IInterface {
public:
  KRX_GUID("{D1358CFB-9B5C-4E6C-BC4B-C6D06C6689C1}");
  virtual Integer AddNotifier(IOTAIDENotifier *Notifier) = 0;
  virtual void RemoveNotifier(Integer Index) = 0;
  // The IDE's main window.
  virtual HWND GetParentHandle() = 0;
};

class IOTAActionServices : public virtual IInterface {
public:
  KRX_GUID("{F17A7BC9-E07D-11D1-AB0B-00C04FB16FB3}");
  // Opens a file in an editor; False when it cannot.
  virtual bool OpenFile(const String &FileName) = 0;
  // Reads an open file again from disk.
  virtual bool ReloadFile(const String &FileName) = 0;
};

class IOTAModuleServices : public virtual IInterface {
public:
  KRX_GUID("{55A5E848-27FB-4880-8E7C-7F05A9802482}");
  virtual IPtr<IOTAModule> CurrentModule() = 0;
  // The open module of that file (a unit is also found by its form file); null when none.
  virtual IPtr<IOTAModule> FindModule(const String &FileName) = 0;
  virtual IPtr<IOTAProjectGroup> MainProjectGroup() = 0;
  virtual IPtr<IOTAProject> GetActiveProject() = 0;
  virtual Integer ModuleCount() = 0;
  virtual IPtr<IOTAModule> Modules(Integer Index) = 0;
  // Saves every modified module; False when a save failed or was refused.
  virtual bool SaveAll() = 0;
};

class IOTAEditorServices : public virtual IInterface {
public:
  KRX_GUID("{BE733055-5ED8-45B4-BAB1-19C46C237408}");
  virtual IPtr<IOTAEditBuffer> TopBuffer() = 0;
  virtual IPtr<IOTAEditView> TopView() = 0;
  virtual bool GetEditBufferIterator(IPtr<IOTAEditBufferIterator> &Iterator) = 0;
};

class IOTADebuggerServices : public virtual IInterface {
public:
  KRX_GUID("{587EAFAE-B8B2-4007-A233-BE09052BB67A}");
  virtual Integer ProcessCount() = 0;
  virtual IPtr<IOTAProcess> Processes(Integer Index) = 0;
  virtual IPtr<IOTAProcess> CurrentProcess() = 0;
};

class IOTAIDEThemingServices : public virtual IInterface {
public:
  KRX_GUID("{DEAD2647-9B2C-4084-A61E-1E69A9179637}");
  virtual bool IDEThemingEnabled() = 0;
  virtual TCustomStyleServices *StyleServices() = 0;
  virtual void ApplyTheme(TComponent *AComponent) = 0;
  virtual void RegisterFormClass(TCustomFormClass AFormClass) = 0;
  virtual Integer AddNotifier(INTAIDEThemingServicesNotifier *Notifier) = 0;
  virtual void RemoveNotifier(Integer Index) = 0;
};

// The IDE's main menu, its image list and its actions.
class INTAServices : public virtual IInterface {
public:
  KRX_GUID("{8209041F-F37F-4570-88B8-6C310FFFF81A}");
  virtual TMainMenu *MainMenu() = 0;
  virtual TCustomImageList *ImageList() = 0;
  // Copies the images into the IDE's image list under Ident; returns the IDE index of the
  // first one.
  virtual Integer AddImages(TCustomImageList *ImageList, const String &Ident) = 0;
  // Makes the action one of the IDE's (until it is freed), optionally with a menu item
  // placed after or below MenuItem.
  virtual void AddActionMenu(const String &Name, TCustomAction *Action, TMenuItem *MenuItem,
                             bool InsertAfter, bool InsertAsChild) = 0;
};

// The IDE's services object: answers the service of a GUID, or null.
class IBorlandIDEServices : public virtual IInterface {
public:
  KRX_GUID("{51989417-99A9-4DC2-8508-03D331625ECC}");
  virtual IPtr<IInterface> QueryService(const TGUID &Service) = 0;
};

// ---- The IDE's globals ----------------------------------------------------------------------

// The IDE's services; set by the IDE for as long as it runs, null otherwise.
extern IBorlandIDEServices *BorlandIDEServices;
// The splash screen's services while the IDE starts; null afterwards.
extern IOTASplashScreenServices *SplashScreenServices;

// The service T of the services object, or null.
template <class T> IPtr<T> QueryServiceAs(IBorlandIDEServices *Services) {
  if (!Services)
    return nullptr;
  IPtr<IInterface> found = Services->QueryService(T::IID);
  return IPtr<T>(dynamic_cast<T *>(found.get()));
}

// The optional cast: True with the service, False without it.
template <class T> bool SupportsService(IBorlandIDEServices *Services, IPtr<T> &Service) {
  Service = QueryServiceAs<T>(Services);
  return static_cast<bool>(Service);
}

// The failing cast: raises EIntfCastError "Interface not supported" when the IDE has no such
// service (or no services object).
template <class T> IPtr<T> ServiceCast(IBorlandIDEServices *Services) {
  IPtr<T> service = QueryServiceAs<T>(Services);
  if (!service)
    throw EIntfCastError(u"Interface not supported");
  return service;
}

// The plug-in's entry, exported as INITWIZARD0001: the IDE hands its services object, a
// registration procedure and the place for the plug-in's terminate procedure.
using TWizardRegisterProc = bool (*)(IOTAWizard *Wizard);
using TWizardTerminateProc = void (*)();
using TWizardInitProc = bool (*)(IBorlandIDEServices *Services, TWizardRegisterProc RegisterProc,
                                 TWizardTerminateProc *Terminate);
inline constexpr const char *WizardEntryPoint = "INITWIZARD0001";

} // namespace krx
