// Guards that undo a temporary change when their scope ends, in place of
// try { ... } catch (...) { undo; throw; } followed by the same undo on the normal path.
//
// C++ cannot carry two exceptions at once: an undo that raises while an exception already
// leaves the scope is dropped, so that the first failure reaches the caller. On a normal exit
// the undo's exception leaves the scope as any other would.
#pragma once

#include <exception>
#include <utility>

namespace krx {

// Runs its action when the scope ends, by return or by exception.
template <class F> class TScopeExit {
public:
  explicit TScopeExit(F action) : FAction(std::move(action)) {}
  ~TScopeExit() noexcept(false) {
    if (std::uncaught_exceptions() == FUncaught) {
      FAction();
      return;
    }
    try {
      FAction();
    } catch (...) {
    }
  }
  TScopeExit(const TScopeExit &) = delete;
  TScopeExit &operator=(const TScopeExit &) = delete;

private:
  F FAction;
  int FUncaught = std::uncaught_exceptions();
};

// Runs its action only when the scope ends by an exception: the undo of a step left half done.
template <class F> class TScopeFail {
public:
  explicit TScopeFail(F action) : FAction(std::move(action)) {}
  ~TScopeFail() {
    if (std::uncaught_exceptions() == FUncaught)
      return;
    try {
      FAction();
    } catch (...) {
    }
  }
  TScopeFail(const TScopeFail &) = delete;
  TScopeFail &operator=(const TScopeFail &) = delete;

private:
  F FAction;
  int FUncaught = std::uncaught_exceptions();
};

} // namespace krx
