#pragma once

#include <string>

#include "app/MainWindowParts.h"
#include "core/Guarded.h"

namespace quorvel {

// The controls of the options dialog that the presenter speaks of.
enum class TOptionControl {
    CheckTime,      // the minutes box
    RunOnStartup,   // "start at log-on"
    NotifyNewMail,  // "新着メールを通知する(&N)"
    Help,           // the help button
};

// What the options dialog shows and what it is asked; each toolkit's dialog
// implements it and does nothing of its own beyond showing and forwarding.
class IOptionsView {
public:
    virtual ~IOptionsView() = default;
    virtual std::string Text(TOptionControl Control) const = 0;
    virtual void SetText(TOptionControl Control, const std::string& Text) = 0;
    virtual bool Checked(TOptionControl Control) const = 0;
    virtual void SetChecked(TOptionControl Control, bool Checked) = 0;
    virtual void SetEnabled(TOptionControl Control, bool Enabled) = 0;
    // Refuses OK: the focus goes to Control and the default beep sounds. No
    // message is shown.
    virtual void Refuse(TOptionControl Control) = 0;
};

// The options dialog's decisions: what it shows of Values, what its minutes
// box accepts (an integer from 0 to MaxIntervalMinutes, the largest whose
// period fits 32 bits of milliseconds) and what OK gives back. The view
// calls FormCreate once its controls exist and OkClicked when OK is pressed;
// what either lets escape goes to Report.
class TOptionsPresenter {
public:
    TOptionsPresenter(const TOptionValues& Values, TErrorReport Report);

    // Fills View; false when that failed (reported): the view then closes as
    // cancelled, never half filled.
    bool FormCreate(IOptionsView& View);
    // True when OK may close the dialog; Values() then holds what it gives
    // back. Refused input keeps the dialog open and Values() as they were.
    bool OkClicked(IOptionsView& View);

    const TOptionValues& Values() const { return FValues; }

private:
    TOptionValues FValues;
    TErrorReport FReport;
};

}  // namespace quorvel
