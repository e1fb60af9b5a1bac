#pragma once

#include <QHBoxLayout>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>

namespace quorvel {

// Small pieces the settings dialogs share.

inline QString ToQString(std::string_view Text) {
    return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}
inline std::string ToStdString(const QString& Text) {
    return Text.toUtf8().toStdString();
}

// Refuses a dialog's OK: the focus goes to Field and the default beep
// sounds. No message is shown.
void RefuseInput(QWidget& Field);

// Replaces the beep of RefuseInput, so tests can count it; an empty function
// brings back the system's beep.
void SetRefusalSound(std::function<void()> Sound);

// Places a window in the middle of the screen under the mouse pointer.
void CenterOnScreen(QWidget& Window);

// A label holding one of the program's 32 x 32 pictures.
QWidget* NewPictureLabel(const QString& Resource, QWidget* Parent);

// A dialog's push button, with the style's picture Icon unless it is
// NoIcon, never smaller than 75 x 25 nor than the style wants it.
inline constexpr int NoIcon = -1;
QPushButton* NewDialogButton(const QString& Caption, QWidget* Parent, int Icon = NoIcon);

// The row of OK, Cancel and Help at a dialog's foot, to the right.
QHBoxLayout* NewOkCancelHelpRow(QPushButton& Ok, QPushButton& Cancel, QPushButton& Help);

// The width an edit box needs for Digits digits, but at least MinimumWidth.
int EditWidthForDigits(const QWidget& Edit, int Digits, int MinimumWidth);

}  // namespace quorvel
