#include "settings/Account.h"

#include <string>

#include "core/Exception.h"

namespace quorvel {

TAccount& TAccounts::Add() {
    FItems.push_back(std::make_shared<TAccount>());
    return *FItems.back();
}

void TAccounts::CheckIndex(std::int32_t Index) const {
    if (Index < 0 || static_cast<std::size_t>(Index) >= FItems.size()) {
        throw Exception("List index out of bounds (" + std::to_string(Index) + ")");
    }
}

TAccount& TAccounts::Items(std::int32_t Index) {
    CheckIndex(Index);
    return *FItems[static_cast<std::size_t>(Index)];
}

const TAccount& TAccounts::Items(std::int32_t Index) const {
    CheckIndex(Index);
    return *FItems[static_cast<std::size_t>(Index)];
}

std::weak_ptr<TAccount> TAccounts::Track(std::int32_t Index) const {
    CheckIndex(Index);
    return FItems[static_cast<std::size_t>(Index)];
}

std::int32_t TAccounts::Count() const {
    return static_cast<std::int32_t>(FItems.size());
}

void TAccounts::Delete(std::int32_t Index) {
    CheckIndex(Index);
    FItems.erase(FItems.begin() + Index);
}

void TAccounts::Remove(const TAccount& Account) {
    const std::int32_t Index = IndexOf(Account);
    if (Index >= 0) FItems.erase(FItems.begin() + Index);
}

std::int32_t TAccounts::IndexOf(const TAccount& Account) const {
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        if (FItems[i].get() == &Account) return static_cast<std::int32_t>(i);
    }
    return -1;
}

void TAccounts::Clear() {
    FItems.clear();
}

}  // namespace quorvel
