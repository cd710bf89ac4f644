// The version of the operating system the class library reports (TOSVersion). Headless, it
// is a fixed Windows 10 unless a test sets another one (TOSVersionGuard restores it).
#pragma once

#include "Platform/Rtl/Types.h"

namespace krx {

class TOSVersion {
public:
  static Integer Major();
  static Integer Minor();
  static Integer Build();
  // At least AMajor.AMinor.
  static bool Check(Integer AMajor, Integer AMinor = 0);
  static void Set(Integer AMajor, Integer AMinor, Integer ABuild);
};

class TOSVersionGuard {
public:
  TOSVersionGuard() : FMajor(TOSVersion::Major()), FMinor(TOSVersion::Minor()), FBuild(TOSVersion::Build()) {}
  TOSVersionGuard(const TOSVersionGuard &) = delete;
  TOSVersionGuard &operator=(const TOSVersionGuard &) = delete;
  ~TOSVersionGuard() { TOSVersion::Set(FMajor, FMinor, FBuild); }

private:
  Integer FMajor, FMinor, FBuild;
};

} // namespace krx
