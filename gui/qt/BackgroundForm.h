#pragma once

#include <QDialog>
#include <QPixmap>

class QPaintEvent;

namespace quorvel {

// A window that paints a picture over its whole surface, from its top left.
class TBackgroundForm : public QDialog {
    Q_OBJECT

public:
    explicit TBackgroundForm(QWidget* Owner, Qt::WindowFlags Flags = {});

    // The picture painted (320 x 240).
    QPixmap BackgroundImage;

protected:
    void paintEvent(QPaintEvent* Event) override;
    // Paints the picture; later layers paint over it.
    virtual void FormPaint(class QPainter& Canvas);
};

}  // namespace quorvel
