#include "gui/qt/QtTrayShell.h"

#include <QTimer>
#include "core/Guarded.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <exception>

#include "gui/qt/QtIcons.h"
#include "gui/qt/QtPopupMenu.h"
#include "gui/qt/TrayHostWatch.h"
#include "tray/PopupMenu.h"

namespace quorvel {

TQtTrayShell::TQtTrayShell(std::function<void(const std::string&)> Reporter, QObject* Parent)
    : QObject(Parent), FReporter(std::move(Reporter)) {
    TTrayHostWatch& watch = TTrayHostWatch::Instance();
    connect(&watch, &TTrayHostWatch::HostAppeared, this, &TQtTrayShell::OnHostAppeared);
    connect(&watch, &TTrayHostWatch::WatcherReplaced, this, &TQtTrayShell::OnWatcherReplaced);
    connect(&watch, &TTrayHostWatch::Reannounce, this, &TQtTrayShell::OnReannounce);
}

TQtTrayShell::~TQtTrayShell() = default;

void TQtTrayShell::Attach(ITrayWindow* Window) {
    FWindow = Window;
}

void TQtTrayShell::NotifyIcon(TNotifyIconMessage Message, const TNotifyIconData& Data) {
    FWanted = Message != TNotifyIconMessage::NIM_DELETE;
    if (FWanted) {
        FIcon = MakeTrayQIcon(Data.Icon.Image);
        FTip = QString::fromUtf8(Data.Tip.data(), static_cast<qsizetype>(Data.Tip.size()));
        // Lines of a tip are joined by CR LF; tray hosts break lines at LF.
        FTip.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    Apply();
}

// The Qt tray icon is made only once a tray host is there, so that Qt
// chooses the kind of tray the host speaks (see TTrayHostWatch).
void TQtTrayShell::Apply() {
    if (!FTray) {
        TTrayHostWatch& watch = TTrayHostWatch::Instance();
        if (!FWanted || !watch.AnyHostPresent() || !watch.NoteFirstTrayIcon()) return;
        FTray = new QSystemTrayIcon(this);
        connect(FTray, &QSystemTrayIcon::activated, this, &TQtTrayShell::OnActivated);
        ApplyMenu();
    }
    if (!FWanted) {
        FTray->hide();
        return;
    }
    FTray->setIcon(FIcon);
    FTray->setToolTip(FTip);
    FTray->show();
}

void TQtTrayShell::SetContextMenu(TPopupMenu* Menu) {
    FContextMenu = Menu;
    ApplyMenu();
}

// A StatusNotifierItem host shows the exported menu itself on a right
// click. An XEmbed icon with a context menu would open it on the press and
// the component again on the release, so there the component alone shows it.
void TQtTrayShell::ApplyMenu() {
    if (!FTray || !TTrayHostWatch::Instance().UsesStatusNotifier()) return;
    auto* menu = dynamic_cast<TQtPopupMenu*>(FContextMenu);
    FTray->setContextMenu(menu && menu->AutoPopup() ? menu->Menu() : nullptr);
}

// Once made, Qt keeps the icon with its host by itself: it re-docks an
// XEmbed icon in a restarted tray and registers a StatusNotifierItem again
// with a restarted watcher.
void TQtTrayShell::OnHostAppeared() {
    if (!FTray) Apply();
}

// Qt registers its item again only when the watcher name reappears, not
// when another process takes the name over: hiding and showing the item
// registers it anew, with whichever watcher owns the name now.
void TQtTrayShell::OnWatcherReplaced() {
    if (!FTray) {
        Apply();
        return;
    }
    if (!FWanted || !TTrayHostWatch::Instance().UsesStatusNotifier()) return;
    FTray->hide();
    FTray->show();
}

// Setting the same picture and tooltip again makes Qt send NewIcon and
// NewToolTip, which hosts that skipped the first announcement act on.
void TQtTrayShell::OnReannounce() {
    if (!FTray || !FWanted || !TTrayHostWatch::Instance().UsesStatusNotifier()) return;
    FTray->setIcon(FIcon);
    FTray->setToolTip(FTip);
}

TPoint TQtTrayShell::CursorPos() {
    const QPoint pos = QCursor::pos();
    return {pos.x(), pos.y()};
}

TShiftState TQtTrayShell::ShiftState() {
    const Qt::KeyboardModifiers keys = QGuiApplication::queryKeyboardModifiers();
    const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    TShiftState shift = 0;
    if (keys & Qt::ShiftModifier) shift |= ssShift;
    if (keys & Qt::ControlModifier) shift |= ssCtrl;
    if (keys & Qt::AltModifier) shift |= ssAlt;
    if (buttons & Qt::LeftButton) shift |= ssLeft;
    if (buttons & Qt::RightButton) shift |= ssRight;
    if (buttons & Qt::MiddleButton) shift |= ssMiddle;
    return shift;
}

// A Qt popup menu grabs the pointer and keyboard itself while it is open.
void TQtTrayShell::SetForeground() {}

void TQtTrayShell::ProcessMessages() {
    QCoreApplication::processEvents();
}

void TQtTrayShell::ShowMenu(TPopupMenu& Menu, int X, int Y) {
    Menu.Popup(X, Y);
}

void TQtTrayShell::OnActivated(QSystemTrayIcon::ActivationReason Reason) {
    switch (Reason) {
        case QSystemTrayIcon::Trigger: Deliver(WM_LBUTTONDOWN, WM_LBUTTONUP); break;
        case QSystemTrayIcon::Context: Deliver(WM_RBUTTONDOWN, WM_RBUTTONUP); break;
        case QSystemTrayIcon::DoubleClick: Deliver(WM_LBUTTONDBLCLK, WM_LBUTTONUP); break;
        case QSystemTrayIcon::MiddleClick: Deliver(WM_MBUTTONDOWN, WM_MBUTTONUP); break;
        default: break;
    }
}

// The click is handled from the event loop, not inside Qt's activation
// signal: on a StatusNotifierItem host that signal comes from the panel's
// D-Bus call, which must get its answer at once, not after a whole check.
// An event handler may destroy the icon, or this shell, in between.
void TQtTrayShell::Deliver(std::int32_t First, std::int32_t Second) {
    QTimer::singleShot(0, this, [this, First, Second] { DeliverNow(First, Second); });
}

void TQtTrayShell::DeliverNow(std::int32_t First, std::int32_t Second) {
    const QPointer<TQtTrayShell> self(this);
    for (std::int32_t message : {First, Second}) {
        if (!self || !FWindow) return;
        Guarded(FReporter, [&] { FWindow->TrayWndProc(WM_USER, message); });
    }
}

}  // namespace quorvel
