#include "tray/about/LinkLabel.h"

#include <QMouseEvent>

namespace quorvel {

TLinkLabel::TLinkLabel(const QString& Text, QWidget* Parent) : QLabel(Text, Parent) {
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    setPalette(blue);
    setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mousePressEvent(QMouseEvent* Event) {
    // The press is the label's own: it does not move the window.
    Event->accept();
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* Event) {
    Event->accept();
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint())) emit clicked();
}

}  // namespace quorvel
