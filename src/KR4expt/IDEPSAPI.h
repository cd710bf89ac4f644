// Which IDEs the sending side of the IDE request set can reach: the interface of one
// reachable IDE, the null proxy, the enumeration of connectable IDEs and the process-wide
// registry of proxies with a preferred IDE. Also the table of code-item kind names that the
// jump request carries.
#pragma once

#include "KR4expt/CustomIDEPS.h"
#include "Platform/Rtl/Intf.h"
#include "Platform/Rtl/TypInfo.h"

#include <memory>
#include <vector>

namespace krx {

// ---- Code-item kind names -----------------------------------------------------------------

// Index 0 is no kind; 1 "module" to 15 "nested-type".
inline constexpr Integer CodeItemKindNameCount = 16;
extern const StringView CodeItemKindNames[CodeItemKindNameCount];
// The first index whose name equals Name ignoring case; 0 for an empty or unknown name.
Integer CodeItemKindFromName(StringView Name);

// ---- Connectable IDEs ---------------------------------------------------------------------

#define KRX_TKRCONNECTABLEIDE(X)                                                                   \
  X(psideNull)                                                                                     \
  X(psideDelphi1)                                                                                  \
  X(psideDelphi2) X(psideDelphi3) X(psideDelphi4) X(psideDelphi5) X(psideDelphi6) X(psideDelphi7)  \
      X(psideDelphi8) X(psideDelphi2005) X(psideDelphi2006) X(psideDelphi2007) X(psideDelphi2009)  \
          X(psideDelphi2010) X(psideDelphiXE) X(psideDelphiXE2) X(psideDelphiXE3)                  \
              X(psideDelphiXE4) X(psideDelphiXE5) X(psideDelphiXE6) X(psideDelphiXE7)              \
                  X(psideDelphiXE8) X(psideDelphiXE9) X(psideDelphi10_1) X(psideDelphi10_2)        \
                      X(psideDelphi10_3) X(psideDelphi10_4) X(psideDelphi11) X(psideVS2003)        \
                          X(psideVS2005) X(psideVS2008) X(psideVS2010) X(psideVS2012)
KRX_DECLARE_ENUM(TKRConnectableIDE, KRX_TKRCONNECTABLEIDE);

// psideVS2003 to psideVS2012.
bool IsVSFamilyIDE(TKRConnectableIDE IDE);
// IDE position 0 to 5: psideDelphiXE9 to psideDelphi11.
TKRConnectableIDE ConnectableIDEOfVersion(Integer VersionIndex);

// ---- Proxies ------------------------------------------------------------------------------

// One reachable IDE. The requests answer the message result (0 when nothing was sent).
class IDelphiIDEProxy : public virtual IInterface {
public:
  KRX_GUID("{4F18F403-6BE4-4355-BADE-8ECF53F8012F}");
  virtual Integer BuildProjectDefault() = 0;
  virtual bool Connected() const = 0;
  virtual Integer RequestEditorFiles(const String &TransferFile) = 0;
  virtual Integer RequestProjectFiles(const String &TransferFile) = 0;
  virtual bool IsNullProxy() const = 0;
  virtual Integer OpenFile(const String &FileName) = 0;
  virtual Integer BuildProject(Byte Mode) = 0;
  virtual Integer ReloadFile(const String &FileName) = 0;
  virtual TKRConnectableIDE ConnectableIDE() const = 0;
  virtual String DisplayName() const = 0;
  virtual void ShowHelp(const String &Keyword) = 0;
  virtual Integer GotoLine(const String &FileName, Integer Line, Integer Column) = 0;
  virtual Integer JumpToLocation(const String &FileName, const String &KindName,
                                 const String &ClassName, const String &MemberName,
                                 const String &ParamText) = 0;
  virtual Integer UpdateProjectFiles(const String &UpdateFile) = 0;
};

// Reaches nothing: never connected, every request does nothing.
class TNullIDEProxy : public TInterfacedObject, public IDelphiIDEProxy {
public:
  Integer BuildProjectDefault() override { return 0; }
  bool Connected() const override { return false; }
  Integer RequestEditorFiles(const String &) override { return 0; }
  Integer RequestProjectFiles(const String &) override { return 0; }
  bool IsNullProxy() const override { return true; }
  Integer OpenFile(const String &) override { return 0; }
  Integer BuildProject(Byte) override { return 0; }
  Integer ReloadFile(const String &) override { return 0; }
  TKRConnectableIDE ConnectableIDE() const override { return psideNull; }
  String DisplayName() const override { return String(); }
  void ShowHelp(const String &) override {}
  Integer GotoLine(const String &, Integer, Integer) override { return 0; }
  Integer JumpToLocation(const String &, const String &, const String &, const String &,
                         const String &) override {
    return 0;
  }
  Integer UpdateProjectFiles(const String &) override { return 0; }
};

// The proxy of one IDE version (position 0 to 5), reaching that IDE's endpoint.
class TCustomDelphiIDEProxy : public TCustomIDEProxy, public IDelphiIDEProxy {
public:
  explicit TCustomDelphiIDEProxy(Byte VersionIndex);
  Byte VersionIndex() const { return FVersionIndex; }

  Integer BuildProjectDefault() override { return TCustomIDEProxy::BuildProjectDefault(); }
  bool Connected() const override { return TCustomIDEProxy::Connected(); }
  Integer RequestEditorFiles(const String &TransferFile) override {
    return TCustomIDEProxy::RequestEditorFiles(TransferFile);
  }
  Integer RequestProjectFiles(const String &TransferFile) override {
    return TCustomIDEProxy::RequestProjectFiles(TransferFile);
  }
  bool IsNullProxy() const override { return false; }
  Integer OpenFile(const String &FileName) override { return TCustomIDEProxy::OpenFile(FileName); }
  Integer BuildProject(Byte Mode) override { return TCustomIDEProxy::BuildProject(Mode); }
  Integer ReloadFile(const String &FileName) override {
    return TCustomIDEProxy::ReloadFile(FileName);
  }
  TKRConnectableIDE ConnectableIDE() const override;
  String DisplayName() const override;
  void ShowHelp(const String &Keyword) override = 0;
  Integer GotoLine(const String &FileName, Integer Line, Integer Column) override {
    return TCustomIDEProxy::GotoLine(FileName, Line, Column);
  }
  Integer JumpToLocation(const String &FileName, const String &KindName, const String &ClassName,
                         const String &MemberName, const String &ParamText) override {
    return TCustomIDEProxy::JumpToLocation(FileName, KindName, ClassName, MemberName, ParamText);
  }
  Integer UpdateProjectFiles(const String &UpdateFile) override {
    return TCustomIDEProxy::UpdateProjectFiles(UpdateFile);
  }

private:
  Byte FVersionIndex;
};

// The proxy of an installed BDS version.
class TBDSIDEProxy : public TCustomDelphiIDEProxy {
public:
  using TCustomDelphiIDEProxy::TCustomDelphiIDEProxy;
  // Connected: sends request 1027 with the keyword. Otherwise starts the IDE help of this
  // version; the keyword is not used then.
  void ShowHelp(const String &Keyword) override;
};

// A listener of the registry: both events are optional and get the listener as Sender.
class TDelphiIDEProxiesListener : public TObject {
public:
  TNotifyEvent OnIDEFamilyChanged;
  TNotifyEvent OnPreferredIDEChanged;
};

// The registered proxies, in order of adding, and the preferred IDE.
class TDelphiIDEProxies : public TPersistent {
  KRX_PUBLISHED(TDelphiIDEProxies)
public:
  // No proxies; the preferred IDE is the newest installed version (psideDelphi10_3 when none
  // is installed).
  TDelphiIDEProxies();
  ~TDelphiIDEProxies() override;

  Integer Count() const { return static_cast<Integer>(FProxies.size()); }
  IPtr<IDelphiIDEProxy> Proxies(Integer Index) const;
  // Appends the proxy; a null proxy becomes the current one.
  void AddProxy(IPtr<IDelphiIDEProxy> Proxy);
  IPtr<IDelphiIDEProxy> Current() const { return FCurrent; }
  // Some registered proxy stands for that IDE.
  bool HasIDE(TKRConnectableIDE IDE) const;
  bool IsVSFamily() const { return IsVSFamilyIDE(FPreferredIDE); }

  TKRConnectableIDE PreferredIDE() const { return FPreferredIDE; }
  // Ignored unless it changes the value to an IDE some proxy stands for. Notifies every
  // listener's OnPreferredIDEChanged, then, when the family changed, OnIDEFamilyChanged.
  void SetPreferredIDE(TKRConnectableIDE Value);

  // Listeners are not owned.
  void AddListener(TDelphiIDEProxiesListener *Listener);
  void RemoveListener(TDelphiIDEProxiesListener *Listener);

  // Adds a TBDSIDEProxy for every installed IDE position, in ascending order.
  void RegisterInstalledIDEProxies();

private:
  TKRConnectableIDE DefaultPreferredIDE() const;

  IPtr<IDelphiIDEProxy> FCurrent;
  std::vector<TDelphiIDEProxiesListener *> FListeners;
  TKRConnectableIDE FPreferredIDE = psideNull;
  std::vector<IPtr<IDelphiIDEProxy>> FProxies;
};

// The process-wide registry, between the unit's initialisation and finalisation.
TDelphiIDEProxies *DelphiIDEProxies();
// Creates the registry with the null proxy as its current proxy.
void IDEPSAPIInitialization();
void IDEPSAPIFinalization();
// The start-up of the IDE's own proxies: registers the installed versions.
void DelphiIDEPSInitialization();

} // namespace krx
