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

class AboutFormTest : public ::testing::Test {
protected:
    TAboutPresenter Presenter{{}};
    TAboutForm Form{nullptr, Presenter};
};

}  // namespace

TEST_F(AboutFormTest, ShowsThisProgramsTitleAndVersionWhereThePresenterPlacesThem) {
    EXPECT_EQ(Form.VersionLabel->text(), QStringLiteral(QUORVEL_EXPECTED_VERSION_LINE));
    EXPECT_EQ(Form.TitleLabel->text().toStdString(),
              ApplicationTitle(QCoreApplication::applicationFilePath().toStdString()));
    EXPECT_EQ(Form.windowTitle(), Form.TitleLabel->text() + QStringLiteral("のバージョン情報"));
    EXPECT_EQ(Form.size(), QSize(320, 240));
    EXPECT_TRUE(Form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(Form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(Form.VersionLabel->y(), Form.TitleLabel->geometry().bottom() + 1);
}

TEST_F(AboutFormTest, PaintsARaisedFrameOverThePicture) {
    Form.show();
    const QImage picture = Form.grab().toImage();
    SaveScreenshot(Form, "about");
    const QColor light = Form.palette().color(QPalette::Light);
    const QColor dark = Form.palette().color(QPalette::Dark);
    ASSERT_NE(light, dark);
    EXPECT_EQ(picture.pixel(0, 239), light.rgb());
    EXPECT_EQ(picture.pixel(0, 0), light.rgb());
    EXPECT_EQ(picture.pixel(160, 0), light.rgb());
    EXPECT_EQ(picture.pixel(319, 0), dark.rgb());
    EXPECT_EQ(picture.pixel(319, 239), dark.rgb());
    EXPECT_EQ(picture.pixel(160, 239), dark.rgb());
}

// The links open their own text; Enter closes the box, Esc does not.
TEST_F(AboutFormTest, LinksOpenTheirOwnTextEnterClosesEscDoesNot) {
    std::vector<QUrl> opened;
    Form.SetLinkOpener([&](const QUrl& link) { opened.push_back(link); });
    WhenModal<TAboutForm>([&](TAboutForm& about) {
        QTest::mouseClick(about.MailLinkLabel, Qt::LeftButton);
        QTest::mouseClick(about.HPUrlLinkLabel, Qt::LeftButton);
        QTest::keyClick(&about, Qt::Key_Escape);
        EXPECT_TRUE(about.isVisible());
        QTest::keyClick(&about, Qt::Key_Return);
    });
    EXPECT_EQ(Form.exec(), QDialog::Accepted);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].toString(), Form.MailLinkLabel->text());
    EXPECT_EQ(opened[1].toString(), Form.HPUrlLinkLabel->text());
}

TEST_F(AboutFormTest, DraggingTheBackgroundMovesTheWindowButNotALabel) {
    Form.show();
    const QPoint start = Form.pos();
    Drag(*Form.TitleLabel, QPoint(2, 2));
    EXPECT_EQ(Form.pos(), start);
    Drag(*Form.MailLinkLabel, QPoint(2, 2));
    EXPECT_EQ(Form.pos(), start);
    Drag(Form, QPoint(200, 120));
    EXPECT_EQ(Form.pos(), start + QPoint(30, 20));
}
