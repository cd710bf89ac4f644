#include "Common/KRX.DelphiVersions.h"

#include "Platform/Rtl/SysUtils.h"

#include <array>

namespace krx {

namespace {

constexpr std::array<const Char *, DelphiVersionCount> kVersionNames = {
    u"Delphi 10 Seattle", u"Delphi 10.1 Berlin", u"Delphi 10.2 Tokyo",
    u"Delphi 10.3 Rio",   u"Delphi 10.4 Sydney", u"Delphi 11 Alexandria",
};

} // namespace

Integer DelphiVersionToBDSVersion(Integer version) {
  KR_ASSERT(version >= 0 && version < DelphiVersionCount);
  return version + 17;
}

String DelphiVersionName(Integer version) {
  KR_ASSERT(version >= 0 && version < DelphiVersionCount);
  return kVersionNames[static_cast<std::size_t>(version)];
}

} // namespace krx
