#include "KR4expt/DotNetKRPS.h"

namespace krx {

TDotNetKRProxy::TDotNetKRProxy(Byte mode) { SetMode(mode); }

void TDotNetKRProxy::SetMode(Byte mode) {
  KR_ASSERT(mode <= 1);
  FMode = mode;
  SetRemoteName(mode == 0 ? NullProxyEndpointName : KestruneEndpointName);
}

bool TDotNetKRProxy::Connected() const { return FMode != 0 && TDotNetProxy::Connected(); }

Integer TDotNetKRProxy::AddFile(const String &fileName) const {
  return Call(idAddFile, {fileName});
}

Integer TDotNetKRProxy::ConvertFile(const String &fileName) const {
  return Call(idConvertFile, {fileName});
}

Integer TDotNetKRProxy::JumpToModel(const String &fileName, Integer position) const {
  return Call(idJumpToModel, {fileName, position});
}

Integer TDotNetKRProxy::RefreshFile(const String &fileName) const {
  return Call(idRefreshFile, {fileName});
}

Integer TDotNetKRProxy::AddFiles(const String &batchFileName) const {
  return Call(idAddFiles, {batchFileName});
}

Integer TDotNetKRProxy::FileChanged(const String &fileName) const {
  return Call(idFileChanged, {fileName});
}

Integer TDotNetKRProxy::OpenModel(const String &fileName, const String &projectFileName) const {
  return Call(idOpenModel, {fileName, projectFileName});
}

Integer TDotNetKRProxy::VisualizeModule(const String &fileName) const {
  return Call(idVisualizeModule, {fileName});
}

Integer TDotNetKRProxy::CreateSequenceDiagram(const String &stackFileName) const {
  return Call(idCreateSequenceDiagram, {stackFileName});
}

Integer TDotNetKRProxy::SynchronizeModel() const { return Call(idSynchronizeModel, {}); }

Integer TDotNetKRProxy::InvokeModelSearch(const String &searchText) const {
  return Call(idInvokeModelSearch, {searchText});
}

} // namespace krx
