// Tray pictures on real panels, pixel by pixel: xfce4-panel's status tray,
// which draws a StatusNotifierItem by its icon name or else shrinks the
// largest pixmap offered, and an XEmbed tray (trayer), where Qt draws the
// icon at the size the tray gives it.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "tests/desktop/DesktopSession.h"
#include "tests/support/TempFolder.h"
#include "tray/Animation.h"
#include "tray/ImageList.h"
#include "tray/PanelImage.h"

namespace quorvel {
namespace {

constexpr int PanelSize = 26;  // Debian's default panel

// Panel 1 along the top of the screen, holding only the status tray, whose
// icons are IconSize pixels.
std::string PanelSettings(int IconSize) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value=")" +
           std::to_string(PanelSize) + R"("/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray">
      <property name="square-icons" type="bool" value="true"/>
      <property name="icon-size" type="int" value=")" +
           std::to_string(IconSize) + R"("/>
    </property>
  </property>
</channel>
)";
}

// xfce4-panel's settings store, where Debian keeps it.
QString XfconfDaemon() {
    for (const char* path : {"/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd", "/usr/lib/xfce4/xfconf/xfconfd"})
        if (QFileInfo(path).isExecutable()) return path;
    return "xfconfd";
}

int Channel(QRgb Colour, int Shift) {
    return static_cast<int>((Colour >> Shift) & 0xFFu);
}

bool Near(QRgb A, QRgb B) {
    for (int shift : {0, 8, 16})
        if (std::abs(Channel(A, shift) - Channel(B, shift)) > 3) return false;
    return true;
}

// Argb drawn over an opaque Background.
QRgb Over(std::uint32_t Argb, QRgb Background) {
    const int alpha = static_cast<int>(Argb >> 24);
    QRgb result = 0xFF000000u;
    for (int shift : {0, 8, 16}) {
        const int mixed = (Channel(Argb, shift) * alpha + Channel(Background, shift) * (255 - alpha) + 127) / 255;
        result |= static_cast<QRgb>(mixed) << shift;
    }
    return result;
}

QRgb MostCommon(const QImage& Image) {
    std::map<QRgb, int> counts;
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x) ++counts[Image.pixel(x, y)];
    return std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
}

// Pixels of Area that are neither its background, black, nor the light edge
// over the background: the grey of a picture shrunk by blending.
int SoftPixels(const QImage& Area) {
    const QRgb background = MostCommon(Area);
    int soft = 0;
    for (int y = 0; y < Area.height(); ++y)
        for (int x = 0; x < Area.width(); ++x) {
            const QRgb pixel = Area.pixel(x, y);
            soft +=
                !Near(pixel, background) && !Near(pixel, 0xFF000000u) && !Near(pixel, Over(OutlineArgb, background));
        }
    return soft;
}

// Whether the whole-pixel rendering of Picture at Side is somewhere in Area.
bool ShowsRendering(const QImage& Area, const TPicture16& Picture, int Side) {
    const QRgb background = MostCommon(Area);
    const TPanelImage expected = RenderForPanel(Picture, Side);
    for (int top = 0; top + Side <= Area.height(); ++top)
        for (int left = 0; left + Side <= Area.width(); ++left) {
            bool same = true;
            for (int i = 0; i < Side * Side && same; ++i)
                same = Near(Area.pixel(left + i % Side, top + i / Side), Over(expected.Pixels[i], background));
            if (same) return true;
        }
    return false;
}

// Every tray picture file left under Folder.
QStringList PictureFilesIn(const std::filesystem::path& Folder) {
    QStringList files;
    QDirIterator it(QString::fromStdString(Folder.string()), {"quorvel-tray-*"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    return files;
}

class PanelPicture : public ::testing::Test {
protected:
    void SetUp() override {
        StartGuiApplication("panel_picture_tests");
        Session = std::make_unique<DesktopSession>();
        if (!Session->Ok()) GTEST_SKIP() << Session->SkipReason().toStdString();
        for (const char* tool : {"xfce4-panel", "trayer", "xdotool", "import"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << tool << " is not installed (scripts/deps.sh installs it)";
        // The panel's settings, and the user's icon folder, are the test's own.
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            std::filesystem::create_directories(Home / variable);
            Session->SetEnvironment(variable, QString::fromStdString((Home / variable).string()));
        }
        std::filesystem::create_directories(Home / "XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml");
    }

    bool StartPanel(int IconSize) {
        WriteText(Home / "XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml", PanelSettings(IconSize));
        QDBusConnection bus = QDBusConnection::connectToBus(Session->BusAddress(), "panel-picture-test");
        auto present = [&](const char* Name) {
            return WaitUntil([&] { return bus.interface()->isServiceRegistered(Name).value(); }, AppearMs);
        };
        // The settings store is started here, not by the bus, so that it
        // reads the test's settings folder.
        Session->Start(XfconfDaemon(), {});
        const bool up = present("org.xfce.Xfconf") && Session->Start("xfce4-panel", {"--disable-wm-check"}) &&
                        present("org.kde.StatusNotifierWatcher");
        QDBusConnection::disconnectFromBus("panel-picture-test");
        return up;
    }

    QProcess* StartProbe(const QStringList& Arguments) {
        QProcess* probe = Session->Start(QUORVEL_PANEL_PICTURE_PROBE, Arguments);
        EXPECT_TRUE(probe->waitForReadyRead(AppearMs) && probe->readAll().contains("ready"));
        return probe;
    }

    // Ends a probe the way the program ends: cleanly.
    static void EndProbe(QProcess* Probe) {
        Probe->closeWriteChannel();
        if (!Probe->waitForFinished(5000)) DesktopSession::Kill(Probe);
    }

    // The panel along the top once Shows holds for it (or as it is after
    // AppearMs); the whole screen is kept as Shot for a person to look at.
    QImage PanelStrip(const QString& Shot, const std::function<bool(const QImage&)>& Shows) {
        QImage screen, strip;
        WaitUntil(
            [&] {
                screen = Session->Screenshot();
                strip = screen.copy(0, 0, 640, PanelSize);
                return Shows(strip);
            },
            AppearMs);
        screen.save(QDir::temp().filePath("quorvel-" + Shot + ".png"));
        return strip;
    }

    TTempFolder Home;
    std::unique_ptr<DesktopSession> Session;
};

class XfcePanelPicture : public PanelPicture, public ::testing::WithParamInterface<int> {};

// xfce4-panel shrinks the 64 pixel pixmap to its icon size, greying the
// edges; by the icon name it loads the picture drawn for that size. The
// aerial with three bars and the paper aeroplane, as the program shows them.
TEST_P(XfcePanelPicture, StatusTrayDrawsThePicturesCrispByName) {
    const int iconSize = GetParam();
    const QString size = QString::number(iconSize);
    ASSERT_TRUE(StartPanel(iconSize));
    const QString pictures = QStringLiteral("13,%1").arg(NewMailPicture);

    QProcess* before = StartProbe({"--pictures", pictures, "--pixmaps-only"});
    // Shrunk pictures drawn, and the panel done drawing (two shots alike).
    QImage previous;
    const QImage soft = PanelStrip("xfce-" + size + "-pixmaps", [&](const QImage& Strip) {
        const bool settled = Strip == previous;
        previous = Strip;
        return SoftPixels(Strip) > 0 && settled;
    });
    EndProbe(before);
    EXPECT_GT(SoftPixels(soft), 0);
    for (int index : {13, NewMailPicture}) EXPECT_FALSE(ShowsRendering(soft, ImageListPicture(index), iconSize));

    QProcess* after = StartProbe({"--pictures", pictures});
    const QImage crisp = PanelStrip("xfce-" + size + "-named", [&](const QImage& Strip) {
        return SoftPixels(Strip) == 0 && ShowsRendering(Strip, ImageListPicture(13), iconSize) &&
               ShowsRendering(Strip, ImageListPicture(NewMailPicture), iconSize);
    });
    EXPECT_EQ(SoftPixels(crisp), 0);
    for (int index : {13, NewMailPicture})
        EXPECT_TRUE(ShowsRendering(crisp, ImageListPicture(index), iconSize)) << index;
    EXPECT_FALSE(PictureFilesIn(Home / "XDG_DATA_HOME/icons").isEmpty());
    EndProbe(after);
    EXPECT_EQ(PictureFilesIn(Home.Path()), QStringList()) << "left after a clean end";
}

INSTANTIATE_TEST_SUITE_P(IconSizes, XfcePanelPicture, ::testing::Values(16, 22));

// The checking animation changes the picture every 50 ms; each frame the
// panel shows is one drawn for its size.
TEST_F(PanelPicture, XfceStatusTrayDrawsTheAnimationCrisp) {
    ASSERT_TRUE(StartPanel(22));
    QProcess* probe = StartProbe({"--animate"});
    std::vector<TPicture16> frames;
    TAnimationPlanes planes;
    std::int32_t frame = 0;
    for (int i = 0; i < AnimationFrameCount; ++i) frames.push_back(AnimationTick(planes, frame, 4).Image);
    for (int shot = 0; shot < 4; ++shot) {
        const QImage strip = PanelStrip("xfce-animation", [&](const QImage& Strip) {
            return std::any_of(frames.begin(), frames.end(),
                               [&](const TPicture16& Frame) { return ShowsRendering(Strip, Frame, 22); });
        });
        EXPECT_EQ(SoftPixels(strip), 0) << "shot " << shot;
    }
    EndProbe(probe);
}

// An XEmbed tray gives the icon a window of its own size; Qt draws the icon
// into it, as it did before the pictures had names.
TEST_F(PanelPicture, XEmbedTrayStaysCrisp) {
    ASSERT_TRUE(Session->StartXEmbedTray()) << Session->TrayProblem().toStdString();
    QProcess* probe = StartProbe({"--pictures", "13"});
    WaitUntil([&] { return !Session->FindWindows("quorvel-panel-picture-probe").isEmpty(); }, AppearMs);
    const QStringList windows = Session->FindWindows("quorvel-panel-picture-probe");
    ASSERT_FALSE(windows.isEmpty());
    // Once the tray has laid the icon out and Qt has painted it.
    QRect place;
    QImage icon;
    WaitUntil(
        [&] {
            place = Session->WindowGeometry(windows.first());
            icon = Session->Screenshot(QDir::temp().filePath("quorvel-xembed-picture.png")).copy(place);
            return ShowsRendering(icon, ImageListPicture(13), std::min(place.width(), place.height())) &&
                   SoftPixels(icon) == 0;
        },
        AppearMs);
    ASSERT_FALSE(icon.isNull()) << "no place for the icon";
    EXPECT_TRUE(ShowsRendering(icon, ImageListPicture(13), std::min(place.width(), place.height())))
        << place.width() << " x " << place.height();
    EXPECT_EQ(SoftPixels(icon), 0);
    EndProbe(probe);
}

}  // namespace
}  // namespace quorvel
