// Shows the account edit (password and OAuth), options, account list and
// About dialogs side by side, not modally, for an assistive technology to
// read; prints every link the About box is asked to open ("opened <link>").
// Ends after 60 s.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <tuple>

#include "gui/qt/AboutForm.h"
#include "gui/qt/AccountInformationForm.h"
#include "gui/qt/AccountListForm.h"
#include "gui/qt/OptionForm.h"
#include "settings/Account.h"
#include "settings/DialogFields.h"

using namespace quorvel;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    TAccountEditPresenter editPresenter(nullptr, nullptr);
    TAccountInformationForm edit(nullptr, editPresenter);
    editPresenter.Fill(FieldsForNewAccount());
    editPresenter.SetSecurity(TConnectionSecurity::ImplicitTls);
    TAccountEditPresenter oauthPresenter(nullptr, nullptr);
    TAccount oauth;
    std::tie(oauth.Auth, oauth.OAuthProvider) = std::tuple(TAuthMethod::OAuth, "microsoft");
    oauthPresenter.SetAuth(oauth);
    TAccountInformationForm oauthEdit(nullptr, oauthPresenter);
    TOptionsPresenter optionsPresenter({5, false}, {});
    TOptionForm options(nullptr, optionsPresenter);
    TAccounts accounts;
    TAccountListPresenter listPresenter(accounts, nullptr, nullptr);
    TAccountListForm list(nullptr, listPresenter);
    TAboutPresenter aboutPresenter({});
    TAboutForm about(nullptr, aboutPresenter);
    about.SetLinkOpener([](const QUrl& Link) {
        std::printf("opened %s\n", Link.toString().toUtf8().constData());
        std::fflush(stdout);
    });
    // Two by two on a 640 x 480 screen: the edit above the About box, the
    // options above the list.
    edit.move(0, 0);
    oauthEdit.move(320, 0);
    about.move(0, 480 - about.height());
    options.move(640 - options.width(), 0);
    list.move(640 - list.width(), options.height() + 4);
    for (QWidget* dialog : std::initializer_list<QWidget*>{&edit, &oauthEdit, &options, &list, &about}) dialog->show();
    std::printf("shown\n");
    std::fflush(stdout);
    QTimer::singleShot(60000, &application, &QApplication::quit);
    return application.exec();
}
