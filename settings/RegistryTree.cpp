#include "settings/RegistryTree.h"

#include <algorithm>

namespace quorvel {

namespace {

unsigned char FoldCase(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

std::string FoldedName(std::string_view Name) {
    std::string folded(Name);
    for (char& c : folded) c = static_cast<char>(FoldCase(c));
    return folded;
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
    // Characters, not bytes: continuation bytes of UTF-8 are not counted.
    const auto characters =
        std::count_if(Name.begin(), Name.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
    if (static_cast<std::size_t>(characters) > MaxKeyNameLength) return false;
    return std::none_of(Name.begin(), Name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '\\' || u < 0x20 || u == 0x7F;
    });
}

TRegKey::~TRegKey() {
    std::vector<std::unique_ptr<TRegKey>> pending;
    for (auto& entry : FKeys) pending.push_back(std::move(entry.second));
    FKeys.clear();
    while (!pending.empty()) {
        std::unique_ptr<TRegKey> key = std::move(pending.back());
        pending.pop_back();
        for (auto& entry : key->FKeys) pending.push_back(std::move(entry.second));
        key->FKeys.clear();
    }  // each key dies here with no subkeys left
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
    const auto it = FValueIndex.find(FoldedName(Name));
    return it == FValueIndex.end() ? nullptr : &FValues[it->second];
}

void TRegKey::SetValue(TRegValue Value) {
    const auto [it, added] = FValueIndex.emplace(FoldedName(Value.Name), FValues.size());
    if (!added) {
        TRegValue& value = FValues[it->second];
        value.Type = Value.Type;
        value.Data = std::move(Value.Data);
        return;
    }
    FValues.push_back(std::move(Value));
}

bool TRegKey::SameContent(const TRegKey& Other) const {
    std::vector<std::pair<const TRegKey*, const TRegKey*>> pending{{this, &Other}};
    while (!pending.empty()) {
        const auto [a, b] = pending.back();
        pending.pop_back();
        if (a->FName != b->FName || a->FValues != b->FValues || a->FKeys.size() != b->FKeys.size()) return false;
        auto x = a->FKeys.begin();
        auto y = b->FKeys.begin();
        for (; x != a->FKeys.end(); ++x, ++y) pending.emplace_back(x->second.get(), y->second.get());
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
