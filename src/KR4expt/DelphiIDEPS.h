// The IDE's own endpoint: the request receiver named after an IDE version.
#pragma once

#include "KR4expt/CustomIDEPS.h"

namespace krx {

// "_KR_BDS%d_ENDPOINT" with the BDS major number of min(versionIndex, 2): 17, 18, or 19
// for every version from Delphi 10.2 on (Delphi 11 listens as "_KR_BDS19_ENDPOINT"), since
// that is the name Kestrune looks for.
String DelphiIDEEndpointName(Integer versionIndex);

class TDelphiIDEStub : public TCustomIDEStub {
public:
  Byte VersionIndex() const { return FVersionIndex; }

protected:
  explicit TDelphiIDEStub(Byte versionIndex) : FVersionIndex(versionIndex) {}
  String GetEndpointName() const override;

  friend class TDotNetStub;

private:
  Byte FVersionIndex = 0;
};

} // namespace krx
