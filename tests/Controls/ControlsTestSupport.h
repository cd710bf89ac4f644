// Helpers of the toolkit's tests: an IDE style reported for the lifetime of a guard, and the
// small controls of the class library's tests.
#pragma once

#include "Controls/KRX.StyleSupport.h"
#include "../Platform/Vcl/VclTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace krx::test {

// Registers a themed style standing in for the IDE's and reports it, as the IDE side does,
// while the guard lives; the class library's own style stays active.
class TIDEStyleGuard {
public:
  TIDEStyleGuard() {
    FStyle = TStyleManager::RegisterStyle(std::make_unique<TCustomStyleServices>(u"IDE Dark", true));
    FStyle->SetSystemColor(clBtnFace, 0x2B2B2B);
    UpdateStyleServices(FStyle);
  }
  ~TIDEStyleGuard() {
    UpdateStyleServices(nullptr);
    StyleSupportFinalization();
    TStyleManager::UnregisterStyle(FStyle);
  }
  TIDEStyleGuard(const TIDEStyleGuard &) = delete;
  TIDEStyleGuard &operator=(const TIDEStyleGuard &) = delete;
  TCustomStyleServices *Style() const { return FStyle; }

private:
  TCustomStyleServices *FStyle;
};

// Counts the requests that reach the IDE side while it lives.
class TThemeRequests {
public:
  TThemeRequests() {
    auto &m = TMessageManager::DefaultManager();
    FApply = m.SubscribeToMessage<TApplyThemeMessage>([this](const TObject *, const TMessageBase &msg) {
      Applied.push_back(static_cast<const TApplyThemeMessage &>(msg).Value());
    });
    FRegister = m.SubscribeToMessage<TRegisterFormMessage>([this](const TObject *, const TMessageBase &msg) {
      Registered.push_back(static_cast<const TRegisterFormMessage &>(msg).Value()->ClassName());
    });
  }
  ~TThemeRequests() {
    auto &m = TMessageManager::DefaultManager();
    m.Unsubscribe<TApplyThemeMessage>(FApply);
    m.Unsubscribe<TRegisterFormMessage>(FRegister);
  }
  std::vector<TComponent *> Applied;
  std::vector<String> Registered;

private:
  Integer FApply, FRegister;
};

} // namespace krx::test
