#include "KR4expt/CustomIDEPS.h"

#include "Common/KRX.Exceptions.h"
#include "Platform/Rtl/Files.h"

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

const TRequestShape *FindRequestShape(Integer id) {
  for (const TRequestShape &shape : RequestShapes)
    if (shape.Id == id)
      return &shape;
  return nullptr;
}

namespace {

// Kestrune's calls come from another process: what they lack is told the user in words, never
// as an internal check.
void CheckArguments(Integer id, const TDotNetMarshaller &m) {
  const TRequestShape *shape = FindRequestShape(id);
  if (!shape)
    return;
  const String request = Format(u"Kestrune's request %d (%s) is refused: ", {id, shape->Name});
  const Integer needed = shape->Strings + shape->Integers;
  if (m.Count() < needed)
    throw EKRXException(request +
                        Format(u"it takes %d argument(s), and %d came", {needed, m.Count()}));
  for (Integer i = 0; i < shape->Integers; ++i) {
    const String text = m.GetString(shape->Strings + i);
    Integer value = 0;
    if (!TryStrToInt(text, value))
      throw EConvertError(request +
                          Format(u"its %s \"%s\" is not a number", {shape->IntegerNames[i], text}));
  }
  // A name the file system cannot take exactly would reach another file (or, for two such
  // names, one file for both).
  if (shape->FileArgument)
    if (const String name = m.GetString(0), problem = FileNameProblem(name); !problem.empty())
      throw EKRXException(request +
                          Format(u"its %s \"%s\" %s", {shape->FileArgument, name, problem}));
}

} // namespace

bool TCustomIDEStub::Supersedes(Integer id) const {
  return id == idJumpToLocation || id == idOpenFile || id == idGotoLine;
}

void TCustomIDEStub::Execute(Integer id, const String &args) {
  TDotNetMarshaller &m = Marshaller();
  m.SetArgs(args);
  // An event that is not set makes its call a no-op; arguments are read only for a set one.
  const auto checked = [&] {
    CheckArguments(id, m);
    return true;
  };
  switch (id) {
  case idReloadFile:
    if (OnReloadFile && checked())
      OnReloadFile(m.GetString(0));
    break;
  case idShowHelp:
    if (OnShowHelp && checked())
      OnShowHelp(m.GetString(0));
    break;
  case idJumpToLocation:
    if (OnJumpToLocation && checked()) {
      const String fileName = m.GetString(0), kindName = m.GetString(1), className = m.GetString(2),
                   memberName = m.GetString(3), paramText = m.GetString(4);
      OnJumpToLocation(fileName, kindName, className, memberName, paramText);
    }
    break;
  case idOpenFile:
    if (OnOpenFile && checked())
      OnOpenFile(m.GetString(0));
    break;
  case idRequestProjectFiles:
    if (OnProjectFilesRequest && checked())
      OnProjectFilesRequest(m.GetString(0));
    break;
  case idBuildProject:
    if (OnBuildProject && checked())
      OnBuildProject(m.GetInteger(0));
    break;
  case idGotoLine:
    if (OnGotoLine && checked()) {
      const String fileName = m.GetString(0);
      const Integer line = m.GetInteger(1);
      const Integer column = m.GetInteger(2);
      OnGotoLine(fileName, line, column);
    }
    break;
  case idRequestEditorFiles:
    if (OnEditorFilesRequest && checked())
      OnEditorFilesRequest(m.GetString(0));
    break;
  case idUpdateProjectFiles:
    if (OnUpdateProjectFiles && checked())
      OnUpdateProjectFiles(m.GetString(0));
    break;
  default:
    break;
  }
}

} // namespace krx
