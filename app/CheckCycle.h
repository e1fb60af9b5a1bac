#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

class ITickClock;
class TAccounts;
class TOAuthAccess;
class TPop3Client;

// Status hints of the status icon.
inline constexpr const char* HintNotConnected = "Quorvel - 未接続";
inline constexpr const char* HintChecking = "Quorvel - チェック中...";
inline constexpr const char* HintMonitoring = "Quorvel - 監視中";
inline constexpr const char* HintFailed = "Quorvel - チェックできませんでした";
inline constexpr const char* HintNoAccount = "Quorvel - アカウントを設定してください";
inline constexpr const char* HintOffline = "Quorvel - オフライン";

// What a check cycle drives: the two tray icons, the animation, the sound and
// the check action. The main window implements it on its tray icons; the
// command-line check prints what it is told.
class ICheckCycleView {
public:
    virtual ~ICheckCycleView() = default;
    virtual void SetConnectEnabled(bool Enabled) = 0;
    virtual void SetStatusHint(const std::string& Hint) = 0;
    // Resets the animation to its first frame and starts it / stops it.
    virtual void StartAnimation() = 0;
    virtual void StopAnimation() = 0;
    // Puts picture Index on the status icon (added if absent).
    virtual void SetStatusPicture(int Index) = 0;
    // Puts picture Index on the new-mail icon (added if absent).
    virtual void SetNewMailPicture(int Index) = 0;
    virtual void SetNewMailHint(const std::string& Hint) = 0;
    // Takes the new-mail icon out of the notification area.
    virtual void RemoveNewMail() = 0;
    // Starts the new-mail sound and returns at once.
    virtual void PlayNewMailSound() = 0;
};

// A view that shows nothing, for callers that want only the outcome; they
// override what they do want to see.
class TSilentCycleView : public ICheckCycleView {
public:
    void SetConnectEnabled(bool) override {}
    void SetStatusHint(const std::string&) override {}
    void StartAnimation() override {}
    void StopAnimation() override {}
    void SetStatusPicture(int) override {}
    void SetNewMailPicture(int) override {}
    void SetNewMailHint(const std::string&) override {}
    void RemoveNewMail() override {}
    void PlayNewMailSound() override {}
};

// The level shown by the status icon for an average check time per account.
std::int32_t SignalLevelFor(std::uint32_t AverageMs);

// The summary line of an account with mail: UserID "@" Host " " Count "通",
// control characters of the stored texts shown as visible escapes.
std::string SummaryLine(const std::string& UserID, const std::string& Host, std::int32_t Count);

// What one cycle found.
struct TCycleOutcome {
    std::int32_t SignalLevel = 0;
    bool Failed = false;
    std::int32_t Visited = 0;
    std::string Summary;  // lines joined by CR LF
    bool NewMail = false;
};

// One check cycle: every enabled account in list order is logged in to, its
// messages counted and logged out of; then the icons, hints and sound follow.
//
// The cycle works on a snapshot of the list taken when it starts, because the
// network waits run the event loop and an account dialog may change the list
// meanwhile: an account removed during the cycle is never touched again (one
// removed before its turn is not checked; one removed while it was checked
// shows no line), accounts added wait for the next cycle, and no position is
// addressed that may no longer exist.
// SignalLevel is the main window's level, set once the status is decided.
TCycleOutcome RunCheckCycle(TAccounts& Accounts, TPop3Client& Client, ITickClock& Clock, ICheckCycleView& View,
                            std::int32_t& SignalLevel, TOAuthAccess* OAuth = nullptr);

}  // namespace quorvel
