// The options dialog's decisions, with a view that keeps what it is told.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <vector>

#include "app/OptionsPresenter.h"

namespace quorvel {
namespace {

using enum TOptionControl;

struct OptionsView final : IOptionsView {
    std::map<TOptionControl, std::string> Texts;
    std::map<TOptionControl, bool> Checks, Enabled;
    std::vector<TOptionControl> Refused;
    bool Broken = false;  // every read and write fails

    std::string Text(TOptionControl C) const override {
        return Broken ? throw std::runtime_error("gone") : Texts.at(C);
    }
    void SetText(TOptionControl C, const std::string& T) override { Texts[C] = Broken ? throw std::bad_alloc() : T; }
    bool Checked(TOptionControl C) const override { return Checks.at(C); }
    void SetChecked(TOptionControl C, bool On) override { Checks[C] = On; }
    void SetEnabled(TOptionControl C, bool On) override { Enabled[C] = On; }
    void Refuse(TOptionControl C) override { Refused.push_back(C); }
};

TEST(OptionsPresenter, ShowsTheValuesWithHelpGreyed) {
    TOptionsPresenter presenter({71581, true}, {});
    OptionsView view;
    ASSERT_TRUE(presenter.FormCreate(view));
    EXPECT_EQ(view.Texts[CheckTime], "71581");
    EXPECT_TRUE(view.Checks[RunOnStartup]);
    EXPECT_FALSE(view.Enabled.at(Help));
}

TEST(OptionsPresenter, OkRefusesMinutesOutside0To71582AndKeepsTheValues) {
    for (const char* minutes : {"-1", "71583", "abc", "10 ", "5 ", "", "4294967296"}) {
        TOptionsPresenter presenter({7, false}, {});
        OptionsView view;
        presenter.FormCreate(view);
        view.Texts[CheckTime] = minutes;
        view.Checks[RunOnStartup] = true;
        EXPECT_FALSE(presenter.OkClicked(view)) << minutes;
        EXPECT_EQ(view.Refused, std::vector{CheckTime}) << minutes;
        EXPECT_EQ(presenter.Values().IntervalMinutes, 7u) << minutes;
        EXPECT_FALSE(presenter.Values().RunAtStartup) << minutes;
    }
}

TEST(OptionsPresenter, OkGivesBackTheMinutesAndTheChecks) {
    for (const auto& [text, minutes] : {std::pair{"0", 0u}, {"71582", 71582u}, {"10", 10u}, {" $A", 10u}}) {
        TOptionsPresenter presenter({7, minutes == 0}, {});
        OptionsView view;
        presenter.FormCreate(view);
        view.Texts[CheckTime] = text;
        view.Checks[RunOnStartup] = minutes != 0;
        EXPECT_TRUE(presenter.OkClicked(view)) << text;
        EXPECT_TRUE(view.Refused.empty()) << text;
        EXPECT_EQ(presenter.Values().IntervalMinutes, minutes) << text;
        EXPECT_EQ(presenter.Values().RunAtStartup, minutes != 0) << text;
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
    EXPECT_EQ(presenter.Values().IntervalMinutes, 7u);
}

}  // namespace
}  // namespace quorvel
