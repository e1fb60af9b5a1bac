#pragma once

#include <QDialog>
#include <string>

#include "settings/DialogFields.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvel {

// The dialog that edits the four connection fields of one account. The
// caller fills the boxes, shows it modally and reads them back after OK.
// OK closes it only when the port is an integer from 1 to 65535; otherwise
// it beeps and puts the focus on the port box. Cancel, Esc and the close
// button close it without a check.
class TAccountInfomationForm : public QDialog {
    Q_OBJECT

public:
    explicit TAccountInfomationForm(QWidget* Owner);

    void SetFieldText(TAccountField Field, const std::string& Text);
    std::string FieldText(TAccountField Field) const;
    // Fills the boxes in the order given.
    void Fill(const std::vector<TFieldText>& Texts);
    TAccountFields Fields() const;

    // Every way of closing comes here; OK is checked first.
    void done(int Result) override;
    void setVisible(bool Visible) override;

    QLineEdit* ServerNameEdit;
    QLineEdit* ServerPortEdit;
    QLineEdit* UserIDEdit;
    QLineEdit* PasswordEdit;
    QPushButton* BitBtn1;  // "&OK"
    QPushButton* BitBtn2;  // "&Cancel"
    QPushButton* BitBtn3;  // "&Help", always disabled

private:
    // Whether the dialog may close with Result.
    bool FormCloseQuery(int Result);
    QLineEdit* Edit(TAccountField Field) const;
};

}  // namespace quorvel
