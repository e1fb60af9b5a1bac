#include "app/MainForm.h"

#include <QAction>
#include <QApplication>

#include "app/ErrorReport.h"
#include "app/NewMailSound.h"
#include "app/QtEventLoop.h"
#include "app/SettingsPlace.h"
#include "tray/QtIcons.h"

namespace quorvel {

TMainForm::TMainForm(QtEventLoop& EventLoop)
    : Loop(EventLoop),
      Shell1(ShowErrorReport),
      Shell2(ShowErrorReport),
      Settings(MakeUserSettingsPlace()),
      Sound(MakeNewMailSound()),
      Window(std::make_unique<TMainWindow>(
          TMainWindowParts{EventLoop, Shell1, Shell2, Clock, *this, *Settings, *this, *Sound, MailProgram})),
      Menu1(&PopupMenu1) {
    setWindowTitle(QStringLiteral("MainForm"));
    BuildMenu(PopupMenu1, Window->Menu());
    Window->SetPopupMenu(&Menu1);
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
