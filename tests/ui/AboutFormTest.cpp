#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <vector>

#include "gui/qt/AboutForm.h"
#include "gui/qt/LinkLabel.h"
#include "tests/ui/ModalDriver.h"
#include "tray/AboutText.h"

using namespace quorvel;

namespace {

void Press(QWidget& Widget, QPoint At, QEvent::Type Type, Qt::MouseButtons Buttons) {
    QMouseEvent event(Type, QPointF(At), QPointF(Widget.mapToGlobal(At)), Qt::LeftButton, Buttons, Qt::NoModifier);
    QApplication::sendEvent(&Widget, &event);
}

// Drags from At by (30, 20) on Widget; the window is looked at afterwards.
void Drag(QWidget& Widget, QPoint At) {
    Press(Widget, At, QEvent::MouseButtonPress, Qt::LeftButton);
    Press(Widget, At + QPoint(30, 20), QEvent::MouseMove, Qt::LeftButton);
    Press(Widget, At + QPoint(30, 20), QEvent::MouseButtonRelease, Qt::NoButton);
}

}  // namespace

TEST(AboutForm, ShowsThisProgramsTitleAndVersionWhereThePresenterPlacesThem) {
    TAboutPresenter presenter({});
    TAboutForm form(nullptr, presenter);
    EXPECT_EQ(form.VersionLabel->text(), QStringLiteral(QUORVEL_EXPECTED_VERSION_LINE));
    EXPECT_EQ(form.TitleLabel->text().toStdString(),
              ApplicationTitle(QCoreApplication::applicationFilePath().toStdString()));
    EXPECT_EQ(form.windowTitle(), form.TitleLabel->text() + QStringLiteral("のバージョン情報"));
    EXPECT_EQ(form.size(), QSize(320, 240));
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.VersionLabel->y(), form.TitleLabel->geometry().bottom() + 1);
}

TEST(AboutForm, PaintsARaisedFrameOverThePicture) {
    TAboutPresenter presenter({});
    TAboutForm form(nullptr, presenter);
    form.show();
    const QImage picture = form.grab().toImage();
    SaveScreenshot(form, "about");
    const QColor light = form.palette().color(QPalette::Light);
    const QColor dark = form.palette().color(QPalette::Dark);
    ASSERT_NE(light, dark);
    EXPECT_EQ(picture.pixel(0, 239), light.rgb());
    EXPECT_EQ(picture.pixel(0, 0), light.rgb());
    EXPECT_EQ(picture.pixel(160, 0), light.rgb());
    EXPECT_EQ(picture.pixel(319, 0), dark.rgb());
    EXPECT_EQ(picture.pixel(319, 239), dark.rgb());
    EXPECT_EQ(picture.pixel(160, 239), dark.rgb());
}

TEST(AboutForm, LinksOpenTheirOwnText) {
    TAboutPresenter presenter({});
    TAboutForm form(nullptr, presenter);
    std::vector<QUrl> opened;
    form.SetLinkOpener([&](const QUrl& link) { opened.push_back(link); });
    form.show();
    QTest::mouseClick(form.MailLinkLabel, Qt::LeftButton);
    QTest::mouseClick(form.HPUrlLinkLabel, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].toString(), form.MailLinkLabel->text());
    EXPECT_EQ(opened[1].toString(), form.HPUrlLinkLabel->text());
}

TEST(AboutForm, EnterClosesEscDoesNot) {
    TAboutPresenter presenter({});
    TAboutForm form(nullptr, presenter);
    WhenModal<TAboutForm>([](TAboutForm& about) {
        QTest::keyClick(&about, Qt::Key_Escape);
        EXPECT_TRUE(about.isVisible());
        QTest::keyClick(&about, Qt::Key_Return);
    });
    EXPECT_EQ(form.exec(), QDialog::Accepted);
}

TEST(AboutForm, DraggingTheBackgroundMovesTheWindowButNotALabel) {
    TAboutPresenter presenter({});
    TAboutForm form(nullptr, presenter);
    form.show();
    const QPoint start = form.pos();
    Drag(*form.TitleLabel, QPoint(2, 2));
    EXPECT_EQ(form.pos(), start);
    Drag(*form.MailLinkLabel, QPoint(2, 2));
    EXPECT_EQ(form.pos(), start);
    Drag(form, QPoint(200, 120));
    EXPECT_EQ(form.pos(), start + QPoint(30, 20));
}
