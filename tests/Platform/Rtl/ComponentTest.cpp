#include "Platform/Rtl/Classes.h"

#include <gtest/gtest.h>

#include <memory>

namespace krx {
namespace {

using Log = std::vector<std::string>;

std::string Utf8(const String &s) { return StringToUtf8(s); }

// Records its destruction and every notification it receives.
class TProbe : public TComponent {
public:
  TProbe(TComponent *AOwner, Log &log, const char *name) : TComponent(AOwner), FLog(log) {
    SetName(Utf8ToString(name));
  }
  ~TProbe() override { FLog.push_back("free " + Utf8(Name())); }

  TComponent *Watched = nullptr;

protected:
  void Notification(TComponent *AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove) {
      if (AComponent == Watched)
        Watched = nullptr;
      FLog.push_back(Utf8(Name()) + " sees removal");
    }
  }

private:
  Log &FLog;
};

TEST(Component, OwnerFreesItsComponentsLastFirst) {
  Log log;
  auto owner = std::make_unique<TComponent>(nullptr);
  new TProbe(owner.get(), log, "A");
  auto *b = new TProbe(owner.get(), log, "B");
  new TProbe(b, log, "B1");
  new TProbe(owner.get(), log, "C");
  EXPECT_EQ(owner->ComponentCount(), 3);
  EXPECT_EQ(b->Owner(), owner.get());
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_EQ(owner->FindComponent(u"c"), owner->Components(2));
  EXPECT_EQ(owner->FindComponent(u"B1"), nullptr); // only direct components
  owner.reset();
  // A destructor body runs before the component frees its own components.
  EXPECT_EQ(log, (Log{"free C", "free B", "free B1", "free A"}));
}

TEST(Component, FreeingAComponentUnlinksItAndNotifiesItsSiblings) {
  Log log;
  TComponent owner(nullptr);
  auto *a = new TProbe(&owner, log, "A");
  auto *b = new TProbe(&owner, log, "B");
  a->Watched = b;
  delete b;
  EXPECT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(a->Watched, nullptr);
  EXPECT_EQ(log, (Log{"free B", "A sees removal"}));
}

TEST(Component, FreeNotificationReachesComponentsOfOtherOwners) {
  Log log;
  auto watcher = std::make_unique<TProbe>(nullptr, log, "Watcher");
  {
    auto target = std::make_unique<TProbe>(nullptr, log, "Target");
    watcher->Watched = target.get();
    watcher->FreeNotification(target.get());
    EXPECT_TRUE(target->ComponentState().Contains(csFreeNotification));
  }
  EXPECT_EQ(watcher->Watched, nullptr);
  EXPECT_EQ(log, (Log{"free Target", "Watcher sees removal"}));
  log.clear();
  // The link went both ways and is gone now: freeing the watcher notifies nobody.
  watcher.reset();
  EXPECT_EQ(log, Log{"free Watcher"});
}

TEST(Component, RemovedFreeNotificationIsNotSent) {
  Log log;
  TProbe watcher(nullptr, log, "Watcher");
  {
    TProbe target(nullptr, log, "Target");
    watcher.FreeNotification(&target);
    watcher.RemoveFreeNotification(&target);
  }
  EXPECT_EQ(log, Log{"free Target"});
}

// A notification handler that ignores the inherited one must not keep the loop going.
class TStubborn : public TComponent {
public:
  using TComponent::TComponent;
  int Calls = 0;

protected:
  void Notification(TComponent *, TOperation) override { ++Calls; }
};

TEST(Component, NotificationOverrideWithoutInheritedCallEnds) {
  TStubborn watcher(nullptr);
  {
    TComponent target(nullptr);
    watcher.FreeNotification(&target);
  }
  EXPECT_EQ(watcher.Calls, 1);
}

TEST(Component, NamesAreIdentifiersUniqueAmongSiblings) {
  Log log;
  TComponent owner(nullptr);
  auto *a = new TProbe(&owner, log, "Timer1");
  auto *b = new TProbe(&owner, log, "Timer2");
  try {
    b->SetName(u"TIMER1");
    FAIL();
  } catch (const EComponentError &e) {
    EXPECT_EQ(e.Message(), u"A component named TIMER1 already exists");
  }
  try {
    a->SetName(u"1st");
    FAIL();
  } catch (const EComponentError &e) {
    EXPECT_EQ(e.Message(), u"'1st' is not a valid component name");
  }
  a->SetName(u"timer1"); // a new spelling of its own name
  b->SetName(u"");
  EXPECT_EQ(owner.FindComponent(u"Timer1"), a);
  EXPECT_EQ(owner.FindComponent(u""), nullptr);
  EXPECT_THROW(a->SetName(u"a b"), EComponentError);
}

TEST(Component, InsertAndRemoveMoveOwnership) {
  Log log;
  TComponent first(nullptr), second(nullptr);
  auto *p = new TProbe(&first, log, "P");
  first.RemoveComponent(p);
  EXPECT_EQ(p->Owner(), nullptr);
  EXPECT_EQ(first.ComponentCount(), 0);
  second.InsertComponent(p);
  EXPECT_EQ(p->Owner(), &second);
  auto *q = new TProbe(&second, log, "Q");
  EXPECT_THROW(q->SetName(u"p"), EComponentError);
  EXPECT_EQ(second.ComponentCount(), 2);
}

TEST(Component, DesignStateIsInheritedByNewComponents) {
  TComponent owner(nullptr);
  auto *child = new TComponent(&owner);
  owner.SetDesigning(true);
  EXPECT_TRUE(child->ComponentState().Contains(csDesigning));
  auto *later = new TComponent(&owner);
  EXPECT_TRUE(later->ComponentState().Contains(csDesigning));
}

TEST(Component, PublishesNameAndTag) {
  TComponent c(nullptr);
  c.SetName(u"Timer");
  c.SetTag(7);
  std::vector<String> names;
  for (const TPropInfo *p : GetPropList(c.ClassInfo()))
    names.push_back(p->Name);
  EXPECT_EQ(names, (std::vector<String>{u"Name", u"Tag"}));
  EXPECT_EQ(GetStrProp(c, *GetPropInfo(c, u"Name")), u"Timer");
  EXPECT_EQ(GetOrdProp(c, *GetPropInfo(c, u"Tag")), 7);
  EXPECT_EQ(c.ClassName(), u"TComponent");
}

} // namespace
} // namespace krx
