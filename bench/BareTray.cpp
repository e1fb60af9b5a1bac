// quorvel-bare-tray: the yardstick of quorvel-idle-bench. A bare Qt tray icon
// with a seven-entry menu on the same platform plugin, and nothing else: what
// any Qt program in the notification area costs while it idles.
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QMenu menu;
    for (int entry = 1; entry <= 7; ++entry) menu.addAction(QStringLiteral("Entry %1").arg(entry));
    QPixmap picture(16, 16);
    picture.fill(Qt::darkBlue);
    QSystemTrayIcon icon{QIcon(picture)};
    icon.setToolTip(QStringLiteral("bare tray icon"));
    icon.setContextMenu(&menu);
    icon.show();
    return QApplication::exec();
}
