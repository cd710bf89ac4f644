#include "KR4expt/IDEPSAPI.h"

#include "Common/BDSHelp.h"
#include "Common/KRX.DelphiVersions.h"
#include "Common/RegUtils.h"
#include "KR4expt/DelphiIDEPS.h"

#include <algorithm>

namespace krx {

const StringView CodeItemKindNames[CodeItemKindNameCount] = {
    u"",           u"module",     u"class",     u"field",      u"constructor", u"static.ctor",
    u"destructor", u"procedure",  u"function",  u"operator",   u"property",    u"event",
    u"resclause",  u"moduleproc", u"eventtype", u"nested-type"};

Integer CodeItemKindFromName(StringView Name) {
  if (Name.empty())
    return 0;
  for (Integer i = 0; i < CodeItemKindNameCount; ++i)
    if (SameText(Name, CodeItemKindNames[i]))
      return i;
  return 0;
}

bool IsVSFamilyIDE(TKRConnectableIDE IDE) { return IDE >= psideVS2003 && IDE <= psideVS2012; }

TKRConnectableIDE ConnectableIDEOfVersion(Integer VersionIndex) {
  KR_ASSERT(VersionIndex >= 0 && VersionIndex < DelphiVersionCount);
  return static_cast<TKRConnectableIDE>(psideDelphiXE9 + VersionIndex);
}

// ---- Proxies ------------------------------------------------------------------------------

TCustomDelphiIDEProxy::TCustomDelphiIDEProxy(Byte VersionIndex) : FVersionIndex(VersionIndex) {
  SetRemoteName(DelphiIDEEndpointName(VersionIndex));
}

TKRConnectableIDE TCustomDelphiIDEProxy::ConnectableIDE() const {
  return ConnectableIDEOfVersion(FVersionIndex);
}

String TCustomDelphiIDEProxy::DisplayName() const { return DelphiVersionName(FVersionIndex); }

void TBDSIDEProxy::ShowHelp(const String &Keyword) {
  if (Connected())
    SendShowHelp(Keyword);
  else
    ShowBDSHelp(VersionIndex());
}

// ---- TDelphiIDEProxies --------------------------------------------------------------------

const TClassInfo &TDelphiIDEProxies::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TDelphiIDEProxies>(&TPersistent::StaticClassInfo())
          .Enum(u"PreferredIDE", TKRConnectableIDENames, &TDelphiIDEProxies::PreferredIDE,
                &TDelphiIDEProxies::SetPreferredIDE)
          .Build();
  return info;
}

TDelphiIDEProxies::TDelphiIDEProxies() { FPreferredIDE = DefaultPreferredIDE(); }

TDelphiIDEProxies::~TDelphiIDEProxies() {
  FProxies.clear();
  FCurrent = nullptr;
}

TKRConnectableIDE TDelphiIDEProxies::DefaultPreferredIDE() const {
  KR_ASSERT(FPreferredIDE == psideNull);
  for (Integer v = DelphiVersionCount - 1; v >= 0; --v)
    if (IsIDEInstalled(v))
      return ConnectableIDEOfVersion(v);
  return psideDelphi10_3;
}

IPtr<IDelphiIDEProxy> TDelphiIDEProxies::Proxies(Integer Index) const {
  KR_ASSERT(Index >= 0 && Index < Count());
  return FProxies[static_cast<std::size_t>(Index)];
}

void TDelphiIDEProxies::AddProxy(IPtr<IDelphiIDEProxy> Proxy) {
  KR_ASSERT(Proxy);
  FProxies.push_back(Proxy);
  if (Proxy->IsNullProxy())
    FCurrent = Proxy;
}

bool TDelphiIDEProxies::HasIDE(TKRConnectableIDE IDE) const {
  return std::any_of(FProxies.begin(), FProxies.end(),
                     [IDE](const auto &p) { return p->ConnectableIDE() == IDE; });
}

void TDelphiIDEProxies::SetPreferredIDE(TKRConnectableIDE Value) {
  if (Value == FPreferredIDE || !HasIDE(Value))
    return;
  const bool wasVS = IsVSFamily();
  FPreferredIDE = Value;
  // Copies: a listener may remove itself or others while it is notified.
  const std::vector<TDelphiIDEProxiesListener *> listeners = FListeners;
  for (TDelphiIDEProxiesListener *l : listeners)
    if (l->OnPreferredIDEChanged)
      l->OnPreferredIDEChanged(l);
  if (IsVSFamily() != wasVS)
    for (TDelphiIDEProxiesListener *l : listeners)
      if (l->OnIDEFamilyChanged)
        l->OnIDEFamilyChanged(l);
}

void TDelphiIDEProxies::AddListener(TDelphiIDEProxiesListener *Listener) {
  KR_ASSERT(Listener != nullptr);
  FListeners.push_back(Listener);
}

void TDelphiIDEProxies::RemoveListener(TDelphiIDEProxiesListener *Listener) {
  std::erase(FListeners, Listener);
}

void TDelphiIDEProxies::RegisterInstalledIDEProxies() {
  for (Integer v = 0; v < DelphiVersionCount; ++v)
    if (IsIDEInstalled(v))
      AddProxy(IPtr<IDelphiIDEProxy>(new TBDSIDEProxy(static_cast<Byte>(v))));
}

// ---- Unit start-up ------------------------------------------------------------------------

namespace {
std::unique_ptr<TDelphiIDEProxies> &Registry() {
  static std::unique_ptr<TDelphiIDEProxies> registry;
  return registry;
}
} // namespace

TDelphiIDEProxies *DelphiIDEProxies() { return Registry().get(); }

void IDEPSAPIInitialization() {
  Registry() = std::make_unique<TDelphiIDEProxies>();
  Registry()->AddProxy(IPtr<IDelphiIDEProxy>(new TNullIDEProxy));
}

void IDEPSAPIFinalization() { Registry().reset(); }

void DelphiIDEPSInitialization() {
  if (DelphiIDEProxies())
    DelphiIDEProxies()->RegisterInstalledIDEProxies();
}

} // namespace krx
