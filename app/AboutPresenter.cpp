#include "app/AboutPresenter.h"

#include <algorithm>
#include <utility>

namespace quorvel {

namespace {

// The left edge of the texts and pictures, and the subtitle's row.
constexpr int Margin = 12;
constexpr int HeadingTop = 8;
// The rows of the icon and of the version line as the box was drawn.
constexpr int IconTop = 24;
constexpr int VersionTop = 48;
// The first row free of the picture's line under the title.
constexpr int CreditsTop = 84;
// Room between the copyright line and the links, and between the links.
constexpr int CreditsGap = 6;
constexpr int LinkGap = 2;
constexpr int PictureSize = 32;
constexpr TAboutRect OkPlace{236, 208, 75, 25};

// Item's measured room, placed with its top left at X, Y.
TAboutRect At(const IAboutView& View, TAboutItem Item, int X, int Y) {
    const TAboutSize size = View.TextSize(Item);
    return {X, Y, size.Width, size.Height};
}

}  // namespace

TAboutPresenter::TAboutPresenter(TErrorReport Report) : FReport(std::move(Report)) {}

bool TAboutPresenter::FormCreate(IAboutView& View) {
    bool made = false;
    Guarded(FReport, [&] {
        const std::string title = ApplicationTitle(View.ProgramFileName());
        View.SetCaption(AboutCaption(title));
        View.SetText(TAboutItem::SubTitle, std::string(AboutSubTitle));
        View.SetText(TAboutItem::Title, title);
        View.SetText(TAboutItem::Version, VersionLine(View.ProgramVersion()));
        View.SetText(TAboutItem::Copyright, std::string(AboutCopyright));
        View.SetText(TAboutItem::MailLink, std::string(AboutMailLink));
        View.SetText(TAboutItem::HomePageLink, std::string(AboutHomePageLink));
        Place(View);
        made = true;
    });
    return made;
}

void TAboutPresenter::Place(IAboutView& View) {
    // The subtitle, then the icon with the title beside it and the version
    // line under the title.
    const TAboutRect subTitle = At(View, TAboutItem::SubTitle, Margin, HeadingTop);
    const TAboutRect icon{Margin, std::max(IconTop, subTitle.Bottom() + LinkGap), PictureSize, PictureSize};
    const TAboutRect title = At(View, TAboutItem::Title, icon.Right() + CreditsGap, icon.Y);
    const TAboutRect version = At(View, TAboutItem::Version, title.X, std::max(VersionTop, title.Bottom()));
    // The copyright line, then the two links with the flag beside them, in
    // the middle of them.
    const TAboutRect copyright =
        At(View, TAboutItem::Copyright, Margin, std::max(CreditsTop, version.Bottom() + 2 * CreditsGap));
    const int linksLeft = Margin + PictureSize + 2 * CreditsGap;
    const TAboutRect mail = At(View, TAboutItem::MailLink, linksLeft, copyright.Bottom() + CreditsGap);
    const TAboutRect homePage = At(View, TAboutItem::HomePageLink, linksLeft, mail.Bottom() + LinkGap);
    const TAboutRect flag{Margin, mail.Y + std::max(0, (homePage.Bottom() - mail.Y - PictureSize) / 2), PictureSize,
                          PictureSize};

    const std::pair<TAboutItem, TAboutRect> places[] = {
        {TAboutItem::SubTitle, subTitle}, {TAboutItem::ApplicationIcon, icon},  {TAboutItem::Title, title},
        {TAboutItem::Version, version},   {TAboutItem::Copyright, copyright},   {TAboutItem::Flag, flag},
        {TAboutItem::MailLink, mail},     {TAboutItem::HomePageLink, homePage}, {TAboutItem::Ok, OkPlace},
    };
    for (const auto& [item, place] : places) View.Place(item, place);
}

void TAboutPresenter::LinkClicked(IAboutView& View, TAboutItem Link) {
    Guarded(FReport, [&] {
        if (Link == TAboutItem::MailLink) View.OpenLink(std::string(AboutMailLink));
        if (Link == TAboutItem::HomePageLink) View.OpenLink(std::string(AboutHomePageLink));
    });
}

}  // namespace quorvel
