#include "KR4expt/DotNetPS.h"

#include "Platform/Rtl/Encoding.h"
#include "Platform/Rtl/ScopeExit.h"
#include "Platform/Vcl/Forms.h"

#include <algorithm>

namespace krx {

namespace {

constexpr const Char *kDefaultEndpointName = u"DEFAULT_STUB";
constexpr const Char *SUndefinedRemoteName = u"Undefined remote name";
constexpr const Char *SCannotFindRemote = u"Cannot find remote: %s";

// Shortest text that is a call: "@" and five digits.
constexpr std::size_t kMinCallLength = 6;
constexpr Integer kMaxCallId = 99999;
// The timer that runs a superseding call once it has waited its settle time.
constexpr UINT_PTR kSettleTimer = 1;

String AnsiText(const std::string &s) {
  return DecodeAnsi(reinterpret_cast<const Byte *>(s.data()), s.size());
}

} // namespace

// ---- The call text --------------------------------------------------------------------------

String EncodeCall(Integer id, StringView argText) {
  KR_ASSERT(id <= kMaxCallId);
  KR_ASSERT(id >= 0);
  return Format(u"@%5.5d:%s", {id, String(argText)});
}

std::optional<TDecodedCall> DecodeCall(StringView text) {
  if (text.size() < kMinCallLength || text[0] != u'@')
    return std::nullopt;
  return TDecodedCall{StrToIntDef(Copy(text, 2, 5), -1),
                      text.size() > 7 ? text.substr(7) : StringView()};
}

String EncodeCallArgs(const TStrings &args) { return args.CommaText(); }

void DecodeCallArgs(const String &text, TStringList &args) {
  args.Clear();
  args.SetDelimiter(u',');
  args.SetQuoteChar(u'"');
  args.SetStrictDelimiter(false);
  args.SetDelimitedText(text);
}

// ---- TCallArg -----------------------------------------------------------------------------

String TCallArg::ToText() const {
  struct Visitor {
    String operator()(Int64 v) const { return IntToStr(v); }
    String operator()(bool v) const { return v ? u"1" : u"0"; }
    String operator()(char v) const { return AnsiText(std::string(1, v)); }
    String operator()(const std::string &v) const { return AnsiText(v); }
    String operator()(const String &v) const { return v; }
  };
  return std::visit(Visitor{}, Value);
}

// ---- TDotNetMarshaller --------------------------------------------------------------------

TDotNetMarshaller::TDotNetMarshaller() : FArgs(std::make_unique<TStringList>()) {}

TDotNetMarshaller::~TDotNetMarshaller() = default;

void TDotNetMarshaller::SetArgs(const String &text) { DecodeCallArgs(text, *FArgs); }

Integer TDotNetMarshaller::Count() const { return FArgs->Count(); }

String TDotNetMarshaller::GetString(Integer index) const {
  KR_ASSERT(index >= 0 && index < Count());
  return FArgs->Strings(index);
}

Integer TDotNetMarshaller::GetInteger(Integer index) const { return StrToInt(GetString(index)); }

// ---- TDotNetProxy -------------------------------------------------------------------------

String TDotNetProxy::ArgsToText(const TStringList &args) const { return EncodeCallArgs(args); }

bool TDotNetProxy::Connected() const { return FindRemote() != nullptr; }

HWND TDotNetProxy::FindRemote() const {
  if (FRemoteName.empty())
    return nullptr;
  return FindWindowW(UtilWindowClass, FRemoteName.c_str());
}

Integer TDotNetProxy::Send(Integer id, const String &argText) const {
  if (FRemoteName.empty())
    throw Exception(String(SUndefinedRemoteName));
  const String text = EncodeCall(id, argText);
  const HWND window = FindRemote();
  if (window == nullptr)
    throw Exception(SCannotFindRemote, {FRemoteName});
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                          SMTO_BLOCK | SMTO_ABORTIFHUNG, DotNetSendTimeout, &result) == 0)
    return 0;
  return static_cast<Integer>(result);
}

Integer TDotNetProxy::Call(Integer id, std::initializer_list<TCallArg> args) const {
  TStringList list;
  for (const TCallArg &arg : args)
    list.Add(arg.ToText());
  return Send(id, ArgsToText(list));
}

// ---- TDotNetStub --------------------------------------------------------------------------

TDotNetStub::TDotNetStub() = default;

TDotNetStub::~TDotNetStub() {
  if (FHandle != nullptr)
    DeallocateHWnd(FHandle);
}

void TDotNetStub::AfterConstruction() {
  FHandle = AllocateHWnd([this](TMessage &message) { WndProc(message); });
  FMarshaller = CreateMarshaller();
  UpdateEndpointName();
}

std::unique_ptr<TDotNetMarshaller> TDotNetStub::CreateMarshaller() {
  return std::make_unique<TDotNetMarshaller>();
}

void TDotNetStub::Execute(Integer, const String &) {}

String TDotNetStub::GetEndpointName() const { return kDefaultEndpointName; }

bool TDotNetStub::Supersedes(Integer) const { return false; }

void TDotNetStub::UpdateEndpointName() {
  const String name = GetEndpointName();
  FNaming = true;
  SendMessageW(FHandle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  FNaming = false;
}

// An exception raised here goes to the application's exception handler, with the stub as
// sender, which shows it; the stub stays usable.
void TDotNetStub::WndProc(TMessage &message) {
  try {
    if (message.Msg == WM_SETTEXT) {
      WMSetText(message);
    } else if (message.Msg >= 0x0502 && message.Msg <= 0x0601) {
      // Consumed by the object's message dispatch, which has no handler for these.
      message.Result = 0;
    } else if (message.Msg == WM_USER) {
      ProcessQueue();
    } else if (message.Msg == WM_TIMER && message.WParam == kSettleTimer) {
      KillTimer(FHandle, kSettleTimer);
      ProcessQueue();
    } else {
      message.Result = DefWindowProcW(FHandle, message.Msg, message.WParam, message.LParam);
    }
  } catch (...) {
    if (Application == nullptr)
      throw; // no application object: the window layer reports it
    Application->HandleException(this);
  }
}

void TDotNetStub::WMSetText(TMessage &message) {
  const auto *raw = reinterpret_cast<const Char *>(message.LParam);
  if (const auto call = DecodeCall(raw != nullptr ? StringView(raw) : StringView())) {
    const Integer id = call->Id;
    if (id < 0) {
      message.Result = 1; // taken, and dropped
      return;
    }
    const StringView args = call->Args;
    const std::size_t bytes = args.size() * sizeof(Char);
    // At most one superseding call is queued: the one this call replaces.
    const bool superseding = Supersedes(id);
    const auto replaced = superseding
                              ? std::find_if(FQueue.begin(), FQueue.end(),
                                             [](const TQueuedCall &c) { return c.Superseding; })
                              : FQueue.end();
    const bool replaces = replaced != FQueue.end();
    const std::size_t freed = replaces ? replaced->Args.size() * sizeof(Char) : 0;
    if (FQueue.size() - replaces >= DotNetStubMaxCalls ||
        FQueueBytes - freed + bytes > DotNetStubMaxBytes) {
      RefuseSentMessage();
      return;
    }
    message.Result = 1;
    if (replaces) {
      FQueue.erase(replaced);
      FQueueBytes -= freed;
    }
    FQueue.push_back({id, String(args), GetTickCount(), superseding});
    FQueueBytes += bytes;
    PostProcessQueue();
    return;
  }
  // Not a call. Only UpdateEndpointName changes the caption: it is the name peers find the
  // endpoint by, so a stray text from elsewhere must not take the endpoint off the air.
  if (FNaming)
    DefWindowProcW(FHandle, message.Msg, message.WParam, message.LParam);
  message.Result = 0;
}

void TDotNetStub::PostProcessQueue() const { PostMessageW(FHandle, WM_USER, 0, 0); }

void TDotNetStub::ProcessQueue() {
  // Calls run one at a time: a call that pumps messages (a handler that lets the application
  // process its messages) must not run the next one inside itself. The running call posts
  // again when it ends, so what arrives meanwhile waits its turn.
  if (FQueue.empty() || FRunning)
    return;
  if (const TQueuedCall &front = FQueue.front(); front.Superseding) {
    // Unsigned difference: right across the wrap of the tick count.
    const DWORD waited = GetTickCount() - front.Arrived;
    if (waited < DotNetStubSettleMs) {
      SetTimer(FHandle, kSettleTimer, DotNetStubSettleMs - waited, nullptr);
      return;
    }
  }
  TQueuedCall call = std::move(FQueue.front());
  FQueue.pop_front();
  FQueueBytes -= call.Args.size() * sizeof(Char);
  FRunning = true;
  // Also when the call raises, the rest of the queue keeps moving: without the post the calls
  // still queued would wait for some later call to arrive.
  TScopeExit next{[this] {
    FRunning = false;
    if (!FQueue.empty())
      PostProcessQueue();
  }};
  Execute(call.Id, call.Args);
}

} // namespace krx
