#pragma once

#include <functional>
#include <optional>
#include <string>

#include "gui/win32/WinDialog_win32.h"
#include "tray/AboutText.h"

namespace quorvel {

// The About box on Win32: a borderless 320 x 240 window (scaled with the
// display) that stays on top, centred, with the background picture in a
// one-pixel raised frame, the program's icon, title and version, the
// subtitle, the copyright line and the mail and home-page links. Enter
// presses "OK"; Esc does nothing. The window follows the mouse when it is
// dragged by its surface; a press on a text or picture does not move it.
// The links are SysLink controls, reached with Tab and opened with Enter
// or a click by the system's handler of their scheme.
class TAboutForm final : public TWinDialog {
public:
    TAboutForm();
    ~TAboutForm() override;
    TAboutForm(const TAboutForm&) = delete;
    TAboutForm& operator=(const TAboutForm&) = delete;

private:
    INT_PTR HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;
    void FormCreate();
    void PlaceControls();
    void FormPaint();
    void LinkClicked(LPARAM Notice);
    int Scaled(int Pixels) const;

    int FDpi = 96;
    HBITMAP FBackground = nullptr;
    HFONT FBoldFont = nullptr;
    HFONT FTitleFont = nullptr;
    HICON FApplicationIcon = nullptr;
    HICON FFlag = nullptr;
};

// The fixed file-version record of the running executable's version
// resource; nothing when it has none or it cannot be read.
std::optional<TFixedFileInfo> ExecutableFileVersion();

// The application title of the running executable (see ApplicationTitle).
std::string ExecutableTitle();

// Opens a link with the system's handler of its scheme (ShellExecuteW);
// nothing is reported when it cannot. Tests replace it; an empty function
// brings back the system's handler.
void OpenLink(const std::string& Link);
void SetLinkOpenerForTesting(std::function<void(const std::string&)> Opener);

}  // namespace quorvel
