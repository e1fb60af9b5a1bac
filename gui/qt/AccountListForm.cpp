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
#include <memory>

#include "gui/qt/AccountInformationForm.h"
#include "gui/qt/DialogSupport.h"

namespace quorvel {

namespace {

constexpr int MinimumWidth = 320;
constexpr int MinimumHeight = 200;
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

// Lets the button run the action and follow its enabled state.
void Bind(QPushButton* Button, QAction* Action) {
    Button->setEnabled(Action->isEnabled());
    QObject::connect(Button, &QPushButton::clicked, Action, &QAction::trigger);
    QObject::connect(Action, &QAction::enabledChanged, Button, &QPushButton::setEnabled);
}

void ShowRowTexts(QTreeWidgetItem& Row, const TAccountRowTexts& Texts) {
    Row.setText(0, ToQString(Texts.Host));
    Row.setText(1, ToQString(Texts.Port));
    Row.setText(2, ToQString(Texts.UserID));
    Row.setText(3, ToQString(Texts.Password));
}

}  // namespace

TAccountListForm::TAccountListForm(QWidget* Owner, TAccountListPresenter& Presenter)
    : QDialog(Owner), FPresenter(Presenter) {
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
    connect(AddAccountAction, &QAction::triggered, this, [this] { FPresenter.AddClick(); });
    connect(ChangeAccountAction, &QAction::triggered, this, [this] { FPresenter.ChangeClick(); });
    connect(DeleteAccountAction, &QAction::triggered, this, [this] { FPresenter.DeleteClick(); });

    CloseButton = NewDialogButton(QStringLiteral("閉じる"), this);
    AddButton = NewDialogButton(QStringLiteral("追加"), this);
    ChangeButton = NewDialogButton(QStringLiteral("変更"), this);
    DeleteButton = NewDialogButton(QStringLiteral("削除"), this);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    Bind(AddButton, AddAccountAction);
    Bind(ChangeButton, ChangeAccountAction);
    Bind(DeleteButton, DeleteAccountAction);

    // Selection and check box changes; text changes do no harm.
    connect(AccountListView, &QTreeWidget::itemSelectionChanged, this, [this] { FPresenter.SelectionChanged(); });
    connect(AccountListView, &QTreeWidget::itemChanged, this, [this] { FPresenter.SelectionChanged(); });

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

    FPresenter.FormCreate(*this);
}

void TAccountListForm::AddRow(const TAccountRowTexts& Texts, bool Ticked) {
    auto row = std::make_unique<QTreeWidgetItem>();
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    row->setCheckState(0, Ticked ? Qt::Checked : Qt::Unchecked);
    for (int i = 0; i < static_cast<int>(std::size(Columns)); ++i) {
        row->setTextAlignment(i, Columns[i].Alignment | Qt::AlignVCenter);
    }
    ShowRowTexts(*row, Texts);
    AccountListView->addTopLevelItem(row.release());
}

void TAccountListForm::SetRowTexts(int Row, const TAccountRowTexts& Texts) {
    ShowRowTexts(*AccountListView->topLevelItem(Row), Texts);
}

void TAccountListForm::DeleteRow(int Row) {
    delete AccountListView->topLevelItem(Row);
}

bool TAccountListForm::RowTicked(int Row) const {
    return AccountListView->topLevelItem(Row)->checkState(0) == Qt::Checked;
}

int TAccountListForm::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = AccountListView->selectedItems();
    return selected.isEmpty() ? -1 : AccountListView->indexOfTopLevelItem(selected.front());
}

void TAccountListForm::ClearSelection() {
    AccountListView->clearSelection();
}

void TAccountListForm::EnableButtons(bool Add, bool Change, bool Delete) {
    AddAccountAction->setEnabled(Add);
    ChangeAccountAction->setEnabled(Change);
    DeleteAccountAction->setEnabled(Delete);
}

bool TAccountListForm::AskOkCancel(const std::string& Caption, const std::string& Question) {
    QMessageBox box(QMessageBox::Question, ToQString(Caption), ToQString(Question), QMessageBox::NoButton, this);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == ok;
}

bool TAccountListForm::ShowAccountEdit(TAccountEditPresenter& Edit) {
    TAccountInformationForm form(this, Edit);
    return form.exec() == QDialog::Accepted;
}

void TAccountListForm::done(int Result) {
    FPresenter.FormClose(Result == QDialog::Accepted);
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
