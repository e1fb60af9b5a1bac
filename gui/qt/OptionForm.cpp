#include "gui/qt/OptionForm.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/qt/DialogSupport.h"

namespace quorvel {

namespace {

// The client area the dialog has at least.
constexpr int MinimumWidth = 330;
constexpr int MinimumHeight = 123;

}  // namespace

TOptionForm::TOptionForm(QWidget* Owner, TOptionsPresenter& Presenter)
    : QDialog(Owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      FPresenter(Presenter) {
    setWindowTitle(QStringLiteral("オプション"));

    CheckTimeEdit = new QLineEdit(QStringLiteral("5"), this);
    CheckTimeEdit->setFixedWidth(EditWidthForDigits(*CheckTimeEdit, 5, 33));
    // The program is started by the desktop session when the user logs on.
    RunOnStartupCheckBox = new QCheckBox(QStringLiteral("ログオン時にこのプログラムを実行する(&R)"), this);
    RunOnStartupCheckBox->setMinimumWidth(261);
    NotifyNewMailCheckBox = new QCheckBox(QStringLiteral("新着メールを通知する(&N)"), this);

    OkButton = NewDialogButton(QStringLiteral("&OK"), this, QStyle::SP_DialogOkButton);
    CancelButton = NewDialogButton(QStringLiteral("&Cancel"), this, QStyle::SP_DialogCancelButton);
    HelpButton = NewDialogButton(QStringLiteral("&Help"), this, QStyle::SP_DialogHelpButton);
    OkButton->setDefault(true);
    connect(OkButton, &QPushButton::clicked, this, [this] {
        if (FPresenter.OkClicked(*this)) accept();
    });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

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
    auto* notify = new QHBoxLayout;
    notify->addSpacing(28);
    notify->addWidget(NotifyNewMailCheckBox);
    notify->addStretch(1);

    QHBoxLayout* buttons = NewOkCancelHelpRow(*OkButton, *CancelButton, *HelpButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 8, 4, 4);
    layout->addLayout(interval);
    layout->addSpacing(8);
    layout->addLayout(startup);
    layout->addLayout(notify);
    layout->addStretch(1);
    layout->addLayout(buttons);

    setTabOrder(CheckTimeEdit, RunOnStartupCheckBox);
    setTabOrder(RunOnStartupCheckBox, NotifyNewMailCheckBox);
    setTabOrder(NotifyNewMailCheckBox, OkButton);
    setTabOrder(OkButton, CancelButton);
    setTabOrder(CancelButton, HelpButton);

    setFixedSize(sizeHint().expandedTo(QSize(MinimumWidth, MinimumHeight)));
    // A dialog that could not be filled closes as cancelled.
    if (!FPresenter.FormCreate(*this)) QTimer::singleShot(0, this, &QDialog::reject);
}

QWidget& TOptionForm::Control(TOptionControl Control) const {
    switch (Control) {
        case TOptionControl::CheckTime: return *CheckTimeEdit;
        case TOptionControl::RunOnStartup: return *RunOnStartupCheckBox;
        case TOptionControl::NotifyNewMail: return *NotifyNewMailCheckBox;
        case TOptionControl::Help: break;
    }
    return *HelpButton;
}

std::string TOptionForm::Text(TOptionControl Control) const {
    if (Control == TOptionControl::CheckTime) return ToStdString(CheckTimeEdit->text());
    const auto* button = qobject_cast<const QAbstractButton*>(&this->Control(Control));
    return button != nullptr ? ToStdString(button->text()) : std::string();
}

void TOptionForm::SetText(TOptionControl Control, const std::string& Text) {
    if (Control == TOptionControl::CheckTime) {
        CheckTimeEdit->setText(ToQString(Text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(&this->Control(Control))) {
        button->setText(ToQString(Text));
    }
}

bool TOptionForm::Checked(TOptionControl Control) const {
    const auto* box = qobject_cast<const QCheckBox*>(&this->Control(Control));
    return box != nullptr && box->isChecked();
}

void TOptionForm::SetChecked(TOptionControl Control, bool Checked) {
    if (auto* box = qobject_cast<QCheckBox*>(&this->Control(Control))) box->setChecked(Checked);
}

void TOptionForm::SetEnabled(TOptionControl Control, bool Enabled) {
    this->Control(Control).setEnabled(Enabled);
}

void TOptionForm::Refuse(TOptionControl Control) {
    RefuseInput(this->Control(Control));
}

void TOptionForm::setVisible(bool Visible) {
    if (Visible && !testAttribute(Qt::WA_Moved)) CenterOnScreen(*this);
    QDialog::setVisible(Visible);
}

}  // namespace quorvel
