#include "gui/qt/LinkLabel.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace quorvel {

namespace {

// What assistive technology sees of a TLinkLabel: a focusable link named by
// its text, with a press action that opens it.
class TLinkLabelAccessible final : public QAccessibleWidget {
public:
    explicit TLinkLabelAccessible(TLinkLabel* Link) : QAccessibleWidget(Link, QAccessible::Link) {}

    QString text(QAccessible::Text Kind) const override {
        if (Kind == QAccessible::Name || Kind == QAccessible::Value) {
            const QString name = widget()->accessibleName();
            return name.isEmpty() ? Link().text() : name;
        }
        return QAccessibleWidget::text(Kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.linked = true;
        return state;
    }

    QStringList actionNames() const override { return QStringList(pressAction()) << QAccessibleWidget::actionNames(); }

    void doAction(const QString& Action) override {
        if (Action == pressAction()) {
            Link().Open();
        } else {
            QAccessibleWidget::doAction(Action);
        }
    }

private:
    TLinkLabel& Link() const { return *static_cast<TLinkLabel*>(widget()); }
};

QAccessibleInterface* LinkLabelAccessible(const QString& ClassName, QObject* Object) {
    if (ClassName != QLatin1String(TLinkLabel::staticMetaObject.className())) return nullptr;
    auto* link = qobject_cast<TLinkLabel*>(Object);
    return link != nullptr ? new TLinkLabelAccessible(link) : nullptr;
}

}  // namespace

TLinkLabel::TLinkLabel(const QString& Text, QWidget* Parent) : QLabel(Text, Parent) {
    static const bool factoryInstalled = (QAccessible::installFactory(LinkLabelAccessible), true);
    (void)factoryInstalled;
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    setPalette(blue);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    // Room for the focus frame around the text.
    setContentsMargins(1, 1, 1, 1);
}

void TLinkLabel::mousePressEvent(QMouseEvent* Event) {
    // The press is the label's own: it does not move the window.
    Event->accept();
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* Event) {
    Event->accept();
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint())) emit clicked();
}

void TLinkLabel::keyPressEvent(QKeyEvent* Event) {
    const int key = Event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
        (Event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        Event->accept();
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(Event);
}

void TLinkLabel::paintEvent(QPaintEvent* Event) {
    QLabel::paintEvent(Event);
    if (!hasFocus()) return;
    QPainter painter(this);
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
}

}  // namespace quorvel
