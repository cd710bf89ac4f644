// Calls from another process: any text sent to the IDE's endpoint is taken or refused
// without harm, and every argument list and every call survive their text both ways.
#include "KR4expt/DelphiIDEPS.h"
#include "Platform/Vcl/Forms.h"
#include "Units.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using namespace krx;

// Items of an argument list from the input: UTF-16 code units, one item per NUL (a NUL
// cannot travel in a WM_SETTEXT text, so it never is part of an argument).
std::vector<String> Items(const String &text) {
  std::vector<String> items;
  String current;
  for (Char c : text) {
    if (c == 0) {
      items.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty() || !items.empty())
    items.push_back(current);
  return items;
}

class TProbeProxy : public TDotNetProxy {
public:
  using TDotNetProxy::ArgsToText;
};

TDelphiIDEStub *Stub() {
  static std::unique_ptr<TDelphiIDEStub> stub = [] {
    InitializeUnits(AllUnits());
    // The endpoint's thread-local queue is gone before exit handlers run, and the shared
    // platform library's statics may be destroyed before ours: when the run ends, leave
    // without destroying anything (libFuzzer has printed its results by then).
    std::atexit([] { std::_Exit(0); });
    Application->OnException = [](TObject *, const Exception &) {};
    auto s = TDotNetStub::Create<TDelphiIDEStub>(Byte{5});
    s->OnGotoLine = [](const String &, Integer, Integer) {};
    s->OnJumpToLocation = [](const String &, const String &, const String &, const String &,
                             const String &) {};
    s->OnBuildProject = [](Integer) {};
    s->OnOpenFile = [](const String &) {};
    return s;
  }();
  return stub.get();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  TDelphiIDEStub *stub = Stub();
  String text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text += static_cast<Char>(data[i] | (data[i + 1] << 8));

  // The argument list round trip.
  const std::vector<String> items = Items(text);
  TStringList list;
  for (const String &item : items)
    list.Add(item);
  TDotNetMarshaller marshaller;
  marshaller.SetArgs(TProbeProxy().ArgsToText(list));
  if (marshaller.Count() != static_cast<Integer>(items.size()))
    std::abort();
  for (std::size_t i = 0; i < items.size(); ++i)
    if (marshaller.GetString(static_cast<Integer>(i)) != items[i])
      std::abort();

  // The call text round trip: what a proxy writes, a stub reads as the same call.
  const Integer id = size >= 2 ? (data[size - 1] | (data[size - 2] << 8)) % 100000 : 0;
  const String encoded = EncodeCall(id, text);
  const auto call = DecodeCall(encoded);
  if (!call || call->Id != id || call->Args != text)
    std::abort();

  // The raw text as a call (or a caption) to the IDE's endpoint.
  String wire = text;
  for (Char &c : wire)
    if (c == 0)
      c = u',';
  SendMessageW(stub->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wire.c_str()));
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    DispatchMessageW(&msg);
  stub->UpdateEndpointName();
  return 0;
}
