// The expert's one door to the IDE's services for editors, modules, projects, actions and
// images, and its link to the IDE theme.
//
// TNotifierPersistent gives any persistent object an empty IDE-notifier implementation;
// TThemeNotifierPersistent registers itself with the IDE's theming services for as long as it
// lives. TToolsAPIUtils is the process-wide helper (created on first use through
// ToolsAPIUtils, freed by FreeToolsAPIUtils, which the data module calls when it goes, and by
// the unit's finalisation): it follows IDE theme changes and answers the class library's
// theme messages. Its service and editor helpers are static. Services are asked for at
// every use and never kept; a missing mandatory service raises EIntfCastError, the missing
// theming services are skipped. IDE main thread only.
#pragma once

#include "Platform/Rtl/Classes.h"
#include "Platform/Rtl/Messaging.h"
#include "Platform/ToolsAPI/ToolsAPI.h"
#include "Platform/Vcl/ActnList.h"
#include "Platform/Vcl/Controls.h"

#include <string>

namespace krx {

// The most bytes the editor helpers read from an editor in one call.
inline constexpr Integer EditorReadChunk = 31744;

class TNotifierPersistent : public TInterfacedPersistent, public virtual IOTANotifier {
public:
  void AfterSave() override {}
  void BeforeSave() override {}
  void Destroyed() override {}
  void Modified() override {}
};

class TThemeNotifierPersistent : public TNotifierPersistent,
                                 public virtual INTAIDEThemingServicesNotifier {
public:
  // Registers with the theming services when they exist.
  TThemeNotifierPersistent();
  ~TThemeNotifierPersistent() override;

  // The theming services let go of this notifier: unregister.
  void Destroyed() override { RemoveThemeNotifier(); }
  void ChangedTheme() override {}
  void ChangingTheme() override {}

  void AddThemeNotifier();
  // Clears the index first, so that a notification during the removal finds nothing to
  // remove again.
  void RemoveThemeNotifier();
  // -1 while not registered (0 is a valid index).
  Integer ThemeNotifierIndex() const { return FThemeNotifierIndex; }

private:
  Integer FThemeNotifierIndex = -1;
};

class TToolsAPIUtils : public TThemeNotifierPersistent {
public:
  TToolsAPIUtils();
  ~TToolsAPIUtils() override;

  void ChangedTheme() override { UpdateIDEStyle(); }
  // Hands the IDE's style services to the UI toolkit while IDE theming is on.
  static void UpdateIDEStyle();
  // Answers the toolkit's requests to theme a component or register a form class.
  void HandleStyleMessage(const TObject *Sender, const TMessageBase &Message);
  static void ApplyTheme(TComponent *AComponent);
  static void RegisterThemedFormClass(TCustomFormClass AFormClass);

  // Services (failing casts)
  static void GetActionServices(IPtr<IOTAActionServices> &Services);
  static void GetEditViewServices(IPtr<IOTAEditorServices> &Services);
  static void GetModuleServices(IPtr<IOTAModuleServices> &Services);

  // Projects
  static void GetActiveProject(IPtr<IOTAProject> &Project);
  static void GetMainProjectGroup(IPtr<IOTAProjectGroup> &Group);
  static String GetProjectString(IOTAProject *Project);
  static String GetActiveProjectString();
  // The project's file with ".dpk" for a package, else ".dpr"; empty for no project.
  static String GetProjectSourceName(IOTAProject *Project);
  static String GetActiveProjectSource();
  static bool ProjectContainsFile(IOTAProject *Project, const String &FileName);

  // Editors
  static void GetCurrentEditor(IPtr<IOTASourceEditor> &Editor);
  static void GetSourceEditor(IOTAModule *Module, IPtr<IOTASourceEditor> &Editor);
  static void GetTopEditWindow(IPtr<IOTAEditView> &View);
  // The 1-based cursor line of the current editor's first view; 0 without one.
  static Integer GetCursorPosition();
  static String GetCurrentFileName();
  static void FindOpenModule(const String &FileName, IPtr<IOTAEditBuffer> &Buffer);
  // The open buffer of the file, opened from disk when needed; shown and focused.
  static void OpenFile(const String &FileName, IPtr<IOTAEditBuffer> &Buffer);

  // Reading and writing editor text
  // The whole text; a text past MaxReadFileSize bytes raises EKRToolsException, as a file
  // that large is not read either.
  static void ReadEditorSource(IOTASourceEditor *Editor, String &Text);
  // The bytes [Start, End) of the buffer (End -1: to the end); empty for Start -1.
  static void ReadEditorChunks(IOTASourceEditor *Editor, Integer Start, std::string &Utf8,
                               Integer End);
  // Lines First to Last (0-based) with the break that ends the last; empty when either is
  // negative, Last is before First, or the editor has no view.
  static void ReadEditorLinesUtf8(IOTASourceEditor *Editor, Integer FirstLine, std::string &Utf8,
                                  Integer LastLine);
  static void ReadEditorLines(IOTASourceEditor *Editor, Integer FirstLine, String &Text,
                              Integer LastLine);
  // Replaces the buffer's text by the file's (a regular file of at most MaxReadFileSize
  // bytes); False (never an exception) when it fails.
  static bool WriteEditorSource(IOTASourceEditor *Editor, const String &FileName);
  static void GetSelectedText(IOTAEditView *View, String &Text);
  static void GetWordAtCursor(IOTAEditView *View, String &Text);

  // The editor control of the current edit window, or null.
  static TWinControl *GetEditControl();
  // The first windowed control named by class "TEditControl" on the view's edit window.
  static TWinControl *EditControlOfWindow(IOTAEditView *View);
  static void FocusEditControl(IOTAEditView *View);

  // Hands the list's images and actions to the IDE; the actions' image indexes then point
  // into the IDE's image list. Returns the IDE index of the first image.
  static Integer RegisterActions(TCustomActionList *ActionList);
  // Copies the images into the IDE's image list; 0 for no or an empty list.
  static Integer AddImagesToIDE(TCustomImageList *ImageList);

private:
  Integer FApplyThemeId = 0;
  Integer FRegisterFormId = 0;
};

// The helper object, created on the first call.
TToolsAPIUtils &ToolsAPIUtils();
// Frees the helper object (it unregisters from the IDE); the next ToolsAPIUtils creates a
// new one.
void FreeToolsAPIUtils();
// The theming services, or null.
void GetThemingServices(IPtr<IOTAIDEThemingServices> &Services);

void OTAUtilsInitialization();
void OTAUtilsFinalization();

} // namespace krx
