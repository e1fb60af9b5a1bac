#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include "tests/desktop/DesktopSession.h"

namespace quorvel {

// GNOME Shell (X11) with the AppIndicator extension on a DesktopSession, the
// StatusNotifierItem host of GNOME desktops, for tests that look at what its
// top bar draws. It gets a stand-in system bus of its own and the extension
// enabled with gsettings in a private dconf database. Create it before the
// programs under test: it points the session's XDG_CONFIG_HOME, XDG_DATA_HOME,
// XDG_CACHE_HOME, XDG_STATE_HOME and XDG_RUNTIME_DIR into a folder of its own.
class GnomeShell {
public:
    explicit GnomeShell(DesktopSession& Session);
    ~GnomeShell();
    GnomeShell(const GnomeShell&) = delete;
    GnomeShell& operator=(const GnomeShell&) = delete;

    static bool Installed();
    // Empty when the shell can start; else what is missing.
    const QString& Problem() const { return FProblem; }
    // The XDG_CONFIG_HOME of programs started on the session from now on.
    QString ConfigHome() const { return FFolder.filePath("xdg_config_home"); }

    // Starts gnome-shell and waits until its tray host is on the session bus.
    bool Start(int TimeoutMs = 30000);
    // Kills it, as a crash or a restart does, and waits until its tray host
    // has left the bus.
    void Stop();

    // Where Picture (16 x 16, ARGB) is drawn in the top bar of Screen, over
    // the bar's own colour, or (-1, -1). The shell draws tray icons slightly
    // translucent, so each channel may differ by a little.
    static QPoint FindInTopBar(const QImage& Screen, const QImage& Picture);

private:
    bool WatcherOnBus() const;

    DesktopSession& FSession;
    QTemporaryDir FFolder;
    QDBusConnection FBus;
    QString FProblem;
    QProcess* FShell = nullptr;
};

}  // namespace quorvel
