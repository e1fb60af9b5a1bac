#include "app/CheckCycle.h"

#include <memory>
#include <utility>
#include <vector>

#include "app/AccountCheck.h"
#include "app/TickClock.h"
#include "core/ScopeExit.h"
#include "core/VisibleText.h"
#include "settings/Account.h"
#include "tray/ImageList.h"

namespace quorvel {

namespace {

// One account as it stood when the cycle began, and a handle on the live one.
struct SnapshotEntry {
    TAccount Copy;
    std::weak_ptr<TAccount> Live;
};

std::vector<SnapshotEntry> TakeSnapshot(const TAccounts& Accounts) {
    std::vector<SnapshotEntry> entries;
    const std::int32_t n = Accounts.Count();
    entries.reserve(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) entries.push_back({Accounts.Items(i), Accounts.Track(i)});
    return entries;
}

}  // namespace

std::int32_t SignalLevelFor(std::uint32_t AverageMs) {
    if (AverageMs <= 700) return 4;
    if (AverageMs <= 2000) return 3;
    if (AverageMs <= 5000) return 2;
    return 1;
}

std::string SummaryLine(const std::string& UserID, const std::string& Host, std::int32_t Count) {
    return VisibleText(UserID) + "@" + VisibleText(Host) + " " + std::to_string(Count) + "通";
}

TCycleOutcome RunCheckCycle(TAccounts& Accounts, TPop3Client& Client, ITickClock& Clock, ICheckCycleView& View,
                            std::int32_t& SignalLevel, TOAuthAccess* OAuth) {
    TCycleOutcome outcome;
    View.SetConnectEnabled(false);
    OnScopeExit enableAgain([&View] { View.SetConnectEnabled(true); });

    std::uint32_t totalMs = 0;
    View.SetStatusHint(HintChecking);
    View.StartAnimation();
    {
        OnScopeExit stopAnimation([&View] { View.StopAnimation(); });
        for (SnapshotEntry& entry : TakeSnapshot(Accounts)) {
            const std::uint32_t startTick = Clock.GetTickCount();
            // An account removed before its turn is not checked at all.
            if (!entry.Copy.Enabled || entry.Live.expired()) continue;
            ++outcome.Visited;
            const TAccountCheckResult result = CheckAccount(Client, entry.Copy, OAuth);
            if (!result.Succeeded) outcome.Failed = true;
            // A count read before a failing QUIT still stands. An account
            // the user removed while it was being checked shows nothing.
            const std::shared_ptr<TAccount> live = entry.Live.lock();
            if (result.Counted && result.Count > 0 && live) {
                if (!outcome.Summary.empty()) outcome.Summary += "\r\n";
                outcome.Summary += SummaryLine(entry.Copy.UserID, entry.Copy.Host, result.Count);
                if (live->LastCount < result.Count) outcome.NewMail = true;
                live->LastCount = result.Count;
            }
            totalMs += Clock.GetTickCount() - startTick;
        }

        if (outcome.Visited <= 0 || outcome.Failed) {
            outcome.SignalLevel = 0;
            View.SetStatusHint(outcome.Failed ? HintFailed : HintNoAccount);
        } else {
            outcome.SignalLevel = SignalLevelFor(totalMs / static_cast<std::uint32_t>(outcome.Visited));
            View.SetStatusHint(HintMonitoring);
        }
        SignalLevel = outcome.SignalLevel;
    }

    View.SetStatusPicture(outcome.SignalLevel + FirstLevelPicture);
    if (outcome.Summary.empty()) {
        View.RemoveNewMail();
    } else {
        View.SetNewMailPicture(NewMailPicture);
        View.SetNewMailHint(outcome.Summary);
        if (outcome.NewMail) View.PlayNewMailSound();
    }
    return outcome;
}

}  // namespace quorvel
