#pragma once

#include <QUrl>
#include <functional>

#include "app/AboutPresenter.h"
#include "gui/qt/BackgroundForm.h"

class QKeyEvent;
class QLabel;
class QMouseEvent;
class QPushButton;

namespace quorvel {

class TLinkLabel;

// The About box on Qt: a borderless 320 x 240 window over its background
// picture with a one-pixel raised frame, the program's icon, title and
// version, a subtitle, a copyright line, a mail link and a home-page link,
// filled and placed by Presenter. It stays on top, opens centred, moves when
// its background is dragged and closes with "OK" (Enter); Esc does not
// close it.
class TAboutForm : public TBackgroundForm, private IAboutView {
    Q_OBJECT

public:
    TAboutForm(QWidget* Owner, TAboutPresenter& Presenter);

    // How a clicked link is opened; QDesktopServices::openUrl unless replaced.
    void SetLinkOpener(std::function<void(const QUrl&)> Opener);

    void setVisible(bool Visible) override;

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

private:
    QWidget& Widget(TAboutItem Item) const;
    std::string ProgramFileName() const override;
    std::optional<TFixedFileInfo> ProgramVersion() const override;
    void SetCaption(const std::string& Caption) override;
    // Sets a label's text and lets it take the room the text needs.
    void SetText(TAboutItem Item, const std::string& Text) override;
    TAboutSize TextSize(TAboutItem Item) const override;
    void Place(TAboutItem Item, const TAboutRect& Place) override;
    void OpenLink(const std::string& Link) override;

    TAboutPresenter& FPresenter;
    std::function<void(const QUrl&)> FOpenLink;
    bool FDragging = false;
    QPoint FDragOffset;
};

}  // namespace quorvel
