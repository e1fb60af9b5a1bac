#pragma once

#include <optional>
#include <string>

#include "core/Guarded.h"
#include "tray/AboutText.h"

namespace quorvel {

// The texts, pictures and button of the About box.
enum class TAboutItem {
    SubTitle,
    ApplicationIcon,
    Title,
    Version,
    Copyright,
    Flag,
    MailLink,
    HomePageLink,
    Ok,
};

// A rectangle in the box's own pixels: 1/96 inch, the box being
// AboutBoxWidth x AboutBoxHeight of them whatever the display's scale.
struct TAboutRect {
    int X = 0, Y = 0, Width = 0, Height = 0;
    int Right() const { return X + Width; }
    int Bottom() const { return Y + Height; }
    bool Intersects(const TAboutRect& Other) const {
        return X < Other.Right() && Other.X < Right() && Y < Other.Bottom() && Other.Y < Bottom();
    }
    bool operator==(const TAboutRect&) const = default;
};

struct TAboutSize {
    int Width = 0, Height = 0;
};

// The size of the background picture, which the box takes.
inline constexpr int AboutBoxWidth = 320;
inline constexpr int AboutBoxHeight = 240;
// Where the background picture has its envelope; no text stands on it.
inline constexpr TAboutRect AboutEnvelopeArea{200, 150, 111, 76};

// What the About box shows and measures; each toolkit's box implements it.
class IAboutView {
public:
    virtual ~IAboutView() = default;
    // The running program's file name without its folder, and its version.
    virtual std::string ProgramFileName() const = 0;
    virtual std::optional<TFixedFileInfo> ProgramVersion() const = 0;
    virtual void SetCaption(const std::string& Caption) = 0;
    virtual void SetText(TAboutItem Item, const std::string& Text) = 0;
    // The room Item's text takes in its own font (with what the control adds
    // around it), in the box's pixels, rounded up.
    virtual TAboutSize TextSize(TAboutItem Item) const = 0;
    virtual void Place(TAboutItem Item, const TAboutRect& Place) = 0;
    // Opens Link with the system's handler of its scheme.
    virtual void OpenLink(const std::string& Link) = 0;
};

// The About box's decisions: its texts, where each goes and the room each
// gets, and what a link opens. The rows follow each other by the room their
// texts take, so a font taller than the box was drawn for pushes them down
// rather than over each other; at the size it was drawn for they stay clear
// of the envelope. What an entry point lets escape goes to Report.
class TAboutPresenter {
public:
    explicit TAboutPresenter(TErrorReport Report);

    // Fills and places View's items; false when that failed (reported): the
    // view then closes, never half made.
    bool FormCreate(IAboutView& View);
    // A link was clicked or opened by key.
    void LinkClicked(IAboutView& View, TAboutItem Link);

private:
    void Place(IAboutView& View);

    TErrorReport FReport;
};

}  // namespace quorvel
