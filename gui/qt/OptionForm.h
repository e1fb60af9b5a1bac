#pragma once

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace quorvel {

// The options: the check interval in minutes and whether the program starts
// at log-on. OK closes it only when the minutes are an integer from 0 to
// MaxIntervalMinutes; otherwise it beeps and puts the focus on the box.
class TOptionForm : public QDialog {
    Q_OBJECT

public:
    explicit TOptionForm(QWidget* Owner);

    void SetIntervalMinutes(std::uint32_t Minutes);
    // The minutes in the box; meaningful once OK has closed the dialog
    // (the default 5 for a box that holds no valid interval).
    std::uint32_t IntervalMinutes() const;
    void SetRunAtStartup(bool Run);
    bool RunAtStartup() const;

    // Every way of closing comes here; OK is checked first.
    void done(int Result) override;
    void setVisible(bool Visible) override;

    QLineEdit* CheckTimeEdit;
    QCheckBox* RunOnStartupCheckBox;
    QPushButton* OkBitBtn;      // "&OK"
    QPushButton* CancelBitBtn;  // "&Cancel"
    QPushButton* HelpBitBtn;    // "&Help", always disabled

private:
    bool FormCloseQuery(int Result);
};

}  // namespace quorvel
