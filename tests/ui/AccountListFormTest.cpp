#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "gui/qt/AccountInformationForm.h"
#include "gui/qt/AccountListForm.h"
#include "tests/ui/ModalDriver.h"

using namespace quorvel;

namespace {

class AccountListFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        Accounts.Add() = TAccount{"pop.example.jp", 110, "abcde", "taro", true, 0};
        Accounts.Add() = TAccount{"", 995, "秘密", "", false, 0};
    }
    static QStringList Row(TAccountListForm& Form, int Index) {
        const QTreeWidgetItem* row = Form.AccountListView->topLevelItem(Index);
        return {row->text(0), row->text(1), row->text(2), row->text(3)};
    }
    static void Select(TAccountListForm& Form, int Index) {
        Form.AccountListView->setCurrentItem(Form.AccountListView->topLevelItem(Index));
    }

    TAccounts Accounts;
    TAccountListPresenter Presenter{Accounts, nullptr, nullptr};
};

}  // namespace

TEST_F(AccountListFormTest, ShowsOneRowPerAccount) {
    TAccountListForm form(nullptr, Presenter);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Accounts"));
    const QTreeWidgetItem* header = form.AccountListView->headerItem();
    EXPECT_EQ(QStringList({header->text(0), header->text(1), header->text(2), header->text(3)}),
              QStringList({"Server name", "Port", "UserID", "Password"}));
    const int widths[] = {120, 35, 70, 70};
    for (int i = 0; i < 4; ++i) EXPECT_GE(form.AccountListView->columnWidth(i), widths[i]);
    ASSERT_EQ(form.AccountListView->topLevelItemCount(), 2);
    EXPECT_EQ(Row(form, 0), QStringList({"pop.example.jp", "110", "taro", "*****"}));
    EXPECT_EQ(form.AccountListView->topLevelItem(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(form.AccountListView->topLevelItem(1)->checkState(0), Qt::Unchecked);
    EXPECT_TRUE(form.AccountListView->topLevelItem(0)->textAlignment(1) & Qt::AlignRight);
    EXPECT_GE(form.width(), 320);
    EXPECT_GE(form.height(), 200);
    Select(form, 0);
    form.show();
    SaveScreenshot(form, "account-list");
}

// Add through the real edit dialog, then delete through the real question
// (what each button does is AccountPresentersTest's).
TEST_F(AccountListFormTest, AddAndDeleteEndToEnd) {
    TAccountListForm form(nullptr, Presenter);
    EXPECT_FALSE(form.ChangeButton->isEnabled() || form.DeleteButton->isEnabled());
    WhenModal<TAccountInformationForm>([](TAccountInformationForm& edit) {
        SaveScreenshot(edit, "account-add");
        edit.ServerNameEdit->setText(QStringLiteral("pop.new.jp"));
        edit.OkButton->click();
    });
    form.AddButton->click();
    ASSERT_EQ(Accounts.Count(), 3);
    EXPECT_EQ(form.AccountListView->topLevelItemCount(), 3);

    Select(form, 0);
    EXPECT_TRUE(form.ChangeButton->isEnabled() && form.DeleteButton->isEnabled());
    WhenModal<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("確認"));
        EXPECT_EQ(box.text(), QStringLiteral("\"taro@pop.example.jp\" を削除してよろしいですか？"));
        EXPECT_EQ(box.icon(), QMessageBox::Question);
        ASSERT_NE(box.escapeButton(), nullptr);
        EXPECT_EQ(box.escapeButton()->text(), QStringLiteral("キャンセル"));
        SaveScreenshot(box, "delete-question");
        box.defaultButton()->click();
    });
    form.DeleteButton->click();
    EXPECT_EQ(Accounts.Count(), 2);
    EXPECT_EQ(Row(form, 0), QStringList({"", "995", "", "******"}));
}

TEST_F(AccountListFormTest, CloseButtonAcceptsTitleBarCloseRejectsBothCopyTicks) {
    for (const bool closeButton : {true, false}) {
        TAccountListPresenter presenter(Accounts, nullptr, nullptr);
        TAccountListForm form(nullptr, presenter);
        const bool first = Accounts.Items(0).Enabled;
        form.AccountListView->topLevelItem(0)->setCheckState(0, first ? Qt::Unchecked : Qt::Checked);
        WhenModal<TAccountListForm>([closeButton](TAccountListForm& list) {
            QTest::keyClick(&list, Qt::Key_Escape);
            QTest::keyClick(list.AccountListView, Qt::Key_Return);
            EXPECT_TRUE(list.isVisible());  // neither Esc nor Enter closes the list
            if (closeButton) {
                list.CloseButton->click();
            } else {
                list.close();
            }
        });
        EXPECT_EQ(form.exec(), closeButton ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(presenter.StoreAccounts(), closeButton);
        EXPECT_EQ(Accounts.Items(0).Enabled, !first);
        EXPECT_FALSE(Accounts.Items(1).Enabled);
    }
}
