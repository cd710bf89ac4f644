// The registry: keys and typed values below two hives, HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, with the class library's TRegistry on top.
//
// Each hive is one file in the .reg text format ("Windows Registry Editor Version 5.00"),
// UTF-8, in the folder named by KRX_REGISTRY_DIR, else $XDG_CONFIG_HOME/krx/registry, else
// $HOME/.config/krx/registry. Every change is one transaction: under an exclusive lock on
// the hive's lock file the hive is read again, changed and written to a temporary file
// that then replaces the hive, so a process that dies mid-write leaves the old file whole
// and two processes writing keep each other's changes. Reads take the file as it stands.
// A damaged hive file raises ERegistryException naming the file and line and is never
// written over.
//
// Key paths keep their backslashes; names of keys and values compare without regard to
// case and keep the case they were created with.
#pragma once

#include "Platform/Rtl/SysUtils.h"
#include "Platform/Win/Kernel.h"

#include <filesystem>
#include <vector>

namespace krx {

using HKEY = THandle;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

// Access rights of an opened key.
inline constexpr DWORD KEY_QUERY_VALUE = 0x0001;
inline constexpr DWORD KEY_SET_VALUE = 0x0002;
inline constexpr DWORD KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr DWORD KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr DWORD KEY_NOTIFY = 0x0010;
inline constexpr DWORD KEY_READ = 0x20019;
inline constexpr DWORD KEY_WRITE = 0x20006;
inline constexpr DWORD KEY_ALL_ACCESS = 0xF003F;

// Value types kept in a hive file. Types other than strings and double words are kept as
// raw bytes ("hex(N):" in the file) so that nothing read is lost when the hive is written.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

KRX_DECLARE_EXCEPTION(ERegistryException, Exception);

// The kinds of value data the class library tells apart; rdUnknown for any other type.
enum TRegDataType : std::uint8_t { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

// The file that holds a hive (HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE) under the current
// environment; raises ERegistryException for another root key.
std::filesystem::path RegistryHiveFile(HKEY rootKey);

class TRegistry {
public:
  // RootKey HKEY_CURRENT_USER, Access KEY_ALL_ACCESS, no key open.
  TRegistry();
  explicit TRegistry(DWORD access);
  ~TRegistry() = default;
  TRegistry(const TRegistry &) = delete;
  TRegistry &operator=(const TRegistry &) = delete;

  HKEY RootKey() const { return FRootKey; }
  // Closes the current key. Roots other than the two hives open nothing.
  void SetRootKey(HKEY rootKey);
  // The access keys are opened with by OpenKey; OpenKeyReadOnly sets it to KEY_READ.
  DWORD Access() const { return FAccess; }
  void SetAccess(DWORD access) { FAccess = access; }
  // The path of the current key as the caller built it: "" when none is open, the key as
  // given for an absolute open (without its leading backslash), the current path, a
  // backslash and the key for a relative open.
  const String &CurrentPath() const { return FCurrentPath; }
  bool HasCurrentKey() const { return FKeyOpen; }

  // `key` is absolute when it begins with a backslash, else relative to the current key
  // (to the root when none is open). True when the key was opened (and created, with
  // canCreate); it becomes the current key.
  bool OpenKey(StringView key, bool canCreate);
  bool OpenKeyReadOnly(StringView key);
  void CloseKey();
  // Creates the key and its missing parents without opening it; raises
  // ERegistryException "Failed to create key %s" when it cannot.
  bool CreateKey(StringView key);
  // Deletes the key with everything below it; False when it does not exist.
  bool DeleteKey(StringView key);
  bool KeyExists(StringView key);

  // Values of the current key; the default value is named "".
  bool ValueExists(StringView name);
  bool DeleteValue(StringView name);
  // Sub-key names in the registry's order (by name without regard to case).
  void GetKeyNames(std::vector<String> &names);
  // Value names in the order the values were created.
  void GetValueNames(std::vector<String> &names);
  // The same into a string list (anything with Clear and Add).
  template <class TStringsLike> void GetKeyNames(TStringsLike &strings) {
    std::vector<String> names;
    GetKeyNames(names);
    FillStrings(strings, names);
  }
  template <class TStringsLike> void GetValueNames(TStringsLike &strings) {
    std::vector<String> names;
    GetValueNames(names);
    FillStrings(strings, names);
  }

  // The kind of a value's data; rdUnknown also when there is no such value.
  TRegDataType GetDataType(StringView name);
  // A missing value reads ""; a value that is no string raises ERegistryException.
  String ReadString(StringView name);
  void WriteString(StringView name, StringView value);
  // REG_DWORD values; a missing value or another type raises ERegistryException.
  Integer ReadInteger(StringView name);
  void WriteInteger(StringView name, Integer value);
  // A REG_DWORD that is not 0 reads True; True is written as 1.
  bool ReadBool(StringView name);
  void WriteBool(StringView name, bool value);

private:
  template <class TStringsLike>
  static void FillStrings(TStringsLike &strings, const std::vector<String> &names) {
    strings.Clear();
    for (const String &n : names)
      strings.Add(n);
  }
  bool Resolve(StringView key, bool &relative, std::vector<String> &path) const;
  bool OpenWithAccess(StringView key, bool canCreate, DWORD access);
  void CheckOpenForWrite(StringView name) const;

  HKEY FRootKey = HKEY_CURRENT_USER;
  DWORD FAccess = KEY_ALL_ACCESS;
  bool FKeyOpen = false;
  DWORD FKeyAccess = 0;
  std::vector<String> FKeyPath; // components of the current key below the root
  String FCurrentPath;
};

} // namespace krx
