#include <gtest/gtest.h>

#include <optional>

#include "settings/AccountListText.h"
#include "settings/DialogFields.h"

using namespace quorvel;

TEST(PortFromText, AcceptsIntegersThatNameAPort) {
    const struct {
        const char* Text;
        std::optional<std::int32_t> Port;
    } cases[] = {
        {"110", 110},   {" 110", 110}, {"+110", 110}, {"$6E", 110}, {"0x6E", 110}, {"1", 1},
        {"65535", 65535}, {"", {}},    {"1 2", {}},   {"110 ", {}}, {"abc", {}},   {"0", {}},
        {"-1", {}},     {"70000", {}}, {"65536", {}}, {"x6E", {}},  {"12345678901", {}}, {"$FFFFFFFF", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(PortFromText(c.Text), c.Port) << '"' << c.Text << '"';
}

TEST(IntervalMinutesFromText, AcceptsMinutesWhosePeriodFits32Bits) {
    const struct {
        const char* Text;
        std::optional<std::uint32_t> Minutes;
    } cases[] = {
        {"5", 5u},    {"0", 0u},    {"-0", 0u}, {"71582", 71582u}, {"$A", 10u}, {" 10", 10u},
        {"-1", {}},   {"71583", {}}, {"abc", {}}, {"5 ", {}},       {"", {}},    {"4294967296", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(IntervalMinutesFromText(c.Text), c.Minutes) << '"' << c.Text << '"';
}

TEST(AccountFields, NewAccountIsFilledUserPortPasswordServer) {
    const std::vector<TFieldText> expected = {{TAccountField::UserID, ""},
                                              {TAccountField::Port, "110"},
                                              {TAccountField::Password, ""},
                                              {TAccountField::ServerName, ""}};
    EXPECT_EQ(FieldsForNewAccount(), expected);
}

TEST(AccountFields, ExistingAccountIsFilledServerPortUserPassword) {
    TAccount account;
    account.Host = "pop.example.jp";
    account.Port = 995;
    account.UserID = "taro";
    account.Password = "秘密";
    const std::vector<TFieldText> expected = {{TAccountField::ServerName, "pop.example.jp"},
                                              {TAccountField::Port, "995"},
                                              {TAccountField::UserID, "taro"},
                                              {TAccountField::Password, "秘密"}};
    EXPECT_EQ(FieldsForAccount(account), expected);
}

TEST(AccountFields, ConfirmedTextsGoInAsTypedAndABadPortKeepsTheOldOne) {
    TAccount account;
    account.Port = 110;
    account.Enabled = true;
    account.LastCount = 3;
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

TEST(AccountListText, RowShowsOneAsteriskPerPasswordByte) {
    TAccount account;
    account.Host = "pop.example.jp";
    account.Port = 110;
    account.UserID = "taro";
    for (const auto& [password, mask] : {std::pair{"", ""}, {"abcde", "*****"}, {"秘密", "******"}}) {
        account.Password = password;
        EXPECT_EQ(AccountRowTexts(account), (TAccountRowTexts{"pop.example.jp", "110", "taro", mask}));
    }
}

TEST(AccountListText, DeleteQuestionNamesTheAccount) {
    const struct {
        const char* UserID;
        const char* Host;
        const char* Question;
    } cases[] = {
        {"taro", "pop.example.jp", "\"taro@pop.example.jp\" を削除してよろしいですか？"},
        {"", "", "名称なし を削除してよろしいですか？"},
        {"", "pop.example.jp", "\"@pop.example.jp\" を削除してよろしいですか？"},
        {"taro", "", "\"taro@\" を削除してよろしいですか？"},
    };
    for (const auto& c : cases) {
        TAccount account;
        account.UserID = c.UserID;
        account.Host = c.Host;
        EXPECT_EQ(DeleteAccountQuestion(account), c.Question);
    }
}
