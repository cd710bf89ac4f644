// The version resource of a module: the fixed information (file and product versions, flags,
// type) and its string values, for the About box, the splash screen and the options dialog.
#pragma once

#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/System.h"

#include <vector>

namespace krx {

// Days since 1899-12-30, the fraction being the time of day.
using TDateTime = double;

KRX_DECLARE_EXCEPTION(ENoVersionResource, Exception);

class TVersionRes : public TObject {
public:
  TVersionRes() = default;
  // Loads the resource of the file (see SetFileName).
  explicit TVersionRes(const String &fileName);

  // Stores the name and loads its resource. A file without one raises ENoVersionResource
  // "No version info available"; a resource that cannot be read changes nothing else.
  void SetFileName(const String &fileName);
  const String &FileName() const { return FFileName; }

  // The value of that name in the string table of the first translation; empty when it is
  // missing.
  String GetStringValue(const String &name) const;
  String FileDescription() const { return GetStringValue(u"FileDescription"); }
  // "Version <major>.<minor>.<release> build <build>".
  String VersionText() const;

  Word Language() const { return FLanguage; }
  Word CodePage() const { return FCodePage; }
  TDateTime FileDate() const { return FFileDate; }
  // Masked with the resource's flags mask.
  DWORD FileFlags() const { return FFileFlags; }
  DWORD FileOS() const { return FFileOS; }
  DWORD FileSubtype() const { return FFileSubtype; }
  DWORD FileType() const { return FFileType; }
  Word Major() const { return FMajor; }
  Word Minor() const { return FMinor; }
  Word Release() const { return FRelease; }
  Word Build() const { return FBuild; }
  Word ProductMajor() const { return FProductMajor; }
  Word ProductMinor() const { return FProductMinor; }
  Word ProductRelease() const { return FProductRelease; }
  Word ProductBuild() const { return FProductBuild; }

private:
  String FFileName;
  Word FLanguage = 0;
  Word FCodePage = 0;
  TDateTime FFileDate = 0;
  DWORD FFileFlags = 0;
  DWORD FFileOS = 0;
  DWORD FFileSubtype = 0;
  DWORD FFileType = 0;
  Word FBuild = 0;
  Word FMajor = 0;
  Word FMinor = 0;
  Word FRelease = 0;
  Word FProductBuild = 0;
  Word FProductMajor = 0;
  Word FProductMinor = 0;
  Word FProductRelease = 0;
  std::vector<Byte> FVersionInfo;
};

// The resource of the system's own module, read on first use; ENoVersionResource when it has
// none (the next call tries again).
TVersionRes &GetVersionRes();

// Unit shutdown: frees the process-wide resource object.
void FinalizeVersRes();

} // namespace krx
