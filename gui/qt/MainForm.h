#pragma once

#include <QMenu>
#include <QWidget>
#include <memory>
#include <string>

#include "app/MainWindow.h"
#include "app/MainWindowParts.h"
#include "app/TickClock.h"
#include "gui/DefaultMailProgram.h"
#include "gui/qt/DesktopNotice.h"
#include "gui/qt/QtPopupMenu.h"
#include "gui/qt/QtTrayShell.h"
#include "gui/qt/SystemWatch.h"

namespace quorvel {

class TQtEventLoop;

// The hidden main window on Qt: a thin shell over TMainWindow that gives it
// the tray icons on QSystemTrayIcon, the tray menu as a QMenu of QActions,
// the Qt dialogs, the message box and the end of the Qt main loop. It is
// never shown. Construction builds it; Start brings the program up
// (TMainWindow::FormCreate, the first check included).
class TMainForm final : public QWidget, private IMainWindowHost, private IMainDialogs {
public:
    explicit TMainForm(TQtEventLoop& Loop);
    ~TMainForm() override;

    // The start-up steps and the first check; call once, after construction.
    void Start();

    // "終了(&X)" was chosen; the program ends once the running handler returns.
    bool CloseRequested() const { return Window->CloseRequested(); }

private:
    void BuildMenu(QMenu& Menu, const TMenuModel& Model);
    QAction* MakeQAction(TAction& Action);

    // The host of the main window.
    void ReportError(const std::string& Message) override;
    void EndProgram() override;

    // The dialogs (MainFormDialogs.cpp).
    bool Available() const override { return true; }
    bool ShowAccountList(TAccounts& Accounts) override;
    bool ShowOptions(TOptionValues& Values) override;
    void ShowAbout() override;

    TQtEventLoop& Loop;
    TQtTrayShell StatusShell;
    TQtTrayShell NewMailShell;
    TMonotonicTickClock Clock;
    std::unique_ptr<ISettingsPlace> Settings;
    std::unique_ptr<INewMailSound> Sound;
    TDefaultMailProgram MailProgram;
    TDesktopNotice Notice;
    TSystemWatch System;
    std::unique_ptr<TMainWindow> Window;
    QMenu TrayMenu;
    TQtPopupMenu PopupMenu;
};

}  // namespace quorvel
