#include "Platform/Registry/Registry.h"

#include "Platform/Registry/RegistryHive.h"
#include "Platform/Rtl/Encoding.h"

#include <optional>

namespace krx {

using reghive::TKey;
using reghive::TValue;

namespace {

bool KnownRoot(HKEY rootKey) { return !reghive::HiveName(rootKey).empty(); }

[[noreturn]] void RaiseSetFailed(StringView name) {
  throw ERegistryException(Format(u"Failed to set data for '%s'", {name}));
}

} // namespace

TRegistry::TRegistry() = default;

TRegistry::TRegistry(DWORD access) : FAccess(access) {}

void TRegistry::SetRootKey(HKEY rootKey) {
  CloseKey();
  FRootKey = rootKey;
}

bool TRegistry::Resolve(StringView key, bool &relative, std::vector<String> &path) const {
  relative = key.empty() || key[0] != u'\\';
  StringView s = relative ? key : key.substr(1);
  if (relative && FKeyOpen)
    path = FKeyPath;
  else
    path.clear();
  if (s.empty())
    return true;
  std::size_t start = 0;
  for (;;) {
    std::size_t slash = s.find(u'\\', start);
    StringView name = s.substr(start, slash == StringView::npos ? StringView::npos : slash - start);
    // A single trailing backslash is tolerated; empty names elsewhere are not.
    if (name.empty() && slash == StringView::npos && start > 0)
      return true;
    if (!reghive::ValidKeyName(name) || path.size() >= reghive::kMaxKeyDepth)
      return false;
    path.emplace_back(name);
    if (slash == StringView::npos)
      return true;
    start = slash + 1;
  }
}

bool TRegistry::OpenWithAccess(StringView key, bool canCreate, DWORD access) {
  if (!KnownRoot(FRootKey))
    return false;
  bool relative = true;
  std::vector<String> path;
  if (!Resolve(key, relative, path))
    return false;
  const StringView s = relative ? key : key.substr(1);
  if (!reghive::LoadHive(FRootKey)->Find(path)) {
    if (!canCreate || s.empty())
      return false;
    // Creating below an open key needs the right to create sub-keys there.
    if (relative && FKeyOpen && !(FKeyAccess & KEY_CREATE_SUB_KEY))
      return false;
    reghive::ChangeHive(FRootKey, [&](TKey &root) {
      bool created = false;
      root.Force(path, created);
      return created;
    });
  }
  FCurrentPath = (FKeyOpen && relative) ? FCurrentPath + u"\\" + String(s) : String(s);
  FKeyPath = std::move(path);
  FKeyOpen = true;
  FKeyAccess = access;
  return true;
}

bool TRegistry::OpenKey(StringView key, bool canCreate) {
  return OpenWithAccess(key, canCreate, FAccess);
}

bool TRegistry::OpenKeyReadOnly(StringView key) {
  if (!OpenWithAccess(key, false, KEY_READ))
    return false;
  FAccess = KEY_READ;
  return true;
}

void TRegistry::CloseKey() {
  FKeyOpen = false;
  FKeyAccess = 0;
  FKeyPath.clear();
  FCurrentPath.clear();
}

bool TRegistry::CreateKey(StringView key) {
  bool relative = true;
  std::vector<String> path;
  if (!KnownRoot(FRootKey) || !Resolve(key, relative, path) ||
      (relative && FKeyOpen && !(FKeyAccess & KEY_CREATE_SUB_KEY)))
    throw ERegistryException(Format(u"Failed to create key %s", {key}));
  reghive::ChangeHive(FRootKey, [&](TKey &root) {
    bool created = false;
    root.Force(path, created);
    return created;
  });
  return true;
}

bool TRegistry::DeleteKey(StringView key) {
  bool relative = true;
  std::vector<String> path;
  if (!KnownRoot(FRootKey) || !Resolve(key, relative, path))
    return false;
  // The key itself must be named: an empty name deletes nothing (not the open key, not
  // the hive).
  if ((relative ? key : key.substr(1)).empty() || path.empty())
    return false;
  bool deleted = false;
  reghive::ChangeHive(FRootKey, [&](TKey &root) {
    const String name = path.back();
    path.pop_back();
    TKey *parent = root.Find(path);
    deleted = parent && parent->RemoveSubKey(name);
    return deleted;
  });
  return deleted;
}

bool TRegistry::KeyExists(StringView key) {
  bool relative = true;
  std::vector<String> path;
  if (!KnownRoot(FRootKey) || !Resolve(key, relative, path))
    return false;
  return reghive::LoadHive(FRootKey)->Find(path) != nullptr;
}

bool TRegistry::ValueExists(StringView name) {
  if (!FKeyOpen || !(FKeyAccess & KEY_QUERY_VALUE) || !KnownRoot(FRootKey))
    return false;
  auto root = reghive::LoadHive(FRootKey);
  TKey *key = root->Find(FKeyPath);
  return key && key->FindValue(name);
}

bool TRegistry::DeleteValue(StringView name) {
  if (!FKeyOpen || !(FKeyAccess & KEY_SET_VALUE) || !KnownRoot(FRootKey))
    return false;
  bool deleted = false;
  reghive::ChangeHive(FRootKey, [&](TKey &root) {
    TKey *key = root.Find(FKeyPath);
    deleted = key && key->RemoveValue(name);
    return deleted;
  });
  return deleted;
}

void TRegistry::GetKeyNames(std::vector<String> &names) {
  names.clear();
  if (!FKeyOpen || !(FKeyAccess & KEY_ENUMERATE_SUB_KEYS) || !KnownRoot(FRootKey))
    return;
  auto root = reghive::LoadHive(FRootKey);
  if (TKey *key = root->Find(FKeyPath))
    for (const auto &[upper, sub] : key->SubKeys)
      names.push_back(sub->Name);
}

void TRegistry::GetValueNames(std::vector<String> &names) {
  names.clear();
  if (!FKeyOpen || !(FKeyAccess & KEY_QUERY_VALUE) || !KnownRoot(FRootKey))
    return;
  auto root = reghive::LoadHive(FRootKey);
  if (TKey *key = root->Find(FKeyPath))
    for (const TValue &v : key->Values())
      names.push_back(v.Name);
}

namespace {

// The value of the open key, or nothing when there is no key, no right to read or no value.
std::optional<TValue> ReadValue(HKEY rootKey, bool keyOpen, DWORD access,
                                const std::vector<String> &path, StringView name) {
  if (!keyOpen || !(access & KEY_QUERY_VALUE) || !KnownRoot(rootKey))
    return std::nullopt;
  auto root = reghive::LoadHive(rootKey);
  TKey *key = root->Find(path);
  if (!key)
    return std::nullopt;
  TValue *v = key->FindValue(name);
  if (!v)
    return std::nullopt;
  return std::move(*v);
}

} // namespace

TRegDataType TRegistry::GetDataType(StringView name) {
  const std::optional<TValue> v = ReadValue(FRootKey, FKeyOpen, FKeyAccess, FKeyPath, name);
  switch (v ? v->Type : REG_NONE) {
  case REG_SZ:
    return rdString;
  case REG_EXPAND_SZ:
    return rdExpandString;
  case REG_DWORD:
    return rdInteger;
  case REG_BINARY:
    return rdBinary;
  default:
    return rdUnknown;
  }
}

String TRegistry::ReadString(StringView name) {
  std::optional<TValue> v = ReadValue(FRootKey, FKeyOpen, FKeyAccess, FKeyPath, name);
  if (!v)
    return {};
  if (v->Type == REG_SZ)
    return v->Text;
  if (v->Type == REG_EXPAND_SZ) {
    String text = DecodeUtf16LE(v->Raw);
    if (auto nul = text.find(u'\0'); nul != String::npos)
      text.resize(nul);
    return text;
  }
  // As the class library does, a value without data reads as an empty string.
  if (v->Type != REG_DWORD && v->Raw.empty())
    return {};
  throw ERegistryException(Format(u"Invalid data type for '%s'", {name}));
}

Integer TRegistry::ReadInteger(StringView name) {
  std::optional<TValue> v = ReadValue(FRootKey, FKeyOpen, FKeyAccess, FKeyPath, name);
  if (!v)
    throw ERegistryException(Format(u"Failed to get data for '%s'", {name}));
  if (v->Type != REG_DWORD)
    throw ERegistryException(Format(u"Invalid data type for '%s'", {name}));
  return static_cast<Integer>(v->Number);
}

bool TRegistry::ReadBool(StringView name) { return ReadInteger(name) != 0; }

void TRegistry::CheckOpenForWrite(StringView name) const {
  if (!FKeyOpen || !(FKeyAccess & KEY_SET_VALUE) || !KnownRoot(FRootKey) ||
      !reghive::ValidValueName(name))
    RaiseSetFailed(name);
}

namespace {

void PutValue(HKEY rootKey, const std::vector<String> &path, TValue value) {
  reghive::ChangeHive(rootKey, [&](TKey &root) {
    TKey *key = root.Find(path);
    if (!key) // deleted since it was opened
      RaiseSetFailed(value.Name);
    if (TValue *old = key->FindValue(value.Name)) {
      if (old->SameData(value))
        return false;
      value.Name = old->Name;
      *old = value;
    } else {
      key->AddValue(value);
    }
    return true;
  });
}

} // namespace

void TRegistry::WriteString(StringView name, StringView value) {
  CheckOpenForWrite(name);
  TValue v;
  v.Name = String(name);
  v.Type = REG_SZ;
  v.Text = String(value);
  PutValue(FRootKey, FKeyPath, std::move(v));
}

void TRegistry::WriteInteger(StringView name, Integer value) {
  CheckOpenForWrite(name);
  TValue v;
  v.Name = String(name);
  v.Type = REG_DWORD;
  v.Number = static_cast<DWORD>(value);
  PutValue(FRootKey, FKeyPath, std::move(v));
}

void TRegistry::WriteBool(StringView name, bool value) { WriteInteger(name, value ? 1 : 0); }

} // namespace krx
