#pragma once

#include <QDialog>

#include "app/OptionsPresenter.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace quorvel {

// The options on Qt: the check interval in minutes and whether the program
// starts at log-on. Presenter fills it and decides whether OK closes it.
class TOptionForm : public QDialog, private IOptionsView {
    Q_OBJECT

public:
    TOptionForm(QWidget* Owner, TOptionsPresenter& Presenter);

    void setVisible(bool Visible) override;

    QLineEdit* CheckTimeEdit;
    QCheckBox* RunOnStartupCheckBox;
    QCheckBox* NotifyNewMailCheckBox;
    QPushButton* OkButton;      // "&OK"
    QPushButton* CancelButton;  // "&Cancel"
    QPushButton* HelpButton;    // "&Help", always disabled

private:
    QWidget& Control(TOptionControl Control) const;
    std::string Text(TOptionControl Control) const override;
    void SetText(TOptionControl Control, const std::string& Text) override;
    bool Checked(TOptionControl Control) const override;
    void SetChecked(TOptionControl Control, bool Checked) override;
    void SetEnabled(TOptionControl Control, bool Enabled) override;
    void Refuse(TOptionControl Control) override;

    TOptionsPresenter& FPresenter;
};

}  // namespace quorvel
