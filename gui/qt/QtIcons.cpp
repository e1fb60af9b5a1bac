#include "gui/qt/QtIcons.h"

#include <cerrno>
#include <csignal>
#include <cstring>

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

// Written beside and renamed into place, so a panel never reads half a
// file; not flushed to the disk, as the files live only while the program
// runs.
bool WritePng(const std::filesystem::path& Path, const TPanelImage& Image) {
    std::filesystem::path part = Path;
    part += ".part";
    QFile file(QString::fromStdString(part.string()));
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && ToQImage(Image).save(&file, "PNG");
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
class TTrayIconEngine final : public QIconEngine {
public:
    explicit TTrayIconEngine(const TPicture16& Picture) : FPicture(Picture) {}

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
    QIconEngine* clone() const override { return new TTrayIconEngine(*this); }

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
    return QIcon(new TTrayIconEngine(Picture));
}

QIcon MakeMenuQIcon(int Index) {
    ImageListPicture(Index);  // an index outside the list raises now, not when drawn
    return QIcon(new MenuIconEngine(Index));
}

}  // namespace quorvel
