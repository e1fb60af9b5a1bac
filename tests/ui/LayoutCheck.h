#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QWidget>
#include <algorithm>
#include <string>
#include <vector>

// Geometry checks of a dialog's own controls (its direct children).

inline std::string Describe(const QWidget& Control) {
    QString text;
    if (const auto* label = qobject_cast<const QLabel*>(&Control)) text = label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(&Control)) text = button->text();
    if (const auto* edit = qobject_cast<const QLineEdit*>(&Control)) text = edit->text();
    return std::string(Control.metaObject()->className()) + " \"" + text.toStdString() + "\"";
}

// The room between two controls, side by side or one above the other;
// 0 when they touch, negative when they overlap.
inline int Gap(const QWidget& A, const QWidget& B) {
    const QRect a = A.geometry();
    const QRect b = B.geometry();
    const int dx = std::max(b.left() - a.right() - 1, a.left() - b.right() - 1);
    const int dy = std::max(b.top() - a.bottom() - 1, a.top() - b.bottom() - 1);
    return std::max(dx, dy);
}

// The width a line edit has for its text.
inline int TextRoom(const QLineEdit& Edit) {
    QStyleOptionFrame frame;
    frame.initFrom(&Edit);
    frame.lineWidth = Edit.hasFrame() ? Edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, &Edit) : 0;
    const QRect contents = Edit.style()->subElementRect(QStyle::SE_LineEditContents, &frame, &Edit);
    // A line edit keeps two pixels on either side of its text, and one for the cursor.
    return contents.width() - Edit.textMargins().left() - Edit.textMargins().right() - 2 * 2 - 1;
}

// What is wrong with how Window's own visible controls are laid out: one
// that leaves the window, two whose rectangles overlap, a text that does not
// fit its control (wider or taller than the room it has; an edit's text
// scrolls, so only its height counts).
inline std::vector<std::string> LayoutFaults(const QWidget& Window) {
    std::vector<const QWidget*> controls;
    for (const QObject* child : Window.children()) {
        const auto* control = qobject_cast<const QWidget*>(child);
        if (control != nullptr && !control->isWindow() && control->isVisibleTo(&Window)) controls.push_back(control);
    }
    std::vector<std::string> faults;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const QWidget& c = *controls[i];
        if (!Window.rect().contains(c.geometry())) faults.push_back(Describe(c) + " leaves the window");
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            if (c.geometry().intersects(controls[j]->geometry())) {
                faults.push_back(Describe(c) + " overlaps " + Describe(*controls[j]));
            }
        }
        const QFontMetrics font = c.fontMetrics();
        if (const auto* label = qobject_cast<const QLabel*>(&c); label && !label->text().isEmpty()) {
            QString shown = label->text();
            if (label->buddy() != nullptr) shown.remove(QLatin1Char('&'));
            const QRect room = label->contentsRect();
            if (font.horizontalAdvance(shown) > room.width() || font.height() > room.height()) {
                faults.push_back(Describe(c) + " is cut");
            }
        } else if (const auto* button = qobject_cast<const QPushButton*>(&c)) {
            // Its text and icon with a few pixels of frame on each side; the
            // style may want the button wider still, but that cuts nothing.
            QString shown = button->text();
            shown.remove(QLatin1Char('&'));
            const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
            if (font.horizontalAdvance(shown) + icon + 8 > c.width() || font.height() + 4 > c.height()) {
                faults.push_back(Describe(c) + " is cut");
            }
        } else if (qobject_cast<const QAbstractButton*>(&c) || qobject_cast<const QComboBox*>(&c)) {
            const QSize needed = c.sizeHint();
            if (needed.width() > c.width() || needed.height() > c.height()) faults.push_back(Describe(c) + " is cut");
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(&c)) {
            // Edits scroll their text; only their height is looked at here.
            if (edit->minimumSizeHint().height() > edit->height()) faults.push_back(Describe(c) + " is cut");
        }
    }
    return faults;
}
