#include "settings/ui/AccountInfomationForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "settings/ui/DialogSupport.h"

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

QPushButton* NewButton(const QString& Caption, QStyle::StandardPixmap Icon, QWidget* Parent) {
    auto* button = new QPushButton(Parent->style()->standardIcon(Icon), Caption, Parent);
    button->setMinimumSize(75, 25);
    return button;
}

}  // namespace

TAccountInfomationForm::TAccountInfomationForm(QWidget* Owner)
    : QDialog(Owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::WindowContextHelpButtonHint) {
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

    BitBtn1 = NewButton(QStringLiteral("&OK"), QStyle::SP_DialogOkButton, this);
    BitBtn2 = NewButton(QStringLiteral("&Cancel"), QStyle::SP_DialogCancelButton, this);
    BitBtn3 = NewButton(QStringLiteral("&Help"), QStyle::SP_DialogHelpButton, this);
    BitBtn1->setDefault(true);
    BitBtn3->setEnabled(false);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    grid->addWidget(NewPictureLabel(QStringLiteral(":/quorvel/dialogs/server.png"), this), 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(NewLabel(QStringLiteral("&ServerName:"), ServerNameEdit, this), 0, 1);
    grid->addWidget(ServerNameEdit, 0, 2, 1, 2);
    grid->addWidget(NewLabel(QStringLiteral("ServerPort:"), nullptr, this), 1, 1);
    grid->addWidget(ServerPortEdit, 1, 2);
    grid->addWidget(NewLabel(QStringLiteral("(通常は110です)"), nullptr, this), 1, 3);
    grid->setRowMinimumHeight(2, 4);
    grid->addWidget(NewPictureLabel(QStringLiteral(":/quorvel/dialogs/user.png"), this), 3, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(NewLabel(QStringLiteral("&UserID:"), UserIDEdit, this), 3, 1);
    grid->addWidget(UserIDEdit, 3, 2, 1, 2, Qt::AlignLeft);
    grid->addWidget(NewLabel(QStringLiteral("&Password:"), PasswordEdit, this), 4, 1);
    grid->addWidget(PasswordEdit, 4, 2, 1, 2, Qt::AlignLeft);
    grid->setColumnStretch(3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(5);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn3);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(buttons);

    // Tab order: the four boxes, then OK, Cancel, Help.
    setTabOrder(ServerNameEdit, ServerPortEdit);
    setTabOrder(ServerPortEdit, UserIDEdit);
    setTabOrder(UserIDEdit, PasswordEdit);
    setTabOrder(PasswordEdit, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, BitBtn3);

    setFixedSize(sizeHint().expandedTo(QSize(MinimumWidth, MinimumHeight)));
}

QLineEdit* TAccountInfomationForm::Edit(TAccountField Field) const {
    switch (Field) {
        case TAccountField::ServerName: return ServerNameEdit;
        case TAccountField::Port: return ServerPortEdit;
        case TAccountField::UserID: return UserIDEdit;
        case TAccountField::Password: return PasswordEdit;
    }
    return ServerNameEdit;
}

void TAccountInfomationForm::SetFieldText(TAccountField Field, const std::string& Text) {
    Edit(Field)->setText(ToQString(Text));
}

std::string TAccountInfomationForm::FieldText(TAccountField Field) const { return ToStdString(Edit(Field)->text()); }

void TAccountInfomationForm::Fill(const std::vector<TFieldText>& Texts) {
    for (const TFieldText& text : Texts) SetFieldText(text.Field, text.Text);
}

TAccountFields TAccountInfomationForm::Fields() const {
    return {FieldText(TAccountField::ServerName), FieldText(TAccountField::Port), FieldText(TAccountField::UserID),
            FieldText(TAccountField::Password)};
}

bool TAccountInfomationForm::FormCloseQuery(int Result) {
    if (Result != QDialog::Accepted) return true;
    if (!PortFromText(FieldText(TAccountField::Port))) {
        RefuseInput(*ServerPortEdit);
        return false;
    }
    return true;
}

void TAccountInfomationForm::done(int Result) {
    if (FormCloseQuery(Result)) QDialog::done(Result);
}

void TAccountInfomationForm::setVisible(bool Visible) {
    if (Visible && !testAttribute(Qt::WA_Moved)) CenterOnScreen(*this);
    QDialog::setVisible(Visible);
}

}  // namespace quorvel
