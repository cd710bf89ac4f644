#include "KR4expt/CustomIDEPS.h"
#include "KR4expt/DelphiIDEPS.h"
#include "KR4expt/DotNetKRPS.h"

#include "LinkTestSupport.h"
#include "support/KrxTest.h"

#include <gmock/gmock.h>

namespace krx {
namespace {

using DelphiIDEEndpoint = test::LinkTest;
using IDERequestSet = test::LinkTest;
using KestruneCommandSet = test::LinkTest;

using test::PumpMessages;
using test::PumpSettled;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// What the IDE's endpoint handed to its events, one line per event.
class TEventLog {
public:
  explicit TEventLog(TCustomIDEStub &stub) {
    stub.OnReloadFile = [this](const String &f) { Add(u"Reload", {f}); };
    stub.OnShowHelp = [this](const String &k) { Add(u"Help", {k}); };
    stub.OnJumpToLocation = [this](const String &f, const String &k, const String &c,
                                   const String &m, const String &p) {
      Add(u"Jump", {f, k, c, m, p});
    };
    stub.OnOpenFile = [this](const String &f) { Add(u"Open", {f}); };
    stub.OnProjectFilesRequest = [this](const String &f) { Add(u"ProjectFiles", {f}); };
    stub.OnBuildProject = [this](Integer mode) { Add(u"Build", {IntToStr(mode)}); };
    stub.OnGotoLine = [this](const String &f, Integer line, Integer column) {
      Add(u"Goto", {f, IntToStr(line), IntToStr(column)});
    };
    stub.OnEditorFilesRequest = [this](const String &f) { Add(u"EditorFiles", {f}); };
    stub.OnUpdateProjectFiles = [this](const String &f) { Add(u"Update", {f}); };
  }

  std::vector<std::vector<String>> Events;

private:
  void Add(const String &name, std::vector<String> args) {
    args.insert(args.begin(), name);
    Events.push_back(std::move(args));
  }
};

class TTestIDEProxy : public TCustomIDEProxy {
public:
  explicit TTestIDEProxy(const String &name) { SetRemoteName(name); }
  String DisplayName() const override { return u"test"; }
  void ShowHelp(const String &keyword) override { SendShowHelp(keyword); }
};

class TNamedProxy : public TDotNetProxy {
public:
  explicit TNamedProxy(String name) { SetRemoteName(std::move(name)); }
};

TEST_F(DelphiIDEEndpoint, NamesFollowTheBDSNumberCappedAt19) {
  EXPECT_EQ(DelphiIDEEndpointName(0), u"_KR_BDS17_ENDPOINT");
  EXPECT_EQ(DelphiIDEEndpointName(1), u"_KR_BDS18_ENDPOINT");
  EXPECT_EQ(DelphiIDEEndpointName(2), u"_KR_BDS19_ENDPOINT");
  EXPECT_EQ(DelphiIDEEndpointName(5), u"_KR_BDS19_ENDPOINT");
}

TEST_F(DelphiIDEEndpoint, Delphi11ListensAsBDS19) {
  auto stub = TDotNetStub::Create<TDelphiIDEStub>(Byte{5});
  EXPECT_EQ(stub->VersionIndex(), 5);
  EXPECT_EQ(FindWindowW(u"TPUtilWindow", u"_KR_BDS19_ENDPOINT"), stub->Handle());
  EXPECT_EQ(GetWindowCaption(stub->Handle()), u"_KR_BDS19_ENDPOINT");
}

TEST_F(IDERequestSet, EveryRequestReachesItsEventInWireOrder) {
  auto stub = TDotNetStub::Create<TDelphiIDEStub>(Byte{1});
  TEventLog log(*stub);
  TTestIDEProxy ide(u"_KR_BDS18_ENDPOINT");
  ASSERT_TRUE(ide.Connected());
  const String file = u"C:\\My Projects\\\u00DCnit, \"one\".pas";
  EXPECT_EQ(ide.ReloadFile(file), 1);
  EXPECT_EQ(ide.SendShowHelp(u"TStringList.Add"), 1);
  EXPECT_EQ(ide.JumpToLocation(file, u"procedure", u"TForm1", u"Button1Click", u"Sender: TObject"),
            1);
  EXPECT_THAT(log.Events, IsEmpty()); // nothing runs before the message loop
  // Each navigation request runs before the next arrives: a newer one would supersede it.
  PumpSettled();
  EXPECT_EQ(ide.OpenFile(file), 1);
  PumpSettled();
  EXPECT_EQ(ide.RequestProjectFiles(u"/tmp/t r.ini"), 1);
  EXPECT_EQ(ide.BuildProject(3), 1);
  EXPECT_EQ(ide.BuildProjectDefault(), 1);
  EXPECT_EQ(ide.GotoLine(file, 12, 5), 1);
  EXPECT_EQ(ide.RequestEditorFiles(u"e.ini"), 1);
  EXPECT_EQ(ide.UpdateProjectFiles(u"u.xml"), 1);
  ide.ShowHelp(u"k");
  PumpSettled();
  using V = std::vector<String>;
  EXPECT_THAT(
      log.Events,
      ElementsAre(V{u"Reload", file}, V{u"Help", u"TStringList.Add"},
                  V{u"Jump", file, u"procedure", u"TForm1", u"Button1Click", u"Sender: TObject"},
                  V{u"Open", file}, V{u"ProjectFiles", u"/tmp/t r.ini"}, V{u"Build", u"3"},
                  V{u"Build", u"2"}, V{u"Goto", file, u"12", u"5"}, V{u"EditorFiles", u"e.ini"},
                  V{u"Update", u"u.xml"}, V{u"Help", u"k"}));
}

// Navigation requests (1028, 1029, 1032) queued together run once, as the last of them, at
// the place of that last one among the others; every other request keeps its order.
TEST_F(IDERequestSet, ANavigationRequestGivesWayToANewerOne) {
  auto stub = TDotNetStub::Create<TDelphiIDEStub>(Byte{5});
  TEventLog log(*stub);
  TNamedProxy raw(u"_KR_BDS19_ENDPOINT");
  raw.Call(1032, {u"a.pas", 3, 1});
  raw.Call(1026, {u"r.pas"});
  raw.Call(1029, {u"b.pas"});
  raw.Call(1027, {u"k"});
  raw.Call(1028, {u"c.pas", u"class", u"TC", u"", u""});
  raw.Call(1030, {u"t.ini"});
  EXPECT_EQ(stub->QueueCount(), 4u);
  using V = std::vector<String>;
  // The newest waits a moment for the rest of a burst; the others run meanwhile.
  PumpMessages();
  EXPECT_THAT(log.Events, ElementsAre(V{u"Reload", u"r.pas"}, V{u"Help", u"k"}));
  PumpSettled();
  EXPECT_THAT(log.Events, ElementsAre(V{u"Reload", u"r.pas"}, V{u"Help", u"k"},
                                      V{u"Jump", u"c.pas", u"class", u"TC", u"", u""},
                                      V{u"ProjectFiles", u"t.ini"}));
}

// A navigation request is taken also when the queue is full, as long as it takes the place of
// one that waits; nothing else is.
TEST_F(IDERequestSet, ANavigationRequestReplacingAnotherFindsRoomInAFullQueue) {
  auto stub = TDotNetStub::Create<TDelphiIDEStub>(Byte{5});
  TNamedProxy raw(u"_KR_BDS19_ENDPOINT");
  ASSERT_EQ(raw.Call(1029, {u"a.pas"}), 1);
  while (stub->QueueCount() < DotNetStubMaxCalls)
    ASSERT_EQ(raw.Call(1027, {u"k"}), 1);
  EXPECT_EQ(raw.Call(1027, {u"k"}), 0);
  EXPECT_EQ(raw.Call(1029, {u"b.pas"}), 1);
  EXPECT_EQ(stub->QueueCount(), DotNetStubMaxCalls);
}

TEST_F(IDERequestSet, UnknownIdsAndUnsetEventsDoNothing) {
  test::TExceptionCapture capture;
  auto stub = TDotNetStub::Create<TDelphiIDEStub>(Byte{5});
  TNamedProxy raw(u"_KR_BDS19_ENDPOINT");
  EXPECT_EQ(raw.Call(1025, {u"x"}), 1);
  EXPECT_EQ(raw.Call(1035, {}), 1);
  // No event is bound: even a call without its arguments is a no-op.
  EXPECT_EQ(raw.Call(1032, {}), 1);
  PumpSettled();
  EXPECT_THAT(capture.Messages, IsEmpty());
  TEventLog log(*stub);
  raw.Call(1025, {u"x"});
  raw.Call(1029, {u"a", u"extra", u"ignored"});
  PumpSettled();
  EXPECT_THAT(log.Events, ElementsAre(std::vector<String>{u"Open", u"a"}));
}

TEST_F(IDERequestSet, MalformedCallsGoToTheHandlerAndTheStubStaysUsable) {
  test::TExceptionCapture capture;
  auto stub = TDotNetStub::Create<TDelphiIDEStub>(Byte{5});
  TEventLog log(*stub);
  TNamedProxy raw(u"_KR_BDS19_ENDPOINT");
  // Pumped after each, so that no navigation request supersedes another.
  for (auto call :
       {std::pair<Integer, std::vector<String>>{1032, {u"file.pas", u"12"}}, // no column
        {1032, {u"file.pas", u"x", u"5"}},                                   // line not a number
        {1031, {u""}},                                                       // mode empty
        {1028, {u"f", u"k", u"c"}},                                          // five needed
        {1032, {u"file.pas", u"12", u"5"}}}) {
    TStringList args;
    for (const String &a : call.second)
      args.Add(a);
    raw.Send(call.first, raw.ArgsToText(args));
    PumpSettled();
  }
  EXPECT_THAT(log.Events, ElementsAre(std::vector<String>{u"Goto", u"file.pas", u"12", u"5"}));
  EXPECT_THAT(capture.ClassNames,
              ElementsAre(u"EKRXException", u"EConvertError", u"EConvertError", u"EKRXException"));
  const String refused = u"Kestrune's request %d (%s) is refused: ";
  EXPECT_THAT(
      capture.Messages,
      ElementsAre(Format(refused, {1032, u"GotoLine"}) + u"it takes 3 argument(s), and 2 came",
                  Format(refused, {1032, u"GotoLine"}) + u"its Line \"x\" is not a number",
                  Format(refused, {1031, u"BuildProject"}) + u"its Mode \"\" is not a number",
                  Format(refused, {1028, u"JumpToLocation"}) +
                      u"it takes 5 argument(s), and 3 came"));
}

// ---- Kestrune command set -----------------------------------------------------------------

TEST_F(KestruneCommandSet, EveryCommandPutsItsIdAndArgumentsOnTheWire) {
  test::TRawEndpoint kestrune(u"_KR_PS_END_POINT");
  const TDotNetKRProxy kr(1);
  ASSERT_TRUE(kr.Connected());
  const String f = u"C:\\a b\\x.pas";
  EXPECT_EQ(kr.AddFile(f), 1);
  kr.ConvertFile(f);
  kr.JumpToModel(f, 42);
  kr.RefreshFile(u"plain.pas");
  kr.AddFiles(u"KRPrjBatch.imp");
  kr.FileChanged(f);
  kr.OpenModel(f, u"p,q.dproj");
  kr.VisualizeModule(f);
  kr.CreateSequenceDiagram(u"Auto-Sequence-Diagram.txt");
  kr.SynchronizeModel();
  kr.InvokeModelSearch(u"");
  const String q = u"\"C:\\a b\\x.pas\"";
  EXPECT_THAT(kestrune.Texts,
              ElementsAre(u"@01025:" + q, u"@01026:" + q, u"@01027:" + q + u",42",
                          u"@01028:plain.pas", u"@01029:KRPrjBatch.imp", u"@01030:" + q,
                          u"@01031:" + q + u",\"p,q.dproj\"", u"@01032:" + q,
                          u"@01033:Auto-Sequence-Diagram.txt", u"@01034:", u"@01035:\"\""));
}

TEST_F(KestruneCommandSet, TheNullProxyIsNeverConnected) {
  test::TRawEndpoint kestrune(u"_KR_PS_END_POINT");
  test::TRawEndpoint nullNamed(u".Proxy::Null.");
  TDotNetKRProxy proxy(0);
  EXPECT_EQ(proxy.RemoteName(), u".Proxy::Null.");
  EXPECT_FALSE(proxy.Connected());
  proxy.SetMode(1);
  EXPECT_EQ(proxy.RemoteName(), u"_KR_PS_END_POINT");
  EXPECT_TRUE(proxy.Connected());
  EXPECT_THROW(proxy.SetMode(2), EAssertionFailed);
}

TEST_F(KestruneCommandSet, SendingWithoutKestruneRaises) {
  const TDotNetKRProxy kr(1);
  EXPECT_FALSE(kr.Connected());
  try {
    kr.RefreshFile(u"x.pas");
    FAIL() << "no exception";
  } catch (const Exception &e) {
    EXPECT_EQ(e.Message(), u"Cannot find remote: _KR_PS_END_POINT");
  }
}

} // namespace
} // namespace krx
