#include "gui/qt/AccountListForm.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <exception>

#include "core/Guarded.h"
#include "gui/ErrorReport.h"
#include "gui/qt/AccountInformationForm.h"
#include "gui/qt/DialogSupport.h"
#include "settings/AccountListText.h"

namespace quorvel {

namespace {

constexpr int MinimumWidth = 320;
constexpr int MinimumHeight = 200;
constexpr int AccountRole = Qt::UserRole;
constexpr int PortColumn = 1;

struct TColumn {
    const char* Header;
    int Width;
    Qt::Alignment Alignment;
};
constexpr TColumn Columns[] = {
    {"Server name", 120, Qt::AlignLeft},
    {"Port", 35, Qt::AlignRight},
    {"UserID", 70, Qt::AlignLeft},
    {"Password", 70, Qt::AlignLeft},
};

QPushButton* NewButton(const QString& Caption, QWidget* Parent) {
    auto* button = new QPushButton(Caption, Parent);
    // Never smaller than the style wants it, whatever the font.
    button->setMinimumSize(button->sizeHint().expandedTo(QSize(75, 25)));
    return button;
}

// Lets the button run the action and follow its enabled state.
void Bind(QPushButton* Button, QAction* Action) {
    Button->setEnabled(Action->isEnabled());
    QObject::connect(Button, &QPushButton::clicked, Action, &QAction::trigger);
    QObject::connect(Action, &QAction::enabledChanged, Button, &QPushButton::setEnabled);
}

}  // namespace

TAccountListForm::TAccountListForm(QWidget* Owner, TAccounts& Accounts) : QDialog(Owner), FAccounts(&Accounts) {
    setWindowTitle(QStringLiteral("Accounts"));
    // Resized by its frame; a size grip would lie over "閉じる" in the corner.

    AccountListView = new QTreeWidget(this);
    AccountListView->setAccessibleName(QStringLiteral("アカウント一覧"));
    AccountListView->setRootIsDecorated(false);
    AccountListView->setItemsExpandable(false);
    AccountListView->setUniformRowHeights(true);
    AccountListView->setSelectionMode(QAbstractItemView::SingleSelection);
    AccountListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    AccountListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    AccountListView->setAllColumnsShowFocus(true);
    AccountListView->setColumnCount(static_cast<int>(std::size(Columns)));
    auto* header = new QTreeWidgetItem;
    for (int i = 0; i < static_cast<int>(std::size(Columns)); ++i) {
        header->setText(i, QString::fromLatin1(Columns[i].Header));
        header->setTextAlignment(i, Columns[i].Alignment | Qt::AlignVCenter);
    }
    AccountListView->setHeaderItem(header);
    AccountListView->header()->setStretchLastSection(false);
    AccountListView->header()->setSectionsMovable(false);
    const QFontMetrics headerFont = AccountListView->header()->fontMetrics();
    // The width of the widest port as the list draws it, margins included.
    QStyleOptionViewItem widestPort;
    widestPort.initFrom(AccountListView);
    widestPort.features = QStyleOptionViewItem::HasDisplay;
    widestPort.text = QStringLiteral("65535");
    widestPort.font = AccountListView->font();
    widestPort.displayAlignment = Columns[PortColumn].Alignment | Qt::AlignVCenter;
    const int portWidth = AccountListView->style()
                              ->sizeFromContents(QStyle::CT_ItemViewItem, &widestPort, QSize(), AccountListView)
                              .width();
    for (int i = 0; i < static_cast<int>(std::size(Columns)); ++i) {
        // A header caption is never cut, whatever the font.
        int needed = headerFont.horizontalAdvance(QString::fromLatin1(Columns[i].Header)) + 16;
        // Nor is a port: it is read whole or not at all.
        if (i == PortColumn) needed = std::max(needed, portWidth);
        AccountListView->setColumnWidth(i, std::max(Columns[i].Width, needed));
    }

    AddAccountAction = new QAction(QStringLiteral("追加"), this);
    ChangeAccountAction = new QAction(QStringLiteral("変更"), this);
    DeleteAccountAction = new QAction(QStringLiteral("削除"), this);
    connect(AddAccountAction, &QAction::triggered, this,
            [this] { Guarded(ShowErrorReport, [this] { AddAccountActionExecute(); }); });
    connect(ChangeAccountAction, &QAction::triggered, this,
            [this] { Guarded(ShowErrorReport, [this] { ChangeAccountActionExecute(); }); });
    connect(DeleteAccountAction, &QAction::triggered, this,
            [this] { Guarded(ShowErrorReport, [this] { DeleteAccountActionExecute(); }); });

    CloseButton = NewButton(QStringLiteral("閉じる"), this);
    AddButton = NewButton(QStringLiteral("追加"), this);
    ChangeButton = NewButton(QStringLiteral("変更"), this);
    DeleteButton = NewButton(QStringLiteral("削除"), this);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    Bind(AddButton, AddAccountAction);
    Bind(ChangeButton, ChangeAccountAction);
    Bind(DeleteButton, DeleteAccountAction);

    // Selection and check box changes; text changes do no harm.
    connect(AccountListView, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateActionStates(); });
    connect(AccountListView, &QTreeWidget::itemChanged, this, [this] { UpdateActionStates(); });

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(1);
    buttons->addWidget(AddButton);
    buttons->addWidget(ChangeButton);
    buttons->addWidget(DeleteButton);
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(AccountListView, 1);
    layout->addLayout(buttons);

    setTabOrder(AccountListView, CloseButton);
    setTabOrder(CloseButton, AddButton);
    setTabOrder(AddButton, ChangeButton);
    setTabOrder(ChangeButton, DeleteButton);

    int columnsWidth = 2 * AccountListView->frameWidth();
    for (int i = 0; i < AccountListView->columnCount(); ++i) columnsWidth += AccountListView->columnWidth(i);
    setMinimumSize(minimumSizeHint().expandedTo(QSize(MinimumWidth, MinimumHeight)));
    resize(minimumSize().expandedTo(QSize(columnsWidth, 0)));

    UpdateActionStates();
    SetAccounts(Accounts);
}

void TAccountListForm::SetAccounts(TAccounts& Accounts) {
    FAccounts = &Accounts;
    AccountListView->clear();
    for (std::int32_t i = 0; i < Accounts.Count(); ++i) {
        // A row that cannot be made is left out.
        try {
            AddRow(Accounts.Items(i));
        } catch (const std::exception&) {}
    }
    UpdateActionStates();
}

QTreeWidgetItem* TAccountListForm::AddRow(TAccount& Account) {
    auto* row = new QTreeWidgetItem;
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    row->setCheckState(0, Account.Enabled ? Qt::Checked : Qt::Unchecked);
    for (int i = 0; i < static_cast<int>(std::size(Columns)); ++i) {
        row->setTextAlignment(i, Columns[i].Alignment | Qt::AlignVCenter);
    }
    ShowRowTexts(*row, Account);
    row->setData(0, AccountRole, QVariant::fromValue(reinterpret_cast<quintptr>(&Account)));
    AccountListView->addTopLevelItem(row);
    return row;
}

void TAccountListForm::ShowRowTexts(QTreeWidgetItem& Row, const TAccount& Account) {
    const TAccountRowTexts texts = AccountRowTexts(Account);
    Row.setText(0, ToQString(texts.Host));
    Row.setText(1, ToQString(texts.Port));
    Row.setText(2, ToQString(texts.UserID));
    Row.setText(3, ToQString(texts.Password));
}

QTreeWidgetItem* TAccountListForm::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = AccountListView->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

TAccount* TAccountListForm::RowAccount(const QTreeWidgetItem& Row) const {
    auto* account = reinterpret_cast<TAccount*>(Row.data(0, AccountRole).value<quintptr>());
    if (account == nullptr || FAccounts->IndexOf(*account) < 0) return nullptr;
    return account;
}

void TAccountListForm::UpdateActionStates() {
    const bool selected = SelectedRow() != nullptr;
    AddAccountAction->setEnabled(true);
    ChangeAccountAction->setEnabled(selected);
    DeleteAccountAction->setEnabled(selected);
}

void TAccountListForm::AddAccountActionExecute() {
    TAccountInformationForm form(this);
    form.Fill(FieldsForNewAccount());
    form.CertificateFetcher = CertificateFetcher;
    form.SetSecurity(SecurityForNewAccount());
    if (form.exec() != QDialog::Accepted) return;
    TAccount& account = FAccounts->Add();
    QTreeWidgetItem* row = nullptr;
    try {
        ApplyAccountFields(account, form.Fields());
        row = AddRow(account);
        row->setCheckState(0, Qt::Checked);
    } catch (const std::exception&) {
        // A half-made account does not stay.
        delete row;
        FAccounts->Remove(account);
    }
}

void TAccountListForm::ChangeAccountActionExecute() {
    QTreeWidgetItem* row = SelectedRow();
    if (row == nullptr) return;
    TAccount* account = RowAccount(*row);
    if (account == nullptr) return;
    TAccountInformationForm form(this);
    form.Fill(FieldsForAccount(*account));
    form.CertificateFetcher = CertificateFetcher;
    form.SetSecurity(account->Security);
    form.SetCertFingerprint(account->CertFingerprint);
    if (form.exec() != QDialog::Accepted) return;
    // The account may have gone while the dialog was open.
    account = RowAccount(*row);
    if (account == nullptr) return;
    ApplyAccountFields(*account, form.Fields());
    ShowRowTexts(*row, *account);
}

void TAccountListForm::DeleteAccountActionExecute() {
    QTreeWidgetItem* row = SelectedRow();
    if (row == nullptr) return;
    const TAccount* account = RowAccount(*row);
    if (account == nullptr) return;
    QMessageBox box(QMessageBox::Question, QStringLiteral("確認"), ToQString(DeleteAccountQuestion(*account)),
                    QMessageBox::NoButton, this);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() != ok) return;
    account = RowAccount(*row);
    if (account != nullptr) FAccounts->Remove(*account);
    delete row;
    // As in the list before: no row is selected after a delete.
    AccountListView->clearSelection();
    UpdateActionStates();
}

void TAccountListForm::FormClose() {
    for (int i = 0; i < AccountListView->topLevelItemCount(); ++i) {
        const QTreeWidgetItem& row = *AccountListView->topLevelItem(i);
        TAccount* account = RowAccount(row);
        if (account == nullptr) continue;
        const bool ticked = row.checkState(0) == Qt::Checked;
        if (account->Enabled != ticked) account->Enabled = ticked;
    }
}

void TAccountListForm::done(int Result) {
    FormClose();
    QDialog::done(Result);
}

void TAccountListForm::setVisible(bool Visible) {
    if (Visible && !testAttribute(Qt::WA_Moved)) CenterOnScreen(*this);
    QDialog::setVisible(Visible);
}

void TAccountListForm::keyPressEvent(QKeyEvent* Event) {
    // There is no cancel button; Esc does not close the list. Enter presses
    // a button only while that button has the focus (it handles the key
    // itself), never "閉じる" from the list.
    if (Event->key() == Qt::Key_Escape || Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) {
        Event->accept();
        return;
    }
    QDialog::keyPressEvent(Event);
}

}  // namespace quorvel
