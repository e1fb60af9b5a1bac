#include "app/MainWindow.h"

#include <string>
#include <utility>

#include "app/AccountCheck.h"
#include "app/TickClock.h"
#include "core/Guarded.h"
#include "net/EventLoop.h"
#include "settings/Registry.h"
#include "settings/Settings.h"
#include "tray/ImageList.h"

namespace quorvel {

namespace {

constexpr std::uint32_t AnimationPeriodMs = 50;
// After waking, the network often needs a few seconds before a check can succeed.
constexpr std::uint32_t ResumeGraceMs = 15000;
constexpr const char* NewMailTitle = "新着メール";

// The summary's lines joined by LF, as a notice shows lines.
std::string NoticeBody(std::string Summary) {
    for (std::size_t at = Summary.find("\r\n"); at != std::string::npos; at = Summary.find("\r\n", at)) {
        Summary.erase(at, 1);
    }
    return Summary;
}

}  // namespace

template <typename Handler>
void TMainWindow::Guarded(Handler&& Run) {
    quorvel::Guarded([this](const std::string& Message) { FParts.Host.ReportError(Message); },
                     std::forward<Handler>(Run));
}

TMainWindow::TMainWindow(const TMainWindowParts& Parts)
    : StatusIcon(Parts.StatusShell),
      NewMailIcon(Parts.NewMailShell),
      CheckTimer(Parts.Loop, [this] { Guarded([this] { CheckTimerTimer(); }); }),
      FParts(Parts),
      Pop3Client(Parts.Loop),
      SecretStore(OpenSecretStore()),
      HttpClient(MakeHttpClient()),
      OAuthAccess(*SecretStore, *HttpClient, &Parts.Loop),
      AnimationTimer(Parts.Loop.CreateTimer([this] { Guarded([this] { AnimationTimerTimer(); }); })) {
    Pop3Client.Port = DefaultPortNo;
    Pop3Client.SetTimeOut(CheckTimeOutMs);

    const std::pair<TAction*, void (TMainWindow::*)()> handlers[] = {
        {&AccountSettingAction, &TMainWindow::AccountSettingActionExecute},
        {&OptionSettingAction, &TMainWindow::OptionSettingActionExecute},
        {&SaveAction, &TMainWindow::SaveActionExecute},
        {&ConnectAction, &TMainWindow::ConnectActionExecute},
        {&CloseAction, &TMainWindow::CloseActionExecute},
        {&AboutAction, &TMainWindow::AboutActionExecute},
        {&ExecuteMailClientAction, &TMainWindow::ExecuteMailClientActionExecute},
    };
    for (const auto& [action, handler] : handlers) {
        action->OnExecute = [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
    }
    // Without the dialogs their actions are shown, greyed.
    if (!FParts.Dialogs.Available()) {
        for (TAction* action : {&AccountSettingAction, &OptionSettingAction, &AboutAction}) action->SetEnabled(false);
    }

    FMenu = {
        TMenuEntry::ItemFor(ConnectAction),
        TMenuEntry::ItemFor(ExecuteMailClientAction),
        TMenuEntry::Separator(),
        TMenuEntry::Submenu("設定(&S)",
                            {TMenuEntry::ItemFor(AccountSettingAction), TMenuEntry::ItemFor(OptionSettingAction)}),
        TMenuEntry::ItemFor(AboutAction),
        TMenuEntry::Separator(),
        TMenuEntry::ItemFor(CloseAction),
    };

    StatusIcon.OnClick = [this](TTrayIcon&) { Guarded([this] { StatusIconClick(); }); };
    NewMailIcon.OnClick = [this](TTrayIcon&) { Guarded([this] { NewMailIconClick(); }); };
    FParts.Notice.OnOpen = [this] { Guarded([this] { NewMailIconClick(); }); };
    FParts.System.OnResumed = [this] { Guarded([this] { SystemResumed(); }); };
    FParts.System.OnNetworkChanged = [this](bool Online) { Guarded([this, Online] { NetworkChanged(Online); }); };
    // The animation timer is on from the start, as the first check turns it
    // off when it ends; a start-up that fails before that check keeps it on.
    AnimationTimer->Start(AnimationPeriodMs);
    FAnimationRunning = true;
}

TMainWindow::~TMainWindow() {
    FParts.Notice.OnOpen = nullptr;
    FParts.System.OnResumed = nullptr;
    FParts.System.OnNetworkChanged = nullptr;
    AnimationTimer->Stop();
    CheckTimer.SetEnabled(false);
}

void TMainWindow::SetPopupMenu(TPopupMenu* Menu) {
    StatusIcon.SetRBtnPopupMenu(Menu);
}

void TMainWindow::FormCreate() {
    // A failure skips the rest of the start-up: no start-up check, and the
    // check timer stays off; checks started by hand still work.
    Guarded([this] { FormCreateSteps(); });
}

void TMainWindow::FormCreateSteps() {
    // The window itself is never shown; the accounts and planes exist already.
    SetTrayIcon(StatusIcon, FirstLevelPicture);
    std::uint32_t period = CheckTimer.Interval();
    try {
        const std::unique_ptr<IRegistry> store = FParts.Settings.Open();
        LoadSettings(*store, Accounts, period);
        CheckTimer.SetInterval(period);
        NotifyNewMail = LoadNotifyNewMail(*store);
        // Parts of the settings that could not be read are told once; the rest runs.
        if (const std::string damage = store->DamageReport(); !damage.empty()) FParts.Host.ReportError(damage);
    } catch (const ESettingsUnreadable& error) {
        // The settings are kept as they are; the program runs without accounts.
        FParts.Host.ReportError(error.what());
    }
    StatusIcon.SetHint(HintNotConnected);
    // Offline, the first check waits for the network.
    FOffline = NetworkDown();
    if (FOffline) {
        ShowOffline();
        FTimerPaused = true;
        return;
    }
    ConnectActionExecute();
    CheckTimer.SetEnabled(true);
}

bool TMainWindow::NetworkDown() const {
    return FParts.System.KnowsNetwork() && !FParts.System.Online();
}

void TMainWindow::ShowOffline() {
    StopAnimation();
    SignalLevel = 0;
    SetTrayIcon(StatusIcon, FirstLevelPicture);
    StatusIcon.SetHint(HintOffline);
}

void TMainWindow::SystemResumed() {
    // Where the network is known to be down, the check waits for it.
    if (NetworkDown()) return;
    ResumeGrace = FParts.Loop.CreateTimer([this] { Guarded([this] { CheckForNewState(); }); });
    ResumeGrace->Start(ResumeGraceMs);
}

void TMainWindow::NetworkChanged(bool Online) {
    if (!Online) {
        if (FOffline) return;
        FOffline = true;
        ResumeGrace.reset();
        if (CheckTimer.Enabled()) {
            FTimerPaused = true;
            CheckTimer.SetEnabled(false);
        }
        // A check under way shows its outcome first (ConnectActionExecute).
        if (ConnectAction.Enabled()) ShowOffline();
        return;
    }
    if (!FOffline && !ResumeGrace) return;
    FOffline = false;
    CheckForNewState();
}

void TMainWindow::CheckForNewState() {
    ResumeGrace.reset();
    if (!ConnectAction.Enabled()) {
        FCheckWhenDone = true;
        return;
    }
    ConnectActionExecute();
    // The interval counts from this check.
    if (FTimerPaused || CheckTimer.Enabled()) {
        FTimerPaused = false;
        CheckTimer.SetEnabled(false);
        CheckTimer.SetEnabled(true);
    }
}

void TMainWindow::SetTrayIcon(TTrayIcon& Tray, int Index) {
    Tray.Icon() = TIcon::Of(ImageListPicture(Index));
    Tray.Refresh();
}

void TMainWindow::ConnectActionExecute() {
    const bool wasOffline = FOffline;
    const TCycleOutcome outcome = RunCheckCycle(Accounts, Pop3Client, FParts.Clock, *this, SignalLevel, &OAuthAccess);
    if (outcome.Summary.empty()) {
        FParts.Notice.Withdraw();
    } else if (outcome.NewMail && NotifyNewMail) {
        FParts.Notice.Show(NewMailTitle, NoticeBody(outcome.Summary));
    }
    // The network went while this check ran.
    if (FOffline && !wasOffline) ShowOffline();
    if (std::exchange(FCheckWhenDone, false) && !FOffline) CheckForNewState();
}

void TMainWindow::CheckTimerTimer() {
    // A tick while a check runs is dropped, not deferred.
    if (ConnectAction.Enabled()) ConnectActionExecute();
}

void TMainWindow::StatusIconClick() {
    if (ConnectAction.Enabled()) ConnectActionExecute();
}

void TMainWindow::NewMailIconClick() {
    if (ExecuteMailClientAction.Enabled()) ExecuteMailClientActionExecute();
}

void TMainWindow::AnimationTimerTimer() {
    StatusIcon.Icon() = AnimationTick(AnimationPlanes, AnimationFrame, SignalLevel);
    StatusIcon.Refresh();
}

void TMainWindow::CloseActionExecute() {
    // Nothing is asked and nothing is saved. A check under way runs to its
    // end first: the message loop ends once the running handler returns.
    FCloseRequested = true;
    FParts.Host.EndProgram();
}

void TMainWindow::SaveActionExecute() {
    const std::unique_ptr<IRegistry> store = FParts.Settings.Open();
    SaveInterval(*store, CheckTimer.Interval());
}

void TMainWindow::ExecuteMailClientActionExecute() {
    FParts.MailProgram.Start();
}

// The dialog actions: each disables itself while its dialog is open, carries
// out what OK asks for, and enables itself again whatever happened.

void TMainWindow::AccountSettingActionExecute() {
    TActionBusy busy(AccountSettingAction);
    const std::vector<std::string> signedIn = OAuthAccountNames(Accounts);
    if (!FParts.Dialogs.ShowAccountList(Accounts)) return;
    const std::unique_ptr<IRegistry> store = FParts.Settings.Open();
    SaveAccounts(*store, Accounts);
    // The tokens of an account that is gone go with it.
    ForgetRemovedTokens(*SecretStore, signedIn, Accounts);
}

void TMainWindow::OptionSettingActionExecute() {
    TActionBusy busy(OptionSettingAction);
    TOptionValues values{PeriodToMinutes(CheckTimer.Interval()), FParts.Settings.IsRunAtStartup(), NotifyNewMail};
    if (!FParts.Dialogs.ShowOptions(values)) return;
    // The dialog refuses minutes whose period would not fit 32 bits.
    CheckTimer.SetInterval(MinutesToPeriod(values.IntervalMinutes));
    FParts.Settings.SetRunAtStartup(values.RunAtStartup);
    NotifyNewMail = values.NotifyNewMail;
    const std::unique_ptr<IRegistry> store = FParts.Settings.Open();
    SaveInterval(*store, CheckTimer.Interval());
    SaveNotifyNewMail(*store, NotifyNewMail);
}

void TMainWindow::AboutActionExecute() {
    TActionBusy busy(AboutAction);
    FParts.Dialogs.ShowAbout();
}

void TMainWindow::SetConnectEnabled(bool Enabled) {
    ConnectAction.SetEnabled(Enabled);
}

void TMainWindow::SetStatusHint(const std::string& Hint) {
    StatusIcon.SetHint(Hint);
}

void TMainWindow::StartAnimation() {
    AnimationFrame = 0;
    AnimationTimer->Start(AnimationPeriodMs);
    FAnimationRunning = true;
}

void TMainWindow::StopAnimation() {
    AnimationTimer->Stop();
    FAnimationRunning = false;
}

void TMainWindow::SetStatusPicture(int Index) {
    SetTrayIcon(StatusIcon, Index);
}

void TMainWindow::SetNewMailPicture(int Index) {
    SetTrayIcon(NewMailIcon, Index);
}

void TMainWindow::SetNewMailHint(const std::string& Hint) {
    NewMailIcon.SetHint(Hint);
}

void TMainWindow::RemoveNewMail() {
    NewMailIcon.SetIcon(nullptr);
}

void TMainWindow::PlayNewMailSound() {
    FParts.Sound.Play();
}

}  // namespace quorvel
