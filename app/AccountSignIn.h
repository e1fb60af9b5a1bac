#pragma once

#include "app/AccountEditPresenter.h"

namespace quorvel {

class IEventLoop;

// The account edit dialog's sign-in: the sign-in of quorvel-check --sign-in
// (SignIn), waiting in the program's event loop, with the system's secret
// store and browser. A browser that cannot be started is told to the
// dialog, and the wait goes on: the user may open the address by hand.
class TAccountSignIn final : public IAccountSignIn {
public:
    explicit TAccountSignIn(IEventLoop& Loop) : FLoop(Loop) {}
    bool SignedIn(const TAccount& Account) override;
    void SignIn(const TAccount& Account, ISignInProgress& Progress) override;
    void Cancel() override { FCancelled = true; }

private:
    IEventLoop& FLoop;
    bool FCancelled = false;
};

}  // namespace quorvel
