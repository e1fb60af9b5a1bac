#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QStandardPaths>
#include <memory>

#include "gui/qt/QtIcons.h"
#include "tests/desktop/DesktopSession.h"
#include "tests/desktop/SniHost.h"
#include "tests/desktop/TrayProbePicture.h"

namespace quorvel {
namespace {

// Where the screenshots are left for a person to look at.
QString ShotPath(const QString& Name) {
    return QDir::temp().filePath("quorvel-" + Name + ".png");
}

class DesktopTray : public ::testing::Test {
protected:
    void SetUp() override {
        StartGuiApplication("desktop_tray_tests");
        Session = std::make_unique<DesktopSession>();
        if (!Session->Ok()) GTEST_SKIP() << Session->SkipReason().toStdString();
    }

    QProcess* StartProbe(const QStringList& Arguments = {}) {
        Probe = Session->Start(QUORVEL_TRAY_PROBE, Arguments);
        EXPECT_TRUE(WaitUntil([&] { return Output().contains("ready"); }, AppearMs));
        return Probe;
    }
    // Everything the probe printed so far.
    const QString& Output() {
        ProbeOutput += QString::fromUtf8(Probe->readAllStandardOutput());
        return ProbeOutput;
    }
    int Clicks() { return static_cast<int>(Output().count("click\n")); }

    QStringList WaitForItem(SniHost& Host) {
        WaitUntil([&] { return !Host.Items().isEmpty(); }, AppearMs);
        return Host.Items();
    }
    QString WaitForDockedIcon() {
        WaitUntil([&] { return !Session->FindWindows("quorvel-tray-probe").isEmpty(); }, AppearMs);
        const QStringList windows = Session->FindWindows("quorvel-tray-probe");
        return windows.isEmpty() ? QString() : windows.first();
    }

    std::unique_ptr<DesktopSession> Session;
    QProcess* Probe = nullptr;
    QString ProbeOutput;
};

// The XEmbed tests need a real tray and the X tools to click and look.
class XEmbedTray : public DesktopTray {
protected:
    void SetUp() override {
        DesktopTray::SetUp();
        for (const char* tool : {"trayer", "xdotool", "import"})
            if (!IsSkipped() && QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << tool << " is not installed (scripts/deps.sh installs it)";
    }
};

// The item's picture and hint, its menu read back over dbusmenu, and an
// activation that is one click.
TEST_F(DesktopTray, SniItemShowsThePictureHintAndMenuAndActivatesOnce) {
    SniHost host(Session->BusAddress());
    ASSERT_TRUE(host.Ok());
    StartProbe();
    const QStringList items = WaitForItem(host);
    ASSERT_EQ(items.size(), 1);
    const SniItemState state = host.ReadItem(items.first());
    EXPECT_EQ(state.Status, "Active");
    EXPECT_EQ(state.ToolTipTitle + state.ToolTipText, QString::fromUtf8(ProbeHint));
    ASSERT_FALSE(state.IconPixmaps.empty());
    const QIcon expected = MakeTrayQIcon(ProbePicture());
    bool sawActualSize = false;
    for (const QImage& image : state.IconPixmaps) {
        const QImage wanted = expected.pixmap(image.size()).toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(image, wanted) << image.width() << " x " << image.height();
        if (image.width() == 16) {
            sawActualSize = true;
            EXPECT_EQ(image.pixel(3, 3), 0xFF00FF00u);
            EXPECT_EQ(image.pixel(8, 8), 0xFF0000FFu);
            EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        }
    }
    EXPECT_TRUE(sawActualSize);
    // What the panel would draw, side by side, for a person to look at.
    QImage strip(260, 72, QImage::Format_ARGB32);
    strip.fill(0xFFDCDCDCu);
    int left = 4;
    for (const QImage& image : state.IconPixmaps) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) != 0) strip.setPixel(left + x, 4 + y, image.pixel(x, y));
        left += image.width() + 4;
    }
    strip.copy(0, 0, std::min(left, 260), 72).save(ShotPath("sni"));

    const std::vector<SniMenuEntry> menu = host.ReadMenu(items.first());
    ASSERT_EQ(menu.size(), 7u);
    EXPECT_EQ(menu[0].Label, "メールチェック(_C)");
    EXPECT_EQ(menu[1].Label, "メーラーを開く(_M)");
    EXPECT_TRUE(menu[2].Separator);
    EXPECT_EQ(menu[3].Label, "設定(_S)");
    ASSERT_EQ(menu[3].Children.size(), 2u);
    EXPECT_EQ(menu[3].Children[0].Label, "アカウントの設定(_A)...");
    EXPECT_FALSE(menu[3].Children[0].Enabled);
    EXPECT_TRUE(menu[3].Children[1].Enabled);
    EXPECT_EQ(menu[4].Label, "バージョン情報(_A)...");
    EXPECT_TRUE(menu[5].Separator);
    EXPECT_EQ(menu[6].Label, "終了(_X)");

    host.Activate(items.first());
    EXPECT_TRUE(WaitUntil([&] { return Clicks() >= 1; }, AppearMs));
    WaitUntil([] { return false; }, 1000);
    EXPECT_EQ(Clicks(), 1);
}

// The probe says "ready" once its icon is set, when it has looked for a host.
TEST_F(DesktopTray, SniIconAppearsWhenTheHostStartsLate) {
    StartProbe();
    EXPECT_EQ(Probe->state(), QProcess::Running);
    SniHost host(Session->BusAddress());
    EXPECT_EQ(WaitForItem(host).size(), 1);
}

TEST_F(DesktopTray, SniIconComesBackAfterTheHostRestarts) {
    auto host = std::make_unique<SniHost>(Session->BusAddress());
    StartProbe();
    ASSERT_EQ(WaitForItem(*host).size(), 1);
    host.reset();
    ASSERT_TRUE(WaitUntil([&] { return !Session->BusNameOwned("org.kde.StatusNotifierWatcher"); }, AppearMs));
    SniHost again(Session->BusAddress());
    ASSERT_TRUE(again.Ok());
    EXPECT_EQ(WaitForItem(again).size(), 1);
    EXPECT_EQ(Probe->state(), QProcess::Running);
}

TEST_F(DesktopTray, SniIconAppearsWhenTheWatcherGetsItsHostLater) {
    SniHost host(Session->BusAddress(), SniHost::WatcherOnly);
    ASSERT_TRUE(host.Ok());
    StartProbe();
    WaitUntil([] { return false; }, 1500);
    EXPECT_TRUE(host.Items().isEmpty());
    host.RegisterHost();
    EXPECT_EQ(WaitForItem(host).size(), 1);
}

// A second panel that takes the watcher name over (the name never goes
// away, only its owner changes) gets the icon, with and without a menu, and
// keeps it when the first panel ends.
TEST_F(DesktopTray, SniIconMovesToAHostThatTakesTheWatcherNameOver) {
    for (const QStringList& arguments : {QStringList(), QStringList("--no-menu")}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        ProbeOutput.clear();
        auto first = std::make_unique<SniHost>(Session->BusAddress());
        StartProbe(arguments);
        ASSERT_EQ(WaitForItem(*first).size(), 1);
        SniHost second(Session->BusAddress(), SniHost::TakeOver);
        ASSERT_TRUE(second.Ok());
        const QStringList items = WaitForItem(second);
        ASSERT_EQ(items.size(), 1);
        const QString firstOnBus = first->UniqueName();
        first.reset();
        ASSERT_TRUE(WaitUntil([&] { return !Session->BusNameOwned(firstOnBus); }, AppearMs));
        WaitUntil([] { return false; }, 500);  // the item stays
        ASSERT_EQ(second.Items(), items);
        EXPECT_EQ(second.ReadItem(items.first()).ToolTipTitle, QString::fromUtf8(ProbeHint));
        EXPECT_FALSE(second.ReadItem(items.first()).IconPixmaps.empty());
        EXPECT_EQ(Probe->state(), QProcess::Running);
        DesktopSession::Kill(Probe);
    }
}

// How the docked icon is drawn is PanelPicture.XEmbedTrayStaysCrisp's.
TEST_F(XEmbedTray, RightClickShowsTheMenuOnceAndClickIsOneClick) {
    ASSERT_TRUE(Session->StartXEmbedTray()) << Session->TrayProblem().toStdString();
    StartProbe();
    const QString window = WaitForDockedIcon();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(Session->Click(window, 3));
    EXPECT_TRUE(WaitUntil([&] { return Session->FindWindows("quorvel-tray-probe").size() >= 2; }, AppearMs));
    WaitUntil([] { return false; }, 1000);
    EXPECT_EQ(Session->FindWindows("quorvel-tray-probe").size(), 2);  // the icon and one menu
    Session->Screenshot(ShotPath("xembed-menu"));
    Session->Run("xdotool", {"key", "Escape"});
    EXPECT_TRUE(WaitUntil([&] { return Session->FindWindows("quorvel-tray-probe").size() == 1; }, AppearMs));
    EXPECT_EQ(Clicks(), 0);
    ASSERT_TRUE(Session->Click(window));
    EXPECT_TRUE(WaitUntil([&] { return Clicks() >= 1; }, AppearMs));
    WaitUntil([] { return false; }, 1000);
    EXPECT_EQ(Clicks(), 1);
}

TEST_F(XEmbedTray, IconAppearsWhenTheTrayStartsLate) {
    StartProbe();
    ASSERT_TRUE(Session->StartXEmbedTray()) << Session->TrayProblem().toStdString();
    EXPECT_FALSE(WaitForDockedIcon().isEmpty());
}

TEST_F(XEmbedTray, IconComesBackAfterTheTrayRestarts) {
    QProcess* tray = Session->StartXEmbedTray();
    ASSERT_TRUE(tray) << Session->TrayProblem().toStdString();
    StartProbe();
    ASSERT_FALSE(WaitForDockedIcon().isEmpty());
    DesktopSession::Kill(tray);
    EXPECT_TRUE(WaitUntil([&] { return Session->FindWindows("quorvel-tray-probe").isEmpty(); }, AppearMs));
    ASSERT_TRUE(Session->StartXEmbedTray()) << Session->TrayProblem().toStdString();
    EXPECT_FALSE(WaitForDockedIcon().isEmpty());
    EXPECT_EQ(Probe->state(), QProcess::Running);
}

}  // namespace
}  // namespace quorvel
