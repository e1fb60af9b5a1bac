#include "gui/qt/BackgroundForm.h"

#include <QPainter>

// The pictures are linked in with the library; register them once.
static void RegisterAboutPictures() {
    Q_INIT_RESOURCE(about);
}

namespace quorvel {

TBackgroundForm::TBackgroundForm(QWidget* Owner, Qt::WindowFlags Flags) : QDialog(Owner, Flags) {
    static const bool registered = (RegisterAboutPictures(), true);
    (void)registered;
    BackgroundImage = QPixmap(QStringLiteral(":/quorvel/about/background.png"));
}

void TBackgroundForm::paintEvent(QPaintEvent*) {
    QPainter canvas(this);
    FormPaint(canvas);
}

void TBackgroundForm::FormPaint(QPainter& Canvas) {
    Canvas.drawPixmap(0, 0, BackgroundImage);
}

}  // namespace quorvel
