#pragma once

#include <QMenu>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "app/CheckCycle.h"
#include "app/CheckTimer.h"
#include "app/NewMailSound.h"
#include "app/TickClock.h"
#include "net/Pop3Client.h"
#include "settings/Account.h"
#include "tray/Animation.h"
#include "tray/QtPopupMenu.h"
#include "tray/QtTrayShell.h"
#include "tray/TrayIcon.h"

class QAction;

namespace quorvel {

class QtEventLoop;

// The hidden main window: owns the two tray icons, the check and animation
// timers, the POP3 client, the actions with the tray menu, and the accounts.
// It is never shown. Its construction brings the program up: settings,
// status icon, the first check, the check timer.
class TMainForm final : public QWidget, private ICheckCycleView {
public:
    explicit TMainForm(QtEventLoop& Loop);
    ~TMainForm() override;

    // "終了(&X)" was chosen; the program ends once the running handler returns.
    bool CloseRequested() const { return FCloseRequested; }

    // The check cycle: what the menu, the status icon and the timer start.
    void ConnectActionExecute();

    TAccounts Accounts;
    std::int32_t AnimationFrame = 0;
    std::int32_t SignalLevel = 0;

private:
    void FormCreate();
    void CreateActions();
    void BuildMenu();
    void SetTrayIcon(TTrayIcon& Tray, int Index);

    void Timer1Timer();
    void AnimetionTimerTimer();
    void TrayIcon1Click();
    void TrayIcon2Click();
    void CloseActionExecute();
    void SaveActionExecute();
    void ExecuteMailClientActionExecute();
    void AccountSettingActionExecute();
    void OptionSettingActionExecute();
    void AboutActionExecute();

    // The check cycle's view of the window.
    void SetConnectEnabled(bool Enabled) override;
    void SetStatusHint(const std::string& Hint) override;
    void StartAnimation() override;
    void StopAnimation() override;
    void SetStatusPicture(int Index) override;
    void SetNewMailPicture(int Index) override;
    void SetNewMailHint(const std::string& Hint) override;
    void RemoveNewMail() override;
    void PlayNewMailSound() override;

    QtEventLoop& Loop;
    QtTrayShell Shell1;
    TTrayIcon TrayIcon1;
    TCheckTimer Timer1;
    QAction* AccountSettingAction = nullptr;
    QAction* OptionSettingAction = nullptr;
    QAction* SaveAction = nullptr;
    QAction* ConnectAction = nullptr;
    QAction* CloseAction = nullptr;
    QAction* AboutAction = nullptr;
    QAction* ExecuteMailClientAction = nullptr;
    QMenu PopupMenu1;
    QtPopupMenu Menu1;
    QtTrayShell Shell2;
    TTrayIcon TrayIcon2;
    TPop3Client Pop3Client;
    std::unique_ptr<EventTimer> AnimetionTimer;
    TAnimationPlanes AnimationPlanes;  // the mask and colour planes of the animated icon
    MonotonicTickClock Clock;
    CanberraSound Sound;
    bool FCloseRequested = false;
};

}  // namespace quorvel
