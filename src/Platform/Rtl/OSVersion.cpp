#include "Platform/Rtl/OSVersion.h"

namespace krx {

namespace {
// Constant-initialised: no static constructor.
Integer gMajor = 10;
Integer gMinor = 0;
Integer gBuild = 19045;
} // namespace

Integer TOSVersion::Major() { return gMajor; }
Integer TOSVersion::Minor() { return gMinor; }
Integer TOSVersion::Build() { return gBuild; }

bool TOSVersion::Check(Integer AMajor, Integer AMinor) {
  return gMajor > AMajor || (gMajor == AMajor && gMinor >= AMinor);
}

void TOSVersion::Set(Integer AMajor, Integer AMinor, Integer ABuild) {
  gMajor = AMajor;
  gMinor = AMinor;
  gBuild = ABuild;
}

} // namespace krx
