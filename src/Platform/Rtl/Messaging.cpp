#include "Platform/Rtl/Messaging.h"

#include <algorithm>

namespace krx {

namespace {
// Process-wide; created on demand, freed by the unit's finalisation.
TMessageManager *GDefaultManager = nullptr;
} // namespace

TMessageManager::~TMessageManager() = default;

TMessageManager &TMessageManager::DefaultManager() {
  if (!GDefaultManager)
    GDefaultManager = new TMessageManager();
  return *GDefaultManager;
}

void TMessageManager::FinalizeDefault() {
  delete GDefaultManager;
  GDefaultManager = nullptr;
}

void TMessageManager::TListenerList::Compact() {
  std::erase_if(Entries, [](const std::shared_ptr<TEntry> &e) { return e->Removed; });
  RemovedCount = 0;
}

Integer TMessageManager::SubscribeToMessage(std::type_index messageClass, TMessageListener listener,
                                            const void *target) {
  KR_ASSERT(static_cast<bool>(listener));
  auto &list = FLists[messageClass];
  if (!list)
    list = std::make_unique<TListenerList>();
  auto entry = std::make_shared<TEntry>();
  entry->Id = ++FLastId;
  entry->Target = target;
  entry->Listener = std::move(listener);
  list->Entries.push_back(std::move(entry));
  return FLastId;
}

void TMessageManager::Remove(TListenerList &list, TEntry &entry, bool immediate) {
  if (entry.Removed)
    return;
  entry.Removed = true;
  ++list.RemovedCount;
  // During a dispatch the entry stays in place (skipped) until the dispatch ends, also
  // when an immediate removal is asked for: removing it would move the entries being walked.
  (void)immediate;
  if (list.Processing == 0)
    list.Compact();
}

// A class without listeners leaves the map: its key names type information that may live in a
// library that is unloaded later (a plug-in's message classes), and a key that outlived its
// library could not even be compared any more.
void TMessageManager::DropIfUnused(TLists::iterator it) {
  if (it->second->Processing == 0 && it->second->Entries.empty())
    FLists.erase(it);
}

void TMessageManager::Unsubscribe(std::type_index messageClass, Integer id, bool immediate) {
  auto it = FLists.find(messageClass);
  if (it == FLists.end())
    return;
  TListenerList &list = *it->second;
  for (auto &e : list.Entries)
    if (e->Id == id) {
      Remove(list, *e, immediate);
      break;
    }
  DropIfUnused(it);
}

void TMessageManager::Unsubscribe(std::type_index messageClass, const void *target,
                                  bool immediate) {
  auto it = FLists.find(messageClass);
  if (it == FLists.end() || target == nullptr)
    return;
  TListenerList &list = *it->second;
  std::vector<std::shared_ptr<TEntry>> matches;
  for (auto &e : list.Entries)
    if (e->Target == target)
      matches.push_back(e);
  for (auto &e : matches)
    Remove(list, *e, immediate);
  DropIfUnused(it);
}

void TMessageManager::SendMessage(const TObject *sender, const TMessageBase &message) {
  auto it = FLists.find(typeid(message));
  if (it == FLists.end())
    return;
  TListenerList &list = *it->second;
  // Listeners added during the dispatch wait for the next message.
  const std::size_t count = list.Entries.size();
  ++list.Processing;
  struct TDone {
    TMessageManager &Manager;
    std::type_index Class;
    TListenerList &List;
    ~TDone() {
      if (--List.Processing == 0 && List.RemovedCount > 0) {
        List.Compact();
        // A listener may have subscribed or unsubscribed anything meanwhile: look again.
        if (auto at = Manager.FLists.find(Class); at != Manager.FLists.end())
          Manager.DropIfUnused(at);
      }
    }
  } done{*this, typeid(message), list};
  for (std::size_t i = 0; i < count; ++i) {
    // Hold the entry: the list may grow (and move its storage) while the listener runs.
    std::shared_ptr<TEntry> entry = list.Entries[i];
    if (!entry->Removed)
      entry->Listener(sender, message);
  }
}

void TMessageManager::SendMessage(const TObject *sender, std::unique_ptr<TMessageBase> message) {
  KR_ASSERT(message != nullptr);
  SendMessage(sender, *message);
}

Integer TMessageManager::SubscriptionCount(std::type_index messageClass) const {
  auto it = FLists.find(messageClass);
  if (it == FLists.end())
    return 0;
  return static_cast<Integer>(
      std::count_if(it->second->Entries.begin(), it->second->Entries.end(),
                    [](const std::shared_ptr<TEntry> &e) { return !e->Removed; }));
}

} // namespace krx
