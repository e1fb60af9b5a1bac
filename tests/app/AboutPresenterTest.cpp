// The About box's texts and placement, with a view that measures each text
// as a fixed-width font of the height given would.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "app/AboutPresenter.h"

namespace quorvel {
namespace {

using enum TAboutItem;

struct AboutView final : IAboutView {
    std::optional<TFixedFileInfo> Version = FileVersionOf(1, 0, 1, 42);
    int LineHeight = 14, TitleHeight = 32, LinkHeight = 16;  // a 12-pixel font
    std::string Caption;
    std::map<TAboutItem, std::string> Texts;
    std::map<TAboutItem, TAboutRect> Places;
    std::vector<std::string> Opened;

    std::string ProgramFileName() const override { return "QUORVEL.bin"; }
    std::optional<TFixedFileInfo> ProgramVersion() const override { return Version; }
    void SetCaption(const std::string& Text) override { Caption = Text; }
    void SetText(TAboutItem Item, const std::string& Text) override { Texts[Item] = Text; }
    TAboutSize TextSize(TAboutItem Item) const override {
        const int height = Item == Title                              ? TitleHeight
                           : Item == MailLink || Item == HomePageLink ? LinkHeight
                                                                      : LineHeight;
        return {static_cast<int>(Texts.at(Item).size()) * height / 2, height};
    }
    void Place(TAboutItem Item, const TAboutRect& Place) override { Places[Item] = Place; }
    void OpenLink(const std::string& Link) override { Opened.push_back(Link); }
};

TEST(AboutPresenter, ShowsTheProgramsTextsAndLinksOpenTheirOwn) {
    for (const bool known : {true, false}) {
        TAboutPresenter presenter({});
        AboutView view;
        if (!known) view.Version.reset();
        ASSERT_TRUE(presenter.FormCreate(view));
        EXPECT_EQ(view.Caption, "Quorvelのバージョン情報");
        EXPECT_EQ(view.Texts, (std::map<TAboutItem, std::string>{
                                  {SubTitle, "メールチェッカー"},
                                  {Title, "Quorvel"},
                                  {Version, known ? "Version 1.0Release 1(Build 42)" : std::string(UnknownVersionLine)},
                                  {Copyright, "Copyright (C) 2026 Ombrask"},
                                  {MailLink, "mailto:quorvel@ombrask.example"},
                                  {HomePageLink, "https://ombrask.example/quorvel/"}}));
        presenter.LinkClicked(view, HomePageLink);
        presenter.LinkClicked(view, MailLink);
        EXPECT_EQ(view.Opened, (std::vector<std::string>{view.Texts[HomePageLink], view.Texts[MailLink]}));
    }
}

TEST(AboutPresenter, PlacesTheRowsAsTheBoxWasDrawnClearOfTheEnvelope) {
    TAboutPresenter presenter({});
    AboutView view;
    presenter.FormCreate(view);
    const std::map<TAboutItem, TAboutRect> expected{
        {SubTitle, {12, 8, 168, 14}},       {ApplicationIcon, {12, 24, 32, 32}}, {Title, {50, 24, 112, 32}},
        {Version, {50, 56, 210, 14}},       {Copyright, {12, 84, 182, 14}},      {MailLink, {56, 104, 240, 16}},
        {HomePageLink, {56, 122, 256, 16}}, {Flag, {12, 105, 32, 32}},           {Ok, {236, 208, 75, 25}}};
    EXPECT_EQ(view.Places, expected);
    for (const auto& [item, place] : view.Places) {
        if (item == Ok) continue;
        EXPECT_FALSE(place.Intersects(AboutEnvelopeArea)) << static_cast<int>(item);
        EXPECT_FALSE(place.Intersects(view.Places[Ok])) << static_cast<int>(item);
        EXPECT_LE(place.Right(), AboutBoxWidth - 2) << static_cast<int>(item);
    }
}

TEST(AboutPresenter, ATallerFontPushesTheRowsDownNeverOverEachOther) {
    TAboutPresenter presenter({});
    AboutView view;
    view.LineHeight = 21, view.TitleHeight = 48, view.LinkHeight = 23;
    presenter.FormCreate(view);
    for (const auto& [item, place] : view.Places) {
        for (const auto& [other, otherPlace] : view.Places) {
            if (item != other && item != Ok && other != Ok) {
                EXPECT_FALSE(place.Intersects(otherPlace)) << static_cast<int>(item) << " " << static_cast<int>(other);
            }
        }
    }
    EXPECT_EQ(view.Places[Version].Y, view.Places[Title].Bottom());
    EXPECT_EQ(view.Places[ApplicationIcon].Y, view.Places[SubTitle].Bottom() + 2);
    // The flag stays in the middle of the two links.
    EXPECT_EQ(view.Places[Flag].Y - view.Places[MailLink].Y, (2 * 23 + 2 - 32) / 2);
}

}  // namespace
}  // namespace quorvel
