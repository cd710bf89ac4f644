// The endpoint protocol between the IDE and Kestrune: one-way numbered calls carried as
// the text of one WM_SETTEXT message ("@%5.5d:%s", id and comma text) to a hidden window
// of class "TPUtilWindow" whose caption is the receiver's endpoint name.
#pragma once

#include "Platform/Rtl/Classes.h"
#include "Platform/Rtl/Intf.h"
#include "Platform/Rtl/SysUtils.h"
#include "Platform/Win/Windows.h"

#include <deque>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace krx {

// How long a sender waits for the receiver to take a call.
inline constexpr UINT DotNetSendTimeout = 10000;

// What a stub's queue holds at most: calls, and bytes of their argument texts. A call beyond
// either is refused (the send fails with ERROR_NOT_ENOUGH_QUOTA), so a peer that sends faster
// than the calls run cannot make the receiver hold more. Real bursts (requests queued while
// the IDE shows a dialog) are a few calls of a file name each.
inline constexpr std::size_t DotNetStubMaxCalls = 1000;
inline constexpr std::size_t DotNetStubMaxBytes = 8u << 20;
// How long the newest call of a kind that supersedes its own (TDotNetStub::Supersedes) waits
// after its arrival before it runs: time for the rest of a burst to arrive and replace it. A
// peer that sends as fast as it is answered sends its next call well within it, and a user
// does not notice the wait.
inline constexpr UINT DotNetStubSettleMs = 20;

// One argument of TDotNetProxy::Call, as an element of Pascal's `array of const`: an
// integer, a Boolean, a single-byte character, a single-byte string (system code page) or a
// UTF-16 string. Kinds without a text form do not convert, so they cannot be passed.
class TCallArg {
public:
  TCallArg(int v) : Value(static_cast<Int64>(v)) {}
  TCallArg(long v) : Value(static_cast<Int64>(v)) {}
  TCallArg(long long v) : Value(static_cast<Int64>(v)) {}
  TCallArg(unsigned v) : Value(static_cast<Int64>(v)) {}
  TCallArg(Byte v) : Value(static_cast<Int64>(v)) {}
  TCallArg(bool v) : Value(v) {}
  TCallArg(char v) : Value(v) {}
  TCallArg(const char *v) : Value(std::string(v ? v : "")) {}
  TCallArg(const std::string &v) : Value(v) {}
  TCallArg(const Char *v) : Value(String(v ? v : u"")) {}
  TCallArg(StringView v) : Value(String(v)) {}
  TCallArg(const String &v) : Value(v) {}
  // A lone UTF-16 character has no wire form (it would otherwise pass as its code number).
  TCallArg(Char) = delete;

  // The argument's text on the wire: decimal, "0"/"1", or the text as UTF-16.
  String ToText() const;

private:
  std::variant<Int64, bool, char, std::string, String> Value;
};

// ---- The call text --------------------------------------------------------------------------
// The wire form as pure functions, so that it is tested and fuzzed without a window: the proxy
// writes with them, the stub and the marshaller read with them.

// "@", the id as exactly five decimal digits, ":", then the argument text. The id is 0 to
// 99999 (assertion).
String EncodeCall(Integer id, StringView argText);

// A text that an endpoint was sent, read as a call.
struct TDecodedCall {
  // StrToIntDef of characters 2 to 6, -1 when they are no number; a negative id is taken and
  // dropped.
  Integer Id;
  // Characters 8 to the end, a view into the decoded text; character 7 (the ':') is not looked
  // at.
  StringView Args;
};
// Nullopt for a text that is no call (shorter than "@" and five characters, or starting with
// another character): an ordinary caption change.
std::optional<TDecodedCall> DecodeCall(StringView text);

// The argument text of a list: its comma text (an item with a space, a comma or a quote, or an
// only item that is empty, in double quotes).
String EncodeCallArgs(const TStrings &args);
// Clears the list and splits the text as non-strict comma text with '"' as quote character.
void DecodeCallArgs(const String &text, TStringList &args);

// The argument list of the call being run: the comma text split into items.
class TDotNetMarshaller : public TObject {
public:
  TDotNetMarshaller();
  ~TDotNetMarshaller() override;

  // Clears the list and splits Text as non-strict comma text with '"' as quote character.
  virtual void SetArgs(const String &text);
  Integer Count() const;
  // Index must be below Count (assertion).
  String GetString(Integer index) const;
  // StrToInt of GetString: EConvertError for a text that is not an integer.
  Integer GetInteger(Integer index) const;

private:
  std::unique_ptr<TStringList> FArgs;
};

// The sending end: finds the peer's endpoint window by its name and hands it one call.
// Reference-counted as its descendants implement counted interfaces; it may also live on
// the stack or in a unique_ptr while no interface reference is taken.
class TDotNetProxy : public TInterfacedObject {
public:
  // The comma text of the list.
  virtual String ArgsToText(const TStringList &args) const;
  // True when the peer's window exists (asked anew on every call).
  virtual bool Connected() const;

  // The peer's window, or 0 when RemoteName is empty or no such window exists.
  HWND FindRemote() const;
  // Sends "@<id>:<argText>" and returns the message result, 0 when the send failed or
  // timed out. Raises for an empty RemoteName or a missing peer window.
  Integer Send(Integer id, const String &argText) const;
  // Converts the arguments in order, joins them with ArgsToText and sends them.
  Integer Call(Integer id, std::initializer_list<TCallArg> args) const;

  const String &RemoteName() const { return FRemoteName; }

protected:
  void SetRemoteName(String name) { FRemoteName = std::move(name); }

private:
  String FRemoteName;
};

// The receiving end: a hidden endpoint window that queues every call it is sent and runs
// them later, one per WM_USER, in arrival order, on the thread that owns the window. Calls of
// a kind that supersedes itself (Supersedes) are the exception: a newer one takes the place
// of the one still queued, at the end of the queue, and waits DotNetStubSettleMs after its
// arrival before it runs, so that a burst of them runs once, as its last call.
// Create it through TDotNetStub::Create<T>(...), which runs the virtual part of the
// construction (marshaller, window caption) once the object is complete.
class TDotNetStub : public TObject {
public:
  ~TDotNetStub() override;

  template <class T, class... A> static std::unique_ptr<T> Create(A &&...args) {
    std::unique_ptr<T> stub(new T(std::forward<A>(args)...));
    stub->AfterConstruction();
    return stub;
  }

  // Names the window after GetEndpointName (a WM_SETTEXT to the own window).
  void UpdateEndpointName();

  HWND Handle() const { return FHandle; }
  TDotNetMarshaller &Marshaller() const { return *FMarshaller; }
  // Calls received and not run yet, and the bytes of their argument texts.
  std::size_t QueueCount() const { return FQueue.size(); }
  std::size_t QueueBytes() const { return FQueueBytes; }

protected:
  TDotNetStub();

  virtual std::unique_ptr<TDotNetMarshaller> CreateMarshaller();
  // Runs one received call; the base does nothing.
  virtual void Execute(Integer id, const String &args);
  // The caption the stub listens under.
  virtual String GetEndpointName() const;
  // Whether a call of this id makes one of such ids that is still queued pointless (it asks
  // for a state that the newer call replaces). None in the base.
  virtual bool Supersedes(Integer id) const;

private:
  struct TQueuedCall {
    Integer Id;
    String Args;
    DWORD Arrived = 0;        // GetTickCount
    bool Superseding = false; // Supersedes(Id)
  };

  void AfterConstruction();
  void WndProc(TMessage &message);
  void WMSetText(TMessage &message);
  void ProcessQueue();
  void PostProcessQueue() const;

  std::deque<TQueuedCall> FQueue;
  std::size_t FQueueBytes = 0;
  std::unique_ptr<TDotNetMarshaller> FMarshaller;
  HWND FHandle = nullptr;
  bool FNaming = false;  // inside UpdateEndpointName
  bool FRunning = false; // inside Execute
};

} // namespace krx
