#pragma once

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/desktop/DesktopSession.h"
#include "tests/pop3server/ChildProcess.h"
#include "tests/wine/WineRunner.h"
#include "tray/Picture.h"

namespace quorvel {

// One entry of a Win32 menu as Wine drew it.
struct DrawnMenuEntry {
    std::string Text;  // empty for a separator
    bool Separator = false;
    bool Submenu = false;
    bool Grey = false;
    bool operator==(const DrawnMenuEntry&) const = default;
};

// Opaque pixels of a picture, moved so that the topmost and leftmost ones
// sit on row 0 and column 0: what can be compared across offsets.
using PixelShape = std::set<std::pair<int, int>>;
PixelShape ShapeOf(const TPicture16& Picture);

// Windows programs of the Windows build on a private desktop (Xvfb with an
// XEmbed tray) in a Wine session of their own, read the way a user sees
// them: the icons Wine docks into the tray as X windows, their pixels, the
// tooltips from Wine's +tooltips trace of the shell (explorer), the menus
// from the programs' +menu trace. Every Wine process started here appends
// its trace to one file, so the shell's lands there whichever process
// started it. The session uses the build's Wine prefix; it ends with this
// object, so later Wine runs start a session of their own.
class WineDesktop {
public:
    WineDesktop(DesktopSession& Desktop, const WineRunner& Runner, const std::filesystem::path& TraceFolder);
    ~WineDesktop();
    WineDesktop(const WineDesktop&) = delete;
    WineDesktop& operator=(const WineDesktop&) = delete;

    // Ends any session of the prefix and starts one on this desktop whose
    // shell writes its +tooltips trace; imports the Japanese font
    // replacements. False (with Why) when the session did not come up.
    bool StartSession(std::string& Why);

    // Runs a Windows tool of the prefix (regedit ...) to its end.
    ChildResult RunTool(const std::string& Program, const std::vector<std::string>& Arguments) const;
    // Imports registry text (REGEDIT4, ANSI) with regedit /S.
    bool Import(const std::string& RegText) const;
    // The bytes regedit /E exports for Key ("" when the key is missing).
    std::string Export(const std::string& Key) const;

    // Starts Program (relative to the build folder); Environment adds
    // variables. The desktop owns the process.
    QProcess* Start(const std::string& Program, const std::map<std::string, std::string>& Environment = {});
    // Runs Program with Arguments to its end on this desktop, bounded by Limit.
    ChildResult Run(const std::string& Program, std::chrono::milliseconds Limit,
                    const std::vector<std::string>& Arguments = {}) const;

    // The tray icons Wine has docked, as X window ids.
    QStringList DockedIcons() const;
    // The shape of the dark pixels the icon window shows now.
    PixelShape ShownShape(const QString& Window) const;
    // The tooltip Wine shows when the pointer comes onto the icon.
    std::string HoverHint(const QString& Window);
    // Clicks the icon with Button and moves the pointer away.
    bool Click(const QString& Window, int Button) const;
    // Presses keys (xdotool key names) in the program's open menu.
    void MenuKeys(const QStringList& Names) const;

    // The menu opened since the last call (or ForgetMenus), its entries top
    // to bottom; waits a little for it to be drawn.
    std::vector<DrawnMenuEntry> DrawnMenu();
    // Drops what the programs have drawn so far.
    void ForgetMenus();

    // The next balloon the shell shows (title, then the text as shown),
    // waiting at most Ms; empty texts when none came.
    std::pair<std::string, std::string> NextBalloon(int Ms);

private:
    std::map<std::string, std::string> Environment() const;
    std::map<std::string, std::string> TracedEnvironment() const;
    std::vector<std::string> TracedCommand(const std::vector<std::string>& Command) const;
    ChildResult RunTraced(const std::vector<std::string>& Command, std::chrono::milliseconds Limit) const;
    std::string TraceSince(std::size_t& Offset) const;

    DesktopSession& Desktop;
    const WineRunner& Runner;
    std::filesystem::path Folder;
    std::filesystem::path Trace;
    std::size_t TraceOffset = 0;
    std::size_t MenuOffset = 0;
    std::size_t BalloonOffset = 0;
};

// A text of Wine's traces (L"...", UTF-16 escapes \xxxx) as UTF-8.
std::string FromWineTrace(const std::string& Quoted);

}  // namespace quorvel
