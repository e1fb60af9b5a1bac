#include "gui/qt/MainForm.h"

#include <QAction>
#include <QApplication>

#include "app/SettingsPlace.h"
#include "gui/ErrorReport.h"
#include "gui/NewMailSound.h"
#include "gui/qt/QtEventLoop.h"
#include "gui/qt/QtIcons.h"

namespace quorvel {

TMainForm::TMainForm(TQtEventLoop& MainLoop)
    : Loop(MainLoop),
      StatusShell(ShowErrorReport),
      NewMailShell(ShowErrorReport),
      Settings(MakeUserSettingsPlace()),
      Sound(MakeNewMailSound()),
      Window(std::make_unique<TMainWindow>(TMainWindowParts{MainLoop, StatusShell, NewMailShell, Clock, *this,
                                                            *Settings, *this, *Sound, MailProgram, Notice, System})),
      PopupMenu(&TrayMenu) {
    setWindowTitle(QStringLiteral("MainForm"));
    BuildMenu(TrayMenu, Window->Menu());
    Window->SetPopupMenu(&PopupMenu);
}

void TMainForm::Start() {
    Window->FormCreate();
}

TMainForm::~TMainForm() = default;

QAction* TMainForm::MakeQAction(TAction& Action) {
    auto* action = new QAction(MakeMenuQIcon(Action.ImageIndex()), QString::fromStdString(Action.Caption()), this);
    action->setIconVisibleInMenu(true);
    action->setEnabled(Action.Enabled());
    Action.AddChangeListener([action](const TAction& Changed) { action->setEnabled(Changed.Enabled()); });
    // Queued: a panel's menu click arrives as a D-Bus call that must be
    // answered at once, not after the check or dialog it starts.
    QObject::connect(
        action, &QAction::triggered, this, [&Action] { Action.Execute(); }, Qt::QueuedConnection);
    return action;
}

void TMainForm::BuildMenu(QMenu& Menu, const TMenuModel& Model) {
    for (const TMenuEntry& entry : Model) {
        switch (entry.What) {
            case TMenuEntry::Kind::Item: Menu.addAction(MakeQAction(*entry.Action)); break;
            case TMenuEntry::Kind::Separator: Menu.addSeparator(); break;
            case TMenuEntry::Kind::Submenu:
                BuildMenu(*Menu.addMenu(QString::fromStdString(entry.Caption)), entry.Items);
                break;
        }
    }
}

void TMainForm::ReportError(const std::string& Message) {
    ShowErrorReport(Message);
}

void TMainForm::EndProgram() {
    QApplication::quit();
}

}  // namespace quorvel
