#include "gui/qt/QtIcons.h"

#include <zlib.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <string>

#include <QCoreApplication>
#include <QFile>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>

#include "tray/AnimationFrames.h"
#include "tray/ImageList.h"
#include "tray/PanelImage.h"
#include "tray/TrayPictureFiles.h"

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

// The picture as a PNG file: 8-bit RGBA, one compressed block. Made here
// rather than by QImageWriter, which loads every image format plugin (JPEG,
// GIF, ICO ...) and keeps them loaded for the rest of the program.
std::string EncodePng(const TPanelImage& Image) {
    const auto side = static_cast<std::uint32_t>(Image.Side);
    std::string rows;
    rows.reserve(side * (side * 4 + 1));
    for (std::uint32_t y = 0; y < side; ++y) {
        rows.push_back('\0');  // no filter
        for (std::uint32_t x = 0; x < side; ++x) {
            const std::uint32_t argb = Image.Pixels[y * side + x];
            for (int shift : {16, 8, 0, 24}) rows.push_back(static_cast<char>((argb >> shift) & 0xFF));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(rows.data()),
                  static_cast<uLong>(rows.size()), Z_BEST_COMPRESSION) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    auto number = [](std::string& To, std::uint32_t Value) {
        for (int shift : {24, 16, 8, 0}) To.push_back(static_cast<char>((Value >> shift) & 0xFF));
    };
    auto chunk = [&](const char* Type, const std::string& Data) {
        number(png, static_cast<std::uint32_t>(Data.size()));
        const std::string body = Type + Data;
        png += body;
        number(png, static_cast<std::uint32_t>(
                        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
    };
    std::string header;
    number(header, side);
    number(header, side);
    header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter, not interlaced
    chunk("IHDR", header);
    chunk("IDAT", packed);
    chunk("IEND", {});
    return png;
}

// Written beside and renamed into place, so a panel never reads half a
// file; not flushed to the disk, as the files live only while the program
// runs.
bool WritePng(const std::filesystem::path& Path, const TPanelImage& Image) {
    std::filesystem::path part = Path;
    part += ".part";
    const std::string png = EncodePng(Image);
    QFile file(QString::fromStdString(part.string()));
    const bool written = !png.empty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                         file.write(png.data(), static_cast<qint64>(png.size())) == static_cast<qint64>(png.size());
    file.close();
    std::error_code renamed, removed;
    if (written) std::filesystem::rename(part, Path, renamed);
    if (!written || renamed) std::filesystem::remove(part, removed);
    return written && !renamed;
}

bool ProcessAlive(long Pid) {
    return ::kill(static_cast<pid_t>(Pid), 0) == 0 || errno == EPERM;
}

// The picture files of this process, removed when it ends. The tray's own
// pictures (8 to 22) and the checking animation's frames are all written with
// the first one asked for: GTK panels read the theme folders again only every
// few seconds, and a picture they do not find is drawn from the pixmaps.
// With no home folder to write to, the pictures have no names.
std::string PictureName(const TPicture16& Picture) {
    static const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty()) return {};
    static TTrayPictureFiles files(dataHome.toStdString() + "/icons",
                                   static_cast<long>(QCoreApplication::applicationPid()), WritePng, ProcessAlive);
    static const bool prepared = [&] {
        std::vector<TPicture16> pictures{Picture};
        for (int index = NewMailPicture; index < ImageCount; ++index) pictures.push_back(ImageListPicture(index));
        for (const TPicture16& frame : AnimationFrames()) pictures.push_back(frame);
        files.Prepare(pictures);
        return true;
    }();
    (void)prepared;
    return files.NameFor(Picture);
}

// A tray picture at every size, with the icon name of its theme files. Each
// size is drawn when asked for and not kept: a panel asks only now and then,
// and the tray would otherwise hold six renderings of every picture it shows.
class TrayIconEngine final : public QIconEngine {
public:
    explicit TrayIconEngine(const TPicture16& Picture) : FPicture(Picture) {}

    void paint(QPainter* Painter, const QRect& Rect, QIcon::Mode Mode, QIcon::State State) override {
        Painter->drawPixmap(Rect, pixmap(Rect.size(), Mode, State));
    }
    QSize actualSize(const QSize& Size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(Size.width(), Size.height());
        return {side, side};
    }
    QPixmap pixmap(const QSize& Size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(Size.width(), Size.height());
        if (side >= TPicture16::Size) return QPixmap::fromImage(ToQImage(RenderForPanel(FPicture, side)));
        if (side <= 0) return {};
        return QPixmap::fromImage(ToQImage(RenderForPanel(FPicture, TPicture16::Size)))
            .scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    QPixmap scaledPixmap(const QSize& Size, QIcon::Mode Mode, QIcon::State State, qreal) override {
        return pixmap(Size, Mode, State);
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (int side : PanelSizes) sizes.append(QSize(side, side));
        return sizes;
    }
    QString iconName() override { return QString::fromStdString(PictureName(FPicture)); }
    bool isNull() override { return false; }
    QString key() const override { return QStringLiteral("quorvel-tray"); }
    QIconEngine* clone() const override { return new TrayIconEngine(*this); }

private:
    TPicture16 FPicture;
};

// An image-list picture for menus, drawn exactly as an icon holding its
// renderings at every panel size would draw it (the same choice of size,
// scaling and disabled look), but made only while it is asked for: the menu
// is shown, or read by a panel, now and then.
class MenuIconEngine final : public QIconEngine {
public:
    explicit MenuIconEngine(int Index) : FIndex(Index) {}

    void paint(QPainter* Painter, const QRect& Rect, QIcon::Mode Mode, QIcon::State State) override {
        Renderings().paint(Painter, Rect, Qt::AlignCenter, Mode, State);
    }
    QSize actualSize(const QSize& Size, QIcon::Mode Mode, QIcon::State State) override {
        return Renderings().actualSize(Size, Mode, State);
    }
    QPixmap pixmap(const QSize& Size, QIcon::Mode Mode, QIcon::State State) override {
        return Renderings().pixmap(Size, Mode, State);
    }
    QPixmap scaledPixmap(const QSize& Size, QIcon::Mode Mode, QIcon::State State, qreal Scale) override {
        return Renderings().pixmap(Size, Scale, Mode, State);
    }
    QList<QSize> availableSizes(QIcon::Mode Mode, QIcon::State State) override {
        return Renderings().availableSizes(Mode, State);
    }
    bool isNull() override { return false; }
    QString key() const override { return QStringLiteral("quorvel-menu"); }
    QIconEngine* clone() const override { return new MenuIconEngine(FIndex); }

private:
    QIcon Renderings() const {
        const TPicture16& picture = ImageListPicture(FIndex);
        QIcon icon;
        for (int side : PanelSizes) icon.addPixmap(QPixmap::fromImage(ToQImage(RenderForPanel(picture, side))));
        return icon;
    }

    int FIndex;
};

}  // namespace

QIcon MakeTrayQIcon(const TPicture16& Picture) {
    return QIcon(new TrayIconEngine(Picture));
}

QIcon MakeMenuQIcon(int Index) {
    ImageListPicture(Index);  // an index outside the list raises now, not when drawn
    return QIcon(new MenuIconEngine(Index));
}

}  // namespace quorvel
