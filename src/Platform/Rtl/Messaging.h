// The message manager: listeners subscribe to a message class and are called synchronously,
// in subscription order, when a message of exactly that class is sent. Unsubscribing is
// deferred while a dispatch runs, so a listener may unsubscribe itself or others (and
// subscribe new ones) from inside a call: a listener removed during a dispatch is not called
// again, one added during a dispatch is first called by the next message. Main thread only.
#pragma once

#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/System.h"

#include <functional>
#include <memory>
#include <typeindex>
#include <unordered_map>
#include <vector>

namespace krx {

class TMessageBase {
public:
  TMessageBase() = default;
  TMessageBase(const TMessageBase &) = delete;
  TMessageBase &operator=(const TMessageBase &) = delete;
  virtual ~TMessageBase() = default;
};

// A message that carries one value (the class library's generic TMessage<T>; the name
// TMessage belongs to the window message record here).
template <class T> class TValueMessage : public TMessageBase {
public:
  explicit TValueMessage(T value) : FValue(std::move(value)) {}
  const T &Value() const { return FValue; }

private:
  T FValue;
};

using TMessageListener = std::function<void(const TObject *sender, const TMessageBase &message)>;

class TMessageManager {
public:
  TMessageManager() = default;
  TMessageManager(const TMessageManager &) = delete;
  TMessageManager &operator=(const TMessageManager &) = delete;
  ~TMessageManager();

  // The process-wide manager, created on first use and freed by the unit's finalisation.
  static TMessageManager &DefaultManager();
  static void FinalizeDefault();

  // Returns the subscription's id (1, 2, ... per manager). `target` names the object the
  // listener belongs to, for Unsubscribe by object.
  Integer SubscribeToMessage(std::type_index messageClass, TMessageListener listener,
                             const void *target = nullptr);
  template <class M>
  Integer SubscribeToMessage(TMessageListener listener, const void *target = nullptr) {
    return SubscribeToMessage(typeid(M), std::move(listener), target);
  }

  // Removes a subscription; unknown ids are ignored. While a message of that class is
  // being dispatched the removal waits for the dispatch to end, even when immediate.
  void Unsubscribe(std::type_index messageClass, Integer id, bool immediate = false);
  // Removes every subscription of the class made for `target`.
  void Unsubscribe(std::type_index messageClass, const void *target, bool immediate = false);
  template <class M> void Unsubscribe(Integer id, bool immediate = false) {
    Unsubscribe(typeid(M), id, immediate);
  }

  // Calls the listeners of the message's class with it. The owning form frees the message
  // afterwards, also when a listener raises (the exception reaches the sender).
  void SendMessage(const TObject *sender, std::unique_ptr<TMessageBase> message);
  void SendMessage(const TObject *sender, const TMessageBase &message);

  // Live subscriptions of a class (those not removed), for diagnostics and tests.
  Integer SubscriptionCount(std::type_index messageClass) const;

private:
  struct TEntry {
    Integer Id = 0;
    const void *Target = nullptr;
    TMessageListener Listener;
    bool Removed = false;
  };
  struct TListenerList {
    std::vector<std::shared_ptr<TEntry>> Entries;
    Integer Processing = 0;
    Integer RemovedCount = 0;
    void Compact();
  };
  using TLists = std::unordered_map<std::type_index, std::unique_ptr<TListenerList>>;
  void Remove(TListenerList &list, TEntry &entry, bool immediate);
  void DropIfUnused(TLists::iterator it);

  TLists FLists;
  Integer FLastId = 0;
};

} // namespace krx
