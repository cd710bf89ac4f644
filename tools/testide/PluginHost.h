// The IDE's side of its plug-ins and its Vcl services: the main form with the IDE's main menu,
// the IDE's image list and action registry (INTAServices), and the loader that loads a plug-in
// library through its wizard entry and unloads it again.
#pragma once

#include "TestIDE.h"

#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Menus.h"

#include <string>
#include <vector>

namespace krx::testide {

// The IDE's main menu ("File" ... "Tools" (named "ToolsMenu") ... "Window", "Help"), its image
// list of stock images and its actions. An action stays registered until it is freed.
class THostNTAServices : public TComponent, public INTAServices {
public:
  THostNTAServices(TTestIDE &ide);
  ~THostNTAServices() override;
  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }

  TMainMenu *MainMenu() override { return FMainMenu; }
  TCustomImageList *ImageList() override { return FImageList; }
  Integer AddImages(TCustomImageList *ImageList, const String &Ident) override;
  void AddActionMenu(const String &Name, TCustomAction *Action, TMenuItem *MenuItem,
                     bool InsertAfter, bool InsertAsChild) override;

  TForm *MainForm() const { return FMainForm; }
  const std::vector<TCustomAction *> &Actions() const { return FActions; }
  // The menu as indented lines: caption, name, shortcut text, visibility.
  std::vector<std::string> MenuLines() const;
  // The item reached by a caption path ("Kestrune/Refresh in Model"; '&' ignored); null when
  // none.
  TMenuItem *FindByCaptionPath(StringView Path) const;

protected:
  void Notification(TComponent *AComponent, TOperation Operation) override;

private:
  TTestIDE &FIDE;
  TMainMenu *FMainMenu = nullptr;
  TImageList *FImageList = nullptr;
  TForm *FMainForm = nullptr;
  std::vector<TCustomAction *> FActions;
};

// The editor control on the edit window's form; logs when it takes the focus.
class TEditControl : public TWinControl {
public:
  TEditControl(TComponent *AOwner, TTestIDE &ide) : TWinControl(AOwner), FIDE(ide) {}
  void SetFocus() override;

private:
  TTestIDE &FIDE;
};

// The IDE's edit window: a form holding the editor control.
IPtr<INTAEditWindow> CreateEditWindow(TTestIDE &ide);

// Loads one plug-in library at a time.
class TPluginLoader {
public:
  explicit TPluginLoader(TTestIDE &ide) : FIDE(ide) {}
  ~TPluginLoader();

  // dlopen and the wizard entry; False (logged, the reason in Error()) when a plug-in is
  // loaded already, the library cannot be loaded, has no entry, or the entry answers False or
  // raises. A failed load leaves the host as it was: a library that was opened is let go.
  bool Load(const std::string &path);
  // The terminate procedure, then the IDE lets go of the wizards (or, with destroyedFirst,
  // the other way round), then dlclose. True when the library is really gone afterwards.
  bool Unload(bool destroyedFirst = false);
  bool Loaded() const { return FHandle != nullptr; }
  // Why the last load failed.
  const String &Error() const { return FError; }

private:
  TTestIDE &FIDE;
  std::string FPath;
  String FError;
  void *FHandle = nullptr;
  TWizardTerminateProc FTerminate = nullptr;
};

} // namespace krx::testide
