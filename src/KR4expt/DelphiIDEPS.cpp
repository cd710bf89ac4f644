#include "KR4expt/DelphiIDEPS.h"

#include "Common/KRX.DelphiVersions.h"

#include <algorithm>

namespace krx {

String DelphiIDEEndpointName(Integer versionIndex) {
  return Format(u"_KR_BDS%d_ENDPOINT",
                {DelphiVersionToBDSVersion(std::min<Integer>(versionIndex, 2))});
}

String TDelphiIDEStub::GetEndpointName() const { return DelphiIDEEndpointName(FVersionIndex); }

} // namespace krx
