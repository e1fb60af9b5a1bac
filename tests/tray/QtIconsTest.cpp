#include <gtest/gtest.h>

#include <string>

#include <QGuiApplication>
#include <QImage>

#include "core/Exception.h"
#include "gui/qt/QtIcons.h"
#include "tests/support/MessageOf.h"
#include "tray/ImageList.h"
#include "tray/PanelImage.h"

namespace {

QImage Argb(const QImage& Image) {
    return Image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

TEST(QtIcons, IconsCarryThePanelRenderingsAndQtReadsThePictureFilesAlike) {
    static int argc = 1;
    static char name[] = "tray_qt_icons_tests", *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    for (int index = 0; index < quorvel::ImageCount; ++index) {
        const quorvel::TPicture16& picture = quorvel::ImageListPicture(index);
        const QIcon icon = quorvel::MakeMenuQIcon(index);
        ASSERT_EQ(icon.availableSizes().size(), static_cast<qsizetype>(quorvel::PanelSizes.size()));
        for (int side : quorvel::PanelSizes) {
            const auto expected = quorvel::RenderForPanel(picture, side);
            const QImage image = Argb(icon.pixmap(QSize(side, side)).toImage());
            ASSERT_EQ(image.size(), QSize(side, side));
            for (int i = 0; i < side * side; ++i)
                ASSERT_EQ(image.pixel(i % side, i / side), expected.Pixels[i]) << index;
        }
        // The files are real XPM: Qt's own reader sees what the program sees.
        const std::string file = (index < 10 ? "/0" : "/") + std::to_string(index) + ".xpm";
        const QImage read = Argb(QImage(QString::fromStdString(QUORVEL_PICTURES_DIR + file)));
        ASSERT_EQ(read.size(), QSize(16, 16)) << file;
        for (int i = 0; i < 256; ++i) {
            const QRgb qt = read.pixel(i % 16, i / 16);
            ASSERT_EQ(qAlpha(qt) == 0 ? 0u : qt, picture.Pixels[i]) << file << " " << i;
        }
    }
    EXPECT_EQ(MessageOf<quorvel::Exception>([] { quorvel::MakeMenuQIcon(23); }), "List index out of bounds (23)");
}
