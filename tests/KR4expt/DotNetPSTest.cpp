#include "KR4expt/DotNetPS.h"

#include "LinkTestSupport.h"
#include "Platform/Shell/Dialogs.h"
#include "support/KrxTest.h"

#include <gmock/gmock.h>

namespace krx {
namespace {

using DotNetMarshaller = test::LinkTest;
using DotNetProxy = test::LinkTest;
using DotNetStub = test::LinkTest;

using test::PumpMessages;
using test::PumpOneMessage;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct TReceived {
  Integer Id;
  String Args;
  std::vector<String> Items;
  bool operator==(const TReceived &) const = default;
};

// A stub that records every call it runs, its arguments split by the marshaller.
class TRecordingStub : public TDotNetStub {
public:
  std::vector<TReceived> Calls;
  // Runs after the call is recorded; may raise.
  std::function<void(Integer)> OnExecute;

protected:
  explicit TRecordingStub(String name) : FName(std::move(name)) {}
  String GetEndpointName() const override { return FName; }
  void Execute(Integer id, const String &args) override {
    Marshaller().SetArgs(args);
    TReceived r{id, args, {}};
    for (Integer i = 0; i < Marshaller().Count(); ++i)
      r.Items.push_back(Marshaller().GetString(i));
    Calls.push_back(r);
    if (OnExecute)
      OnExecute(id);
  }

  friend class TDotNetStub;

private:
  String FName;
};

class TNamedProxy : public TDotNetProxy {
public:
  explicit TNamedProxy(String name) { SetRemoteName(std::move(name)); }
};

// ---- Argument text ------------------------------------------------------------------------

TEST_F(DotNetMarshaller, SplitsCommaTextAsTheSenderQuotesIt) {
  TDotNetMarshaller m;
  m.SetArgs(u"plain,\"C:\\a b\\x.pas\",\"say \"\"hi\"\"\",\"a,b\",42");
  ASSERT_EQ(m.Count(), 5);
  EXPECT_EQ(m.GetString(0), u"plain");
  EXPECT_EQ(m.GetString(1), u"C:\\a b\\x.pas");
  EXPECT_EQ(m.GetString(2), u"say \"hi\"");
  EXPECT_EQ(m.GetString(3), u"a,b");
  EXPECT_EQ(m.GetInteger(4), 42);
}

TEST_F(DotNetMarshaller, EmptyItemsAndClearing) {
  TDotNetMarshaller m;
  m.SetArgs(u"a,,b,");
  ASSERT_EQ(m.Count(), 4);
  EXPECT_EQ(m.GetString(1), u"");
  EXPECT_EQ(m.GetString(3), u"");
  m.SetArgs(u"");
  EXPECT_EQ(m.Count(), 0);
  m.SetArgs(u"\"\"");
  ASSERT_EQ(m.Count(), 1);
  EXPECT_EQ(m.GetString(0), u"");
}

TEST_F(DotNetMarshaller, BadIndexAndNonNumericIntegerRaise) {
  TDotNetMarshaller m;
  m.SetArgs(u"x,12a");
  try {
    m.GetString(2);
    ADD_FAILURE() << "no exception";
  } catch (const EAssertionFailed &e) {
    // The file as the project names it: the build machine's folders reach no user.
    EXPECT_NE(e.Message().find(u"(src/KR4expt/DotNetPS.cpp, line "), String::npos)
        << StringToUtf8(e.Message());
    EXPECT_EQ(e.Message().find(Utf8ToString(KRX_SOURCE_DIR)), String::npos);
  }
  EXPECT_THROW(m.GetString(-1), EAssertionFailed);
  EXPECT_THROW(m.GetInteger(0), EConvertError);
  EXPECT_THROW(m.GetInteger(1), EConvertError);
}

TEST_F(DotNetProxy, ArgumentKindsConvertToTheirWireText) {
  EXPECT_EQ(TCallArg(-17).ToText(), u"-17");
  EXPECT_EQ(TCallArg(true).ToText(), u"1");
  EXPECT_EQ(TCallArg(false).ToText(), u"0");
  EXPECT_EQ(TCallArg('A').ToText(), u"A");
  // Single-byte texts come from the system code page (Windows-1252).
  EXPECT_EQ(TCallArg(std::string("caf\xE9 \x80")).ToText(), u"caf\u00E9 \u20AC");
  EXPECT_EQ(TCallArg(u"\u65E5\u672C").ToText(), u"\u65E5\u672C");
}

// ---- The call text, without a window --------------------------------------------------------

TEST(CallText, IsReadAsTheEndpointTakesIt) {
  const struct {
    const Char *Text;
    bool IsCall;
    Integer Id;
    const Char *Args;
  } rows[] = {
      {u"@01034:", true, 1034, u""}, {u"@00007:a,\"b c\"", true, 7, u"a,\"b c\""},
      {u"@00042", true, 42, u""},    {u"@00043#a,b", true, 43, u"a,b"},
      {u"@abcde:x", true, -1, u"x"}, {u"@-0002:", true, -2, u""},
      {u"@0102", false, 0, u""},     {u"DEFAULT_STUB", false, 0, u""},
      {u"", false, 0, u""},
  };
  for (const auto &row : rows) {
    const auto call = DecodeCall(row.Text);
    ASSERT_EQ(call.has_value(), row.IsCall) << StringToUtf8(row.Text);
    if (call) {
      EXPECT_EQ((std::pair{call->Id, String(call->Args)}), (std::pair{row.Id, String(row.Args)}))
          << StringToUtf8(row.Text);
    }
  }
  for (const Integer id : {0, 7, 1028, 99999}) {
    const String text = EncodeCall(id, u"x,\"y\"");
    const auto call = DecodeCall(text);
    ASSERT_TRUE(call) << StringToUtf8(text);
    EXPECT_EQ((std::pair{call->Id, String(call->Args)}), (std::pair{id, String(u"x,\"y\"")}));
  }
  EXPECT_EQ(EncodeCall(1034, u""), u"@01034:");
  EXPECT_THROW(EncodeCall(100000, u""), EAssertionFailed);
}

// ---- The wire -----------------------------------------------------------------------------

TEST_F(DotNetProxy, PutsIdAndCommaTextOnTheWire) {
  test::TRawEndpoint raw(u"KRX_TEST_RAW_WIRE");
  TNamedProxy proxy(u"KRX_TEST_RAW_WIRE");
  EXPECT_EQ(proxy.Call(1034, {}), 1);
  EXPECT_EQ(proxy.Call(7, {u"C:\\a b\\x.pas", 42, u"", u"q\"c,d"}), 1);
  EXPECT_EQ(proxy.Call(1028, {u""}), 1);
  EXPECT_THAT(raw.Texts, ElementsAre(u"@01034:", u"@00007:\"C:\\a b\\x.pas\",42,,\"q\"\"c,d\"",
                                     u"@01028:\"\""));
}

TEST_F(DotNetProxy, ReturnsTheMessageResult) {
  test::TRawEndpoint raw(u"KRX_TEST_RAW_RESULT");
  raw.Answer = 0;
  TNamedProxy proxy(u"KRX_TEST_RAW_RESULT");
  EXPECT_EQ(proxy.Send(1, u""), 0);
}

TEST_F(DotNetProxy, MissingNameOrPeerRaises) {
  TNamedProxy unnamed(u"");
  EXPECT_FALSE(unnamed.Connected());
  EXPECT_EQ(unnamed.FindRemote(), nullptr);
  try {
    unnamed.Send(1, u"");
    FAIL() << "no exception";
  } catch (const Exception &e) {
    EXPECT_EQ(e.Message(), u"Undefined remote name");
  }
  TNamedProxy absent(u"KRX_TEST_NOBODY_HERE");
  EXPECT_FALSE(absent.Connected());
  try {
    absent.Call(1, {u"x"});
    FAIL() << "no exception";
  } catch (const Exception &e) {
    EXPECT_EQ(e.Message(), u"Cannot find remote: KRX_TEST_NOBODY_HERE");
  }
}

TEST_F(DotNetProxy, IdsOutsideFiveDigitsAreCallerErrors) {
  test::TRawEndpoint raw(u"KRX_TEST_RAW_RANGE");
  TNamedProxy proxy(u"KRX_TEST_RAW_RANGE");
  EXPECT_THROW(proxy.Send(100000, u""), EAssertionFailed);
  EXPECT_THROW(proxy.Send(-1, u""), EAssertionFailed);
  EXPECT_EQ(proxy.Send(99999, u""), 1);
  EXPECT_THAT(raw.Texts, ElementsAre(u"@99999:"));
}

// ---- The receiving end --------------------------------------------------------------------

TEST_F(DotNetStub, ListensUnderItsEndpointName) {
  auto stub = TDotNetStub::Create<TRecordingStub>(u"KRX_TEST_STUB_NAME");
  EXPECT_EQ(FindWindowW(u"TPUtilWindow", u"KRX_TEST_STUB_NAME"), stub->Handle());
  TNamedProxy proxy(u"KRX_TEST_STUB_NAME");
  EXPECT_TRUE(proxy.Connected());
  const HWND handle = stub->Handle();
  stub.reset();
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_FALSE(proxy.Connected());
}

TEST_F(DotNetStub, RoundTripOfAwkwardArguments) {
  auto stub = TDotNetStub::Create<TRecordingStub>(u"KRX_TEST_STUB_TRIP");
  TNamedProxy proxy(u"KRX_TEST_STUB_TRIP");
  const String awkward[] = {u"C:\\Program Files\\a b\\x.pas",
                            u"\"quoted\"",
                            u"a,b,,c",
                            u"  leading and trailing  ",
                            u"\u00E4\u00F6\u00FC \u65E5\U0001F600",
                            u"line\r\nbreak\ttab",
                            u""};
  for (const String &a : awkward)
    EXPECT_EQ(proxy.Call(1029, {a, u"tail"}), 1);
  PumpMessages();
  ASSERT_EQ(stub->Calls.size(), std::size(awkward));
  for (std::size_t i = 0; i < std::size(awkward); ++i)
    EXPECT_THAT(stub->Calls[i].Items, ElementsAre(awkward[i], u"tail")) << i;
}

TEST_F(DotNetStub, CallWithoutArgumentsArrivesEmpty) {
  auto stub = TDotNetStub::Create<TRecordingStub>(u"KRX_TEST_STUB_EMPTY");
  TNamedProxy proxy(u"KRX_TEST_STUB_EMPTY");
  proxy.Call(1034, {});
  PumpMessages();
  ASSERT_EQ(stub->Calls.size(), 1u);
  EXPECT_EQ(stub->Calls[0].Id, 1034);
  EXPECT_EQ(stub->Calls[0].Args, u"");
  EXPECT_THAT(stub->Calls[0].Items, IsEmpty());
}

TEST_F(DotNetStub, TextsThatAreNoCallsKeepTheEndpointName) {
  auto stub = TDotNetStub::Create<TRecordingStub>(u"KRX_TEST_STUB_CAPTION");
  for (const String text : {u"DEFAULT_STUB", u"", u"@12", u"@0102"}) // @0102: too short
    EXPECT_EQ(test::SendText(stub->Handle(), text), 0) << StringToUtf8(text);
  EXPECT_EQ(GetWindowCaption(stub->Handle()), u"KRX_TEST_STUB_CAPTION");
  EXPECT_EQ(stub->QueueCount(), 0u);
  PumpMessages();
  EXPECT_THAT(stub->Calls, IsEmpty());
}

TEST_F(DotNetStub, CallsWithUnparsableIdsAreTakenAndDropped) {
  auto stub = TDotNetStub::Create<TRecordingStub>(u"KRX_TEST_STUB_BADID");
  EXPECT_EQ(test::SendText(stub->Handle(), u"@abcde:x"), 1);
  EXPECT_EQ(test::SendText(stub->Handle(), u"@-0001:x"), 1);
  EXPECT_EQ(test::SendText(stub->Handle(), u"@12 45:x"), 1);
  EXPECT_EQ(stub->QueueCount(), 0u);
  // The caption is not touched by a call, even a dropped one.
  EXPECT_EQ(GetWindowCaption(stub->Handle()), u"KRX_TEST_STUB_BADID");
  // Six characters are a call; the seventh (":") is not looked at.
  EXPECT_EQ(test::SendText(stub->Handle(), u"@00042"), 1);
  EXPECT_EQ(test::SendText(stub->Handle(), u"@00043#a,b"), 1);
  PumpMessages();
  EXPECT_THAT(stub->Calls,
              ElementsAre(TReceived{42, u"", {}}, TReceived{43, u"a,b", {u"a", u"b"}}));
}

TEST_F(DotNetStub, QueuedCallsRunInOrderOnePerMessage) {
  auto stub = TDotNetStub::Create<TRecordingStub>(u"KRX_TEST_STUB_ORDER");
  TNamedProxy proxy(u"KRX_TEST_STUB_ORDER");
  proxy.Call(1, {u"one"});
  proxy.Call(2, {u"two"});
  proxy.Call(3, {u"three"});
  EXPECT_EQ(stub->QueueCount(), 3u);
  EXPECT_THAT(stub->Calls, IsEmpty());
  ASSERT_TRUE(PumpOneMessage());
  ASSERT_EQ(stub->Calls.size(), 1u);
  EXPECT_EQ(stub->QueueCount(), 2u);
  ASSERT_TRUE(PumpOneMessage());
  ASSERT_TRUE(PumpOneMessage());
  ASSERT_EQ(stub->Calls.size(), 3u);
  EXPECT_EQ(stub->Calls[0].Items, std::vector<String>{u"one"});
  EXPECT_EQ(stub->Calls[1].Items, std::vector<String>{u"two"});
  EXPECT_EQ(stub->Calls[2].Items, std::vector<String>{u"three"});
  // Three WM_USER messages were posted; the extra ones find the queue empty.
  PumpMessages();
  EXPECT_EQ(stub->Calls.size(), 3u);
}

// A full queue refuses the next call as a full window queue does; once a call has run there
// is room again, and every call that was taken runs.
TEST_F(DotNetStub, AFullQueueRefusesCallsWithTheQuotaError) {
  const struct {
    std::size_t Length; // of each call's argument text
    std::size_t Fit;
  } rows[] = {{1, DotNetStubMaxCalls},
              {256 * 1024, DotNetStubMaxBytes / (256 * 1024 * sizeof(Char))}};
  for (const auto &row : rows) {
    auto stub = TDotNetStub::Create<TRecordingStub>(u"KRX_TEST_STUB_FULL");
    TNamedProxy proxy(u"KRX_TEST_STUB_FULL");
    const String args(row.Length, u'a');
    for (std::size_t i = 0; i < row.Fit; ++i)
      ASSERT_EQ(proxy.Send(7, args), 1) << row.Length << " call " << i;
    EXPECT_EQ(proxy.Send(7, args), 0) << row.Length;
    EXPECT_EQ(static_cast<DWORD>(GetLastError()), ERROR_NOT_ENOUGH_QUOTA);
    ASSERT_TRUE(PumpOneMessage());
    EXPECT_EQ(proxy.Send(7, args), 1) << row.Length;
    PumpMessages();
    EXPECT_EQ(stub->Calls.size(), row.Fit + 1) << row.Length;
    EXPECT_EQ(stub->QueueBytes(), 0u);
  }
}

TEST_F(DotNetStub, ACallArrivingWhileAnotherRunsIsQueuedBehindIt) {
  auto stub = TDotNetStub::Create<TRecordingStub>(u"KRX_TEST_STUB_NESTED");
  TNamedProxy proxy(u"KRX_TEST_STUB_NESTED");
  stub->OnExecute = [&](Integer id) {
    if (id == 1)
      proxy.Call(2, {});
  };
  proxy.Call(1, {});
  PumpMessages();
  ASSERT_EQ(stub->Calls.size(), 2u);
  EXPECT_EQ(stub->Calls[0].Id, 1);
  EXPECT_EQ(stub->Calls[1].Id, 2);
}

TEST_F(DotNetStub, ACallThatPumpsMessagesDoesNotRunTheNextInsideItself) {
  auto stub = TDotNetStub::Create<TRecordingStub>(u"KRX_TEST_STUB_PUMP");
  TNamedProxy proxy(u"KRX_TEST_STUB_PUMP");
  std::vector<Integer> finished;
  stub->OnExecute = [&](Integer id) {
    if (id == 1)
      PumpMessages(); // as a handler that lets the application process its messages
    finished.push_back(id);
  };
  proxy.Call(1, {});
  proxy.Call(2, {});
  proxy.Call(3, {});
  PumpMessages();
  EXPECT_THAT(finished, ElementsAre(1, 2, 3));
}

TEST_F(DotNetStub, AFailingCallGoesToTheHandlerAndTheRestStillRun) {
  test::TExceptionCapture capture;
  auto stub = TDotNetStub::Create<TRecordingStub>(u"KRX_TEST_STUB_FAIL");
  stub->OnExecute = [](Integer id) {
    if (id == 1)
      throw Exception(u"call one failed");
  };
  TNamedProxy proxy(u"KRX_TEST_STUB_FAIL");
  proxy.Call(1, {});
  proxy.Call(2, {});
  proxy.Call(3, {});
  // Run the first call's message, then drop the other two WM_USER messages, as if a modal
  // loop had eaten them: the failed call must still leave a message behind for the rest.
  ASSERT_TRUE(PumpOneMessage());
  EXPECT_THAT(capture.Messages, ElementsAre(u"call one failed"));
  MSG msg;
  int dropped = 0;
  while (dropped < 2 && PeekMessageW(&msg, stub->Handle(), WM_USER, WM_USER, PM_REMOVE))
    ++dropped;
  ASSERT_EQ(dropped, 2);
  PumpMessages();
  ASSERT_EQ(stub->Calls.size(), 3u);
  EXPECT_EQ(stub->Calls[1].Id, 2);
  EXPECT_EQ(stub->Calls[2].Id, 3);
  EXPECT_EQ(capture.Messages.size(), 1u);
  EXPECT_THAT(capture.Senders, ElementsAre(stub.get()));
}

TEST_F(DotNetStub, TheApplicationShowsAFailedCall) {
  TScriptedMessages boxes;
  auto stub = TDotNetStub::Create<TRecordingStub>(u"KRX_TEST_STUB_SHOW");
  stub->OnExecute = [](Integer id) {
    if (id == 1)
      throw Exception(u"call one failed");
    if (id == 2)
      Abort(); // silent
  };
  TNamedProxy proxy(u"KRX_TEST_STUB_SHOW");
  proxy.Call(1, {});
  proxy.Call(2, {});
  proxy.Call(3, {});
  PumpMessages();
  EXPECT_EQ(stub->Calls.size(), 3u);
  const auto shown = boxes.Requests();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Text, u"call one failed.");
  EXPECT_EQ(shown[0].Flags & MB_ICONMASK, MB_ICONERROR);
}

TEST_F(DotNetStub, DestroyingDropsQueuedCalls) {
  std::vector<TReceived> *seen = nullptr;
  {
    auto stub = TDotNetStub::Create<TRecordingStub>(u"KRX_TEST_STUB_DROP");
    seen = &stub->Calls;
    TNamedProxy proxy(u"KRX_TEST_STUB_DROP");
    proxy.Call(1, {});
    EXPECT_EQ(stub->QueueCount(), 1u);
    EXPECT_TRUE(seen->empty());
  }
  // The posted WM_USER finds no window any more.
  EXPECT_NO_THROW(PumpMessages());
}

TEST_F(DotNetStub, OtherMessagesGoToTheDefaultProcedure) {
  auto stub = TDotNetStub::Create<TRecordingStub>(u"KRX_TEST_STUB_DEFAULT");
  EXPECT_EQ(SendMessageW(stub->Handle(), WM_GETTEXTLENGTH, 0, 0), 21);
  EXPECT_EQ(SendMessageW(stub->Handle(), 0x0550, 0, 0), 0);
}

} // namespace
} // namespace krx
