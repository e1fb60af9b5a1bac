#include "settings/RegistryTree.h"

#include <algorithm>

namespace quorvel {

namespace {

unsigned char FoldCase(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

}  // namespace

int CompareNames(std::string_view A, std::string_view B) {
    const std::size_t n = std::min(A.size(), B.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char a = FoldCase(A[i]);
        const unsigned char b = FoldCase(B[i]);
        if (a != b) return a < b ? -1 : 1;
    }
    if (A.size() == B.size()) return 0;
    return A.size() < B.size() ? -1 : 1;
}

bool SameName(std::string_view A, std::string_view B) {
    return A.size() == B.size() && CompareNames(A, B) == 0;
}

std::vector<std::string> SplitKeyPath(std::string_view Path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= Path.size()) {
        std::size_t end = Path.find('\\', start);
        if (end == std::string_view::npos) end = Path.size();
        if (end > start) parts.emplace_back(Path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool IsValidKeyName(std::string_view Name) {
    if (Name.empty()) return false;
    return std::none_of(Name.begin(), Name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '\\' || u < 0x20 || u == 0x7F;
    });
}

TRegKey* TRegKey::FindKey(std::string_view Name) const {
    const auto it = FKeys.find(Name);
    return it == FKeys.end() ? nullptr : it->second.get();
}

TRegKey& TRegKey::CreateKey(std::string_view Name) {
    if (TRegKey* existing = FindKey(Name)) return *existing;
    auto key = std::make_unique<TRegKey>(std::string(Name));
    TRegKey& result = *key;
    FKeys.emplace(std::string(Name), std::move(key));
    return result;
}

bool TRegKey::DeleteKey(std::string_view Name) {
    const auto it = FKeys.find(Name);
    if (it == FKeys.end()) return false;
    FKeys.erase(it);
    return true;
}

std::vector<std::string> TRegKey::KeyNames() const {
    std::vector<std::string> names;
    names.reserve(FKeys.size());
    for (const auto& entry : FKeys) names.push_back(entry.second->Name());
    return names;
}

const TRegValue* TRegKey::FindValue(std::string_view Name) const {
    for (const TRegValue& value : FValues) {
        if (SameName(value.Name, Name)) return &value;
    }
    return nullptr;
}

void TRegKey::SetValue(TRegValue Value) {
    for (TRegValue& value : FValues) {
        if (SameName(value.Name, Value.Name)) {
            value.Type = Value.Type;
            value.Data = std::move(Value.Data);
            return;
        }
    }
    FValues.push_back(std::move(Value));
}

bool TRegKey::SameContent(const TRegKey& Other) const {
    if (FName != Other.FName || FValues != Other.FValues || FKeys.size() != Other.FKeys.size()) return false;
    auto a = FKeys.begin();
    auto b = Other.FKeys.begin();
    for (; a != FKeys.end(); ++a, ++b) {
        if (!a->second->SameContent(*b->second)) return false;
    }
    return true;
}

TRegKey* FindKeyPath(TRegKey& Root, std::string_view Path) {
    TRegKey* key = &Root;
    for (const std::string& part : SplitKeyPath(Path)) {
        key = key->FindKey(part);
        if (key == nullptr) return nullptr;
    }
    return key;
}

}  // namespace quorvel
