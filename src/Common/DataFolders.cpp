#include "Common/DataFolders.h"

#include "Common/KREngineDefs.h"
#include "Common/KRX.Exceptions.h"
#include "Platform/Registry/Registry.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/ScopeExit.h"
#include "Platform/Rtl/SysUtils.h"
#include "Platform/Shell/Dialogs.h"
#include "Platform/Shell/ShellApi.h"
#include "Platform/Win/Kernel.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace krx {

namespace {

constexpr const Char *SCannotCreateAppDataDir = u"Unable to create App Data Directory:\r\n%s";
constexpr const Char *SCannotCreateLocalAppDataDir =
    u"Unable to create Local App Data Directory:\r\n%s";

// Every data-folder path looked up once in this process. Paths compare exactly: folders
// of this platform's file systems differ by case.
std::unique_ptr<std::vector<String>> GCreatedFolders;

// A base that the shell did not give would put the folders at the root of the file system.
const String &KnownBase(const String &base, const Char *folderName) {
  if (base.empty())
    throw EKRXException(Format(u"The %s folder is not known (the shell gave no path for it); "
                               u"no data folder is made below the root",
                               {folderName}));
  return base;
}

String DataFolderPath(const String &base, const String &product, Integer version) {
  const String path = Format(u"%s%s%s%s%s%s%d.%d", {base, PathDelim, MakerFolderName(version),
                                                    PathDelim, product, PathDelim, version, 0});
  return AddTrailingBackslash(path);
}

// Lists the path before the attempt, so a folder that cannot be created is tried and
// reported once per process.
String ForceFolder(const String &path, const Char *errorFormat) {
  KR_ASSERT(GCreatedFolders != nullptr);
  auto &list = *GCreatedFolders;
  if (std::find(list.begin(), list.end(), path) != list.end())
    return path;
  list.push_back(path);
  if (!IsDirectory(path)) {
    try {
      ForceDirectories(path);
    } catch (const Exception &) {
      // Reported below: the folder still is no directory.
    }
    if (!IsDirectory(path))
      MessageBoxW(nullptr, Format(errorFormat, {path}).c_str(), nullptr, MB_ICONERROR);
  }
  return path;
}

} // namespace

Integer GetSpecialFolder(Integer csidl, String &path) {
  SetLastError(0);
  // Into a string, not a MAX_PATH buffer: a folder deeper than the original platform's path
  // limit would otherwise come back empty.
  return SHGetFolderPathW(0, csidl, 0, SHGFP_TYPE_CURRENT, path);
}

String AppDataPath() {
  String path;
  GetSpecialFolder(CSIDL_APPDATA, path);
  return path;
}

String LocalAppDataPath() {
  String path;
  GetSpecialFolder(CSIDL_LOCAL_APPDATA, path);
  return path;
}

String ProgramFilesPath() {
  String path;
  GetSpecialFolder(CSIDL_PROGRAM_FILES, path);
  return path;
}

String AddTrailingBackslash(const String &path) {
  if (path.empty() || path.back() == PathDelim)
    return path;
  return path + PathDelim;
}

bool FileExistsQuiet(const String &fileName) {
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  SetErrorMode(oldMode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  TScopeExit restore{[oldMode] { SetErrorMode(oldMode); }};
  return FileExists(fileName);
}

bool IsDirectory(const String &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

String MakerFolderName(Integer version) {
  return version < NewMakerNamesVersion ? u"KestruneTools" : u"Drummel Software";
}

String ProductFolderName(Integer version) {
  return version < NewMakerNamesVersion ? u"Trail Scope" : u"KRX Trail Scope";
}

String ForceAppDataFolder(const String &product, Integer version) {
  return ForceFolder(
      DataFolderPath(KnownBase(AppDataPath(), u"application data"), product, version),
      SCannotCreateAppDataDir);
}

String ForceLocalAppDataFolder(const String &product, Integer version) {
  return ForceFolder(
      DataFolderPath(KnownBase(LocalAppDataPath(), u"local application data"), product, version),
                     SCannotCreateLocalAppDataDir);
}

String LocalAppDataFolder(Integer version) { return ForceLocalAppDataFolder(u"Kestrune", version); }

String TrailScopeAppDataFolder(Integer version) {
  return ForceAppDataFolder(ProductFolderName(version), version);
}

String ReadSharedRootDir(HKEY root, Integer version) {
  try {
    TRegistry reg(KEY_READ);
    reg.SetRootKey(root);
    if (reg.OpenKeyReadOnly(SharedRegistryKey(version)) && reg.ValueExists(u"RootDir"))
      return reg.ReadString(u"RootDir");
  } catch (const ERegistryException &) {
  }
  return String();
}

String SharedDataFolder(Integer version) {
  if (version >= SharedUnderExpertKeyVersion)
    return TrailScopeAppDataFolder(SharedUnderExpertKeyVersion);
  String result = Trim(ReadSharedRootDir(HKEY_CURRENT_USER, version));
  // Shared data is never placed below Program Files.
  const String programFiles = ProgramFilesPath();
  if (programFiles.empty() || AnsiSameText(Copy(result, 1, Length(programFiles)), programFiles))
    result.clear();
  if (result.empty()) {
    const String base = KnownBase(AppDataPath(), u"application data");
    if (version < NewMakerNamesVersion)
      result = Format(u"%s%s%s%sShared", {base, PathDelim, u"KestruneTools", PathDelim});
    else
      result = Format(u"%s%s%s%s%s",
                      {base, PathDelim, u"Drummel Software", PathDelim, u"KRX Trail Scope"});
  }
  return AddTrailingBackslash(result);
}

void DataFoldersInitialization() { GCreatedFolders = std::make_unique<std::vector<String>>(); }

void DataFoldersFinalization() { GCreatedFolders.reset(); }

} // namespace krx
