// The options dialog's and the About box's decisions, with views that keep
// what they are told (a text is half as wide per byte as it is high).
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

#include "app/AboutPresenter.h"
#include "app/OptionsPresenter.h"

namespace quorvel {
namespace {

using enum TOptionControl;
using enum TAboutItem;

struct OptionsView final : IOptionsView {
    std::map<TOptionControl, std::string> Texts;
    std::map<TOptionControl, bool> Checks, Enabled;
    std::vector<TOptionControl> Refused;
    bool Broken = false;  // reading or writing a text fails
    std::string Text(TOptionControl C) const override {
        return Broken ? throw std::runtime_error("gone") : Texts.at(C);
    }
    void SetText(TOptionControl C, const std::string& T) override { Texts[C] = Broken ? throw std::bad_alloc() : T; }
    bool Checked(TOptionControl C) const override { return Checks.at(C); }
    void SetChecked(TOptionControl C, bool On) override { Checks[C] = On; }
    void SetEnabled(TOptionControl C, bool On) override { Enabled[C] = On; }
    void Refuse(TOptionControl C) override { Refused.push_back(C); }
};

// Which texts are minutes is DialogFieldsTest's; here what OK does with them.
TEST(OptionsPresenter, ShowsTheValuesAndOkGivesBackOnlyMinutes) {
    const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {{" $A", 10}, {"71583", {}}, {"0", 0}};
    for (const auto& [text, minutes] : cases) {
        TOptionsPresenter presenter({71581, true, false}, {});
        OptionsView view;
        ASSERT_TRUE(presenter.FormCreate(view));
        EXPECT_EQ(view.Texts[CheckTime], "71581");
        EXPECT_TRUE(view.Checks[RunOnStartup]);
        EXPECT_FALSE(view.Checks[NotifyNewMail]);
        EXPECT_FALSE(view.Enabled.at(Help));
        view.Texts[CheckTime] = text;
        view.Checks[RunOnStartup] = false;
        view.Checks[NotifyNewMail] = true;
        // A refusal beeps, focuses the box and keeps the dialog and the values.
        EXPECT_EQ(presenter.OkClicked(view), minutes.has_value()) << text;
        EXPECT_EQ(view.Refused, minutes ? std::vector<TOptionControl>{} : std::vector{CheckTime}) << text;
        EXPECT_EQ(presenter.Values().IntervalMinutes, minutes.value_or(71581)) << text;
        EXPECT_EQ(presenter.Values().RunAtStartup, !minutes) << text;
        EXPECT_EQ(presenter.Values().NotifyNewMail, minutes.has_value()) << text;
    }
}

TEST(OptionsPresenter, AFailureIsReportedAndNeitherFillsNorCloses) {
    std::vector<std::string> reports;
    TOptionsPresenter presenter({7, false}, [&](const std::string& Message) { reports.push_back(Message); });
    OptionsView view;
    view.Broken = true;
    EXPECT_FALSE(presenter.FormCreate(view));
    EXPECT_FALSE(presenter.OkClicked(view));
    EXPECT_EQ(reports, (std::vector<std::string>{std::bad_alloc().what(), "gone"}));
}

struct AboutView final : IAboutView {
    int LineHeight = 14, TitleHeight = 32, LinkHeight = 16;  // a 12-pixel font
    std::string Caption;
    std::map<TAboutItem, std::string> Texts;
    std::map<TAboutItem, TAboutRect> Places;
    std::vector<std::string> Opened;
    std::string ProgramFileName() const override { return "QUORVEL.bin"; }
    std::optional<TFixedFileInfo> ProgramVersion() const override { return {}; }
    void SetCaption(const std::string& Text) override { Caption = Text; }
    void SetText(TAboutItem Item, const std::string& Text) override { Texts[Item] = Text; }
    TAboutSize TextSize(TAboutItem Item) const override {
        const int high = Item == Title                              ? TitleHeight
                         : Item == MailLink || Item == HomePageLink ? LinkHeight
                                                                    : LineHeight;
        return {static_cast<int>(Texts.at(Item).size()) * high / 2, high};
    }
    void Place(TAboutItem Item, const TAboutRect& Place) override { Places[Item] = Place; }
    void OpenLink(const std::string& Link) override { Opened.push_back(Link); }
};

TEST(AboutPresenter, ShowsTheProgramsTextsAndLinksOpenTheirOwn) {
    TAboutPresenter presenter({});
    AboutView view;
    ASSERT_TRUE(presenter.FormCreate(view));
    EXPECT_EQ(view.Caption, "Quorvelのバージョン情報");
    EXPECT_EQ(view.Texts[Title], "Quorvel");
    EXPECT_EQ(view.Texts[Version], UnknownVersionLine);
    presenter.LinkClicked(view, HomePageLink);
    presenter.LinkClicked(view, MailLink);
    EXPECT_EQ(view.Opened, (std::vector<std::string>{std::string(AboutHomePageLink), std::string(AboutMailLink)}));
}

TEST(AboutPresenter, RowsFollowTheRoomTheirTextsTakeClearOfTheEnvelopeAndEachOther) {
    TAboutPresenter presenter({});
    AboutView view;
    presenter.FormCreate(view);
    EXPECT_EQ(view.Places, (std::map<TAboutItem, TAboutRect>{{SubTitle, {12, 8, 168, 14}},
                                                             {ApplicationIcon, {12, 24, 32, 32}},
                                                             {Title, {50, 24, 112, 32}},
                                                             {Version, {50, 56, 266, 14}},
                                                             {Copyright, {12, 84, 182, 14}},
                                                             {MailLink, {56, 104, 240, 16}},
                                                             {HomePageLink, {56, 122, 256, 16}},
                                                             {Flag, {12, 105, 32, 32}},
                                                             {Ok, {236, 208, 75, 25}}}));
    for (const auto& [item, place] : view.Places)
        EXPECT_TRUE(item == Ok || !place.Intersects(AboutEnvelopeArea)) << static_cast<int>(item);
    // A taller font pushes the rows down, never over each other; the flag
    // stays in the middle of the links.
    view.LineHeight = 21, view.TitleHeight = 48, view.LinkHeight = 23;
    presenter.FormCreate(view);
    for (const auto& [item, place] : view.Places)
        for (const auto& [other, otherPlace] : view.Places)
            EXPECT_TRUE(item == other || item == Ok || other == Ok || !place.Intersects(otherPlace));
    EXPECT_EQ(view.Places[Flag].Y - view.Places[MailLink].Y, (2 * 23 + 2 - 32) / 2);
}

}  // namespace
}  // namespace quorvel
