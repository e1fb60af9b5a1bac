#include "tray/QtIcons.h"

#include <QImage>
#include <QPixmap>

namespace quorvel {

namespace {

QImage Scaled(const TPicture16& Picture, int Side) {
    QImage image(Side, Side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const int factor = Side / TPicture16::Size;
    const int offset = (Side - factor * TPicture16::Size) / 2;
    for (int y = 0; y < Side; ++y) {
        for (int x = 0; x < Side; ++x) {
            const int px = (x - offset) / factor;
            const int py = (y - offset) / factor;
            if (x < offset || y < offset || px >= TPicture16::Size || py >= TPicture16::Size) continue;
            image.setPixel(x, y, Picture.At(px, py));
        }
    }
    return image;
}

}  // namespace

QIcon MakeTrayQIcon(const TPicture16& Picture) {
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64}) icon.addPixmap(QPixmap::fromImage(Scaled(Picture, side)));
    return icon;
}

}  // namespace quorvel
