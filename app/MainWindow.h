#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/Action.h"
#include "app/CheckCycle.h"
#include "app/CheckTimer.h"
#include "app/MainWindowParts.h"
#include "app/OAuthAccess.h"
#include "app/TrayMenu.h"
#include "net/HttpClient.h"
#include "net/Pop3Client.h"
#include "settings/Account.h"
#include "settings/SecretStore.h"
#include "tray/Animation.h"
#include "tray/TrayIcon.h"

namespace quorvel {

class TPopupMenu;

// The hidden main window's state and decisions, the same on every platform:
// the two tray icons, the check and animation timers, the POP3 client, the
// seven actions with the tray menu, and the accounts. A thin platform shell
// (Qt on Linux, Win32 on Windows) builds its menu from Menu(), hands it over
// with SetPopupMenu, and then calls FormCreate.
//
// Every handler the event loop reaches (actions, timer ticks, tray clicks)
// shows what it lets escape in the host's general error report; nothing
// crosses the loop.
class TMainWindow final : private ICheckCycleView {
public:
    explicit TMainWindow(const TMainWindowParts& Parts);
    ~TMainWindow() override;
    TMainWindow(const TMainWindow&) = delete;
    TMainWindow& operator=(const TMainWindow&) = delete;

    // Start-up: the status icon with the level-0 picture, the settings, the
    // "未接続" hint, the first check, then the check timer. A failure is
    // reported and skips the rest: no start-up check, the timer stays off.
    void FormCreate();

    // The status icon's right-button menu, built by the shell from Menu().
    void SetPopupMenu(TPopupMenu* Menu);
    // The tray menu, top to bottom.
    const TMenuModel& Menu() const { return FMenu; }

    // "終了(&X)" was chosen; the program ends once the running handler returns.
    bool CloseRequested() const { return FCloseRequested; }

    // Actions, in the order of the action list.
    TAction AccountSettingAction{"アカウントの設定(&A)...", 3};
    TAction OptionSettingAction{"オプション(&O)...", 5};
    TAction SaveAction{"保存", 2};
    TAction ConnectAction{"メールチェック(&C)", 6};
    TAction CloseAction{"終了(&X)", 1};
    TAction AboutAction{"バージョン情報(&A)...", 4};
    TAction ExecuteMailClientAction{"メーラーを開く(&M)", 7};

    // The handlers, as the actions, timers and icons call them.
    void ConnectActionExecute();
    void CheckTimerTimer();
    void AnimationTimerTimer();
    void StatusIconClick();
    void NewMailIconClick();
    void CloseActionExecute();
    void SaveActionExecute();
    void ExecuteMailClientActionExecute();
    void AccountSettingActionExecute();
    void OptionSettingActionExecute();
    void AboutActionExecute();
    // What the system tells (ISystemState's handlers).
    void SystemResumed();
    void NetworkChanged(bool Online);

    // The notice of new mail ("Notify" in the settings).
    bool NotifyNewMail = true;

    TAccounts Accounts;
    std::int32_t AnimationFrame = 0;
    std::int32_t SignalLevel = 0;

    TTrayIcon StatusIcon;   // status
    TTrayIcon NewMailIcon;  // new mail
    TCheckTimer CheckTimer;
    bool AnimationRunning() const { return FAnimationRunning; }
    // The network is known to be down: periodic checks pause.
    bool Offline() const { return FOffline; }

private:
    void SetTrayIcon(TTrayIcon& Tray, int Index);
    void FormCreateSteps();
    bool NetworkDown() const;
    void ShowOffline();
    // The check after waking or reconnecting; the interval counts from it.
    // While a check runs, it follows that one.
    void CheckForNewState();
    // Runs a handler the event loop called; what it lets escape goes to the
    // general error report.
    template <typename Handler>
    void Guarded(Handler&& Run);

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

    TMainWindowParts FParts;
    TMenuModel FMenu;
    TPop3Client Pop3Client;
    // The tokens of OAuth accounts; nothing is asked of either before an
    // OAuth account is checked.
    std::unique_ptr<ISecretStore> SecretStore;
    std::unique_ptr<IHttpClient> HttpClient;
    TOAuthAccess OAuthAccess;
    std::unique_ptr<IEventTimer> AnimationTimer;
    bool FAnimationRunning = false;
    TAnimationPlanes AnimationPlanes;  // the mask and colour planes of the animated icon
    bool FCloseRequested = false;
    bool FOffline = false;
    bool FTimerPaused = false;                 // the check timer is off because the network is down
    bool FCheckWhenDone = false;               // CheckForNewState came while a check ran
    std::unique_ptr<IEventTimer> ResumeGrace;  // exists only while a check after waking is due
};

}  // namespace quorvel
