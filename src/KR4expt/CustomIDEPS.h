// The requests Kestrune sends to the IDE (ids 1026 to 1034): the sender that formats them
// and the receiver that decodes a call and hands it to one of nine events.
#pragma once

#include "KR4expt/DotNetPS.h"

#include <array>
#include <functional>

namespace krx {

// Request ids, Kestrune to the IDE.
enum : Integer {
  idReloadFile = 1026,
  idShowHelp = 1027,
  idJumpToLocation = 1028,
  idOpenFile = 1029,
  idRequestProjectFiles = 1030,
  idBuildProject = 1031,
  idGotoLine = 1032,
  idRequestEditorFiles = 1033,
  idUpdateProjectFiles = 1034,
};

// A request's arguments on the wire: its sender's name, then how many texts and, after them,
// how many numbers it takes (with the numbers' names), and the name of its first text when
// that is a file name.
struct TRequestShape {
  Integer Id;
  const Char *Name;
  Integer Strings;
  Integer Integers;
  std::array<const Char *, 2> IntegerNames;
  const Char *FileArgument;
};
inline constexpr std::array<TRequestShape, 9> RequestShapes = {{
    {idReloadFile, u"ReloadFile", 1, 0, {}, u"FileName"},
    {idShowHelp, u"ShowHelp", 1, 0, {}, nullptr},
    {idJumpToLocation, u"JumpToLocation", 5, 0, {}, u"FileName"},
    {idOpenFile, u"OpenFile", 1, 0, {}, u"FileName"},
    {idRequestProjectFiles, u"RequestProjectFiles", 1, 0, {}, u"TransferFile"},
    {idBuildProject, u"BuildProject", 0, 1, {u"Mode"}, nullptr},
    {idGotoLine, u"GotoLine", 1, 2, {u"Line", u"Column"}, u"FileName"},
    {idRequestEditorFiles, u"RequestEditorFiles", 1, 0, {}, u"TransferFile"},
    {idUpdateProjectFiles, u"UpdateProjectFiles", 1, 0, {}, u"UpdateFile"},
}};
// The shape of a request id; null for an id outside the set.
const TRequestShape *FindRequestShape(Integer id);

// The sender of the request set. Descendants name the IDE they reach (RemoteName) and
// fill DisplayName and ShowHelp. Every request returns the message result (1 when the IDE
// took the call, 0 when the send failed or timed out).
class TCustomIDEProxy : public TDotNetProxy {
public:
  virtual Integer RequestEditorFiles(const String &transferFile);
  virtual Integer RequestProjectFiles(const String &transferFile);
  virtual String DisplayName() const = 0;
  virtual void ShowHelp(const String &keyword) = 0;

  Integer BuildProjectDefault();
  bool IsNullProxy() const { return false; }
  Integer OpenFile(const String &fileName);
  // Mode 0 to 3, sent as an integer.
  Integer BuildProject(Byte mode);
  Integer ReloadFile(const String &fileName);
  Integer SendShowHelp(const String &keyword);
  Integer GotoLine(const String &fileName, Integer line, Integer column);
  Integer JumpToLocation(const String &fileName, const String &kindName, const String &className,
                         const String &memberName, const String &paramText);
  Integer UpdateProjectFiles(const String &updateFile);
};

using TBuildProjectEvent = std::function<void(Integer mode)>;
using TFileEvent = std::function<void(const String &fileName)>;
using TGotoLineEvent = std::function<void(const String &fileName, Integer line, Integer column)>;
using TJumpToLocationEvent =
    std::function<void(const String &fileName, const String &kindName, const String &className,
                       const String &memberName, const String &paramText)>;

// The receiver of the request set: each call runs the event of its id, if set. An unknown
// id does nothing. A call with fewer arguments than its shape (EKRXException) or a number
// that is not one (EConvertError) is refused with a message naming the request and what was
// wrong; the stub window hands it to the application's handler and the call is dropped.
// Extra arguments are ignored. The navigation requests (1028, 1029, 1032) supersede each
// other: only where the last of a burst puts the IDE matters to the user, and each may cost
// a parse of a large unit.
class TCustomIDEStub : public TDotNetStub {
public:
  TBuildProjectEvent OnBuildProject;
  TFileEvent OnEditorFilesRequest;
  TFileEvent OnProjectFilesRequest;
  TFileEvent OnOpenFile;
  TFileEvent OnReloadFile;
  TFileEvent OnShowHelp;
  TGotoLineEvent OnGotoLine;
  TJumpToLocationEvent OnJumpToLocation;
  TFileEvent OnUpdateProjectFiles;

protected:
  TCustomIDEStub() = default;
  void Execute(Integer id, const String &args) override;
  bool Supersedes(Integer id) const override;

  friend class TDotNetStub;
};

} // namespace krx
