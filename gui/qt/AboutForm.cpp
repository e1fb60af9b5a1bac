#include "gui/qt/AboutForm.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "gui/qt/LinkLabel.h"
#include "tray/AboutText.h"
#include "tray/BevelFrame.h"
#include "tray/ProgramVersion.h"

namespace quorvel {

namespace {

constexpr int FormWidth = 320;
constexpr int FormHeight = 240;
// The left edge of the texts and pictures, and the subtitle's row.
constexpr int Margin = 12;
constexpr int HeadingTop = 8;
// The first row free of the picture's line under the title.
constexpr int CreditsTop = 84;
// Room between the copyright line and the links, and between the links.
constexpr int CreditsGap = 6;
constexpr int LinkGap = 2;

QString ToQString(std::string_view Text) {
    return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

QLabel* NewLabel(QWidget* Parent, int X, int Y) {
    auto* label = new QLabel(Parent);
    label->move(X, Y);
    return label;
}

QFont WithPixelSize(QFont Font, int Pixels, bool Bold) {
    Font.setPixelSize(Pixels);
    Font.setBold(Bold);
    return Font;
}

}  // namespace

TAboutForm::TAboutForm(QWidget* Owner)
    : TBackgroundForm(Owner, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      FOpenLink([](const QUrl& Link) { QDesktopServices::openUrl(Link); }) {
    // The box is drawn for a 12-pixel font; its picture does not grow.
    setFont(WithPixelSize(font(), 12, false));
    // The texts stand on the box's own light picture, so they stay dark
    // whatever colours the desktop uses.
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);

    CopyrightLabel = NewLabel(this, 12, 164);
    CopyrightLabel->setFont(WithPixelSize(font(), 12, true));
    MailLinkLabel = new TLinkLabel(QString(), this);
    MailLinkLabel->move(44, 176);
    HPUrlLinkLabel = new TLinkLabel(QString(), this);
    HPUrlLinkLabel->move(44, 188);
    IconImage = NewLabel(this, 12, 176);
    IconImage->setPixmap(QPixmap(QStringLiteral(":/quorvel/about/flag.png")));
    IconImage->setFixedSize(32, 32);
    SubTitleLabel = NewLabel(this, 12, 12);
    TitleLabel = NewLabel(this, 44, 24);
    TitleLabel->setFont(WithPixelSize(font(), 27, true));
    ApplicationIconImage = NewLabel(this, 12, 24);
    ApplicationIconImage->setFixedSize(32, 32);
    VersionLabel = NewLabel(this, 44, 48);
    SetCaption(*VersionLabel, ToQString(UnknownVersionLine));
    SetCaption(*HPUrlLinkLabel, ToQString(AboutHomePageLink));

    OkButton = new QPushButton(QStringLiteral("OK"), this);
    OkButton->setGeometry(236, 208, 75, 25);
    OkButton->setDefault(true);
    OkButton->setFocus();
    // OK keeps the focus first; Tab then goes to the links.
    setTabOrder(OkButton, MailLinkLabel);
    setTabOrder(MailLinkLabel, HPUrlLinkLabel);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(MailLinkLabel, &TLinkLabel::clicked, this, [this] { LabelClick(*MailLinkLabel); });
    connect(HPUrlLinkLabel, &TLinkLabel::clicked, this, [this] { LabelClick(*HPUrlLinkLabel); });

    FormCreate();
}

void TAboutForm::FormCreate() {
    const std::string title = ApplicationTitle(QCoreApplication::applicationFilePath().toUtf8().toStdString());
    setWindowTitle(ToQString(AboutCaption(title)));
    setFixedSize(FormWidth, FormHeight);
    SetCaption(*VersionLabel, ToQString(VersionLine(ProgramFileVersion())));
    SetCaption(*TitleLabel, ToQString(title));
    PlaceControls();
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) icon = QIcon(QStringLiteral(":/quorvel/about/quorvel.png"));
    ApplicationIconImage->setPixmap(icon.pixmap(32, 32));
}

void TAboutForm::SetCaption(QLabel& Label, const QString& Text) {
    Label.setText(Text);
    Label.adjustSize();
    // A character drawn in a fallback font may need more room than the
    // label's own font gives it; the whole line gets the room of both.
    const QFontMetrics font = Label.fontMetrics();
    const QMargins margins = Label.contentsMargins();
    Label.resize(Label.size().expandedTo(QSize(font.horizontalAdvance(Text) + margins.left() + margins.right(),
                                               font.height() + margins.top() + margins.bottom())));
}

void TAboutForm::PlaceControls() {
    // The subtitle, then the icon with the title beside it and the version
    // line under the title: a font taller than the box was drawn for pushes
    // the rows down rather than over each other.
    SubTitleLabel->move(Margin, HeadingTop);
    ApplicationIconImage->move(Margin, std::max(24, SubTitleLabel->geometry().bottom() + 1 + LinkGap));
    TitleLabel->move(ApplicationIconImage->geometry().right() + 1 + CreditsGap, ApplicationIconImage->y());
    VersionLabel->move(TitleLabel->x(), std::max(48, TitleLabel->geometry().bottom() + 1));

    const int left = Margin;
    CopyrightLabel->move(left, std::max(CreditsTop, VersionLabel->geometry().bottom() + 1 + 2 * CreditsGap));
    const int linksLeft = left + IconImage->width() + 2 * CreditsGap;
    MailLinkLabel->move(linksLeft, CopyrightLabel->geometry().bottom() + 1 + CreditsGap);
    HPUrlLinkLabel->move(linksLeft, MailLinkLabel->geometry().bottom() + 1 + LinkGap);
    // The picture stands beside the two links, in the middle of them.
    const int linksHeight = HPUrlLinkLabel->geometry().bottom() + 1 - MailLinkLabel->y();
    IconImage->move(left, MailLinkLabel->y() + std::max(0, (linksHeight - IconImage->height()) / 2));
}

void TAboutForm::SetLinkOpener(std::function<void(const QUrl&)> Opener) {
    FOpenLink = std::move(Opener);
}

void TAboutForm::LabelClick(const QLabel& Label) {
    // Whether the link could be opened is not looked at.
    if (FOpenLink) FOpenLink(QUrl(Label.text()));
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

TProgramAboutForm::TProgramAboutForm(QWidget* Owner) : TAboutForm(Owner) {
    SetCaption(*CopyrightLabel, ToQString(AboutCopyright));
    SetCaption(*MailLinkLabel, ToQString(AboutMailLink));
    SetCaption(*SubTitleLabel, ToQString(AboutSubTitle));
    PlaceControls();
}

}  // namespace quorvel
