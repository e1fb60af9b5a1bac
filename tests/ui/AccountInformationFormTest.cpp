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
        Form.Fill(FieldsForNewAccount());
        Form.show();
        Form.ServerNameEdit->setFocus();
    }
    TBeepCounter Beeps;
    TAccountInformationForm Form{nullptr};
};

}  // namespace

TEST_F(AccountInformationFormTest, RefusesPortsThatAreNotOneTo65535) {
    for (const char* port : {"", "1 2", "110 ", "abc", "0", "70000", "-1", "12345678901"}) {
        Form.ServerPortEdit->setText(QString::fromUtf8(port));
        Form.ServerNameEdit->setFocus();
        const int beeps = Beeps.Count;
        Form.OkButton->click();
        EXPECT_TRUE(Form.isVisible()) << port;
        EXPECT_EQ(Beeps.Count, beeps + 1) << port;
        EXPECT_EQ(Form.focusWidget(), Form.ServerPortEdit) << port;
    }
}

TEST_F(AccountInformationFormTest, AcceptsPortTexts) {
    SaveScreenshot(Form, "account-edit");
    for (const char* port : {"110", " 110", "+110", "$6E", "0x6E", "1", "65535"}) {
        Form.show();
        Form.ServerPortEdit->setText(QString::fromUtf8(port));
        Form.OkButton->click();
        EXPECT_FALSE(Form.isVisible()) << port;
        EXPECT_EQ(Form.result(), QDialog::Accepted) << port;
    }
    EXPECT_EQ(Beeps.Count, 0);
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

TEST_F(AccountInformationFormTest, Look) {
    EXPECT_EQ(Form.PasswordEdit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Form.PasswordEdit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter), '*');
    EXPECT_FALSE(Form.HelpButton->isEnabled());
    EXPECT_TRUE(Form.OkButton->isDefault());
    EXPECT_GE(Form.width(), 290);
    EXPECT_GE(Form.height(), 139);
}

// The protection row: a new account starts with SSL/TLS on 995; the port
// follows the mode only while it holds the previous mode's usual number.
TEST_F(AccountInformationFormTest, ThePortFollowsTheProtectionOnlyWhileItIsTheUsualOne) {
    struct Step {
        const char* Mode;
        const char* TypedPort;  // typed before choosing the mode; nullptr: none
        const char* Port;
        const char* Hint;
        bool Warning;
    };
    EXPECT_EQ(Form.SecurityCombo->currentText(), "SSL/TLS");
    EXPECT_EQ(Form.ServerPortEdit->text(), "995");
    const Step steps[] = {
        {"STARTTLS", nullptr, "110", "(通常は110です)", false}, {"なし", nullptr, "110", "(通常は110です)", true},
        {"SSL/TLS", nullptr, "995", "(通常は995です)", false},  {"STARTTLS", "2525", "2525", "(通常は110です)", false},
        {"SSL/TLS", nullptr, "2525", "(通常は995です)", false},
    };
    for (const Step& step : steps) {
        if (step.TypedPort) Form.ServerPortEdit->setText(step.TypedPort);
        // As the user picks it: the choice and its activated signal.
        const int index = Form.SecurityCombo->findText(QString::fromUtf8(step.Mode));
        Form.SecurityCombo->setCurrentIndex(index);
        emit Form.SecurityCombo->activated(index);
        SCOPED_TRACE(step.Mode);
        EXPECT_EQ(Form.ServerPortEdit->text(), step.Port);
        EXPECT_EQ(Form.PortHintLabel->text(), QString::fromUtf8(step.Hint));
        EXPECT_EQ(Form.PlaintextWarningLabel->isVisibleTo(&Form), step.Warning);
    }
}
