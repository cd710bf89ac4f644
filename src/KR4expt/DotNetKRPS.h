// The commands the IDE sends to Kestrune (ids 1025 to 1035).
#pragma once

#include "KR4expt/DotNetPS.h"

namespace krx {

// Command ids, the IDE to Kestrune.
enum : Integer {
  idAddFile = 1025,
  idConvertFile = 1026,
  idJumpToModel = 1027,
  idRefreshFile = 1028,
  idAddFiles = 1029,
  idFileChanged = 1030,
  idOpenModel = 1031,
  idVisualizeModule = 1032,
  idCreateSequenceDiagram = 1033,
  idSynchronizeModel = 1034,
  idInvokeModelSearch = 1035,
};

inline constexpr const Char *KestruneEndpointName = u"_KR_PS_END_POINT";
inline constexpr const Char *NullProxyEndpointName = u".Proxy::Null.";

// A sender to Kestrune. Mode 0 has no target and is never connected; mode 1 reaches
// Kestrune's endpoint. Every command returns the message result, which callers ignore.
class TDotNetKRProxy : public TDotNetProxy {
public:
  explicit TDotNetKRProxy(Byte mode);

  Byte Mode() const { return FMode; }
  // 0 or 1; any other value fails an assertion.
  void SetMode(Byte mode);
  bool Connected() const override;

  Integer AddFile(const String &fileName) const;
  Integer ConvertFile(const String &fileName) const;
  Integer JumpToModel(const String &fileName, Integer position) const;
  Integer RefreshFile(const String &fileName) const;
  Integer AddFiles(const String &batchFileName) const;
  Integer FileChanged(const String &fileName) const;
  Integer OpenModel(const String &fileName, const String &projectFileName) const;
  Integer VisualizeModule(const String &fileName) const;
  Integer CreateSequenceDiagram(const String &stackFileName) const;
  Integer SynchronizeModel() const;
  Integer InvokeModelSearch(const String &searchText) const;

private:
  Byte FMode = 0;
};

} // namespace krx
