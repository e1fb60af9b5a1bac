#include "tray/about/AboutForm.h"

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

#include "tray/AboutText.h"
#include "tray/BevelFrame.h"
#include "tray/ProgramVersion.h"
#include "tray/about/LinkLabel.h"

namespace quorvel {

namespace {

constexpr int FormWidth = 320;
constexpr int FormHeight = 240;

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
    Label1 = new TLinkLabel(QString(), this);
    Label1->move(44, 176);
    HPUrlLinkLabel = new TLinkLabel(QString(), this);
    HPUrlLinkLabel->move(44, 188);
    Image1 = NewLabel(this, 12, 176);
    Image1->setPixmap(QPixmap(QStringLiteral(":/quorvel/about/flag.png")));
    Image1->setFixedSize(32, 32);
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
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(Label1, &TLinkLabel::clicked, this, [this] { LabelClick(*Label1); });
    connect(HPUrlLinkLabel, &TLinkLabel::clicked, this, [this] { LabelClick(*HPUrlLinkLabel); });

    FormCreate();
}

void TAboutForm::FormCreate() {
    const std::string title = ApplicationTitle(QCoreApplication::applicationFilePath().toUtf8().toStdString());
    setWindowTitle(ToQString(AboutCaption(title)));
    setFixedSize(FormWidth, FormHeight);
    SetCaption(*VersionLabel, ToQString(VersionLine(ProgramFileVersion())));
    SetCaption(*TitleLabel, ToQString(title));
    // A font taller than the box was drawn for pushes the version line down
    // rather than under the title.
    VersionLabel->move(VersionLabel->x(), std::max(48, TitleLabel->geometry().bottom() + 1));
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) icon = QIcon(QStringLiteral(":/quorvel/about/quorvel.png"));
    ApplicationIconImage->setPixmap(icon.pixmap(32, 32));
}

void TAboutForm::SetCaption(QLabel& Label, const QString& Text) {
    Label.setText(Text);
    Label.adjustSize();
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

TAboutForm1::TAboutForm1(QWidget* Owner) : TAboutForm(Owner) {
    SetCaption(*CopyrightLabel, ToQString(AboutCopyright));
    SetCaption(*Label1, ToQString(AboutMailLink));
    SetCaption(*SubTitleLabel, ToQString(AboutSubTitle));
}

}  // namespace quorvel
