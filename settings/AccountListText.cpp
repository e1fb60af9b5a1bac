#include "settings/AccountListText.h"

namespace quorvel {

TAccountRowTexts AccountRowTexts(const TAccount& Account) {
    return {Account.Host, std::to_string(Account.Port), Account.UserID, MaskedText(Account.Password)};
}

std::string MaskedText(std::string_view Text) {
    return std::string(Text.size(), '*');
}

std::string AccountLabel(const TAccount& Account) {
    if (Account.UserID.empty() && Account.Host.empty()) return "名称なし";
    return "\"" + Account.UserID + "@" + Account.Host + "\"";
}

std::string DeleteAccountQuestion(const TAccount& Account) {
    return AccountLabel(Account) + " を削除してよろしいですか？";
}

}  // namespace quorvel
