#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "settings/AccountListText.h"
#include "settings/DialogFields.h"

using namespace quorvel;

TEST(DialogFields, PortsAreIntegersFrom1To65535) {
    const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
        {"110", 110},     {" 110", 110}, {"+110", 110}, {"$6E", 110},        {"0x6E", 110},     {"1", 1},
        {"65535", 65535}, {"", {}},      {"1 2", {}},   {"110 ", {}},        {"abc", {}},       {"0", {}},
        {"-1", {}},       {"70000", {}}, {"x6E", {}},   {"12345678901", {}}, {"$FFFFFFFF", {}},
    };
    for (const auto& [text, port] : cases) EXPECT_EQ(PortFromText(text), port) << '"' << text << '"';
}

TEST(DialogFields, IntervalsAreMinutesWhosePeriodFits32Bits) {
    const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
        {"5", 5u},  {"0", 0u},     {"-0", 0u},  {"71582", 71582u}, {"$A", 10u}, {" 10", 10u},
        {"-1", {}}, {"71583", {}}, {"abc", {}}, {"5 ", {}},        {"", {}},    {"4294967296", {}},
    };
    for (const auto& [text, minutes] : cases) EXPECT_EQ(IntervalMinutesFromText(text), minutes) << text;
}

TEST(DialogFields, FillOrderForNewAndExistingAccounts) {
    using F = TAccountField;
    EXPECT_EQ(FieldsForNewAccount(),
              (std::vector<TFieldText>{{F::UserID, ""}, {F::Port, "995"}, {F::Password, ""}, {F::ServerName, ""}}));
    const TAccount account{"pop.example.jp", 995, "秘密", "taro", true, 0};
    EXPECT_EQ(FieldsForAccount(account),
              (std::vector<TFieldText>{
                  {F::ServerName, "pop.example.jp"}, {F::Port, "995"}, {F::UserID, "taro"}, {F::Password, "秘密"}}));
}

TEST(DialogFields, ConfirmedTextsGoInAsTypedAndABadPortKeepsTheOldOne) {
    TAccount account{"", 110, "", "", true, 3};
    ApplyAccountFields(account, {" host ", "$3E3", "user", "pass"});
    EXPECT_EQ(account.Host, " host ");
    EXPECT_EQ(account.Port, 995);
    EXPECT_EQ(account.UserID, "user");
    EXPECT_EQ(account.Password, "pass");
    ApplyAccountFields(account, {"h", "12345678901", "u", "p"});
    EXPECT_EQ(account.Port, 995);
    EXPECT_TRUE(account.Enabled);
    EXPECT_EQ(account.LastCount, 3);
}

TEST(DialogFields, OAuthValuesGoInOnlyWithOAuthAndASecretOnlyWithItsClientId) {
    TAccount account{"h", 995, "", "u", true, 0};
    account.OAuthClientSecret = "s";
    TAccountFields fields{"h", "995", "u", "", TConnectionSecurity::ImplicitTls};
    std::tie(fields.OAuthProvider, fields.OAuthClientId, fields.OAuthScope) = std::tuple("google", "id", "x");
    ApplyAccountFields(account, fields);
    EXPECT_EQ(std::tie(account.Auth, account.OAuthClientId, account.OAuthClientSecret),
              std::tuple(TAuthMethod::Password, "", "s"));
    fields.Auth = TAuthMethod::OAuth;
    ApplyAccountFields(account, fields);  // the scope is the provider's own
    EXPECT_EQ(std::tie(account.OAuthProvider, account.OAuthClientId, account.OAuthClientSecret, account.OAuthScope),
              std::tuple("google", "id", "", ""));
    EXPECT_EQ(FieldsForAccount(account).size(), 8U);
}

TEST(AccountListText, RowShowsOneAsteriskPerPasswordByte) {
    TAccount account{"pop.example.jp", 110, "", "taro", false, 0};
    for (const auto& [password, mask] : {std::pair{"", ""}, {"abcde", "*****"}, {"秘密", "******"}}) {
        account.Password = password;
        EXPECT_EQ(AccountRowTexts(account), (TAccountRowTexts{"pop.example.jp", "110", "taro", mask}));
    }
}

TEST(AccountListText, DeleteQuestionNamesTheAccount) {
    const struct {
        const char *UserID, *Host, *Question;
    } cases[] = {
        {"taro", "pop.example.jp", "\"taro@pop.example.jp\" を削除してよろしいですか？"},
        {"", "", "名称なし を削除してよろしいですか？"},
        {"", "pop.example.jp", "\"@pop.example.jp\" を削除してよろしいですか？"},
        {"taro", "", "\"taro@\" を削除してよろしいですか？"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DeleteAccountQuestion(TAccount{c.Host, 0, "", c.UserID, false, 0}), c.Question);
}
