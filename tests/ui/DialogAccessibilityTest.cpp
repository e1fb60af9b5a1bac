// What a screen reader gets from the dialogs through Qt's accessibility
// interface: every box named by its label, the account list named, the
// About box's links as links that open by keyboard and by their action.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <map>
#include <vector>

#include "gui/qt/AboutForm.h"
#include "gui/qt/AccountInformationForm.h"
#include "gui/qt/AccountListForm.h"
#include "gui/qt/LinkLabel.h"
#include "gui/qt/OptionForm.h"
#include "settings/Account.h"
#include "settings/DialogFields.h"
#include "tests/ui/ModalDriver.h"

using namespace quorvel;

namespace {

struct TNamed {
    QWidget* Control;
    QString Name;
    QString Description;
};

QAccessibleInterface& Accessible(QWidget& Control) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&Control);
    if (accessible == nullptr) throw std::runtime_error("no accessible interface");
    return *accessible;
}

// The name a screen reader says for the control: the label it is labelled
// by, which is also the control's own name except for a combo box (on Linux
// Qt names it by its current item and leaves the label to the relation).
QString LabelledBy(QAccessibleInterface& Control) {
    QString names;
    for (const auto& [label, relation] : Control.relations(QAccessible::Label)) names += label->text(QAccessible::Name);
    return names;
}

void ExpectNames(const std::vector<TNamed>& Controls) {
    for (const TNamed& c : Controls) {
        QAccessibleInterface& accessible = Accessible(*c.Control);
        EXPECT_EQ(LabelledBy(accessible), c.Name) << c.Control->metaObject()->className();
        if (accessible.role() != QAccessible::ComboBox) {
            EXPECT_EQ(accessible.text(QAccessible::Name), c.Name) << c.Control->metaObject()->className();
        }
        EXPECT_EQ(accessible.text(QAccessible::Description), c.Description) << c.Name.toStdString();
    }
}

}  // namespace

TEST(DialogAccessibility, EveryBoxIsNamedByItsLabel) {
    TAccountEditPresenter presenter(nullptr, nullptr);
    TAccountInformationForm edit(nullptr, presenter);
    presenter.Fill(FieldsForNewAccount());
    presenter.SetSecurity(TConnectionSecurity::ImplicitTls);
    ExpectNames({{edit.ServerNameEdit, QStringLiteral("ServerName:"), {}},
                 {edit.ServerPortEdit, QStringLiteral("ServerPort:"), QStringLiteral("(通常は995です)")},
                 {edit.SecurityCombo, QStringLiteral("接続の保護:"), {}},
                 {edit.FingerprintEdit, QStringLiteral("証明書の指紋:"), {}},
                 {edit.UserIDEdit, QStringLiteral("UserID:"), {}},
                 {edit.PasswordEdit, QStringLiteral("Password:"), {}},
                 {edit.AuthCombo, QStringLiteral("認証(A):"), {}},
                 {edit.ClientIdEdit, QStringLiteral("クライアントID:"), {}},
                 {edit.ScopeEdit, QStringLiteral("スコープ:"), {}}});
    // The warning is told with the protection that brings it.
    presenter.SetSecurity(TConnectionSecurity::None);
    ExpectNames(
        {{edit.ServerPortEdit, QStringLiteral("ServerPort:"), QStringLiteral("(通常は110です)")},
         {edit.SecurityCombo, QStringLiteral("接続の保護:"), QStringLiteral("パスワードは暗号化されずに送られます")}});

    TOptionsPresenter optionsPresenter({5, false}, {});
    TOptionForm options(nullptr, optionsPresenter);
    ExpectNames({{options.CheckTimeEdit, QStringLiteral("メールを確認する間隔"), QStringLiteral("分")}});
    EXPECT_EQ(Accessible(*options.RunOnStartupCheckBox).text(QAccessible::Name),
              QStringLiteral("ログオン時にこのプログラムを実行する(R)"));

    TAccounts accounts;
    TAccountListPresenter listPresenter(accounts, nullptr, nullptr);
    TAccountListForm list(nullptr, listPresenter);
    EXPECT_EQ(Accessible(*list.AccountListView).text(QAccessible::Name), QStringLiteral("アカウント一覧"));
}

// The fields of the account dialog that carry an accelerator, and the
// port box, are each reached by Alt and a letter no other control uses.
TEST(DialogAccessibility, AccountFieldsHaveTheirOwnAccelerators) {
    TAccountEditPresenter presenter(nullptr, nullptr);
    TAccountInformationForm edit(nullptr, presenter);
    std::map<QKeySequence, QString> used;
    for (QAbstractButton* button : edit.findChildren<QAbstractButton*>()) {
        const QKeySequence key = QKeySequence::mnemonic(button->text());
        if (!key.isEmpty()) {
            EXPECT_TRUE(used.emplace(key, button->text()).second) << button->text().toStdString();
        }
    }
    for (QWidget* field : {static_cast<QWidget*>(edit.ServerNameEdit), static_cast<QWidget*>(edit.ServerPortEdit),
                           static_cast<QWidget*>(edit.UserIDEdit), static_cast<QWidget*>(edit.PasswordEdit),
                           static_cast<QWidget*>(edit.AuthCombo)}) {
        const QLabel* label = nullptr;
        for (QLabel* candidate : edit.findChildren<QLabel*>())
            if (candidate->buddy() == field) label = candidate;
        ASSERT_NE(label, nullptr);
        const QKeySequence key = QKeySequence::mnemonic(label->text());
        EXPECT_FALSE(key.isEmpty()) << label->text().toStdString();
        if (!key.isEmpty()) {
            EXPECT_TRUE(used.emplace(key, label->text()).second) << label->text().toStdString();
        }
    }
}

TEST(DialogAccessibility, AboutLinksAreLinksThatOpenByKeyAndByAction) {
    TAboutPresenter presenter({});
    TAboutForm form(nullptr, presenter);
    std::vector<QString> opened;
    form.SetLinkOpener([&](const QUrl& link) { opened.push_back(link.toString()); });
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form, 15000));
    for (TLinkLabel* link : {form.MailLinkLabel, form.HPUrlLinkLabel}) {
        QAccessibleInterface& accessible = Accessible(*link);
        EXPECT_EQ(accessible.role(), QAccessible::Link);
        EXPECT_EQ(accessible.text(QAccessible::Name), link->text());
        EXPECT_TRUE(accessible.state().focusable);
        EXPECT_TRUE(accessible.state().linked);
        ASSERT_NE(accessible.actionInterface(), nullptr);
        EXPECT_TRUE(accessible.actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        accessible.actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
    // OK has the focus first; Tab goes on to the links, where Enter and
    // Space open them and leave the box open.
    EXPECT_EQ(form.focusWidget(), form.OkButton);
    QTest::keyClick(form.focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(form.focusWidget(), form.MailLinkLabel);
    EXPECT_TRUE(form.MailLinkLabel->hasFocus());
    SaveScreenshot(form, "about-link-focus");
    QTest::keyClick(form.MailLinkLabel, Qt::Key_Return);
    QTest::keyClick(form.focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(form.focusWidget(), form.HPUrlLinkLabel);
    QTest::keyClick(form.HPUrlLinkLabel, Qt::Key_Space);
    EXPECT_TRUE(form.isVisible());
    const std::vector<QString> expected = {form.MailLinkLabel->text(), form.HPUrlLinkLabel->text(),
                                           form.MailLinkLabel->text(), form.HPUrlLinkLabel->text()};
    EXPECT_EQ(opened, expected);
}
