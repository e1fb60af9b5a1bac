#pragma once

#include <QRect>
#include <QUrl>
#include <functional>

#include "gui/qt/BackgroundForm.h"

class QKeyEvent;
class QLabel;
class QMouseEvent;
class QPushButton;

namespace quorvel {

class TLinkLabel;

// The About box: a borderless 320 x 240 window over its background picture
// with a one-pixel raised frame, the program's icon, title and version, a
// subtitle, a copyright line, a mail link and a home-page link. It stays on
// top, opens centred, moves when its background is dragged and closes with
// "OK" (Enter); Esc does not close it.
class TAboutForm : public TBackgroundForm {
    Q_OBJECT

public:
    explicit TAboutForm(QWidget* Owner);

    // How a clicked link is opened; QDesktopServices::openUrl unless replaced.
    void SetLinkOpener(std::function<void(const QUrl&)> Opener);

    void setVisible(bool Visible) override;

    // Where the background picture has its envelope; no text stands on it.
    static constexpr QRect EnvelopeArea{200, 150, 111, 76};

    QLabel* CopyrightLabel;
    TLinkLabel* MailLinkLabel;   // the mail link
    TLinkLabel* HPUrlLinkLabel;  // the home-page link
    QLabel* IconImage;
    QLabel* SubTitleLabel;
    QLabel* TitleLabel;
    QLabel* ApplicationIconImage;
    QLabel* VersionLabel;
    QPushButton* OkButton;

protected:
    void FormPaint(QPainter& Canvas) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    // Sets a label's text and lets it take the room the text needs.
    static void SetCaption(QLabel& Label, const QString& Text);
    // Places the texts and pictures by the room their texts take: the
    // heading at the top, then the copyright line, and the picture beside
    // the links, with room between them and clear of the envelope.
    void PlaceControls();

private:
    void FormCreate();
    void LabelClick(const QLabel& Label);

    std::function<void(const QUrl&)> FOpenLink;
    bool FDragging = false;
    QPoint FDragOffset;
};

// The About box the program shows, with the program's own texts.
class TProgramAboutForm : public TAboutForm {
    Q_OBJECT

public:
    explicit TProgramAboutForm(QWidget* Owner);
};

}  // namespace quorvel
