#include "tests/wine/WineDesktop.h"

#include <QRegularExpression>
#include <QThread>
#include <cctype>
#include <fstream>
#include <iterator>

#include "tests/pop3server/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace quorvel {

namespace {

const char* const Wine = "/usr/lib/wine/wine64";
const char* const WineServer = "/usr/lib/wine/wineserver64";
constexpr auto ToolLimit = std::chrono::seconds(60);
// Starting a session updates the prefix: minutes on a busy machine.
constexpr auto BootLimit = std::chrono::minutes(4);
constexpr int HintMs = 15000;

// Japanese glyphs in menus and tooltips: the fonts Windows programs ask for,
// replaced by IPAGothic.
const char* const FontReplacements =
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"
    "\"MS UI Gothic\"=\"IPAGothic\"\r\n\"MS Gothic\"=\"IPAGothic\"\r\n\"MS PGothic\"=\"IPAGothic\"\r\n"
    "\"MS Shell Dlg\"=\"IPAGothic\"\r\n\r\n";

std::string ReadFrom(const std::filesystem::path& File, std::size_t Offset) {
    std::ifstream in(File, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(Offset));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

PixelShape ShapeOf(const TPicture16& Picture) {
    PixelShape shape;
    int left = TPicture16::Size, top = TPicture16::Size;
    for (int y = 0; y < TPicture16::Size; ++y)
        for (int x = 0; x < TPicture16::Size; ++x)
            if (Picture.Opaque(x, y)) {
                left = std::min(left, x);
                top = std::min(top, y);
            }
    for (int y = 0; y < TPicture16::Size; ++y)
        for (int x = 0; x < TPicture16::Size; ++x)
            if (Picture.Opaque(x, y)) shape.insert({x - left, y - top});
    return shape;
}

std::string FromWineTrace(const std::string& Quoted) {
    std::u16string units;
    for (std::size_t i = 0; i < Quoted.size(); ++i) {
        const char c = Quoted[i];
        if (c != '\\' || i + 1 >= Quoted.size()) {
            units.push_back(static_cast<unsigned char>(c));
            continue;
        }
        const char next = Quoted[++i];
        if (std::isxdigit(static_cast<unsigned char>(next)) && i + 3 < Quoted.size()) {
            units.push_back(static_cast<char16_t>(std::stoul(Quoted.substr(i, 4), nullptr, 16)));
            i += 3;
        } else {
            units.push_back(next == 'n' ? u'\n' : next == 'r' ? u'\r' : next == 't' ? u'\t' : char16_t(next));
        }
    }
    return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size())).toStdString();
}

namespace {

// The text after L" up to its closing quote, still escaped.
std::string QuotedAfter(const std::string& Line, std::size_t From) {
    const std::size_t start = Line.find("L\"", From);
    if (start == std::string::npos) return {};
    std::string text;
    for (std::size_t i = start + 2; i < Line.size() && Line[i] != '"'; ++i) {
        if (Line[i] == '\\' && i + 1 < Line.size()) text += Line[i++];
        text += Line[i];
    }
    return text;
}

}  // namespace

WineDesktop::WineDesktop(DesktopSession& Session, const WineRunner& Wines, const std::filesystem::path& TraceFolder)
    : Desktop(Session), Runner(Wines), Folder(TraceFolder), Trace(TraceFolder / "shell-trace.txt") {}

WineDesktop::~WineDesktop() {
    // Wine's shell draws on this desktop, which ends with the test.
    RunChild(WineServer, {"-k"}, Environment(), ToolLimit);
}

std::map<std::string, std::string> WineDesktop::Environment() const {
    auto environment = Runner.WineEnvironment();
    environment["DISPLAY"] = Desktop.Display().toStdString();
    return environment;
}

bool WineDesktop::StartSession(std::string& Why) {
    auto environment = Environment();
    RunChild(WineServer, {"-k"}, environment, ToolLimit);
    if (!std::filesystem::exists(Runner.BuildFolder() / "wineprefix" / "system.reg")) {
        RunChild("/bin/sh", {"-c", "exec \"$@\" </dev/null >/dev/null 2>&1", "sh", Wine, "wineboot", "-i"}, environment,
                 BootLimit);
        RunChild(WineServer, {"-w"}, environment, ToolLimit);
    }
    RunChild(WineServer, {"-p60"}, environment, ToolLimit);
    // The shell starts with this first program and writes its trace to the
    // program's standard error: a file, never a pipe that would stay open,
    // opened for appending like every other program's (no process writes
    // over what another wrote).
    environment["WINEDEBUG"] = "+tooltips";
    const ChildResult boot = RunChild("/bin/sh",
                                      {"-c", "trace=$1; shift; exec \"$@\" </dev/null >/dev/null 2>>\"$trace\"", "sh",
                                       Trace.string(), Wine, "wineboot", "-u"},
                                      environment, BootLimit);
    if (!boot.Finished || boot.ExitStatus != 0) {
        Why = "wineboot -u failed";
        return false;
    }
    if (!Import(FontReplacements)) {
        Why = "regedit cannot import the font replacements";
        return false;
    }
    return true;
}

std::vector<std::string> WineDesktop::TracedCommand(const std::vector<std::string>& Command) const {
    std::vector<std::string> arguments{"-c", "trace=$1; shift; exec \"$@\" </dev/null >/dev/null 2>>\"$trace\"", "sh",
                                       Trace.string()};
    arguments.insert(arguments.end(), Command.begin(), Command.end());
    return arguments;
}

std::map<std::string, std::string> WineDesktop::TracedEnvironment() const {
    auto environment = Environment();
    environment["WINEDEBUG"] = "+tooltips,+menu";
    return environment;
}

ChildResult WineDesktop::RunTraced(const std::vector<std::string>& Command, std::chrono::milliseconds Limit) const {
    return RunChild("/bin/sh", TracedCommand(Command), TracedEnvironment(), Limit.count() > 0 ? Limit : ToolLimit);
}

ChildResult WineDesktop::RunTool(const std::string& Program, const std::vector<std::string>& Arguments) const {
    std::vector<std::string> command{Wine, (Runner.BuildFolder() / "wineprefix/drive_c/windows" / Program).string()};
    command.insert(command.end(), Arguments.begin(), Arguments.end());
    return RunTraced(command, ToolLimit);
}

bool WineDesktop::Import(const std::string& RegText) const {
    static int count = 0;
    const auto file = Folder / ("import-" + std::to_string(++count) + ".reg");
    std::ofstream(file, std::ios::binary) << RegText;
    const ChildResult result = RunTool("regedit.exe", {"/S", WineRunner::WindowsPath(file)});
    return result.Finished && result.ExitStatus == 0;
}

std::string WineDesktop::Export(const std::string& Key) const {
    static int count = 0;
    const auto file = Folder / ("export-" + std::to_string(++count) + ".reg");
    RunTool("regedit.exe", {"/E", WineRunner::WindowsPath(file), Key});
    return ReadText(file);
}

QProcess* WineDesktop::Start(const std::string& Program, const std::map<std::string, std::string>& Extra) {
    auto environment = TracedEnvironment();
    for (const auto& [name, value] : Extra) environment[name] = value;
    for (const auto& [name, value] : environment)
        Desktop.SetEnvironment(QString::fromStdString(name), QString::fromStdString(value));
    QStringList arguments;
    for (const std::string& argument : TracedCommand({Wine, (Runner.BuildFolder() / Program).string()}))
        arguments << QString::fromStdString(argument);
    return Desktop.Start("/bin/sh", arguments);
}

ChildResult WineDesktop::Run(const std::string& Program, std::chrono::milliseconds Limit,
                             const std::vector<std::string>& Arguments) const {
    std::vector<std::string> command{Wine, (Runner.BuildFolder() / Program).string()};
    command.insert(command.end(), Arguments.begin(), Arguments.end());
    return RunTraced(command, Limit);
}

QStringList WineDesktop::DockedIcons() const {
    return Desktop.FindWindows("explorer.exe");
}

PixelShape WineDesktop::ShownShape(const QString& Window) const {
    const QRect place = Desktop.WindowGeometry(Window);
    const QImage screen = Desktop.Screenshot();
    PixelShape dark;
    if (place.isEmpty() || screen.isNull()) return dark;
    const QImage icon = screen.copy(place);
    int left = icon.width(), top = icon.height();
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            if (qGray(icon.pixel(x, y)) < 64) {
                left = std::min(left, x);
                top = std::min(top, y);
            }
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            if (qGray(icon.pixel(x, y)) < 64) dark.insert({x - left, y - top});
    return dark;
}

std::string WineDesktop::TraceSince(std::size_t& Offset) const {
    std::string text = ReadFrom(Trace, Offset);
    Offset += text.size();
    return text;
}

namespace {

// Whether the shell's trace leaves a tooltip shown ("Hide tooltip -1" hides
// none).
bool TipShown(const std::string& Trace) {
    const std::size_t shown = Trace.rfind("Show tooltip ");
    if (shown == std::string::npos) return false;
    for (std::size_t at = Trace.find("Hide tooltip ", shown); at != std::string::npos;
         at = Trace.find("Hide tooltip ", at + 1))
        if (std::isdigit(static_cast<unsigned char>(Trace[at + 13]))) return false;
    return true;
}

}  // namespace

std::string WineDesktop::HoverHint(const QString& Window) {
    const QRect place = Desktop.WindowGeometry(Window);
    if (place.isEmpty()) return "(no window)";
    // Away first, until the shell has hidden any tip still up (an icon may
    // have docked under the resting pointer and shown its own).
    Desktop.Run("xdotool", {"mousemove", "600", "400"});
    WaitUntil([&] { return !TipShown(ReadFrom(Trace, 0)); }, HintMs);
    std::string seen = TraceSince(TraceOffset);
    // Onto the icon in two steps, so the shell sees the pointer move there.
    Desktop.Run("xdotool", {"mousemove", QString::number(place.left() + 2), QString::number(place.center().y())});
    WaitUntil(
        [&] {
            seen += TraceSince(TraceOffset);
            return seen.find("WM_MOUSEMOVE") != std::string::npos;
        },
        HintMs);
    Desktop.Run("xdotool", {"mousemove", QString::number(place.center().x()), QString::number(place.center().y())});
    std::string hint = "(no tooltip)";
    WaitUntil(
        [&] {
            seen += TraceSince(TraceOffset);
            const std::size_t at = seen.rfind("Show tooltip ");
            if (at == std::string::npos || seen.find(", size", at) == std::string::npos) return false;
            hint = FromWineTrace(QuotedAfter(seen, at));
            return true;
        },
        HintMs);
    Desktop.Run("xdotool", {"mousemove", "600", "400"});
    return hint;
}

bool WineDesktop::Click(const QString& Window, int Button) const {
    return Desktop.Click(Window, Button);
}

void WineDesktop::MenuKeys(const QStringList& Names) const {
    // Keys go to the window under the pointer (no window manager here): the
    // border of the open menu, where the pointer selects no item.
    const QStringList menus = Desktop.FindWindows("quorvel.exe");
    if (!menus.isEmpty()) {
        const QRect place = Desktop.WindowGeometry(menus.front());
        Desktop.Run("xdotool", {"mousemove", QString::number(place.left() + 1), QString::number(place.top() + 1)});
    }
    Desktop.Run("xdotool", QStringList{"key"} + Names);
}

int WineDesktop::OpenMenus() const {
    return static_cast<int>(Desktop.FindWindows("quorvel.exe").size());
}

namespace {

// The runs of menu items a +menu trace shows. Each item is drawn as
// "{ ID=..., State=grey, Text=L"..." }" followed by its rectangle. A popup
// draws its items top to bottom, one run; single items are drawn again as
// the selection moves, each a run of its own.
std::vector<std::vector<DrawnMenuEntry>> RunsIn(const std::string& Trace) {
    static const QRegularExpression rectLine(QStringLiteral(R"(draw_menu_item rect=\((-?\d+),(-?\d+)\))"));
    std::vector<std::vector<DrawnMenuEntry>> runs;
    DrawnMenuEntry pending;
    bool havePending = false;
    int lastTop = -1;
    std::size_t lineStart = 0;
    for (std::size_t end = Trace.find('\n'); end != std::string::npos; end = Trace.find('\n', lineStart)) {
        const std::string line = Trace.substr(lineStart, end - lineStart);
        lineStart = end + 1;
        if (line.find("draw_menu_item {") != std::string::npos) {
            pending = DrawnMenuEntry{};
            pending.Separator = line.find("fType=sep") != std::string::npos;
            pending.Submenu = line.find("fType=pop") != std::string::npos;
            const std::size_t state = line.find("State=");
            pending.Grey = state != std::string::npos && line.find("grey", state) != std::string::npos;
            if (!pending.Separator) pending.Text = FromWineTrace(QuotedAfter(line, line.find("Text=")));
            havePending = true;
        } else if (const QRegularExpressionMatch match = rectLine.match(QString::fromStdString(line));
                   havePending && match.hasMatch()) {
            const int top = match.captured(2).toInt();
            if (runs.empty() || top <= lastTop) runs.emplace_back();
            lastTop = top;
            runs.back().push_back(pending);
            havePending = false;
        }
    }
    return runs;
}

}  // namespace

std::vector<DrawnMenuEntry> WineDesktop::DrawnMenu(const std::vector<DrawnMenuEntry>& Expected) {
    std::string trace;
    std::vector<DrawnMenuEntry> popup;
    WaitUntil(
        [&] {
            trace += TraceSince(MenuOffset);
            popup.clear();
            for (const std::vector<DrawnMenuEntry>& run : RunsIn(trace)) {
                if (run.size() >= popup.size() || run == Expected) popup = run;
                if (run == Expected) return true;
            }
            return false;
        },
        HintMs);
    return popup;
}

void WineDesktop::ForgetMenus() {
    TraceSince(MenuOffset);
}

std::pair<std::string, std::string> WineDesktop::NextBalloon(int Ms) {
    // A balloon is the tooltip with a title ("..., title = L"...", icon = ...");
    // once shown, "Show tooltip N, L"...", size ..." follows with its text.
    std::pair<std::string, std::string> balloon;
    std::string seen;
    WaitUntil(
        [&] {
            seen += TraceSince(BalloonOffset);
            const std::size_t title = seen.find(", title = L\"");
            const std::size_t shown =
                seen.find("Show tooltip 0, L\"", title == std::string::npos ? seen.size() : title);
            if (shown == std::string::npos || seen.find(", size", shown) == std::string::npos) return false;
            balloon = {FromWineTrace(QuotedAfter(seen, title)), FromWineTrace(QuotedAfter(seen, shown))};
            return true;
        },
        Ms);
    return balloon;
}

}  // namespace quorvel
