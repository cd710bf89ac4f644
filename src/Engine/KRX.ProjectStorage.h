// Per-project settings of the code engine: the conditional defines and expressions with
// which the parser evaluates $IFDEF and $IF, and two settings of a uses-clause formatter.
// The base class stores nothing and answers every read with its default; a host may
// register a descendant that keeps the values with the project.
#pragma once

#include "Platform/Rtl/Types.h"

#include <functional>
#include <memory>

namespace krx {

class TProjectStorage {
public:
  virtual ~TProjectStorage() = default;

  bool AutoSortUsesClause();
  void SetAutoSortUsesClause(bool value);
  // ";"-separated lists.
  String ConditionalDefines();
  void SetConditionalDefines(const String &value);
  String ConditionalExpressions();
  void SetConditionalExpressions(const String &value);
  String ReadUsesClauseGroupNames(const String &aDefault);
  void WriteUsesClauseGroupNames(const String &value);

  virtual String CurrentProjectName() { return {}; }
  virtual void MarkModified() {}

protected:
  virtual bool ReadBool(const String &section, const String &ident, bool aDefault);
  virtual String ReadString(const String &section, const String &ident, const String &aDefault);
  virtual void WriteBool(const String &section, const String &ident, bool value);
  virtual void WriteString(const String &section, const String &ident, const String &value);
};

// The class that CreateProjectStorage instantiates: a factory, unset by default.
using TProjectStorageClass = std::function<std::unique_ptr<TProjectStorage>()>;
void RegisterProjectStorageClass(TProjectStorageClass storageClass);

// A new instance of the registered class, or of TProjectStorage when none is registered.
std::unique_ptr<TProjectStorage> CreateProjectStorage();

} // namespace krx
