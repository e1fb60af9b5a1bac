#include "app/MainForm.h"

#include <QAction>
#include <QApplication>
#include <exception>

#include "app/AccountCheck.h"
#include "app/EntryPoint.h"
#include "app/ErrorReport.h"
#include "app/QtEventLoop.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tray/ImageList.h"
#include "tray/MailLauncher.h"
#include "tray/QtIcons.h"

namespace quorvel {

namespace {

constexpr std::uint32_t AnimationPeriodMs = 50;

}  // namespace

TMainForm::TMainForm(QtEventLoop& EventLoop)
    : Loop(EventLoop),
      Shell1(ShowErrorReport),
      TrayIcon1(Shell1),
      Timer1(EventLoop, [this] { Timer1Timer(); }),
      Menu1(&PopupMenu1),
      Shell2(ShowErrorReport),
      TrayIcon2(Shell2),
      Pop3Client(EventLoop),
      AnimetionTimer(EventLoop.CreateTimer([this] { AnimetionTimerTimer(); })) {
    setWindowTitle(QStringLiteral("MainForm"));
    Pop3Client.Port = DefaultPortNo;
    Pop3Client.SetTimeOut(CheckTimeOutMs);
    CreateActions();
    BuildMenu();
    TrayIcon1.SetRBtnPopupMenu(&Menu1);
    TrayIcon1.OnClick = [this](TTrayIcon&) { Guarded([this] { TrayIcon1Click(); }); };
    TrayIcon2.OnClick = [this](TTrayIcon&) { Guarded([this] { TrayIcon2Click(); }); };
    // The animation timer is on from the start, as the first check turns it
    // off when it ends; a start-up that fails before that check keeps it on.
    AnimetionTimer->Start(AnimationPeriodMs);
    try {
        FormCreate();
    } catch (const std::exception& error) {
        // The rest of the start-up is skipped: no start-up check, and the
        // check timer stays off; checks started by hand still work.
        ShowErrorReport(error.what());
    }
}

TMainForm::~TMainForm() {
    AnimetionTimer->Stop();
    Timer1.SetEnabled(false);
}

void TMainForm::CreateActions() {
    struct ActionRow {
        QAction** Target;
        const char* Caption;
        int Image;
        void (TMainForm::*Handler)();
    };
    const ActionRow rows[] = {
        {&AccountSettingAction, "アカウントの設定(&A)...", 3, &TMainForm::AccountSettingActionExecute},
        {&OptionSettingAction, "オプション(&O)...", 5, &TMainForm::OptionSettingActionExecute},
        {&SaveAction, "保存", 2, &TMainForm::SaveActionExecute},
        {&ConnectAction, "メールチェック(&C)", 6, &TMainForm::ConnectActionExecute},
        {&CloseAction, "終了(&X)", 1, &TMainForm::CloseActionExecute},
        {&AboutAction, "バージョン情報(&A)...", 4, &TMainForm::AboutActionExecute},
        {&ExecuteMailClientAction, "メーラーを開く(&M)", 7, &TMainForm::ExecuteMailClientActionExecute},
    };
    for (const ActionRow& row : rows) {
        auto* action = new QAction(MakeMenuQIcon(row.Image), QString::fromUtf8(row.Caption), this);
        action->setIconVisibleInMenu(true);
        const auto handler = row.Handler;
        // Queued: a panel's menu click arrives as a D-Bus call that must be
        // answered at once, not after the check or dialog it starts.
        QObject::connect(
            action, &QAction::triggered, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); },
            Qt::QueuedConnection);
        *row.Target = action;
    }
}

void TMainForm::BuildMenu() {
    PopupMenu1.addAction(ConnectAction);
    PopupMenu1.addAction(ExecuteMailClientAction);
    PopupMenu1.addSeparator();
    QMenu* settings = PopupMenu1.addMenu(QStringLiteral("設定(&S)"));
    settings->addAction(AccountSettingAction);
    settings->addAction(OptionSettingAction);
    PopupMenu1.addAction(AboutAction);
    PopupMenu1.addSeparator();
    PopupMenu1.addAction(CloseAction);
}

void TMainForm::FormCreate() {
    // The window itself is never shown; the accounts and planes exist already.
    SetTrayIcon(TrayIcon1, FirstLevelPicture);
    std::uint32_t period = Timer1.Interval();
    try {
        RegistryStore store(RegistryStore::DefaultPath());
        LoadSettings(store, Accounts, period);
        Timer1.SetInterval(period);
        // Parts of the file that could not be read are told once; the rest runs.
        if (const std::string damage = store.DamageReport(); !damage.empty()) ShowErrorReport(damage);
    } catch (const ESettingsUnreadable& error) {
        // The file is kept as it is; the program runs without accounts.
        ShowErrorReport(error.what());
    }
    TrayIcon1.SetHint(HintNotConnected);
    ConnectActionExecute();
    Timer1.SetEnabled(true);
}

void TMainForm::SetTrayIcon(TTrayIcon& Tray, int Index) {
    Tray.Icon() = TIcon::Of(ImageListPicture(Index));
    Tray.Refresh();
}

void TMainForm::ConnectActionExecute() {
    RunCheckCycle(Accounts, Pop3Client, Clock, *this, SignalLevel);
}

void TMainForm::Timer1Timer() {
    if (ConnectAction->isEnabled()) ConnectActionExecute();
}

void TMainForm::TrayIcon1Click() {
    if (ConnectAction->isEnabled()) ConnectActionExecute();
}

void TMainForm::TrayIcon2Click() {
    if (ExecuteMailClientAction->isEnabled()) ExecuteMailClientActionExecute();
}

void TMainForm::AnimetionTimerTimer() {
    TrayIcon1.Icon() = AnimationTick(AnimationPlanes, AnimationFrame, SignalLevel);
    TrayIcon1.Refresh();
}

void TMainForm::CloseActionExecute() {
    // Nothing is asked and nothing is saved. A check under way runs to its
    // end first: the main loop ends once the running handler returns.
    FCloseRequested = true;
    QApplication::quit();
}

void TMainForm::SaveActionExecute() {
    RegistryStore store(RegistryStore::DefaultPath());
    SaveInterval(store, Timer1.Interval());
}

void TMainForm::ExecuteMailClientActionExecute() {
    ExecuteMailClient();
}

void TMainForm::SetConnectEnabled(bool Enabled) {
    ConnectAction->setEnabled(Enabled);
}

void TMainForm::SetStatusHint(const std::string& Hint) {
    TrayIcon1.SetHint(Hint);
}

void TMainForm::StartAnimation() {
    AnimationFrame = 0;
    AnimetionTimer->Start(AnimationPeriodMs);
}

void TMainForm::StopAnimation() {
    AnimetionTimer->Stop();
}

void TMainForm::SetStatusPicture(int Index) {
    SetTrayIcon(TrayIcon1, Index);
}

void TMainForm::SetNewMailPicture(int Index) {
    SetTrayIcon(TrayIcon2, Index);
}

void TMainForm::SetNewMailHint(const std::string& Hint) {
    TrayIcon2.SetHint(Hint);
}

void TMainForm::RemoveNewMail() {
    TrayIcon2.SetIcon(nullptr);
}

void TMainForm::PlayNewMailSound() {
    Sound.Play();
}

}  // namespace quorvel
