#include "app/TrayCycleReport.h"

#include <string>

#include "app/CheckCycle.h"
#include "app/TickClock.h"

namespace quorvel {

namespace {

// Keeps the last hint of the status icon; the rest the outcome tells.
class HintRecorder final : public TSilentCycleView {
public:
    std::string StatusHint;

    void SetStatusHint(const std::string& Hint) override { StatusHint = Hint; }
};

}  // namespace

bool ReportTrayCycle(TAccounts& Accounts, TPop3Client& Client, std::ostream& Out, TOAuthAccess* OAuth) {
    HintRecorder view;
    TMonotonicTickClock clock;
    std::int32_t level = 0;
    const TCycleOutcome outcome = RunCheckCycle(Accounts, Client, clock, view, level, OAuth);
    Out << view.StatusHint << "\nlevel: " << level << '\n';
    // The summary's lines are joined by CR LF; the terminal wants LF.
    for (char c : outcome.Summary) {
        if (c != '\r') Out << c;
    }
    if (!outcome.Summary.empty()) Out << '\n';
    Out.flush();
    return outcome.Failed;
}

}  // namespace quorvel
