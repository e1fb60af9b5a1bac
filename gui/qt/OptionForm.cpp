#include "gui/qt/OptionForm.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "gui/qt/DialogSupport.h"
#include "settings/DialogFields.h"
#include "settings/Settings.h"

namespace quorvel {

namespace {

// The client area the dialog has at least.
constexpr int MinimumWidth = 330;
constexpr int MinimumHeight = 123;

QPushButton* NewButton(const QString& Caption, QStyle::StandardPixmap Icon, QWidget* Parent) {
    auto* button = new QPushButton(Parent->style()->standardIcon(Icon), Caption, Parent);
    // Never smaller than the style wants it, whatever the font.
    button->setMinimumSize(button->sizeHint().expandedTo(QSize(75, 25)));
    return button;
}

}  // namespace

TOptionForm::TOptionForm(QWidget* Owner)
    : QDialog(Owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("オプション"));

    CheckTimeEdit = new QLineEdit(QStringLiteral("5"), this);
    CheckTimeEdit->setFixedWidth(EditWidthForDigits(*CheckTimeEdit, 5, 33));
    // The program is started by the desktop session when the user logs on.
    RunOnStartupCheckBox = new QCheckBox(QStringLiteral("ログオン時にこのプログラムを実行する(&R)"), this);
    RunOnStartupCheckBox->setMinimumWidth(261);

    OkBitBtn = NewButton(QStringLiteral("&OK"), QStyle::SP_DialogOkButton, this);
    CancelBitBtn = NewButton(QStringLiteral("&Cancel"), QStyle::SP_DialogCancelButton, this);
    HelpBitBtn = NewButton(QStringLiteral("&Help"), QStyle::SP_DialogHelpButton, this);
    OkBitBtn->setDefault(true);
    HelpBitBtn->setEnabled(false);
    connect(OkBitBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBitBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* interval = new QHBoxLayout;
    interval->setSpacing(6);
    interval->addSpacing(20);
    interval->addWidget(NewPictureLabel(QStringLiteral(":/quorvel/dialogs/clock.png"), this));
    interval->addSpacing(8);
    auto* intervalLabel = new QLabel(QStringLiteral("メールを確認する間隔"), this);
    intervalLabel->setBuddy(CheckTimeEdit);
    auto* unitLabel = new QLabel(QStringLiteral("分"), this);
    // A screen reader tells the unit with the box.
    CheckTimeEdit->setAccessibleDescription(unitLabel->text());
    interval->addWidget(intervalLabel);
    interval->addWidget(CheckTimeEdit);
    interval->addWidget(unitLabel);
    interval->addStretch(1);

    auto* startup = new QHBoxLayout;
    startup->addSpacing(28);
    startup->addWidget(RunOnStartupCheckBox);
    startup->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(5);
    buttons->addStretch(1);
    buttons->addWidget(OkBitBtn);
    buttons->addWidget(CancelBitBtn);
    buttons->addWidget(HelpBitBtn);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 8, 4, 4);
    layout->addLayout(interval);
    layout->addSpacing(8);
    layout->addLayout(startup);
    layout->addStretch(1);
    layout->addLayout(buttons);

    setTabOrder(CheckTimeEdit, RunOnStartupCheckBox);
    setTabOrder(RunOnStartupCheckBox, OkBitBtn);
    setTabOrder(OkBitBtn, CancelBitBtn);
    setTabOrder(CancelBitBtn, HelpBitBtn);

    setFixedSize(sizeHint().expandedTo(QSize(MinimumWidth, MinimumHeight)));
}

void TOptionForm::SetIntervalMinutes(std::uint32_t Minutes) {
    CheckTimeEdit->setText(QString::number(Minutes));
}

std::uint32_t TOptionForm::IntervalMinutes() const {
    return IntervalMinutesFromText(ToStdString(CheckTimeEdit->text())).value_or(DefaultIntervalMinutes);
}

void TOptionForm::SetRunAtStartup(bool Run) {
    RunOnStartupCheckBox->setChecked(Run);
}

bool TOptionForm::RunAtStartup() const {
    return RunOnStartupCheckBox->isChecked();
}

bool TOptionForm::FormCloseQuery(int Result) {
    if (Result != QDialog::Accepted) return true;
    if (!IntervalMinutesFromText(ToStdString(CheckTimeEdit->text()))) {
        RefuseInput(*CheckTimeEdit);
        return false;
    }
    return true;
}

void TOptionForm::done(int Result) {
    if (FormCloseQuery(Result)) QDialog::done(Result);
}

void TOptionForm::setVisible(bool Visible) {
    if (Visible && !testAttribute(Qt::WA_Moved)) CenterOnScreen(*this);
    QDialog::setVisible(Visible);
}

}  // namespace quorvel
