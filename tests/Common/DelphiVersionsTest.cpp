#include "Common/KREngineDefs.h"
#include "Common/KRX.DelphiVersions.h"

#include "support/KrxTest.h"

namespace krx {
namespace {

TEST(DelphiVersions, BDSNumbersAndNamesFollowThePositions) {
  EXPECT_EQ(DelphiVersionToBDSVersion(dvDelphi10Seattle), 17);
  EXPECT_EQ(DelphiVersionToBDSVersion(dvDelphi10_3Rio), 20);
  EXPECT_EQ(DelphiVersionToBDSVersion(dvDelphi11Alexandria), 22);
  EXPECT_EQ(DelphiVersionName(dvDelphi10Seattle), u"Delphi 10 Seattle");
  EXPECT_EQ(DelphiVersionName(dvDelphi10_1Berlin), u"Delphi 10.1 Berlin");
  EXPECT_EQ(DelphiVersionName(dvDelphi10_2Tokyo), u"Delphi 10.2 Tokyo");
  EXPECT_EQ(DelphiVersionName(dvDelphi10_3Rio), u"Delphi 10.3 Rio");
  EXPECT_EQ(DelphiVersionName(dvDelphi10_4Sydney), u"Delphi 10.4 Sydney");
  EXPECT_EQ(DelphiVersionName(dvDelphi11Alexandria), u"Delphi 11 Alexandria");
}

TEST(DelphiVersions, PositionsOutsideTheTableAreCallerErrors) {
  EXPECT_THROW(DelphiVersionToBDSVersion(6), EAssertionFailed);
  EXPECT_THROW(DelphiVersionToBDSVersion(-1), EAssertionFailed);
  EXPECT_THROW(DelphiVersionName(6), EAssertionFailed);
}

TEST(RegistryKeyNames, KestruneKeyIsVersioned) {
  EXPECT_EQ(KestruneRegistryKey(11), u"Software\\Kestrune\\Kestrune\\11.0");
  EXPECT_EQ(KestruneRegistryKey(9), u"Software\\Kestrune\\Kestrune\\9.0");
}

TEST(RegistryKeyNames, MakerNamesSwitchAt13) {
  EXPECT_EQ(ExpertRegistryKey(12), u"Software\\Kestrune\\Torvane\\12.0");
  EXPECT_EQ(ExpertRegistryKey(13), u"Software\\Drummel Software\\KRX\\13.0");
}

TEST(RegistryKeyNames, SharedKeyHasThreeEras) {
  EXPECT_EQ(SharedRegistryKey(12), u"Software\\Kestrune\\Shared");
  EXPECT_EQ(SharedRegistryKey(13), u"Software\\Drummel Software\\Shared");
  EXPECT_EQ(SharedRegistryKey(14), u"Software\\Drummel Software\\Shared");
  EXPECT_EQ(SharedRegistryKey(15), u"Software\\Drummel Software\\KRX\\15.0");
  EXPECT_EQ(SharedRegistryKey(16), u"Software\\Drummel Software\\KRX\\16.0");
}

} // namespace
} // namespace krx
