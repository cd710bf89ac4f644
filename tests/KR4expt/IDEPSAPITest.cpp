#include "KR4expt/IDEPSAPI.h"

#include "Common/RegUtils.h"
#include "KR4expt/DelphiIDEPS.h"
#include "Platform/Registry/Registry.h"
#include "support/KrxTest.h"

#include <chrono>

namespace krx {
namespace {

TEST(CodeItemKindNames, LookupIgnoresCase) {
  EXPECT_EQ(CodeItemKindFromName(u"Static.Ctor"), 5);
  EXPECT_EQ(CodeItemKindFromName(u"NESTED-TYPE"), 15);
  EXPECT_EQ(CodeItemKindFromName(u"module"), 1);
  EXPECT_EQ(CodeItemKindFromName(u""), 0);
  EXPECT_EQ(CodeItemKindFromName(u"method"), 0);
}

TEST(ConnectableIDEs, FamiliesAndVersions) {
  EXPECT_EQ(psideVS2012, 32);
  EXPECT_EQ(ConnectableIDEOfVersion(0), psideDelphiXE9);
  EXPECT_EQ(ConnectableIDEOfVersion(5), psideDelphi11);
  EXPECT_EQ(psideDelphi11, 27);
  EXPECT_TRUE(IsVSFamilyIDE(psideVS2003));
  EXPECT_FALSE(IsVSFamilyIDE(psideDelphi11));
  EXPECT_THROW(ConnectableIDEOfVersion(6), EAssertionFailed);
}

// A registry of its own with the given IDE positions installed.
class IDEProxiesTest : public ::testing::Test {
protected:
  void Install(std::initializer_list<Integer> versions) {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    for (Integer v : versions) {
      ASSERT_TRUE(reg.OpenKey(BDSRegistryKey(v), true));
      reg.CloseKey();
    }
  }
  test::TempDir Dir;
  test::EnvGuard Registry{"KRX_REGISTRY_DIR", Dir.Path().string()};
};

// A proxy of the other family, to see the family change.
struct TVSProxy : TNullIDEProxy {
  bool IsNullProxy() const override { return false; }
  TKRConnectableIDE ConnectableIDE() const override { return psideVS2010; }
};

TEST_F(IDEProxiesTest, WithoutInstalledIDEsOnlyTheNullProxy) {
  TDelphiIDEProxies proxies;
  proxies.AddProxy(IPtr<IDelphiIDEProxy>(new TNullIDEProxy));
  proxies.RegisterInstalledIDEProxies();
  EXPECT_EQ(proxies.Count(), 1);
  EXPECT_TRUE(proxies.Current()->IsNullProxy());
  EXPECT_FALSE(proxies.Current()->Connected());
  EXPECT_EQ(proxies.PreferredIDE(), psideDelphi10_3);
}

TEST_F(IDEProxiesTest, InstalledVersionsAreRegisteredInAscendingOrder) {
  Install({5, 3});
  TDelphiIDEProxies proxies;
  EXPECT_EQ(proxies.PreferredIDE(), psideDelphi11); // the newest installed
  proxies.RegisterInstalledIDEProxies();
  ASSERT_EQ(proxies.Count(), 2);
  EXPECT_EQ(proxies.Proxies(0)->ConnectableIDE(), psideDelphi10_3);
  EXPECT_EQ(proxies.Proxies(0)->DisplayName(), u"Delphi 10.3 Rio");
  EXPECT_EQ(proxies.Proxies(1)->ConnectableIDE(), psideDelphi11);
  EXPECT_FALSE(proxies.Proxies(1)->IsNullProxy());
  EXPECT_FALSE(proxies.Current()); // no null proxy was added
  auto *bds = dynamic_cast<TBDSIDEProxy *>(proxies.Proxies(1).get());
  ASSERT_NE(bds, nullptr);
  EXPECT_EQ(bds->RemoteName(), u"_KR_BDS19_ENDPOINT");
}

TEST_F(IDEProxiesTest, PreferredIDEChangesNotifyListeners) {
  Install({4, 5});
  TDelphiIDEProxies proxies;
  proxies.RegisterInstalledIDEProxies();
  proxies.AddProxy(IPtr<IDelphiIDEProxy>(new TVSProxy));
  std::vector<std::string> log;
  TDelphiIDEProxiesListener a, b;
  a.OnPreferredIDEChanged = [&](TObject *s) { log.push_back(s == &a ? "a:preferred" : "?"); };
  a.OnIDEFamilyChanged = [&](TObject *s) { log.push_back(s == &a ? "a:family" : "?"); };
  b.OnPreferredIDEChanged = [&](TObject *s) { log.push_back(s == &b ? "b:preferred" : "?"); };
  proxies.AddListener(&a);
  proxies.AddListener(&b);
  proxies.SetPreferredIDE(psideDelphi10_2); // no proxy stands for it
  proxies.SetPreferredIDE(psideDelphi11);   // unchanged
  EXPECT_TRUE(log.empty());
  proxies.SetPreferredIDE(psideDelphi10_4);
  EXPECT_EQ(log, (std::vector<std::string>{"a:preferred", "b:preferred"}));
  log.clear();
  proxies.SetPreferredIDE(psideVS2010);
  EXPECT_TRUE(proxies.IsVSFamily());
  EXPECT_EQ(log, (std::vector<std::string>{"a:preferred", "b:preferred", "a:family"}));
  proxies.RemoveListener(&a);
  log.clear();
  proxies.SetPreferredIDE(psideDelphi11);
  EXPECT_EQ(log, (std::vector<std::string>{"b:preferred"}));
}

TEST_F(IDEProxiesTest, PreferredIDEIsAPublishedProperty) {
  TDelphiIDEProxies proxies;
  const TPropInfo *prop = GetPropInfo(proxies, u"PreferredIDE");
  ASSERT_NE(prop, nullptr);
  EXPECT_EQ(GetPropValueText(proxies, *prop), u"psideDelphi10_3");
}

TEST_F(IDEProxiesTest, ShowHelpOfAConnectedIDEIsSentAsARequest) {
  auto stub = TDotNetStub::Create<TDelphiIDEStub>(Byte{5});
  String received;
  stub->OnShowHelp = [&](const String &keyword) { received = keyword; };
  IPtr<IDelphiIDEProxy> proxy(new TBDSIDEProxy(5));
  ASSERT_TRUE(proxy->Connected());
  proxy->ShowHelp(u"TStringList, \"Add\"");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  MSG msg;
  while (received.empty() && std::chrono::steady_clock::now() < deadline)
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&msg);
  EXPECT_EQ(received, u"TStringList, \"Add\"");
}

TEST(IDEProxiesUnit, TheProcessWideRegistryStartsWithTheNullProxy) {
  ASSERT_NE(DelphiIDEProxies(), nullptr);
  ASSERT_GE(DelphiIDEProxies()->Count(), 1);
  EXPECT_TRUE(DelphiIDEProxies()->Proxies(0)->IsNullProxy());
  EXPECT_TRUE(DelphiIDEProxies()->Current()->IsNullProxy());
}

} // namespace
} // namespace krx
