#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "app/AboutPresenter.h"
#include "gui/win32/WinDialog_win32.h"

namespace quorvel {

// The About box on Win32: a borderless 320 x 240 window (scaled with the
// display) that stays on top, centred, with the background picture in a
// one-pixel raised frame, the program's icon, title and version, the
// subtitle, the copyright line and the mail and home-page links, filled and
// placed by Presenter from the room the texts take in their fonts. Enter
// presses "OK"; Esc does nothing. The window follows the mouse when it is
// dragged by its surface; a press on a text or picture does not move it.
// The links are SysLink controls, reached with Tab and opened with Enter
// or a click by the system's handler of their scheme.
class TAboutForm final : public TWinDialog, private IAboutView {
public:
    explicit TAboutForm(TAboutPresenter& Presenter);
    ~TAboutForm() override;
    TAboutForm(const TAboutForm&) = delete;
    TAboutForm& operator=(const TAboutForm&) = delete;

private:
    INT_PTR HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;
    bool FormCreate();
    void FormPaint();
    int Scaled(int Pixels) const;

    std::string ProgramFileName() const override;
    std::optional<TFixedFileInfo> ProgramVersion() const override;
    void SetCaption(const std::string& Caption) override;
    void SetText(TAboutItem Item, const std::string& Text) override;
    TAboutSize TextSize(TAboutItem Item) const override;
    void Place(TAboutItem Item, const TAboutRect& Place) override;
    void OpenLink(const std::string& Link) override;

    TAboutPresenter& FPresenter;
    std::map<TAboutItem, std::string> FTexts;  // as shown, without link markup
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

// The running executable's file name, without its folder.
std::string ExecutableFileName();

// Opens a link with the system's handler of its scheme (ShellExecuteW);
// nothing is reported when it cannot. Tests replace it; an empty function
// brings back the system's handler.
void OpenLink(const std::string& Link);
void SetLinkOpenerForTesting(std::function<void(const std::string&)> Opener);

}  // namespace quorvel
