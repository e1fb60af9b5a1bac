#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "gui/qt/DialogSupport.h"

// Acts on the next modal window of class T from inside its modal loop. One
// that does not come within 15 seconds fails the test and whatever modal
// window is open is closed, so no test hangs.
template <typename T>
void WhenModal(std::function<void(T&)> Action) {
    // Owned by the application, so it goes at the latest with it.
    auto* timer = new QTimer(qApp);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, Action] {
        if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget()); window && window->isVisible()) {
            timer->stop();
            timer->deleteLater();
            Action(*window);
        } else if (clock.elapsed() > 15000) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal " << T::staticMetaObject.className() << " came";
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        }
    });
    timer->start(5);
}

// Counts the beeps of refused input for one test.
class TBeepCounter {
public:
    TBeepCounter() {
        quorvel::SetRefusalSound([this] { ++Count; });
    }
    ~TBeepCounter() { quorvel::SetRefusalSound({}); }
    int Count = 0;
};

// Saves Window as <Name>.png into the folder QUORVEL_SCREENSHOT_DIR, if set.
inline void SaveScreenshot(QWidget& Window, const char* Name) {
    const QString folder = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    if (folder.isEmpty()) return;
    Window.grab().save(QDir(folder).filePath(QString::fromLatin1(Name) + QStringLiteral(".png")));
}
