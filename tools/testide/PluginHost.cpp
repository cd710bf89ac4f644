#include "PluginHost.h"

#include <dlfcn.h>

namespace krx::testide {

namespace {

struct TTopMenu {
  const char16_t *Caption;
  const char16_t *Name;
};

constexpr TTopMenu kMainMenu[] = {
    {u"&File", u"FileMenu"},   {u"&Edit", u"EditMenu"},       {u"&Search", u"SearchMenu"},
    {u"&View", u"ViewsMenu"},  {u"&Project", u"ProjectMenu"}, {u"&Run", u"RunMenu"},
    {u"&Tools", u"ToolsMenu"}, {u"&Window", u"WindowsMenu"},  {u"&Help", u"HelpMenu"},
};

constexpr Integer kStockImages = 24;

String StripAmpersands(StringView s) {
  String out;
  for (Char c : s)
    if (c != u'&')
      out += c;
  return out;
}

void AddLines(const TMenuItem *item, int depth, std::vector<std::string> &lines) {
  for (Integer i = 0; i < item->Count(); ++i) {
    const TMenuItem *child = item->Items(i);
    std::string line(static_cast<std::size_t>(depth) * 2, ' ');
    line += StringToUtf8(StripAmpersands(child->Caption()));
    if (!child->Name().empty())
      line += " [" + StringToUtf8(child->Name()) + "]";
    if (child->ShortCut() != 0)
      line += " " + StringToUtf8(ShortCutToText(child->ShortCut()));
    if (!child->Visible())
      line += " (hidden)";
    lines.push_back(line);
    AddLines(child, depth + 1, lines);
  }
}

} // namespace

// ---- INTAServices -------------------------------------------------------------------------

THostNTAServices::THostNTAServices(TTestIDE &ide) : TComponent(nullptr), FIDE(ide) {
  FMainMenu = new TMainMenu(this);
  FMainMenu->SetName(u"MainMenu1");
  for (const TTopMenu &top : kMainMenu) {
    auto *item = new TMenuItem(this);
    item->SetName(top.Name);
    item->SetCaption(top.Caption);
    FMainMenu->Items()->Add(item);
  }
  FImageList = new TImageList(this);
  FImageList->SetName(u"ImageList1");
  for (Integer i = 0; i < kStockImages; ++i)
    FImageList->Add(u"Stock" + IntToStr(i));
  FMainForm = TCustomForm::CreateNew<TForm>(nullptr);
  FMainForm->SetName(u"AppBuilder");
  FMainForm->SetMenu(FMainMenu);
  // The IDE chooses the hot keys of its own entries.
  FMainMenu->SetAutoHotkeys(maManual);
  // The IDE's main window exists from the start, so its menu answers shortcuts.
  FMainForm->HandleNeeded();
  if (Application)
    Application->SetMainForm(FMainForm);
}

THostNTAServices::~THostNTAServices() {
  for (TCustomAction *a : FActions)
    a->RemoveFreeNotification(this);
  FActions.clear();
  if (Application && Application->MainForm() == FMainForm)
    Application->SetMainForm(nullptr);
  FMainForm->SetMenu(nullptr);
  delete FMainForm;
}

Integer THostNTAServices::AddImages(TCustomImageList *ImageList, const String &Ident) {
  const Integer first = FImageList->Count();
  for (Integer i = 0; i < ImageList->Count(); ++i)
    FImageList->Add(Ident + u"." + ImageList->GetNameByIndex(i));
  FIDE.Log.Add("images.add",
               {{"ident", Ident}, {"first", Int64{first}}, {"count", Int64{ImageList->Count()}}});
  return first;
}

void THostNTAServices::AddActionMenu(const String &Name, TCustomAction *Action, TMenuItem *MenuItem,
                                     bool InsertAfter, bool InsertAsChild) {
  FActions.push_back(Action);
  Action->FreeNotification(this);
  FIDE.Log.Add("action.add", {{"name", Action->Name()},
                              {"caption", Action->Caption()},
                              {"image", Int64{Action->ImageIndex()}},
                              {"imageName", FImageList->GetNameByIndex(Action->ImageIndex())},
                              {"visible", Action->Visible()},
                              {"menuName", Name},
                              {"menuItem", MenuItem != nullptr},
                              {"insertAfter", InsertAfter},
                              {"insertAsChild", InsertAsChild}});
}

void THostNTAServices::Notification(TComponent *AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove)
    return;
  auto it = std::find(FActions.begin(), FActions.end(), AComponent);
  if (it != FActions.end()) {
    FActions.erase(it);
    FIDE.Log.Add("action.remove", {{"name", AComponent->Name()}});
  }
}

std::vector<std::string> THostNTAServices::MenuLines() const {
  std::vector<std::string> lines;
  AddLines(FMainMenu->Items(), 0, lines);
  return lines;
}

TMenuItem *THostNTAServices::FindByCaptionPath(StringView Path) const {
  TMenuItem *item = FMainMenu->Items();
  while (!Path.empty() && item) {
    const std::size_t slash = Path.find(u'/');
    const StringView part = Path.substr(0, slash);
    TMenuItem *next = nullptr;
    for (Integer i = 0; i < item->Count() && !next; ++i)
      if (AnsiSameText(StripAmpersands(item->Items(i)->Caption()), part))
        next = item->Items(i);
    item = next;
    Path = slash == StringView::npos ? StringView() : Path.substr(slash + 1);
  }
  return item == FMainMenu->Items() ? nullptr : item;
}

// ---- Edit window --------------------------------------------------------------------------

void TEditControl::SetFocus() {
  FIDE.Log.Add("editor.focus");
  TWinControl::SetFocus();
}

namespace {

class THostEditWindow : public TInterfacedObject, public INTAEditWindow {
public:
  explicit THostEditWindow(TTestIDE &ide) : FForm(TCustomForm::CreateNew<TForm>(nullptr)) {
    FForm->SetName(u"EditWindow_0");
    auto *control = new TEditControl(FForm.get(), ide);
    control->SetName(u"Editor");
    control->SetParent(FForm.get());
  }
  TCustomForm *Form() override { return FForm.get(); }

private:
  std::unique_ptr<TForm> FForm;
};

} // namespace

IPtr<INTAEditWindow> CreateEditWindow(TTestIDE &ide) {
  return IPtr<INTAEditWindow>(new THostEditWindow(ide));
}

// ---- Plug-ins -----------------------------------------------------------------------------

TPluginLoader::~TPluginLoader() {
  if (FHandle)
    Unload();
}

bool TPluginLoader::Load(const std::string &path) {
  const auto fail = [&](String error) {
    FError = std::move(error);
    FIDE.Log.Add("plugin.load", {{"file", Utf8ToString(path)}, {"ok", false}, {"error", FError}});
    return false;
  };
  // Loading over a loaded plug-in would lose its handle, so that it is never unloaded.
  if (FHandle)
    return fail(u"a plug-in is loaded already (" + Utf8ToString(FPath) + u"); unload it first");
  // A name without a slash would be looked up on the library path, not in this folder.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  void *handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle)
    return fail(Utf8ToString(dlerror()));
  auto entry = reinterpret_cast<TWizardInitProc>(dlsym(handle, WizardEntryPoint));
  bool ok = false;
  String error;
  if (!entry) {
    error = u"no wizard entry";
  } else {
    try {
      ok = entry(BorlandIDEServices, nullptr, &FTerminate);
    } catch (const Exception &e) {
      error = e.Message();
    } catch (const std::exception &e) {
      error = Utf8ToString(e.what());
    }
  }
  FPath = file;
  FHandle = handle;
  if (!ok) {
    fail(error.empty() ? String(u"the wizard entry answered False") : error);
    Unload();
    return false;
  }
  FError.clear();
  FIDE.Log.Add("plugin.load", {{"file", Utf8ToString(path)}, {"ok", true}, {"error", String()}});
  return true;
}

bool TPluginLoader::Unload(bool destroyedFirst) {
  if (!FHandle)
    return true;
  if (destroyedFirst)
    FIDE.DestroyWizards();
  if (FTerminate)
    std::exchange(FTerminate, nullptr)();
  FIDE.DestroyWizards();
  dlclose(std::exchange(FHandle, nullptr));
  void *still = dlopen(FPath.c_str(), RTLD_NOW | RTLD_NOLOAD);
  const bool gone = still == nullptr;
  if (still)
    dlclose(still);
  FIDE.Log.Add("plugin.unload", {{"file", Utf8ToString(FPath)},
                                 {"gone", gone},
                                 {"registrations", Int64{FIDE.RegistrationCount()}}});
  return gone;
}

} // namespace krx::testide
