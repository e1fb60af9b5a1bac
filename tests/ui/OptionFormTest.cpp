#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "gui/qt/OptionForm.h"
#include "tests/ui/ModalDriver.h"

using namespace quorvel;

// Filled from the caller; one refusal and one OK, end to end; the rules are
// tested at the presenter.
TEST(OptionForm, FilledFromTheCallerRefusalBeepsAndOkGivesBackWhatIsShown) {
    TBeepCounter beeps;
    TOptionsPresenter presenter({71581, true}, {});
    TOptionForm form(nullptr, presenter);
    EXPECT_EQ(form.CheckTimeEdit->text(), QStringLiteral("71581"));
    EXPECT_TRUE(form.RunOnStartupCheckBox->isChecked());
    EXPECT_FALSE(form.HelpButton->isEnabled());
    EXPECT_GE(form.width(), 330);
    EXPECT_GE(form.height(), 123);
    form.show();
    SaveScreenshot(form, "options");
    form.CheckTimeEdit->setText(QStringLiteral("71583"));
    form.OkButton->setFocus();
    form.OkButton->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(beeps.Count, 1);
    EXPECT_EQ(form.focusWidget(), form.CheckTimeEdit);

    form.CheckTimeEdit->setText(QStringLiteral("71582"));
    form.RunOnStartupCheckBox->click();
    form.OkButton->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(presenter.Values().IntervalMinutes, 71582u);
    EXPECT_FALSE(presenter.Values().RunAtStartup);
}
