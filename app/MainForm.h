#pragma once

#include <QMenu>
#include <QWidget>
#include <memory>
#include <string>

#include "app/DefaultMailProgram.h"
#include "app/MainWindow.h"
#include "app/MainWindowParts.h"
#include "app/TickClock.h"
#include "tray/QtPopupMenu.h"
#include "tray/QtTrayShell.h"

namespace quorvel {

class QtEventLoop;

// The hidden main window on Qt: a thin shell over TMainWindow that gives it
// the tray icons on QSystemTrayIcon, the tray menu as a QMenu of QActions,
// the Qt dialogs, the message box and the end of the Qt main loop. It is
// never shown. Its construction brings the program up (TMainWindow::FormCreate).
class TMainForm final : public QWidget, private IMainWindowHost, private IMainDialogs {
public:
    explicit TMainForm(QtEventLoop& Loop);
    ~TMainForm() override;

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

    QtEventLoop& Loop;
    QtTrayShell Shell1;
    QtTrayShell Shell2;
    MonotonicTickClock Clock;
    std::unique_ptr<ISettingsPlace> Settings;
    std::unique_ptr<INewMailSound> Sound;
    TDefaultMailProgram MailProgram;
    std::unique_ptr<TMainWindow> Window;
    QMenu PopupMenu1;
    QtPopupMenu Menu1;
};

}  // namespace quorvel
