#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "gui/qt/OptionForm.h"
#include "tests/ui/ModalDriver.h"

using namespace quorvel;

TEST(OptionForm, RefusesMinutesOutside0To71582) {
    TBeepCounter beeps;
    TOptionForm form(nullptr);
    form.SetIntervalMinutes(5);
    form.show();
    for (const char* minutes : {"-1", "71583", "abc", "5 ", "", "4294967296"}) {
        form.CheckTimeEdit->setText(QString::fromUtf8(minutes));
        form.OkBitBtn->setFocus();
        const int before = beeps.Count;
        form.OkBitBtn->click();
        EXPECT_TRUE(form.isVisible()) << minutes;
        EXPECT_EQ(beeps.Count, before + 1) << minutes;
        EXPECT_EQ(form.focusWidget(), form.CheckTimeEdit) << minutes;
    }
    form.CancelBitBtn->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

TEST(OptionForm, AcceptsMinutesAndGivesThemBack) {
    TBeepCounter beeps;
    TOptionForm form(nullptr);
    for (const auto& [text, minutes] : {std::pair{"0", 0u}, {"71582", 71582u}, {"10", 10u}, {" $A", 10u}}) {
        form.show();
        form.CheckTimeEdit->setText(QString::fromUtf8(text));
        form.OkBitBtn->click();
        EXPECT_EQ(form.result(), QDialog::Accepted) << text;
        EXPECT_EQ(form.IntervalMinutes(), minutes) << text;
    }
    EXPECT_EQ(beeps.Count, 0);
}

TEST(OptionForm, FilledFromTheCaller) {
    TOptionForm form(nullptr);
    form.SetIntervalMinutes(71581);
    form.SetRunAtStartup(true);
    EXPECT_EQ(form.CheckTimeEdit->text(), QStringLiteral("71581"));
    EXPECT_TRUE(form.RunAtStartup());
    form.RunOnStartupCheckBox->click();
    EXPECT_FALSE(form.RunAtStartup());
    EXPECT_FALSE(form.HelpBitBtn->isEnabled());
    EXPECT_GE(form.width(), 330);
    EXPECT_GE(form.height(), 123);
    form.show();
    SaveScreenshot(form, "options");
}
