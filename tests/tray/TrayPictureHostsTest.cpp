// How StatusNotifierItem hosts draw the tray icon at their size, side by
// side: a host that shrinks the largest pixmap (xfce4-panel, waybar, by the
// pixmaps alone), one that picks the pixmap of its size (KDE Plasma, GNOME's
// AppIndicator extension, and Qt itself on XEmbed trays), and one that loads
// the icon name from the icon theme (xfce4-panel, waybar, LXQt).
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <cstdio>

#include "gui/qt/QtIcons.h"
#include "tests/support/TempFolder.h"
#include "tray/ImageList.h"
#include "tray/PanelImage.h"
#include "tray/TrayPictureFiles.h"

namespace quorvel {
namespace {

QImage Argb(const QImage& Image) {
    return Image.convertToFormat(QImage::Format_ARGB32);
}

// Pixels that are neither transparent, black, nor the light edge: the greys
// of a picture blended as it is shrunk.
int GreyPixels(const QImage& Image) {
    int grey = 0;
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x) {
            const QRgb pixel = Image.pixel(x, y);
            grey += qAlpha(pixel) != 0 && pixel != 0xFF000000u && pixel != OutlineArgb;
        }
    return grey;
}

bool IsRendering(const QImage& Image, const TPicture16& Picture, int Side) {
    if (Image.size() != QSize(Side, Side)) return false;
    const TPanelImage expected = RenderForPanel(Picture, Side);
    for (int i = 0; i < Side * Side; ++i) {
        const QRgb pixel = Image.pixel(i % Side, i / Side);
        if ((qAlpha(pixel) == 0 ? 0u : pixel) != expected.Pixels[static_cast<std::size_t>(i)]) return false;
    }
    return true;
}

QImage LargestPixmapHost(const QIcon& Icon, int Side) {
    QSize largest;
    for (const QSize& size : Icon.availableSizes())
        if (size.width() > largest.width()) largest = size;
    return Argb(Icon.pixmap(largest).toImage().scaled(Side, Side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

QImage SizePickingHost(const QIcon& Icon, int Side) {
    return Argb(Icon.pixmap(QSize(Side, Side)).toImage());
}

QImage ThemeFile(const QString& IconsDir, const QString& Folder, const QString& Name) {
    return Argb(QImage(QStringLiteral("%1/hicolor/%2/%3.png").arg(IconsDir, Folder, Name)));
}

// A host that loads the icon name from the icon theme (Qt's own lookup, over
// the user's icon folder and the system's hicolor index) and draws what it
// gets in the middle of its Side x Side place, as panels do with a smaller
// picture.
QImage ThemeNameHost(const QString& IconsDir, const QString& Name, int Side) {
    QIcon::setThemeSearchPaths({IconsDir, "/usr/share/icons"});
    QIcon::setThemeName("hicolor");
    const QImage found = Argb(QIcon::fromTheme(Name).pixmap(QSize(Side, Side)).toImage());
    QImage place(Side, Side, QImage::Format_ARGB32);
    place.fill(0u);
    const int left = (Side - found.width()) / 2, top = (Side - found.height()) / 2;
    for (int y = 0; y < found.height(); ++y)
        for (int x = 0; x < found.width(); ++x) place.setPixel(left + x, top + y, found.pixel(x, y));
    return place;
}

class TrayPictureHosts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The user's icon folder is the test's own, before anything asks for it.
        Home = new TTempFolder;
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(Home->Path().string()));
        static int argc = 1;
        static char name[] = "tray_picture_hosts_tests", *argv[] = {name, nullptr};
        static QGuiApplication app(argc, argv);
    }
    static QString IconsDir() { return QString::fromStdString((Home->Path() / "icons").string()); }
    static inline TTempFolder* Home = nullptr;
};

TEST_F(TrayPictureHosts, ShrinkingTheLargestPixmapGreysByNameAndBySizeStayCrisp) {
    QElapsedTimer first;
    first.start();
    const QString firstName = MakeTrayQIcon(ImageListPicture(9)).name();
    std::printf(
        "first icon name, all tray pictures written: %.1f ms, %zu files\n",
        static_cast<double>(first.nsecsElapsed()) / 1e6,
        static_cast<std::size_t>(QDir(IconsDir() + "/hicolor/22x22/status").count() - 2) * TrayThemeSizes().size());
    ASSERT_FALSE(firstName.isEmpty());

    const bool themeIndex = QFile::exists("/usr/share/icons/hicolor/index.theme");
    for (int index : {13, NewMailPicture, FirstLevelPicture}) {
        const TPicture16& picture = ImageListPicture(index);
        const QIcon icon = MakeTrayQIcon(picture);
        const QString name = icon.name();
        EXPECT_TRUE(name.startsWith("quorvel-tray-")) << name.toStdString();
        // The pixmaps sent are the same as before the pictures had names.
        ASSERT_EQ(icon.availableSizes().size(), static_cast<qsizetype>(PanelSizes.size()));
        for (int side : {16, 22, 24}) {
            SCOPED_TRACE(std::to_string(index) + " at " + std::to_string(side));
            EXPECT_GT(GreyPixels(LargestPixmapHost(icon, side)), 0) << "the fault the names are for";
            const QImage bySize = SizePickingHost(icon, side);
            EXPECT_TRUE(IsRendering(bySize, picture, side));
            EXPECT_EQ(GreyPixels(bySize), 0);
            if (!themeIndex) continue;
            const QImage byName = ThemeNameHost(IconsDir(), name, side);
            EXPECT_TRUE(IsRendering(byName, picture, side));
            EXPECT_EQ(GreyPixels(byName), 0);
        }
        for (const TThemeSize& size : TrayThemeSizes())
            EXPECT_TRUE(IsRendering(ThemeFile(IconsDir(), size.Folder, name), picture, size.Side)) << size.Folder;
        // Sizes between the usual ones (XEmbed trays) are drawn, not scaled.
        for (int side : {20, 26, 40, 64, 80}) EXPECT_TRUE(IsRendering(SizePickingHost(icon, side), picture, side));
    }
}

}  // namespace
}  // namespace quorvel
