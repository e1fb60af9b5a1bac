// The dialogs' controls at the scale the test runs at (ctest runs these at
// 96 dpi and at twice that): nothing overlaps, leaves its window or is cut,
// and showing the plaintext warning moves nothing.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <map>

#include "gui/qt/AboutForm.h"
#include "gui/qt/AccountInformationForm.h"
#include "gui/qt/AccountListForm.h"
#include "gui/qt/LinkLabel.h"
#include "gui/qt/OptionForm.h"
#include "settings/Account.h"
#include "settings/DialogFields.h"
#include "tests/ui/LayoutCheck.h"
#include "tests/ui/ModalDriver.h"

using namespace quorvel;

namespace {

using TFaults = std::vector<std::string>;

std::map<const QObject*, QRect> Geometries(const QWidget& Window) {
    std::map<const QObject*, QRect> geometries;
    for (const QObject* child : Window.children()) {
        if (const auto* control = qobject_cast<const QWidget*>(child)) geometries[control] = control->geometry();
    }
    return geometries;
}

void Choose(QComboBox& Combo, const QString& Caption) {
    const int index = Combo.findText(Caption);
    Combo.setCurrentIndex(index);
    emit Combo.activated(index);
}

}  // namespace

TEST(DialogLayout, AccountEditFitsAndKeepsItsRowsWhenTheWarningShows) {
    TAccountEditPresenter presenter(
        [](const std::string&, std::int32_t, TConnectionSecurity) { return TShownCertificate(); }, nullptr);
    TAccountInformationForm form(nullptr, presenter);
    presenter.Fill({{TAccountField::ServerName, "pop.example.jp"},
                    {TAccountField::Port, "65535"},
                    {TAccountField::UserID, "taro"},
                    {TAccountField::Password, "secret"}});
    presenter.SetSecurity(TConnectionSecurity::Stls);
    form.show();
    SaveScreenshot(form, "layout-account-edit");
    EXPECT_EQ(LayoutFaults(form), TFaults());
    EXPECT_LE(form.ServerPortEdit->fontMetrics().horizontalAdvance(form.ServerPortEdit->text()),
              TextRoom(*form.ServerPortEdit));
    EXPECT_GE(Gap(*form.FetchCertificateButton, *form.ClearCertificateButton), 4);

    const auto before = Geometries(form);
    const QSize size = form.size();
    Choose(*form.SecurityCombo, QStringLiteral("なし"));
    ASSERT_TRUE(form.PlaintextWarningLabel->isVisible());
    SaveScreenshot(form, "layout-account-edit-plaintext");
    EXPECT_EQ(LayoutFaults(form), TFaults());
    EXPECT_EQ(form.size(), size);
    for (const auto& [control, geometry] : Geometries(form)) {
        EXPECT_EQ(geometry, before.at(control)) << Describe(*static_cast<const QWidget*>(control));
    }
    // The OAuth rows were kept free too.
    Choose(*form.AuthCombo, QStringLiteral("OAuth 2.0 (その他)"));
    ASSERT_TRUE(form.ScopeEdit->isVisible() && form.SignInButton->isVisible());
    SaveScreenshot(form, "layout-account-edit-oauth");
    EXPECT_EQ(LayoutFaults(form), TFaults());
    EXPECT_EQ(form.size(), size);
}

TEST(DialogLayout, OptionsAndAboutBoxFit) {
    TOptionsPresenter presenter({71582, false}, {});
    TOptionForm form(nullptr, presenter);
    form.show();
    SaveScreenshot(form, "layout-options");
    EXPECT_EQ(LayoutFaults(form), TFaults());
    EXPECT_LE(form.CheckTimeEdit->fontMetrics().horizontalAdvance(form.CheckTimeEdit->text()),
              TextRoom(*form.CheckTimeEdit));
    TAboutPresenter aboutPresenter({});
    TAboutForm about(nullptr, aboutPresenter);
    about.show();
    SaveScreenshot(about, "layout-about");
    EXPECT_EQ(LayoutFaults(about), TFaults());
}

TEST(DialogLayout, AccountListShowsWholePortsAndHeaders) {
    TAccounts accounts;
    for (std::int32_t port : {110, 995, 65535}) {
        TAccount& account = accounts.Add();
        account.Host = "pop.example.jp";
        account.Port = port;
        account.UserID = "taro";
        account.Password = "secret";
    }
    TAccountListPresenter presenter(accounts, nullptr, nullptr);
    TAccountListForm form(nullptr, presenter);
    form.show();
    SaveScreenshot(form, "layout-account-list");
    EXPECT_EQ(LayoutFaults(form), TFaults());
    QTreeWidget& list = *form.AccountListView;
    const QAbstractItemView& view = list;
    EXPECT_GE(list.columnWidth(1), view.sizeHintForColumn(1));
    for (int column = 0; column < list.columnCount(); ++column) {
        EXPECT_GE(list.columnWidth(column), list.header()->sectionSizeHint(column)) << column;
    }
}
