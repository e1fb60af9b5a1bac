#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include "gui/qt/AccountInformationForm.h"
#include "tests/ui/ModalDriver.h"

using namespace quorvel;

namespace {

class AccountInformationFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        Presenter.Fill(FieldsForNewAccount());
        Form.show();
        Form.ServerNameEdit->setFocus();
    }
    TBeepCounter Beeps;
    TAccountEditPresenter Presenter{nullptr, nullptr};
    TAccountInformationForm Form{nullptr, Presenter};
};

}  // namespace

// The protection chosen in the combo box reaches the presenter, and what it
// decides shows: the port, its hint, the warning; OK is refused with a beep
// and the focus on the port box until the port is one.
TEST_F(AccountInformationFormTest, ProtectionAndPortAreShownAndOkIsRefusedThenTaken) {
    SaveScreenshot(Form, "account-edit");
    EXPECT_EQ(Form.PasswordEdit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Form.PasswordEdit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter), '*');
    EXPECT_FALSE(Form.HelpButton->isEnabled());
    EXPECT_TRUE(Form.OkButton->isDefault());
    EXPECT_GE(Form.width(), 290);
    EXPECT_GE(Form.height(), 139);
    EXPECT_EQ(Form.SecurityCombo->currentText(), "SSL/TLS");
    EXPECT_EQ(Form.ServerPortEdit->text(), "995");
    EXPECT_FALSE(Form.PlaintextWarningLabel->isVisibleTo(&Form));
    const int index = Form.SecurityCombo->findText(QStringLiteral("なし"));
    Form.SecurityCombo->setCurrentIndex(index);
    emit Form.SecurityCombo->activated(index);
    EXPECT_EQ(Form.ServerPortEdit->text(), "110");
    EXPECT_EQ(Form.PortHintLabel->text(), QStringLiteral("(通常は110です)"));
    EXPECT_TRUE(Form.PlaintextWarningLabel->isVisibleTo(&Form));

    Form.ServerPortEdit->setText(QStringLiteral("70000"));
    Form.OkButton->click();
    EXPECT_TRUE(Form.isVisible());
    EXPECT_EQ(Beeps.Count, 1);
    EXPECT_EQ(Form.focusWidget(), Form.ServerPortEdit);
    Form.ServerPortEdit->setText(QStringLiteral("65535"));
    Form.OkButton->click();
    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_EQ(Presenter.Fields().Port, "65535");
}

TEST_F(AccountInformationFormTest, CancelEscAndCloseNeverCheck) {
    Form.ServerPortEdit->setText(QStringLiteral("abc"));
    Form.CancelButton->click();
    EXPECT_EQ(Form.result(), QDialog::Rejected);
    Form.show();
    QTest::keyClick(&Form, Qt::Key_Escape);
    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(Form.result(), QDialog::Rejected);
    Form.show();
    Form.close();
    EXPECT_EQ(Form.result(), QDialog::Rejected);
    EXPECT_EQ(Beeps.Count, 0);
}
