#pragma once

#include "app/AccountEditPresenter.h"

namespace quorvel {

class EventLoop;

// The account edit dialog's sign-in: the sign-in of quorvel-check --sign-in
// (SignIn), waiting in the program's event loop, with the system's secret
// store and browser.
class TAccountSignIn final : public IAccountSignIn {
public:
    explicit TAccountSignIn(EventLoop& Loop) : FLoop(Loop) {}
    bool SignedIn(const TAccount& Account) override;
    void SignIn(const TAccount& Account) override;

private:
    EventLoop& FLoop;
};

}  // namespace quorvel
