#include "app/OptionsPresenter.h"

#include <cstdint>
#include <optional>
#include <utility>

#include "settings/DialogFields.h"

namespace quorvel {

namespace {

// The check boxes and the value each stands for. A new yes-or-no option is
// one more row here, a member of TOptionValues and a control in each view.
struct TOptionCheck {
    TOptionControl Control;
    bool TOptionValues::*Value;
};
constexpr TOptionCheck OptionChecks[] = {
    {TOptionControl::RunOnStartup, &TOptionValues::RunAtStartup},
    {TOptionControl::NotifyNewMail, &TOptionValues::NotifyNewMail},
};

}  // namespace

TOptionsPresenter::TOptionsPresenter(const TOptionValues& Values, TErrorReport Report)
    : FValues(Values), FReport(std::move(Report)) {}

bool TOptionsPresenter::FormCreate(IOptionsView& View) {
    bool filled = false;
    Guarded(FReport, [&] {
        View.SetText(TOptionControl::CheckTime, std::to_string(FValues.IntervalMinutes));
        for (const TOptionCheck& check : OptionChecks) View.SetChecked(check.Control, FValues.*check.Value);
        View.SetEnabled(TOptionControl::Help, false);
        filled = true;
    });
    return filled;
}

bool TOptionsPresenter::OkClicked(IOptionsView& View) {
    bool accepted = false;
    Guarded(FReport, [&] {
        const std::optional<std::uint32_t> minutes = IntervalMinutesFromText(View.Text(TOptionControl::CheckTime));
        if (!minutes) {
            View.Refuse(TOptionControl::CheckTime);
            return;
        }
        TOptionValues confirmed = FValues;
        confirmed.IntervalMinutes = *minutes;
        for (const TOptionCheck& check : OptionChecks) confirmed.*check.Value = View.Checked(check.Control);
        FValues = confirmed;
        accepted = true;
    });
    return accepted;
}

}  // namespace quorvel
