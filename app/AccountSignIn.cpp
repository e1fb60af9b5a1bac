#include "app/AccountSignIn.h"

#include <exception>

#include "app/AccountCheck.h"
#include "app/Browser.h"
#include "app/OAuthAccess.h"
#include "core/Exception.h"
#include "net/EventLoop.h"
#include "net/HttpClient.h"
#include "settings/SecretStore.h"

namespace quorvel {

namespace {

constexpr const char* CancelledText = "OAuth: the sign-in was cancelled; nothing was stored";

// The program's loop as one sign-in waits in it: once the sign-in is
// cancelled, its next wait raises, once, which ends the sign-in where it
// waits, and everything it opened is closed on the way out. A token call
// under way is waited for in the loop as before (the dialog stays alive),
// and its answer is dropped.
class TCancellableLoop final : public TForwardingLoop {
public:
    TCancellableLoop(IEventLoop& Loop, const bool& Cancelled) : TForwardingLoop(Loop), FCancelled(Cancelled) {}

    void WaitForEvents() override {
        if (!FCancelled || FRaised) FInner.WaitForEvents();
        if (FCancelled && !FRaised) {
            FRaised = true;
            throw Exception(CancelledText);
        }
    }

private:
    const bool& FCancelled;
    bool FRaised = false;
};

}  // namespace

bool TAccountSignIn::SignedIn(const TAccount& Account) {
    bool stored = false;
    const auto store = OpenSecretStore();
    RunBesideLoop(FLoop, [&] { stored = store->Load(AccountName(Account)).has_value(); });
    return stored;
}

void TAccountSignIn::SignIn(const TAccount& Account, ISignInProgress& Progress) {
    FCancelled = false;
    TCancellableLoop loop(FLoop, FCancelled);
    const auto store = OpenSecretStore();
    const auto http = MakeHttpClient();
    quorvel::SignIn(
        loop, Account, *store, *http,
        [&](const std::string& Url) {
            try {
                OpenInBrowser(Url);
            } catch (const std::exception& error) {
                Progress.BrowserFailed(error.what());
            }
        },
        [&](const std::string& Url) { Progress.AddressReady(Url); });
}

}  // namespace quorvel
