#include "Engine/KRX.ProjectStorage.h"

namespace krx {

namespace {

// Constant-initialised; set only by a host that keeps settings with its projects.
std::unique_ptr<TProjectStorageClass> GStorageClass;

} // namespace

bool TProjectStorage::ReadBool(const String &, const String &, bool aDefault) { return aDefault; }
String TProjectStorage::ReadString(const String &, const String &, const String &aDefault) {
  return aDefault;
}
void TProjectStorage::WriteBool(const String &, const String &, bool) {}
void TProjectStorage::WriteString(const String &, const String &, const String &) {}

bool TProjectStorage::AutoSortUsesClause() {
  return ReadBool(u"UsesClauseFormatter", u"AutoFormat", false);
}
void TProjectStorage::SetAutoSortUsesClause(bool value) {
  WriteBool(u"UsesClauseFormatter", u"AutoFormat", value);
}
String TProjectStorage::ConditionalDefines() { return ReadString(u"Parser", u"Defines", {}); }
void TProjectStorage::SetConditionalDefines(const String &value) {
  WriteString(u"Parser", u"Defines", value);
}
String TProjectStorage::ConditionalExpressions() {
  return ReadString(u"Parser", u"IfExpressions", {});
}
void TProjectStorage::SetConditionalExpressions(const String &value) {
  WriteString(u"Parser", u"IfExpressions", value);
}
String TProjectStorage::ReadUsesClauseGroupNames(const String &aDefault) {
  return ReadString(u"UsesClauseFormatter", u"GroupNames", aDefault);
}
void TProjectStorage::WriteUsesClauseGroupNames(const String &value) {
  WriteString(u"UsesClauseFormatter", u"GroupNames", value);
}

void RegisterProjectStorageClass(TProjectStorageClass storageClass) {
  GStorageClass =
      storageClass ? std::make_unique<TProjectStorageClass>(std::move(storageClass)) : nullptr;
}

std::unique_ptr<TProjectStorage> CreateProjectStorage() {
  if (GStorageClass && *GStorageClass)
    return (*GStorageClass)();
  return std::make_unique<TProjectStorage>();
}

} // namespace krx
