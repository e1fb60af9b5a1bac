#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/Registry.h"

namespace quorvel::test {

// A registry held in memory, for the main window's tests on every platform.
// Paths compare as written, a leading "\" aside; an update that ends without
// a commit drops its changes. Unreadable makes CheckReadable raise
// ESettingsUnreadable with that text; Damage is what DamageReport tells.
class MemoryRegistry final : public IRegistry {
public:
    struct Value {
        TRegDataType Type = TRegDataType::String;
        std::string Text;
        std::int32_t Number = 0;
        bool operator==(const Value&) const = default;
    };
    using Keys = std::map<std::string, std::map<std::string, Value>>;

    Keys Stored;
    std::string Unreadable;
    std::string Damage;
    int Commits = 0;

    std::string DamageReport() const override { return Damage; }

    void BeginUpdate() override {
        if (Depth++ == 0) Before = Stored;
    }
    void CommitUpdate() override {
        Before = Stored;
        ++Commits;
    }
    void EndUpdate() noexcept override {
        if (--Depth == 0) Stored = Before;
    }
    void CheckReadable() override {
        if (!Unreadable.empty()) throw ESettingsUnreadable(Unreadable);
    }
    void CreateKey(std::string_view Path) override {
        std::string key = Plain(Path);
        for (std::size_t cut = key.find('\\'); cut != std::string::npos; cut = key.find('\\', cut + 1)) {
            Stored[key.substr(0, cut)];
        }
        Stored[key];
    }
    bool KeyExists(std::string_view Path) override { return Stored.count(Plain(Path)) != 0; }
    std::vector<std::string> GetKeyNames(std::string_view Path) override {
        const std::string prefix = Plain(Path) + "\\";
        std::vector<std::string> names;
        for (const auto& [key, values] : Stored) {
            if (key.rfind(prefix, 0) == 0 && key.find('\\', prefix.size()) == std::string::npos) {
                names.push_back(key.substr(prefix.size()));
            }
        }
        return names;
    }
    bool DeleteKey(std::string_view Path) override {
        const std::string key = Plain(Path);
        bool found = false;
        for (auto it = Stored.begin(); it != Stored.end();) {
            if (it->first == key || it->first.rfind(key + "\\", 0) == 0) {
                it = Stored.erase(it);
                found = true;
            } else {
                ++it;
            }
        }
        return found;
    }
    std::optional<TRegDataType> GetDataType(std::string_view Path, std::string_view Name) override {
        const Value* value = Find(Path, Name);
        if (!value) return std::nullopt;
        return value->Type;
    }
    std::string ReadString(std::string_view Path, std::string_view Name) override {
        const Value* value = Find(Path, Name);
        if (!value) throw ERegistryException(ValueGetFailedText(Name));
        if (value->Type != TRegDataType::String && value->Type != TRegDataType::ExpandString) {
            throw ERegistryException(InvalidValueTypeText(Name));
        }
        return value->Text;
    }
    std::int32_t ReadInteger(std::string_view Path, std::string_view Name) override {
        const Value* value = Find(Path, Name);
        if (!value) throw ERegistryException(ValueGetFailedText(Name));
        if (value->Type != TRegDataType::DWord) throw ERegistryException(InvalidValueTypeText(Name));
        return value->Number;
    }
    void WriteString(std::string_view Path, std::string_view Name, std::string_view Text,
                     TRegDataType Type = TRegDataType::String) override {
        CreateKey(Path);
        Stored[Plain(Path)][std::string(Name)] = {Type, std::string(Text), 0};
    }
    void WriteInteger(std::string_view Path, std::string_view Name, std::int32_t Number) override {
        CreateKey(Path);
        Stored[Plain(Path)][std::string(Name)] = {TRegDataType::DWord, {}, Number};
    }

private:
    static std::string Plain(std::string_view Path) {
        if (!Path.empty() && Path.front() == '\\') Path.remove_prefix(1);
        return std::string(Path);
    }
    const Value* Find(std::string_view Path, std::string_view Name) {
        const auto key = Stored.find(Plain(Path));
        if (key == Stored.end()) return nullptr;
        const auto value = key->second.find(std::string(Name));
        return value == key->second.end() ? nullptr : &value->second;
    }

    Keys Before;
    int Depth = 0;
};

}  // namespace quorvel::test
