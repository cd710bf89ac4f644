#include "KR4expt/CustomIDEPS.h"

namespace krx {

// ---- TCustomIDEProxy ----------------------------------------------------------------------

Integer TCustomIDEProxy::RequestEditorFiles(const String &transferFile) {
  return Call(idRequestEditorFiles, {transferFile});
}

Integer TCustomIDEProxy::RequestProjectFiles(const String &transferFile) {
  return Call(idRequestProjectFiles, {transferFile});
}

Integer TCustomIDEProxy::BuildProjectDefault() { return BuildProject(2); }

Integer TCustomIDEProxy::OpenFile(const String &fileName) { return Call(idOpenFile, {fileName}); }

Integer TCustomIDEProxy::BuildProject(Byte mode) {
  return Call(idBuildProject, {static_cast<int>(mode)});
}

Integer TCustomIDEProxy::ReloadFile(const String &fileName) {
  return Call(idReloadFile, {fileName});
}

Integer TCustomIDEProxy::SendShowHelp(const String &keyword) { return Call(idShowHelp, {keyword}); }

Integer TCustomIDEProxy::GotoLine(const String &fileName, Integer line, Integer column) {
  return Call(idGotoLine, {fileName, line, column});
}

Integer TCustomIDEProxy::JumpToLocation(const String &fileName, const String &kindName,
                                        const String &className, const String &memberName,
                                        const String &paramText) {
  return Call(idJumpToLocation, {fileName, kindName, className, memberName, paramText});
}

Integer TCustomIDEProxy::UpdateProjectFiles(const String &updateFile) {
  return Call(idUpdateProjectFiles, {updateFile});
}

// ---- TCustomIDEStub -----------------------------------------------------------------------

void TCustomIDEStub::Execute(Integer id, const String &args) {
  TDotNetMarshaller &m = Marshaller();
  m.SetArgs(args);
  // An event that is not set makes its call a no-op; arguments are read only for a set one.
  switch (id) {
  case idReloadFile:
    if (OnReloadFile)
      OnReloadFile(m.GetString(0));
    break;
  case idShowHelp:
    if (OnShowHelp)
      OnShowHelp(m.GetString(0));
    break;
  case idJumpToLocation:
    if (OnJumpToLocation) {
      const String fileName = m.GetString(0), kindName = m.GetString(1), className = m.GetString(2),
                   memberName = m.GetString(3), paramText = m.GetString(4);
      OnJumpToLocation(fileName, kindName, className, memberName, paramText);
    }
    break;
  case idOpenFile:
    if (OnOpenFile)
      OnOpenFile(m.GetString(0));
    break;
  case idRequestProjectFiles:
    if (OnProjectFilesRequest)
      OnProjectFilesRequest(m.GetString(0));
    break;
  case idBuildProject:
    if (OnBuildProject)
      OnBuildProject(m.GetInteger(0));
    break;
  case idGotoLine:
    if (OnGotoLine) {
      const String fileName = m.GetString(0);
      const Integer line = m.GetInteger(1);
      const Integer column = m.GetInteger(2);
      OnGotoLine(fileName, line, column);
    }
    break;
  case idRequestEditorFiles:
    if (OnEditorFilesRequest)
      OnEditorFilesRequest(m.GetString(0));
    break;
  case idUpdateProjectFiles:
    if (OnUpdateProjectFiles)
      OnUpdateProjectFiles(m.GetString(0));
    break;
  default:
    break;
  }
}

} // namespace krx
