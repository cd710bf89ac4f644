// Form descriptions: the text from which a form, frame or data module builds its components
// (the substitute of form resources). The form of the text:
//
//   object OptionsDlg: TOptionsDlg          the root: its name (the class is not checked)
//     Caption = 'Options'                   strings in quotes ('' for a quote, #13 a code)
//     ClientWidth = 400                     integers
//     Position = poScreenCenter             enumeration names, True / False
//     Font.Style = [fsBold]                 sets; Font.X reaches the font's own properties
//     Menu = MainMenu1                      references to components of the same root
//     object Panel1: TPanel                 a component of a registered class, owned by the
//       Align = alClient                    root; a control inside a windowed control gets
//       object OkButton: TButton            it as parent, a menu item goes into its menu or
//       end                                 item, an action into its action list
//     end
//   end
//
// Published properties are set through the property tables; component references and
// sub-objects through the registrations below. Events are bound in code (Created). Every
// component read is in the loading state until all of the text is read and references are
// resolved; then each gets Loaded, the root first. Errors raise EReadError naming the line.
#pragma once

#include "Platform/Rtl/Classes.h"

#include <functional>

namespace krx {

// EReadError (SysUtils.h) for a malformed description; EClassNotFound for an unknown class.
KRX_DECLARE_EXCEPTION(EClassNotFound, EReadError);

using TComponentFactory = std::function<TComponent *(TComponent *AOwner)>;

// Makes the class available to descriptions under its name. A module that registers classes
// unregisters them before it is unloaded.
void RegisterComponentClass(const String &ClassName, TComponentFactory Factory);
void UnregisterComponentClass(const String &ClassName);
template <class T> void RegisterComponentClass(const String &ClassName) {
  RegisterComponentClass(ClassName, [](TComponent *AOwner) -> TComponent * { return new T(AOwner); });
}
bool IsComponentClassRegistered(StringView ClassName);

// A property that names another component ("Menu = MainMenu1") of objects of class T. The
// result names the registration for UnregisterReferenceProperty (a module that is unloaded
// takes its registrations back).
template <class T, class V>
Integer RegisterReferenceProperty(const String &Name, void (T::*Setter)(V *));
void UnregisterReferenceProperty(Integer Id);
// A property that is an object of its own ("Font.Name = 'Tahoma'") of objects of class T.
template <class T>
void RegisterSubObject(const String &Name, std::function<TPersistent &(T &)> Get);

void ReadComponentDescription(TComponent *Root, StringView Text);

namespace detail {
Integer RegisterReference(const String &Name, std::function<bool(TComponent *, TComponent *)> Set);
void RegisterSub(const String &Name, std::function<TPersistent *(TPersistent *)> Get);
} // namespace detail

template <class T, class V>
Integer RegisterReferenceProperty(const String &Name, void (T::*Setter)(V *)) {
  return detail::RegisterReference(Name, [Setter](TComponent *target, TComponent *value) {
    auto *t = dynamic_cast<T *>(target);
    auto *v = dynamic_cast<V *>(value);
    if (!t || (value && !v))
      return false;
    (t->*Setter)(v);
    return true;
  });
}

template <class T>
void RegisterSubObject(const String &Name, std::function<TPersistent &(T &)> Get) {
  detail::RegisterSub(Name, [Get](TPersistent *target) -> TPersistent * {
    auto *t = dynamic_cast<T *>(target);
    return t ? &Get(*t) : nullptr;
  });
}

} // namespace krx
