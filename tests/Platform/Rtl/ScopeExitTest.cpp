#include "Platform/Rtl/ScopeExit.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace krx {
namespace {

struct TCase {
  const char *What;
  bool OnFailOnly;    // TScopeFail rather than TScopeExit
  bool BodyRaises;    // the scope ends by the exception "body"
  bool ActionRaises;  // the action raises "action"
  bool ActionRuns;    // expected
  const char *Caught; // expected exception reaching the caller, or "" for none
};

const TCase kCases[] = {
    {"exit guard, normal end", false, false, false, true, ""},
    {"exit guard, body raises", false, true, false, true, "body"},
    {"exit guard, action raises on a normal end", false, false, true, true, "action"},
    {"exit guard, both raise: the first failure wins", false, true, true, true, "body"},
    {"fail guard, normal end", true, false, false, false, ""},
    {"fail guard, body raises", true, true, false, true, "body"},
    {"fail guard, both raise: the first failure wins", true, true, true, true, "body"},
};

template <template <class> class G> std::string EndScope(const TCase &c, bool &ran) {
  try {
    G guard{[&] {
      ran = true;
      if (c.ActionRaises)
        throw std::runtime_error("action");
    }};
    if (c.BodyRaises)
      throw std::runtime_error("body");
  } catch (const std::exception &e) {
    return e.what();
  }
  return "";
}

TEST(ScopeGuards, RunTheirActionWhenTheirScopeEndsAndLetTheFirstFailureThrough) {
  for (const TCase &c : kCases) {
    bool ran = false;
    const std::string caught =
        c.OnFailOnly ? EndScope<TScopeFail>(c, ran) : EndScope<TScopeExit>(c, ran);
    EXPECT_EQ(ran, c.ActionRuns) << c.What;
    EXPECT_EQ(caught, c.Caught) << c.What;
  }
}

// A guard made while an exception already unwinds the stack (in a destructor) judges its own
// scope: ending normally there is no failure.
TEST(ScopeGuards, MadeDuringUnwindingTakeTheirOwnScopeEndAsNormal) {
  bool failRan = false;
  bool exitRan = false;
  struct TUnwound {
    bool &FailRan, &ExitRan;
    ~TUnwound() {
      TScopeFail fail{[this] { FailRan = true; }};
      TScopeExit exit{[this] { ExitRan = true; }};
    }
  };
  try {
    TUnwound unwound{failRan, exitRan};
    throw std::runtime_error("body");
  } catch (const std::runtime_error &) {
  }
  EXPECT_FALSE(failRan);
  EXPECT_TRUE(exitRan);
}

} // namespace
} // namespace krx
