#include <gtest/gtest.h>

#include <string>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>

#include "core/Exception.h"
#include "tests/support/MessageOf.h"
#include "tray/ImageList.h"
#include "tray/PanelImage.h"
#include "tray/QtIcons.h"

namespace {

class QtIcons : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "tray_qt_icons_tests";
        static char* argv[] = {name, nullptr};
        static QGuiApplication app(argc, argv);
    }
};

QImage Argb(const QIcon& Icon, int Side) {
    return Icon.pixmap(QSize(Side, Side)).toImage().convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

TEST_F(QtIcons, EveryPanelSizeCarriesTheWholePixelRendering) {
    for (int index : {8, 12, 5}) {
        const QIcon icon = quorvel::MakeMenuQIcon(index);
        EXPECT_EQ(icon.availableSizes().size(), static_cast<qsizetype>(quorvel::PanelSizes.size()));
        for (int side : quorvel::PanelSizes) {
            const quorvel::TPanelImage expected = quorvel::RenderForPanel(quorvel::ImageListPicture(index), side);
            const QImage image = Argb(icon, side);
            ASSERT_EQ(image.size(), QSize(side, side));
            for (int y = 0; y < side; ++y)
                for (int x = 0; x < side; ++x)
                    ASSERT_EQ(image.pixel(x, y), expected.At(x, y)) << index << " @" << side << " " << x << "," << y;
        }
    }
}

TEST_F(QtIcons, MenuIconOutsideTheListIsRefused) {
    EXPECT_EQ(MessageOf<quorvel::Exception>([] { quorvel::MakeMenuQIcon(23); }), "List index out of bounds (23)");
}

// The picture files are real XPM: Qt's own reader sees what the program sees.
TEST_F(QtIcons, QtReadsThePictureFilesAlike) {
    for (int index = 0; index < quorvel::ImageCount; ++index) {
        const std::string name = (index < 10 ? "0" : "") + std::to_string(index) + ".xpm";
        QImage image(QString::fromStdString(std::string(QUORVEL_PICTURES_DIR) + "/" + name));
        ASSERT_FALSE(image.isNull()) << name;
        image = image.convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(16, 16));
        const quorvel::TPicture16& picture = quorvel::ImageListPicture(index);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QRgb qt = image.pixel(x, y);
                ASSERT_EQ(qAlpha(qt) == 0 ? 0u : qt, picture.At(x, y)) << name << " " << x << "," << y;
            }
        }
    }
}
