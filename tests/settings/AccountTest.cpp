#include <gtest/gtest.h>

#include "core/Exception.h"
#include "settings/Account.h"
#include "tests/support/MessageOf.h"

using quorvel::TAccount;
using quorvel::TAccounts;

TEST(Accounts, NewAccountHasInitialValues) {
    TAccounts accounts;
    const TAccount& a = accounts.Add();
    EXPECT_EQ(a.Host, "");
    EXPECT_EQ(a.Port, 0);
    EXPECT_EQ(a.Password, "");
    EXPECT_EQ(a.UserID, "");
    EXPECT_FALSE(a.Enabled);
    EXPECT_EQ(a.LastCount, 0);
    EXPECT_EQ(accounts.Count(), 1);
}

TEST(Accounts, DeleteMovesLaterItemsDownAndKeepsAddresses) {
    TAccounts accounts;
    TAccount& first = accounts.Add();
    TAccount& second = accounts.Add();
    TAccount& third = accounts.Add();
    first.Host = "a";
    second.Host = "b";
    third.Host = "c";
    // Many more items must not move the ones already handed out.
    for (int i = 0; i < 1000; ++i) accounts.Add();
    EXPECT_EQ(&accounts.Items(2), &third);
    for (int i = 0; i < 1000; ++i) accounts.Delete(3);

    accounts.Delete(1);
    ASSERT_EQ(accounts.Count(), 2);
    EXPECT_EQ(accounts.Items(0).Host, "a");
    EXPECT_EQ(&accounts.Items(1), &third);
    EXPECT_EQ(third.Host, "c");
    EXPECT_EQ(accounts.IndexOf(third), 1);
}

TEST(Accounts, RemoveTakesOutThatAccountOnly) {
    TAccounts accounts;
    TAccount& a = accounts.Add();
    TAccount& b = accounts.Add();
    a.Host = b.Host = "same.example";
    a.UserID = b.UserID = "user";  // duplicates are allowed
    accounts.Remove(a);
    ASSERT_EQ(accounts.Count(), 1);
    EXPECT_EQ(&accounts.Items(0), &b);

    TAccount stranger;
    accounts.Remove(stranger);
    EXPECT_EQ(accounts.Count(), 1);
    EXPECT_EQ(accounts.IndexOf(stranger), -1);
}

TEST(Accounts, IndexOutsideTheListRaisesIndexError) {
    TAccounts accounts;
    accounts.Add();
    EXPECT_EQ(MessageOf<quorvel::Exception>([&] { accounts.Items(1); }), "List index out of bounds (1)");
    EXPECT_EQ(MessageOf<quorvel::Exception>([&] { accounts.Items(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(MessageOf<quorvel::Exception>([&] { accounts.Delete(5); }), "List index out of bounds (5)");
    EXPECT_EQ(accounts.Count(), 1);
}
