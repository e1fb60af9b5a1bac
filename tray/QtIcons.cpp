#include "tray/QtIcons.h"

#include <cstring>

#include <QImage>
#include <QPixmap>

#include "tray/ImageList.h"
#include "tray/PanelImage.h"

namespace quorvel {

namespace {

QImage ToQImage(const TPanelImage& Image) {
    QImage image(Image.Side, Image.Side, QImage::Format_ARGB32);
    const auto rowBytes = static_cast<std::size_t>(Image.Side) * sizeof(std::uint32_t);
    for (int y = 0; y < Image.Side; ++y) {
        std::memcpy(image.scanLine(y), Image.Pixels.data() + static_cast<std::size_t>(y * Image.Side), rowBytes);
    }
    return image;
}

}  // namespace

QIcon MakeTrayQIcon(const TPicture16& Picture) {
    QIcon icon;
    for (int side : PanelSizes) icon.addPixmap(QPixmap::fromImage(ToQImage(RenderForPanel(Picture, side))));
    return icon;
}

QIcon MakeMenuQIcon(int Index) {
    return MakeTrayQIcon(ImageListPicture(Index));
}

}  // namespace quorvel
