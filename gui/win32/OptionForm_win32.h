#pragma once

#include "app/OptionsPresenter.h"
#include "gui/win32/WinDialog_win32.h"

namespace quorvel {

// The options on Win32: the check interval in minutes and start at log-on.
// Presenter fills it and decides whether OK closes it.
class TOptionForm final : public TWinDialog, private IOptionsView {
public:
    explicit TOptionForm(TOptionsPresenter& Presenter);

private:
    INT_PTR HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;

    std::string Text(TOptionControl Control) const override;
    void SetText(TOptionControl Control, const std::string& Text) override;
    bool Checked(TOptionControl Control) const override;
    void SetChecked(TOptionControl Control, bool Checked) override;
    void SetEnabled(TOptionControl Control, bool Enabled) override;
    void Refuse(TOptionControl Control) override;

    TOptionsPresenter& FPresenter;
};

}  // namespace quorvel
