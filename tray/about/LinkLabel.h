#pragma once

#include <QLabel>

class QMouseEvent;

namespace quorvel {

// A label that looks like a link (blue, underlined, hand cursor) and tells
// when it is clicked.
class TLinkLabel : public QLabel {
    Q_OBJECT

public:
    TLinkLabel(const QString& Text, QWidget* Parent);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
};

}  // namespace quorvel
