#pragma once

#include <QLabel>

class QKeyEvent;
class QMouseEvent;
class QPaintEvent;

namespace quorvel {

// A link (blue, underlined, hand cursor) that tells when it is opened: by a
// click, by Enter or Space while it has the focus (Tab reaches it), or by
// the press action of its accessible interface, which a screen reader
// offers as a link named by its text.
class TLinkLabel : public QLabel {
    Q_OBJECT

public:
    TLinkLabel(const QString& Text, QWidget* Parent);

    // Opens the link as a click does.
    void Open() { emit clicked(); }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
};

}  // namespace quorvel
