#include "Platform/Rtl/Messaging.h"

#include <gtest/gtest.h>

namespace krx {
namespace {

class TPing : public TMessageBase {};
class TValue : public TValueMessage<Integer> {
public:
  using TValueMessage::TValueMessage;
};
class TSubPing : public TPing {}; // a subclass is a message class of its own

class TTracked : public TMessageBase {
public:
  explicit TTracked(bool &freed) : FFreed(freed) {}
  ~TTracked() override { FFreed = true; }

private:
  bool &FFreed;
};

TEST(MessageManager, DeliversToExactClassInSubscriptionOrder) {
  TMessageManager m;
  std::vector<String> log;
  TObject sender;
  m.SubscribeToMessage<TPing>([&](const TObject *s, const TMessageBase &) {
    log.push_back(s == &sender ? u"a-sender" : u"a");
  });
  m.SubscribeToMessage<TValue>([&](const TObject *, const TMessageBase &msg) {
    log.push_back(IntToStr(static_cast<const TValue &>(msg).Value()));
  });
  const Integer id = m.SubscribeToMessage<TPing>(
      [&](const TObject *, const TMessageBase &) { log.push_back(u"b"); });
  EXPECT_EQ(id, 3);
  m.SendMessage(&sender, std::make_unique<TPing>());
  m.SendMessage(nullptr, std::make_unique<TValue>(42));
  m.SendMessage(nullptr, std::make_unique<TSubPing>());
  EXPECT_EQ(log, (std::vector<String>{u"a-sender", u"b", u"42"}));
}

TEST(MessageManager, UnsubscribeDuringDispatchIsDeferredAndSafe) {
  TMessageManager m;
  std::vector<String> log;
  Integer idB = 0, idC = 0;
  m.SubscribeToMessage<TPing>([&](const TObject *, const TMessageBase &) {
    log.push_back(u"a");
    m.Unsubscribe<TPing>(idC, true); // a later listener is skipped at once
    // New listeners wait for the next message; adding many moves the list's storage.
    for (int i = 0; i < 50; ++i)
      m.SubscribeToMessage<TPing>(
          [&](const TObject *, const TMessageBase &) { log.push_back(u"n"); });
  });
  idB = m.SubscribeToMessage<TPing>([&](const TObject *, const TMessageBase &) {
    log.push_back(u"b");
    m.Unsubscribe<TPing>(idB); // unsubscribes itself
  });
  idC = m.SubscribeToMessage<TPing>(
      [&](const TObject *, const TMessageBase &) { log.push_back(u"c"); });
  m.SendMessage(nullptr, TPing());
  EXPECT_EQ(log, (std::vector<String>{u"a", u"b"}));
  EXPECT_EQ(m.SubscriptionCount(typeid(TPing)), 51);
  log.clear();
  m.Unsubscribe<TPing>(1);
  m.SendMessage(nullptr, TPing());
  EXPECT_EQ(log.size(), 50u);
  m.Unsubscribe<TPing>(999); // unknown ids are ignored
}

TEST(MessageManager, NestedDispatchAndRemovalByTarget) {
  TMessageManager m;
  int depth = 0, calls = 0;
  int owner = 0;
  m.SubscribeToMessage<TPing>(
      [&](const TObject *, const TMessageBase &) {
        ++calls;
        if (depth++ == 0)
          m.SendMessage(nullptr, TPing());
        m.Unsubscribe(typeid(TPing), &owner);
      },
      &owner);
  m.SubscribeToMessage<TPing>([&](const TObject *, const TMessageBase &) { ++calls; }, &owner);
  m.SendMessage(nullptr, TPing());
  // The first listener runs in the outer and the inner dispatch; the inner call removes both
  // listeners, so neither walk reaches the second.
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(m.SubscriptionCount(typeid(TPing)), 0);
}

TEST(MessageManager, SentMessageIsFreedAlsoWhenAListenerRaises) {
  TMessageManager m;
  m.SubscribeToMessage<TTracked>(
      [](const TObject *, const TMessageBase &) { throw EAbort(u"stop"); });
  bool freed = false;
  EXPECT_THROW(m.SendMessage(nullptr, std::make_unique<TTracked>(freed)), EAbort);
  EXPECT_TRUE(freed);
  // The list is usable afterwards (the dispatch count was restored).
  Integer id = m.SubscribeToMessage<TTracked>([](const TObject *, const TMessageBase &) {});
  m.Unsubscribe<TTracked>(1);
  m.Unsubscribe<TTracked>(id);
  EXPECT_EQ(m.SubscriptionCount(typeid(TTracked)), 0);
}

TEST(MessageManager, DefaultManagerIsOneInstance) {
  EXPECT_EQ(&TMessageManager::DefaultManager(), &TMessageManager::DefaultManager());
}

} // namespace
} // namespace krx
