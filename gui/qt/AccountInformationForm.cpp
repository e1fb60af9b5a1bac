#include "gui/qt/AccountInformationForm.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <utility>

#include "gui/qt/DialogSupport.h"

namespace quorvel {

namespace {

// The client area the dialog has at least.
constexpr int MinimumWidth = 290;
constexpr int MinimumHeight = 139;

QLabel* NewLabel(const QString& Caption, QWidget* Buddy, QWidget* Parent) {
    auto* label = new QLabel(Caption, Parent);
    if (Buddy != nullptr) label->setBuddy(Buddy);
    return label;
}

// Shows every character of a password box as "*".
class TAsteriskStyle : public QProxyStyle {
public:
    int styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                  QStyleHintReturn* Return) const override {
        if (Hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(Hint, Option, Widget, Return);
    }
};

// A widget whose row is kept while it is hidden.
void KeepRow(QWidget& Widget) {
    QSizePolicy policy = Widget.sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    Widget.setSizePolicy(policy);
}

}  // namespace

TAccountInformationForm::TAccountInformationForm(QWidget* Owner, TAccountEditPresenter& Presenter)
    : QDialog(Owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::WindowContextHelpButtonHint),
      FPresenter(Presenter) {
    setWindowTitle(QStringLiteral("Account Infomation"));

    ServerNameEdit = new QLineEdit(QStringLiteral("ServerNameEdit"), this);
    ServerPortEdit = new QLineEdit(QStringLiteral("110"), this);
    UserIDEdit = new QLineEdit(QStringLiteral("UserIDEdit"), this);
    PasswordEdit = new QLineEdit(QStringLiteral("PasswordEdit"), this);
    // Only direct input in the port box, no input method.
    ServerPortEdit->setAttribute(Qt::WA_InputMethodEnabled, false);
    PasswordEdit->setEchoMode(QLineEdit::Password);
    auto* asterisks = new TAsteriskStyle;
    asterisks->setParent(PasswordEdit);
    PasswordEdit->setStyle(asterisks);
    ServerNameEdit->setMinimumWidth(181);
    ServerPortEdit->setFixedWidth(EditWidthForDigits(*ServerPortEdit, 5, 41));
    UserIDEdit->setMinimumWidth(121);
    PasswordEdit->setMinimumWidth(121);

    SecurityCombo = new QComboBox(this);
    PortHintLabel = new QLabel(this);
    PlaintextWarningLabel = new QLabel(QStringLiteral("パスワードは暗号化されずに送られます"), this);
    // Its row is kept while it is hidden, so showing it moves and shrinks nothing.
    QSizePolicy keepRow = PlaintextWarningLabel->sizePolicy();
    keepRow.setRetainSizeWhenHidden(true);
    PlaintextWarningLabel->setSizePolicy(keepRow);
    FingerprintEdit = new QLineEdit(this);
    FingerprintEdit->setReadOnly(true);
    FingerprintEdit->setMinimumWidth(181);
    FetchCertificateButton = new QPushButton(QStringLiteral("証明書を取得..."), this);
    ClearCertificateButton = new QPushButton(QStringLiteral("解除"), this);
    AuthCombo = new QComboBox(this);
    ClientIdEdit = new QLineEdit(this);
    SignInButton = new QPushButton(QStringLiteral("サインイン..."), this);
    // Keeps its width whichever caption it shows ("中止" while a sign-in waits).
    SignInButton->setMinimumWidth(SignInButton->sizeHint().width());
    SignInStateLabel = new QLabel(this);
    // Room for the longest of the states, whichever shows first.
    SignInStateLabel->setMinimumWidth(
        SignInStateLabel->fontMetrics().horizontalAdvance(QStringLiteral("サインインを待っています")));
    // The address takes the provider's rows while a sign-in waits: two
    // lines of note, then the address, scrolled within its box, never
    // widening the dialog.
    SignInAddressEdit = new QLineEdit(this);
    SignInAddressEdit->setReadOnly(true);
    SignInNoteLabel = NewLabel(QString(), SignInAddressEdit, this);
    SignInNoteLabel->setWordWrap(true);
    SignInNoteLabel->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    SignInNoteLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    SignInNoteLabel->setMinimumHeight(2 * SignInNoteLabel->fontMetrics().lineSpacing());
    AuthorizeUrlEdit = new QLineEdit(this);
    TokenUrlEdit = new QLineEdit(this);
    ScopeEdit = new QLineEdit(this);
    for (QLineEdit* edit : {ClientIdEdit, AuthorizeUrlEdit, TokenUrlEdit, ScopeEdit}) edit->setMinimumWidth(181);
    connect(AuthCombo, &QComboBox::activated, this, [this](int Index) { FPresenter.AuthChosen(Index); });
    connect(SignInButton, &QPushButton::clicked, this, [this] { FPresenter.SignInClick(); });
    connect(SecurityCombo, &QComboBox::activated, this, [this](int Index) { FPresenter.SecurityChosen(Index); });
    connect(FetchCertificateButton, &QPushButton::clicked, this, [this] { FPresenter.FetchCertificateClick(); });
    connect(ClearCertificateButton, &QPushButton::clicked, this, [this] { FPresenter.ClearCertificateClick(); });

    OkButton = NewDialogButton(QStringLiteral("&OK"), this, QStyle::SP_DialogOkButton);
    CancelButton = NewDialogButton(QStringLiteral("&Cancel"), this, QStyle::SP_DialogCancelButton);
    HelpButton = NewDialogButton(QStringLiteral("&Help"), this, QStyle::SP_DialogHelpButton);
    OkButton->setDefault(true);
    HelpButton->setEnabled(false);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    grid->addWidget(NewPictureLabel(QStringLiteral(":/quorvel/dialogs/server.png"), this), 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(NewLabel(QStringLiteral("&ServerName:"), ServerNameEdit, this), 0, 1);
    grid->addWidget(ServerNameEdit, 0, 2, 1, 2);
    grid->addWidget(NewLabel(QStringLiteral("ServerPor&t:"), ServerPortEdit, this), 1, 1);
    grid->addWidget(ServerPortEdit, 1, 2);
    grid->addWidget(PortHintLabel, 1, 3);
    grid->addWidget(NewLabel(QStringLiteral("接続の保護:"), SecurityCombo, this), 2, 1);
    grid->addWidget(SecurityCombo, 2, 2, 1, 2, Qt::AlignLeft);
    grid->addWidget(PlaintextWarningLabel, 3, 1, 1, 3);
    grid->addWidget(NewLabel(QStringLiteral("証明書の指紋:"), FingerprintEdit, this), 4, 1);
    grid->addWidget(FingerprintEdit, 4, 2, 1, 2);
    auto* certificateButtons = new QHBoxLayout;
    certificateButtons->setSpacing(6);
    certificateButtons->addWidget(FetchCertificateButton);
    certificateButtons->addWidget(ClearCertificateButton);
    certificateButtons->addStretch(1);
    grid->addLayout(certificateButtons, 5, 2, 1, 2);
    grid->setRowMinimumHeight(6, 4);
    grid->addWidget(NewPictureLabel(QStringLiteral(":/quorvel/dialogs/user.png"), this), 7, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(NewLabel(QStringLiteral("&UserID:"), UserIDEdit, this), 7, 1);
    grid->addWidget(UserIDEdit, 7, 2, 1, 2, Qt::AlignLeft);
    grid->addWidget(NewLabel(QStringLiteral("&Password:"), PasswordEdit, this), 8, 1);
    grid->addWidget(PasswordEdit, 8, 2, 1, 2, Qt::AlignLeft);
    grid->setRowMinimumHeight(9, 4);
    grid->addWidget(NewLabel(QStringLiteral("認証(&A):"), AuthCombo, this), 10, 1);
    grid->addWidget(AuthCombo, 10, 2, 1, 2, Qt::AlignLeft);
    auto* clientIdLabel = NewLabel(QStringLiteral("クライアントID:"), ClientIdEdit, this);
    grid->addWidget(clientIdLabel, 11, 1);
    grid->addWidget(ClientIdEdit, 11, 2, 1, 2);
    auto* signIn = new QHBoxLayout;
    signIn->setSpacing(6);
    signIn->addWidget(SignInButton);
    signIn->addWidget(SignInStateLabel);
    signIn->addStretch(1);
    grid->addLayout(signIn, 12, 2, 1, 2);
    FOAuthRows = {clientIdLabel, ClientIdEdit, SignInButton, SignInStateLabel};
    int row = 13;
    for (auto [caption, edit] :
         {std::pair{QStringLiteral("認可URL:"), AuthorizeUrlEdit},
          std::pair{QStringLiteral("トークンURL:"), TokenUrlEdit}, std::pair{QStringLiteral("スコープ:"), ScopeEdit}}) {
        auto* label = NewLabel(caption, edit, this);
        grid->addWidget(label, row, 1);
        grid->addWidget(edit, row, 2, 1, 2);
        FCustomRows.insert(FCustomRows.end(), {label, edit});
        ++row;
    }
    grid->addWidget(SignInNoteLabel, 13, 1, 2, 3);
    grid->addWidget(SignInAddressEdit, 15, 1, 1, 3);
    // The dialog keeps its size whichever log-in is chosen.
    for (QWidget* widget : FOAuthRows) KeepRow(*widget);
    for (QWidget* widget : FCustomRows) KeepRow(*widget);
    for (QWidget* widget : {static_cast<QWidget*>(SignInNoteLabel), static_cast<QWidget*>(SignInAddressEdit)}) {
        KeepRow(*widget);
        widget->hide();
    }
    grid->setColumnStretch(3, 1);

    QHBoxLayout* buttons = NewOkCancelHelpRow(*OkButton, *CancelButton, *HelpButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(buttons);

    // Tab order: the boxes top to bottom, then OK, Cancel, Help.
    setTabOrder(ServerNameEdit, ServerPortEdit);
    setTabOrder(ServerPortEdit, SecurityCombo);
    setTabOrder(SecurityCombo, FetchCertificateButton);
    setTabOrder(FetchCertificateButton, ClearCertificateButton);
    setTabOrder(ClearCertificateButton, UserIDEdit);
    setTabOrder(UserIDEdit, PasswordEdit);
    setTabOrder(PasswordEdit, AuthCombo);
    setTabOrder(AuthCombo, ClientIdEdit);
    setTabOrder(ClientIdEdit, SignInButton);
    setTabOrder(SignInButton, SignInAddressEdit);
    setTabOrder(SignInAddressEdit, AuthorizeUrlEdit);
    setTabOrder(AuthorizeUrlEdit, TokenUrlEdit);
    setTabOrder(TokenUrlEdit, ScopeEdit);
    setTabOrder(ScopeEdit, OkButton);
    setTabOrder(OkButton, CancelButton);
    setTabOrder(CancelButton, HelpButton);

    FPresenter.FormCreate(*this);
    setFixedSize(sizeHint().expandedTo(QSize(MinimumWidth, MinimumHeight)));
}

QLineEdit* TAccountInformationForm::Edit(TAccountField Field) const {
    switch (Field) {
        case TAccountField::ServerName: return ServerNameEdit;
        case TAccountField::Port: return ServerPortEdit;
        case TAccountField::UserID: return UserIDEdit;
        case TAccountField::Password: return PasswordEdit;
        case TAccountField::ClientId: return ClientIdEdit;
        case TAccountField::AuthorizeUrl: return AuthorizeUrlEdit;
        case TAccountField::TokenUrl: return TokenUrlEdit;
        case TAccountField::Scope: return ScopeEdit;
    }
    return ServerNameEdit;
}

void TAccountInformationForm::SetSecurityChoices(const std::vector<std::string>& Captions) {
    SecurityCombo->clear();
    for (const std::string& caption : Captions) SecurityCombo->addItem(ToQString(caption));
}

void TAccountInformationForm::SetSecurityIndex(int Index) {
    SecurityCombo->setCurrentIndex(Index);
}

std::string TAccountInformationForm::FieldText(TAccountField Field) const {
    return ToStdString(Edit(Field)->text());
}

void TAccountInformationForm::SetFieldText(TAccountField Field, const std::string& Text) {
    Edit(Field)->setText(ToQString(Text));
}

void TAccountInformationForm::SetFingerprint(const std::string& Fingerprint) {
    FingerprintEdit->setText(ToQString(Fingerprint));
}

void TAccountInformationForm::SetPortHint(const std::string& Hint) {
    PortHintLabel->setText(ToQString(Hint));
    // A screen reader tells the hint and the warning with the box they belong to.
    ServerPortEdit->setAccessibleDescription(PortHintLabel->text());
}

void TAccountInformationForm::ShowPlaintextWarning(bool Shown) {
    PlaintextWarningLabel->setVisible(Shown);
    SecurityCombo->setAccessibleDescription(Shown ? PlaintextWarningLabel->text() : QString());
}

void TAccountInformationForm::EnableFetchCertificate(bool Enabled) {
    FetchCertificateButton->setEnabled(Enabled);
}

void TAccountInformationForm::SetAuthChoices(const std::vector<std::string>& Captions) {
    AuthCombo->clear();
    for (const std::string& caption : Captions) AuthCombo->addItem(ToQString(caption));
}

void TAccountInformationForm::SetAuthIndex(int Index) {
    AuthCombo->setCurrentIndex(Index);
}

void TAccountInformationForm::ShowOAuth(bool OAuth, bool Custom) {
    PasswordEdit->setEnabled(!OAuth);
    for (QWidget* widget : FOAuthRows) widget->setVisible(OAuth);
    for (QWidget* widget : FCustomRows) widget->setVisible(OAuth && Custom);
}

void TAccountInformationForm::SetSignInState(const std::string& State) {
    SignInStateLabel->setText(ToQString(State));
    SignInButton->setAccessibleDescription(SignInStateLabel->text());
}

void TAccountInformationForm::SetSignInCaption(const std::string& Caption) {
    SignInButton->setText(ToQString(Caption));
}

void TAccountInformationForm::ShowSignInAddress(const std::string& Note, const std::string& Url) {
    SignInNoteLabel->setText(ToQString(Note));
    SignInAddressEdit->setText(ToQString(Url));
    SignInAddressEdit->setCursorPosition(0);  // the address from its start
    SignInNoteLabel->setVisible(!Url.empty());
    SignInAddressEdit->setVisible(!Url.empty());
}

void TAccountInformationForm::RefuseField(TAccountField Field) {
    RefuseInput(*Edit(Field));
}

void TAccountInformationForm::ShowWarning(const std::string& Caption, const std::string& Text) {
    QMessageBox::warning(this, ToQString(Caption), ToQString(Text));
}

void TAccountInformationForm::ShowInformation(const std::string& Caption, const std::string& Text) {
    QMessageBox::information(this, ToQString(Caption), ToQString(Text));
}

bool TAccountInformationForm::AskYesNo(const std::string& Caption, const std::string& Question) {
    return QMessageBox::question(this, ToQString(Caption), ToQString(Question)) == QMessageBox::Yes;
}

void TAccountInformationForm::done(int Result) {
    if (FPresenter.FormCloseQuery(Result == QDialog::Accepted)) QDialog::done(Result);
}
void TAccountInformationForm::setVisible(bool Visible) {
    if (Visible && !testAttribute(Qt::WA_Moved)) CenterOnScreen(*this);
    QDialog::setVisible(Visible);
}

}  // namespace quorvel
