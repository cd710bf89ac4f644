#include "World/VersRes.h"

#include "Platform/Version/Version.h"
#include "Platform/Win/Kernel.h"

#include <memory>

namespace krx {

namespace {

// Created on first use, freed by the unit's shutdown (constant-initialised: no static
// constructor).
std::unique_ptr<TVersionRes> gVersionRes;

// A file time (100 ns units since 1601-01-01) as a date-time.
TDateTime FileTimeToDateTime(UInt64 fileTime) {
  constexpr double kTicksPerDay = 864000000000.0;
  constexpr double kDaysFrom1601To1899 = 109205.0;
  return static_cast<double>(fileTime) / kTicksPerDay - kDaysFrom1601To1899;
}

} // namespace

TVersionRes::TVersionRes(const String &fileName) { SetFileName(fileName); }

void TVersionRes::SetFileName(const String &fileName) {
  FFileName = fileName;
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(fileName.c_str(), &handle);
  if (size == 0)
    throw ENoVersionResource(u"No version info available");
  FVersionInfo.assign(size, 0);
  if (!GetFileVersionInfoW(fileName.c_str(), handle, size, FVersionInfo.data())) {
    FVersionInfo.clear();
    return;
  }

  void *p = nullptr;
  UINT len = 0;
  if (VerQueryValueW(FVersionInfo.data(), u"\\", &p, &len) && len >= sizeof(VS_FIXEDFILEINFO)) {
    const auto &fixed = *static_cast<const VS_FIXEDFILEINFO *>(p);
    FMajor = static_cast<Word>(fixed.dwFileVersionMS >> 16);
    FMinor = static_cast<Word>(fixed.dwFileVersionMS & 0xFFFF);
    FRelease = static_cast<Word>(fixed.dwFileVersionLS >> 16);
    FBuild = static_cast<Word>(fixed.dwFileVersionLS & 0xFFFF);
    FProductMajor = static_cast<Word>(fixed.dwProductVersionMS >> 16);
    FProductMinor = static_cast<Word>(fixed.dwProductVersionMS & 0xFFFF);
    FProductRelease = static_cast<Word>(fixed.dwProductVersionLS >> 16);
    FProductBuild = static_cast<Word>(fixed.dwProductVersionLS & 0xFFFF);
    FFileOS = fixed.dwFileOS;
    FFileType = fixed.dwFileType;
    FFileSubtype = fixed.dwFileSubtype;
    FFileFlags = fixed.dwFileFlags & fixed.dwFileFlagsMask;
    FFileDate =
        FileTimeToDateTime(static_cast<UInt64>(fixed.dwFileDateMS) << 32 | fixed.dwFileDateLS);
  }
  if (VerQueryValueW(FVersionInfo.data(), u"\\VarFileInfo\\Translation", &p, &len) && len >= 4) {
    const auto *w = static_cast<const Word *>(p);
    FLanguage = w[0];
    FCodePage = w[1];
  }
}

String TVersionRes::GetStringValue(const String &name) const {
  if (FVersionInfo.empty())
    return {};
  const String path =
      Format(u"\\StringFileInfo\\%s%s\\%s", {IntToHex(FLanguage, 4), IntToHex(FCodePage, 4), name});
  void *p = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(FVersionInfo.data(), path.c_str(), &p, &len) || len == 0 || !p)
    return {};
  String value(static_cast<const Char *>(p), len);
  const auto end = value.find(Char(0));
  if (end != String::npos)
    value.resize(end);
  return value;
}

String TVersionRes::VersionText() const {
  return Format(u"Version %d.%d.%d build %d", {FMajor, FMinor, FRelease, FBuild});
}

TVersionRes &GetVersionRes() {
  if (!gVersionRes) {
    Char buffer[260] = {};
    const DWORD n = GetModuleFileNameW(HInstance(), buffer, 260);
    auto res = std::make_unique<TVersionRes>(String(buffer, n < 260 ? n : 259));
    gVersionRes = std::move(res);
  }
  return *gVersionRes;
}

void FinalizeVersRes() { gVersionRes.reset(); }

} // namespace krx
