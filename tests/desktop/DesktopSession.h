#pragma once

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvel {

// How long a tray item, a window or a panel may take to appear.
inline constexpr int AppearMs = 15000;

// Makes the Qt application the tests' objects need, named Name, unless
// there is one.
void StartGuiApplication(const char* Name);

// A private desktop for end-to-end tests: Xvfb on a free display and a
// private D-Bus session bus, plus the programs started on them (a real
// XEmbed tray, programs under test). Programs started here get a private
// XDG_DATA_HOME (tray pictures, icon caches), removed with the session.
// Everything started is killed when the session ends. Needs a
// Q(Core|Gui)Application in the test process.
class DesktopSession {
public:
    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // False when Xvfb or the bus could not start; SkipReason tells why.
    bool Ok() const { return FSkipReason.isEmpty(); }
    const QString& SkipReason() const { return FSkipReason; }
    const QString& Display() const { return FDisplay; }  // ":N"
    const QString& BusAddress() const { return FBusAddress; }
    // The environment for programs on this desktop (DISPLAY, the bus, xcb).
    QProcessEnvironment Environment() const;

    // Adds Name=Value to the environment of programs started from now on.
    void SetEnvironment(const QString& Name, const QString& Value) { FExtra.insert(Name, Value); }

    // Starts one more private bus (session rules), as a stand-in system bus;
    // returns its address, empty when it could not start.
    QString StartBus();

    // Starts Program on this desktop; the session owns the process.
    QProcess* Start(const QString& Program, const QStringList& Arguments = {});
    // Kills a process the session started (SIGKILL) and waits for it.
    static void Kill(QProcess* Process);

    // A real XEmbed tray (trayer) at the top left of the screen, once it
    // holds the tray manager selection; null (and TrayProblem says why) when
    // it does not within 15 s: the tests cannot go on without it.
    QProcess* StartXEmbedTray();
    const QString& TrayProblem() const { return FTrayProblem; }
    // Whether an XEmbed tray holds the tray manager selection of the display.
    bool XEmbedTrayOwned() const;

    // A headless sway for programs started from now on (false if sway or waybar is missing); a waybar with a tray.
    bool StartSway();
    QProcess* StartWaybar() { return Start("waybar", {"-c", FSway.filePath("waybar.json")}); }
    // Whether Name (well-known or unique) has an owner on the session bus.
    bool BusNameOwned(const QString& Name) const;
    // Whether the process Pid listens on the session bus for signals about
    // Name (it has a match rule that names it): from then on it hears when
    // Name comes or goes.
    bool Watches(qint64 Pid, const QString& Name) const;

    // Runs a helper tool (xdotool, import ...) to its end, bounded in time;
    // returns its standard output, or an empty string when it failed.
    QString Run(const QString& Program, const QStringList& Arguments, int TimeoutMs = 10000) const;
    // Visible windows whose WM_CLASS name is ClassName (xdotool search).
    QStringList FindWindows(const QString& ClassName) const;
    // A window's place on the screen.
    QRect WindowGeometry(const QString& Window) const;
    // Clicks Button at the middle of a window.
    bool Click(const QString& Window, int Button = 1) const;
    // The whole screen (ImageMagick import), also saved to SavePath if given.
    QImage Screenshot(const QString& SavePath = {}) const;

private:
    QTemporaryDir FDataHome;
    QString FSkipReason;
    QString FTrayProblem;
    QString FDisplay;
    QString FBusAddress;
    QString FBusConnection;  // the test's own connection to the bus
    QProcessEnvironment FExtra;
    QTemporaryDir FSway;
    std::vector<std::unique_ptr<QProcess>> FProcesses;
};

// Handles events until Condition holds or TimeoutMs pass; true if it held.
bool WaitUntil(const std::function<bool()>& Condition, int TimeoutMs);

// How often Word stands in Text (the commands a server logged, say).
inline int CountOf(const std::string& Text, const std::string& Word) {
    int n = 0;
    for (auto at = Text.find(Word); at != std::string::npos; at = Text.find(Word, at + 1)) ++n;
    return n;
}

}  // namespace quorvel
