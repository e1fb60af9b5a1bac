#pragma once

#include <functional>
#include <string>

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

#include "tray/TrayShell.h"

namespace quorvel {

// The notification-area shell of one TTrayIcon on a QSystemTrayIcon: a
// StatusNotifierItem where a StatusNotifierWatcher runs on the session bus,
// an XEmbed icon on other X11 trays. With no tray host at all the icon waits
// and appears as soon as a host does; after a panel restart, or when another
// panel takes the host over, it is shown there again.
//
// The main window builds its two icons like this (each shell declared before
// its icon, so it outlives it):
//
//     TQtTrayShell StatusShell{ShowErrorReport}, NewMailShell{ShowErrorReport};
//     TTrayIcon StatusIcon{StatusShell}, NewMailIcon{NewMailShell};
//     QMenu PopupMenu;  // actions added by the main window
//     TQtPopupMenu TrayMenu{&PopupMenu};
//     StatusIcon.SetRBtnPopupMenu(&TrayMenu);
//     StatusIcon.OnClick = [this](TTrayIcon& Sender) { StatusIconClick(Sender); };
//     NewMailIcon.OnClick = [this](TTrayIcon& Sender) { NewMailIconClick(Sender); };
//
// Do not call QSystemTrayIcon::isSystemTrayAvailable() before a tray host is
// there: Qt fixes its choice of tray kind for the process at the first ask.
class TQtTrayShell final : public QObject, public ITrayShell {
    Q_OBJECT

public:
    // Reporter shows what an event handler let escape (the general error report).
    explicit TQtTrayShell(std::function<void(const std::string&)> Reporter, QObject* Parent = nullptr);
    ~TQtTrayShell() override;

    void Attach(ITrayWindow* Window) override;
    void NotifyIcon(TNotifyIconMessage Message, const TNotifyIconData& Data) override;
    void SetContextMenu(TPopupMenu* Menu) override;
    TPoint CursorPos() override;
    TShiftState ShiftState() override;
    void SetForeground() override;
    void ProcessMessages() override;
    void ShowMenu(TPopupMenu& Menu, int X, int Y) override;

    // The Qt tray icon, once a tray host has been seen (for tests).
    QSystemTrayIcon* TrayIcon() const { return FTray.data(); }

private:
    void Apply();
    void ApplyMenu();
    void OnHostAppeared();
    void OnWatcherReplaced();
    void OnReannounce();
    void OnActivated(QSystemTrayIcon::ActivationReason Reason);
    void Deliver(std::int32_t First, std::int32_t Second);
    void DeliverNow(std::int32_t First, std::int32_t Second);

    std::function<void(const std::string&)> FReporter;
    ITrayWindow* FWindow = nullptr;
    QPointer<QSystemTrayIcon> FTray;
    bool FWanted = false;
    QIcon FIcon;
    QString FTip;
    TPopupMenu* FContextMenu = nullptr;
};

}  // namespace quorvel
