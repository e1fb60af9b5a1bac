#pragma once

#include <string>
#include <string_view>

#include "settings/Account.h"

namespace quorvel {

// The texts of one row of the account list, column by column.
struct TAccountRowTexts {
    std::string Host;      // "Server name"
    std::string Port;      // "Port", in decimal
    std::string UserID;    // "UserID"
    std::string Password;  // "Password": one "*" per byte, never the password
    bool operator==(const TAccountRowTexts&) const = default;
};

TAccountRowTexts AccountRowTexts(const TAccount& Account);

// One "*" per byte of the text, so a character of several bytes shows as
// several asterisks.
std::string MaskedText(std::string_view Text);

// How the delete question names an account: "名称なし" when both user ID and
// host are empty, otherwise "\"UserID@Host\"".
std::string AccountLabel(const TAccount& Account);

// The question asked before an account is deleted: its label followed by
// " を削除してよろしいですか？".
std::string DeleteAccountQuestion(const TAccount& Account);

}  // namespace quorvel
