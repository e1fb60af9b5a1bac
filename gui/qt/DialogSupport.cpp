#include "gui/qt/DialogSupport.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <algorithm>

// The pictures are linked in with the library; register them once.
static void RegisterDialogPictures() {
    Q_INIT_RESOURCE(dialogs);
}

namespace quorvel {

namespace {

std::function<void()>& RefusalSound() {
    static std::function<void()> sound;
    return sound;
}

}  // namespace

void RefuseInput(QWidget& Field) {
    Field.setFocus(Qt::OtherFocusReason);
    if (RefusalSound()) {
        RefusalSound()();
    } else {
        QApplication::beep();
    }
}

void SetRefusalSound(std::function<void()> Sound) {
    RefusalSound() = std::move(Sound);
}

void CenterOnScreen(QWidget& Window) {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QSize size = Window.size();
    Window.move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

QWidget* NewPictureLabel(const QString& Resource, QWidget* Parent) {
    static const bool registered = (RegisterDialogPictures(), true);
    (void)registered;
    auto* label = new QLabel(Parent);
    label->setPixmap(QPixmap(Resource));
    label->setFixedSize(32, 32);
    return label;
}

int EditWidthForDigits(const QWidget& Edit, int Digits, int MinimumWidth) {
    const int text = Edit.fontMetrics().horizontalAdvance(QString(Digits, QLatin1Char('0')));
    // Room for the frame and the text margins of a line edit.
    return std::max(MinimumWidth, text + 14);
}

QPushButton* NewDialogButton(const QString& Caption, QWidget* Parent, int Icon) {
    auto* button = new QPushButton(Caption, Parent);
    if (Icon != NoIcon) button->setIcon(Parent->style()->standardIcon(static_cast<QStyle::StandardPixmap>(Icon)));
    // Never smaller than the style wants it, whatever the font.
    button->setMinimumSize(button->sizeHint().expandedTo(QSize(75, 25)));
    return button;
}

QHBoxLayout* NewOkCancelHelpRow(QPushButton& Ok, QPushButton& Cancel, QPushButton& Help) {
    auto* row = new QHBoxLayout;
    row->setSpacing(5);
    row->addStretch(1);
    row->addWidget(&Ok);
    row->addWidget(&Cancel);
    row->addWidget(&Help);
    return row;
}

}  // namespace quorvel
