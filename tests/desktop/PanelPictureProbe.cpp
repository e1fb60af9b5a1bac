// Tray icons for the panel picture tests, as the program shows them: one per
// image-list picture of --pictures N,M,... through the program's tray icons,
// or with --pixmaps-only as plain icons of the same pixmaps, the way tray
// pictures were sent before they had icon names; --animate runs the checking
// animation on the first, a frame every 50 ms. It prints "ready" once shown
// and ends cleanly, as the program does, when its standard input closes.
#include <unistd.h>
#include <QApplication>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

#include "gui/qt/QtIcons.h"
#include "tray/Animation.h"
#include "tray/ImageList.h"
#include "tray/PanelImage.h"

using namespace quorvel;

namespace {

QIcon PixmapsOnly(const TPicture16& Picture) {
    QIcon plain;
    const QIcon named = MakeTrayQIcon(Picture);
    for (int side : PanelSizes) plain.addPixmap(named.pixmap(QSize(side, side)));
    return plain;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    const QStringList arguments = app.arguments();
    const bool pixmapsOnly = arguments.contains("--pixmaps-only");
    const qsizetype at = arguments.indexOf("--pictures");
    const QStringList indexes = at >= 0 && at + 1 < arguments.size() ? arguments[at + 1].split(',') : QStringList{"9"};
    auto iconOf = [&](const TPicture16& Picture) {
        return pixmapsOnly ? PixmapsOnly(Picture) : MakeTrayQIcon(Picture);
    };

    std::vector<std::unique_ptr<QSystemTrayIcon>> icons;
    for (const QString& index : indexes) {
        icons.push_back(std::make_unique<QSystemTrayIcon>(iconOf(ImageListPicture(index.toInt()))));
        icons.back()->setToolTip("Quorvel");
        icons.back()->show();
    }
    TAnimationPlanes planes;
    std::int32_t frame = 0;
    QTimer animation;
    QObject::connect(&animation, &QTimer::timeout,
                     [&] { icons.front()->setIcon(iconOf(AnimationTick(planes, frame, 4).Image)); });
    if (arguments.contains("--animate")) animation.start(50);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) app.quit();
    });
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
