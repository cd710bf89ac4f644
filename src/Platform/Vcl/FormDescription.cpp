#include "Platform/Vcl/FormDescription.h"

#include "Platform/Rtl/ScopeExit.h"
#include "Platform/Vcl/ActnList.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/ImgList.h"
#include "Platform/Vcl/Menus.h"

#include <map>
#include <vector>

namespace krx {

namespace {

struct TRegistry {
  std::map<String, TComponentFactory> Classes; // by upper-cased name
  struct TReference {
    String Name;
    std::function<bool(TComponent *, TComponent *)> Set;
    Integer Id;
  };
  std::vector<TReference> References;
  Integer LastReferenceId = 0;
  std::vector<std::pair<String, std::function<TPersistent *(TPersistent *)>>> Subs;
};

TRegistry &Registry() {
  static TRegistry registry = [] { // built on first use, with the class library's own classes
    TRegistry r;
    const auto add = [&r](const String &name, TComponentFactory f) {
      r.Classes[UpperCase(name)] = std::move(f);
    };
    add(u"TMainMenu", [](TComponent *o) -> TComponent * { return new TMainMenu(o); });
    add(u"TPopupMenu", [](TComponent *o) -> TComponent * { return new TPopupMenu(o); });
    add(u"TMenuItem", [](TComponent *o) -> TComponent * { return new TMenuItem(o); });
    add(u"TActionList", [](TComponent *o) -> TComponent * { return new TActionList(o); });
    add(u"TAction", [](TComponent *o) -> TComponent * { return new TAction(o); });
    add(u"TImageList", [](TComponent *o) -> TComponent * { return new TImageList(o); });
    return r;
  }();
  static bool builtIns = false;
  if (!builtIns) {
    builtIns = true;
    RegisterReferenceProperty<TControl, TBasicAction>(u"Action", &TControl::SetAction);
    RegisterReferenceProperty<TMenuItem, TBasicAction>(u"Action", &TMenuItem::SetAction);
    RegisterReferenceProperty<TControl, TPopupMenu>(u"PopupMenu", &TControl::SetPopupMenu);
    RegisterReferenceProperty<TMenu, TCustomImageList>(u"Images", &TMenu::SetImages);
    RegisterReferenceProperty<TCustomActionList, TCustomImageList>(u"Images",
                                                                   &TCustomActionList::SetImages);
    RegisterReferenceProperty<TCustomForm, TMainMenu>(u"Menu", &TCustomForm::SetMenu);
    RegisterReferenceProperty<TCustomForm, TWinControl>(u"ActiveControl",
                                                        &TCustomForm::SetActiveControl);
    RegisterSubObject<TControl>(u"Font", [](TControl &c) -> TPersistent & { return c.Font(); });
  }
  return registry;
}

// ---- Scanner --------------------------------------------------------------------------------

enum class TTok { End, Ident, Int, Str, Symbol };

class TScanner {
public:
  explicit TScanner(StringView text) : FText(text) { Next(); }

  TTok Kind() const { return FKind; }
  const String &Text() const { return FToken; }
  Int64 IntValue() const { return FInt; }
  Integer Line() const { return FTokenLine; }
  bool Is(Char symbol) const { return FKind == TTok::Symbol && FToken.size() == 1 && FToken[0] == symbol; }
  bool IsWord(StringView word) const { return FKind == TTok::Ident && SameText(FToken, word); }

  [[noreturn]] void Error(const String &message) const {
    throw EReadError(Format(u"Line %d: %s", {FTokenLine, message}));
  }
  void Expect(Char symbol) {
    if (!Is(symbol))
      Error(Format(u"'%s' expected", {String(1, symbol)}));
    Next();
  }
  String ExpectIdent() {
    if (FKind != TTok::Ident)
      Error(u"Identifier expected");
    String s = FToken;
    Next();
    return s;
  }

  void Next() {
    SkipBlanks();
    FTokenLine = FLine;
    FToken.clear();
    if (FPos >= FText.size()) {
      FKind = TTok::End;
      return;
    }
    const Char c = FText[FPos];
    if (IsIdentStart(c)) {
      while (FPos < FText.size() && (IsIdentStart(FText[FPos]) || IsDigit(FText[FPos]) || FText[FPos] == u'.'))
        FToken += FText[FPos++];
      FKind = TTok::Ident;
    } else if (IsDigit(c) || c == u'-' || c == u'$') {
      ScanInteger();
    } else if (c == u'\'' || c == u'#') {
      ScanString();
    } else {
      FToken = String(1, c);
      ++FPos;
      FKind = TTok::Symbol;
    }
  }

private:
  static bool IsIdentStart(Char c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
  }
  static bool IsDigit(Char c) { return c >= u'0' && c <= u'9'; }

  void SkipBlanks() {
    while (FPos < FText.size()) {
      const Char c = FText[FPos];
      if (c == u'\n')
        ++FLine, ++FPos;
      else if (c <= u' ')
        ++FPos;
      else if (c == u'/' && FPos + 1 < FText.size() && FText[FPos + 1] == u'/')
        while (FPos < FText.size() && FText[FPos] != u'\n')
          ++FPos;
      else
        break;
    }
  }

  void ScanInteger() {
    std::size_t start = FPos;
    if (FText[FPos] == u'-')
      ++FPos;
    const bool hex = FPos < FText.size() && FText[FPos] == u'$';
    if (hex)
      ++FPos;
    while (FPos < FText.size() &&
           (IsDigit(FText[FPos]) ||
            (hex && ((FText[FPos] >= u'A' && FText[FPos] <= u'F') || (FText[FPos] >= u'a' && FText[FPos] <= u'f')))))
      ++FPos;
    FToken = String(FText.substr(start, FPos - start));
    Int64 value = 0;
    if (!TryStrToInt64(FToken, value))
      Error(Format(u"Invalid integer '%s'", {FToken}));
    FInt = value;
    FKind = TTok::Int;
  }

  // 'abc' and #13 pieces, joined.
  void ScanString() {
    String value;
    while (FPos < FText.size() && (FText[FPos] == u'\'' || FText[FPos] == u'#')) {
      if (FText[FPos] == u'#') {
        ++FPos;
        Integer code = 0;
        std::size_t digits = 0;
        while (FPos < FText.size() && IsDigit(FText[FPos]) && digits < 6)
          code = code * 10 + (FText[FPos++] - u'0'), ++digits;
        if (digits == 0 || code > 0xFFFF)
          Error(u"Invalid character code");
        value += static_cast<Char>(code);
        continue;
      }
      ++FPos;
      for (;;) {
        if (FPos >= FText.size() || FText[FPos] == u'\n')
          Error(u"Unterminated string");
        if (FText[FPos] == u'\'') {
          if (FPos + 1 < FText.size() && FText[FPos + 1] == u'\'') {
            value += u'\'';
            FPos += 2;
            continue;
          }
          ++FPos;
          break;
        }
        value += FText[FPos++];
      }
    }
    FToken = std::move(value);
    FKind = TTok::Str;
  }

  StringView FText;
  std::size_t FPos = 0;
  Integer FLine = 1;
  Integer FTokenLine = 1;
  TTok FKind = TTok::End;
  String FToken;
  Int64 FInt = 0;
};

// ---- Reader ---------------------------------------------------------------------------------

struct TFixup {
  TComponent *Target;
  String Property;
  String Value;
  Integer Line;
};

class TReader {
public:
  TReader(TComponent *root, StringView text) : FRoot(root), FScan(text) {}

  void Read() {
    if (!FScan.IsWord(u"object") && !FScan.IsWord(u"inherited"))
      FScan.Error(u"'object' expected");
    FScan.Next();
    const String name = FScan.ExpectIdent();
    FScan.Expect(u':');
    FScan.ExpectIdent(); // the root's class: the object being read
    FRoot->Loading();
    FLoaded.push_back(FRoot);
    if (!name.empty() && FRoot->Name().empty())
      FRoot->SetName(name);
    ReadBody(FRoot);
    if (FScan.Kind() != TTok::End)
      FScan.Error(u"Text after the end of the root object");
    for (const TFixup &f : FFixups)
      ResolveFixup(f);
    for (TComponent *c : FLoaded)
      c->Loaded();
  }

  // Leaves the loading state of everything read so far (after an error).
  void Abandon() {
    for (TComponent *c : FLoaded)
      if (c->ComponentState().Contains(csLoading))
        c->Loaded();
  }

private:
  void ReadBody(TComponent *object) {
    while (!FScan.IsWord(u"end")) {
      if (FScan.Kind() == TTok::End)
        FScan.Error(u"'end' expected");
      if (FScan.IsWord(u"object") || FScan.IsWord(u"inherited"))
        ReadChild(object);
      else
        ReadProperty(object);
    }
    FScan.Next();
  }

  void ReadChild(TComponent *parent) {
    FScan.Next();
    const String name = FScan.ExpectIdent();
    FScan.Expect(u':');
    const Integer line = FScan.Line();
    const String className = FScan.ExpectIdent();
    auto &classes = Registry().Classes;
    auto it = classes.find(UpperCase(className));
    if (it == classes.end())
      throw EClassNotFound(Format(u"Line %d: Class %s not found", {line, className}));
    TComponent *child = it->second(FRoot);
    child->Loading();
    FLoaded.push_back(child);
    child->SetName(name);
    Place(parent, child);
    ReadBody(child);
  }

  // Where a component read inside another goes.
  static void Place(TComponent *parent, TComponent *child) {
    if (auto *control = dynamic_cast<TControl *>(child)) {
      if (auto *w = dynamic_cast<TWinControl *>(parent))
        control->SetParent(w);
    } else if (auto *item = dynamic_cast<TMenuItem *>(child)) {
      if (auto *menu = dynamic_cast<TMenu *>(parent))
        menu->Items()->Add(item);
      else if (auto *parentItem = dynamic_cast<TMenuItem *>(parent))
        parentItem->Add(item);
    } else if (auto *action = dynamic_cast<TContainedAction *>(child)) {
      if (auto *list = dynamic_cast<TCustomActionList *>(parent))
        action->SetActionList(list);
    }
  }

  void ReadProperty(TComponent *object) {
    const Integer line = FScan.Line();
    String path = FScan.ExpectIdent();
    FScan.Expect(u'=');
    // Font.Name: walk the sub-objects.
    TPersistent *target = object;
    std::size_t dot;
    while ((dot = path.find(u'.')) != String::npos) {
      const String head = path.substr(0, dot);
      TPersistent *sub = nullptr;
      for (auto &[n, get] : Registry().Subs)
        if (SameText(n, head) && (sub = get(target)) != nullptr)
          break;
      if (!sub)
        throw EReadError(Format(u"Line %d: Property %s does not exist", {line, head}));
      target = sub;
      path = path.substr(dot + 1);
    }
    const TPropInfo *prop = GetPropInfo(*target, path);
    if (!prop) {
      // A reference to another component, resolved once everything is read.
      if (FScan.Kind() == TTok::Ident && target == object && HasReference(path)) {
        FFixups.push_back({object, path, FScan.Text(), line});
        FScan.Next();
        return;
      }
      throw EReadError(Format(u"Line %d: Property %s does not exist", {line, path}));
    }
    try {
      SetValue(*target, *prop);
    } catch (const EReadError &) {
      throw;
    } catch (const Exception &e) {
      throw EReadError(Format(u"Line %d: Error reading %s: %s", {line, path, e.Message()}));
    }
  }

  void SetValue(TPersistent &target, const TPropInfo &prop) {
    switch (prop.Kind) {
    case tkInteger:
    case tkInt64:
      if (FScan.Kind() != TTok::Int)
        FScan.Error(Format(u"Integer expected for %s", {prop.Name}));
      SetOrdProp(target, prop, FScan.IntValue());
      break;
    case tkEnumeration:
      if (FScan.Kind() != TTok::Ident)
        FScan.Error(Format(u"Identifier expected for %s", {prop.Name}));
      SetEnumProp(target, prop, FScan.Text());
      break;
    case tkSet: {
      FScan.Expect(u'[');
      String text = u"[";
      while (!FScan.Is(u']')) {
        if (text.size() > 1) {
          FScan.Expect(u',');
          text += u',';
        }
        text += FScan.ExpectIdent();
      }
      SetSetProp(target, prop, text + u"]");
      break;
    }
    case tkUString:
    case tkString:
    case tkLString:
    case tkWString:
      if (FScan.Kind() != TTok::Str)
        FScan.Error(Format(u"String expected for %s", {prop.Name}));
      SetStrProp(target, prop, FScan.Text());
      break;
    default:
      FScan.Error(Format(u"Property %s cannot be read", {prop.Name}));
    }
    FScan.Next();
  }

  static bool HasReference(const String &name) {
    for (const auto &r : Registry().References)
      if (SameText(r.Name, name))
        return true;
    return false;
  }

  void ResolveFixup(const TFixup &f) {
    TComponent *value = SameText(f.Value, u"nil") ? nullptr : FRoot->FindComponent(f.Value);
    if (!value && !SameText(f.Value, u"nil"))
      throw EReadError(Format(u"Line %d: Invalid property value: %s", {f.Line, f.Value}));
    for (const auto &r : Registry().References)
      if (SameText(r.Name, f.Property) && r.Set(f.Target, value))
        return;
    throw EReadError(Format(u"Line %d: Invalid property value: %s", {f.Line, f.Value}));
  }

  TComponent *FRoot;
  TScanner FScan;
  std::vector<TComponent *> FLoaded;
  std::vector<TFixup> FFixups;
};

} // namespace

void RegisterComponentClass(const String &ClassName, TComponentFactory Factory) {
  Registry().Classes[UpperCase(ClassName)] = std::move(Factory);
}

void UnregisterComponentClass(const String &ClassName) {
  Registry().Classes.erase(UpperCase(ClassName));
}

bool IsComponentClassRegistered(StringView ClassName) {
  return Registry().Classes.count(UpperCase(ClassName)) != 0;
}

void UnregisterReferenceProperty(Integer Id) {
  std::erase_if(Registry().References, [Id](const auto &r) { return r.Id == Id; });
}

namespace detail {
Integer RegisterReference(const String &Name, std::function<bool(TComponent *, TComponent *)> Set) {
  TRegistry &r = Registry();
  r.References.push_back({Name, std::move(Set), ++r.LastReferenceId});
  return r.LastReferenceId;
}
void RegisterSub(const String &Name, std::function<TPersistent *(TPersistent *)> Get) {
  Registry().Subs.emplace_back(Name, std::move(Get));
}
} // namespace detail

void ReadComponentDescription(TComponent *Root, StringView Text) {
  KR_ASSERT(Root != nullptr);
  TReader reader(Root, Text);
  TScopeFail abandon{[&reader] { reader.Abandon(); }};
  reader.Read();
}

} // namespace krx
