#include "gui/qt/AboutForm.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "gui/qt/LinkLabel.h"
#include "tray/BevelFrame.h"
#include "tray/ProgramVersion.h"

namespace quorvel {

namespace {

QString ToQString(std::string_view Text) {
    return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

QFont WithPixelSize(QFont Font, int Pixels, bool Bold) {
    Font.setPixelSize(Pixels);
    Font.setBold(Bold);
    return Font;
}

}  // namespace

TAboutForm::TAboutForm(QWidget* Owner, TAboutPresenter& Presenter)
    : TBackgroundForm(Owner, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      FPresenter(Presenter),
      FOpenLink([](const QUrl& Link) { QDesktopServices::openUrl(Link); }) {
    // The box is drawn for a 12-pixel font; its picture does not grow.
    setFont(WithPixelSize(font(), 12, false));
    // The texts stand on the box's own light picture, so they stay dark
    // whatever colours the desktop uses.
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);
    setFixedSize(AboutBoxWidth, AboutBoxHeight);

    CopyrightLabel = new QLabel(this);
    CopyrightLabel->setFont(WithPixelSize(font(), 12, true));
    MailLinkLabel = new TLinkLabel(QString(), this);
    HPUrlLinkLabel = new TLinkLabel(QString(), this);
    IconImage = new QLabel(this);
    IconImage->setPixmap(QPixmap(QStringLiteral(":/quorvel/about/flag.png")));
    IconImage->setFixedSize(32, 32);
    SubTitleLabel = new QLabel(this);
    TitleLabel = new QLabel(this);
    TitleLabel->setFont(WithPixelSize(font(), 27, true));
    ApplicationIconImage = new QLabel(this);
    ApplicationIconImage->setFixedSize(32, 32);
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) icon = QIcon(QStringLiteral(":/quorvel/about/quorvel.png"));
    ApplicationIconImage->setPixmap(icon.pixmap(32, 32));
    VersionLabel = new QLabel(this);

    OkButton = new QPushButton(QStringLiteral("OK"), this);
    OkButton->setDefault(true);
    OkButton->setFocus();
    // OK keeps the focus first; Tab then goes to the links.
    setTabOrder(OkButton, MailLinkLabel);
    setTabOrder(MailLinkLabel, HPUrlLinkLabel);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(MailLinkLabel, &TLinkLabel::clicked, this, [this] { FPresenter.LinkClicked(*this, TAboutItem::MailLink); });
    connect(HPUrlLinkLabel, &TLinkLabel::clicked, this,
            [this] { FPresenter.LinkClicked(*this, TAboutItem::HomePageLink); });

    // A box that could not be made closes.
    if (!FPresenter.FormCreate(*this)) QTimer::singleShot(0, this, &QDialog::reject);
}

QWidget& TAboutForm::Widget(TAboutItem Item) const {
    switch (Item) {
        case TAboutItem::SubTitle: return *SubTitleLabel;
        case TAboutItem::ApplicationIcon: return *ApplicationIconImage;
        case TAboutItem::Title: return *TitleLabel;
        case TAboutItem::Version: return *VersionLabel;
        case TAboutItem::Copyright: return *CopyrightLabel;
        case TAboutItem::Flag: return *IconImage;
        case TAboutItem::MailLink: return *MailLinkLabel;
        case TAboutItem::HomePageLink: return *HPUrlLinkLabel;
        case TAboutItem::Ok: break;
    }
    return *OkButton;
}

std::string TAboutForm::ProgramFileName() const {
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8().toStdString();
}

std::optional<TFixedFileInfo> TAboutForm::ProgramVersion() const {
    return ProgramFileVersion();
}

void TAboutForm::SetCaption(const std::string& Caption) {
    setWindowTitle(ToQString(Caption));
}

void TAboutForm::SetText(TAboutItem Item, const std::string& Text) {
    auto* label = qobject_cast<QLabel*>(&Widget(Item));
    if (label == nullptr) return;
    const QString text = ToQString(Text);
    label->setText(text);
    label->adjustSize();
    // A character drawn in a fallback font may need more room than the
    // label's own font gives it; the whole line gets the room of both.
    const QFontMetrics font = label->fontMetrics();
    const QMargins margins = label->contentsMargins();
    label->resize(label->size().expandedTo(QSize(font.horizontalAdvance(text) + margins.left() + margins.right(),
                                                 font.height() + margins.top() + margins.bottom())));
}

TAboutSize TAboutForm::TextSize(TAboutItem Item) const {
    const QSize size = Widget(Item).size();
    return {size.width(), size.height()};
}

void TAboutForm::Place(TAboutItem Item, const TAboutRect& Place) {
    Widget(Item).setGeometry(Place.X, Place.Y, Place.Width, Place.Height);
}

void TAboutForm::SetLinkOpener(std::function<void(const QUrl&)> Opener) {
    FOpenLink = std::move(Opener);
}

void TAboutForm::OpenLink(const std::string& Link) {
    // Whether the link could be opened is not looked at.
    if (FOpenLink) FOpenLink(QUrl(ToQString(Link)));
}

void TAboutForm::FormPaint(QPainter& Canvas) {
    TBackgroundForm::FormPaint(Canvas);
    for (const TBevelRun& run : BevelRuns(width(), height())) {
        const QColor colour = palette().color(run.Colour == TBevelColour::Highlight ? QPalette::Light : QPalette::Dark);
        Canvas.fillRect(run.X, run.Y, run.Width, run.Height, colour);
    }
}

void TAboutForm::mousePressEvent(QMouseEvent* Event) {
    // Only a press on the background itself moves the window.
    if (Event->button() != Qt::LeftButton || childAt(Event->position().toPoint()) != nullptr) {
        TBackgroundForm::mousePressEvent(Event);
        return;
    }
    Event->accept();
    if (windowHandle() != nullptr && windowHandle()->startSystemMove()) return;
    // The window system cannot move it: follow the mouse here.
    FDragging = true;
    FDragOffset = Event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TAboutForm::mouseMoveEvent(QMouseEvent* Event) {
    if (!FDragging) {
        TBackgroundForm::mouseMoveEvent(Event);
        return;
    }
    move(Event->globalPosition().toPoint() - FDragOffset);
    Event->accept();
}

void TAboutForm::mouseReleaseEvent(QMouseEvent* Event) {
    FDragging = false;
    TBackgroundForm::mouseReleaseEvent(Event);
}

void TAboutForm::keyPressEvent(QKeyEvent* Event) {
    // No button of the box answers Esc.
    if (Event->key() == Qt::Key_Escape) {
        Event->accept();
        return;
    }
    TBackgroundForm::keyPressEvent(Event);
}

void TAboutForm::setVisible(bool Visible) {
    if (Visible && !testAttribute(Qt::WA_Moved)) {
        QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        if (screen == nullptr) screen = QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            const QRect area = screen->availableGeometry();
            move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
        }
    }
    TBackgroundForm::setVisible(Visible);
}

}  // namespace quorvel
