#pragma once

#include "app/AccountEditPresenter.h"

namespace quorvel {

class IEventLoop;

// The account edit dialog's sign-in: the sign-in of quorvel-check --sign-in
// (SignIn), waiting in the program's event loop, with the system's secret
// store and browser.
class TAccountSignIn final : public IAccountSignIn {
public:
    explicit TAccountSignIn(IEventLoop& Loop) : FLoop(Loop) {}
    bool SignedIn(const TAccount& Account) override;
    void SignIn(const TAccount& Account) override;

private:
    IEventLoop& FLoop;
};

}  // namespace quorvel
