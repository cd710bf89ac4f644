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

namespace detail {
template <class F, bool OnFailureOnly> class TScopeGuard {
public:
  explicit TScopeGuard(F action) : FAction(std::move(action)) {}
  ~TScopeGuard() noexcept(false) {
    const bool failing = std::uncaught_exceptions() != FUncaught;
    if (!failing) {
      if (!OnFailureOnly)
        FAction();
      return;
    }
    try {
      FAction();
    } catch (...) {
    }
  }
  TScopeGuard(const TScopeGuard &) = delete;
  TScopeGuard &operator=(const TScopeGuard &) = delete;

private:
  F FAction;
  int FUncaught = std::uncaught_exceptions();
};
} // namespace detail

// Runs its action when the scope ends, by return or by exception.
template <class F> class TScopeExit : public detail::TScopeGuard<F, false> {
public:
  using detail::TScopeGuard<F, false>::TScopeGuard;
};
template <class F> TScopeExit(F) -> TScopeExit<F>;

// Runs its action only when the scope ends by an exception: the undo of a step left half done.
template <class F> class TScopeFail : public detail::TScopeGuard<F, true> {
public:
  using detail::TScopeGuard<F, true>::TScopeGuard;
};
template <class F> TScopeFail(F) -> TScopeFail<F>;

} // namespace krx
