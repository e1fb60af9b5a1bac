#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "settings/Registry.h"

namespace quorvel {

// Key and value names compare like the registry's: ASCII letters without
// regard to case, every other byte as it is.
int CompareNames(std::string_view A, std::string_view B);
bool SameName(std::string_view A, std::string_view B);

struct TNameLess {
    using is_transparent = void;
    bool operator()(std::string_view A, std::string_view B) const { return CompareNames(A, B) < 0; }
};

// Splits "\Software\Ombrask" into its parts; empty parts are skipped.
std::vector<std::string> SplitKeyPath(std::string_view Path);

// The registry's own limits: a key name holds at most 255 characters, and a
// key lies at most 512 levels below the root.
inline constexpr std::size_t MaxKeyNameLength = 255;
inline constexpr std::size_t MaxKeyDepth = 512;

// Whether Name can be a key name: not empty, at most MaxKeyNameLength
// characters (UTF-8 counted by character), no "\" and no control character.
bool IsValidKeyName(std::string_view Name);

struct TRegValue {
    std::string Name;  // empty: the key's default value
    TRegDataType Type = TRegDataType::None;
    // String and ExpandString: the text without a terminating zero.
    // DWord: normally 4 bytes, little endian. Other types: the raw bytes.
    std::string Data;

    bool operator==(const TRegValue&) const = default;
};

// One key of the in-memory tree: its subkeys sorted by name, its values in
// the order they were first written.
class TRegKey {
public:
    explicit TRegKey(std::string Name) : FName(std::move(Name)) {}
    // Takes the tree apart level by level, so no depth can exhaust the stack.
    ~TRegKey();
    TRegKey(const TRegKey&) = delete;
    TRegKey& operator=(const TRegKey&) = delete;

    const std::string& Name() const { return FName; }

    TRegKey* FindKey(std::string_view Name) const;
    // The subkey of that name, created when missing.
    TRegKey& CreateKey(std::string_view Name);
    bool DeleteKey(std::string_view Name);
    std::vector<std::string> KeyNames() const;
    const std::map<std::string, std::unique_ptr<TRegKey>, TNameLess>& Keys() const { return FKeys; }

    const TRegValue* FindValue(std::string_view Name) const;
    // Sets a value, replacing one of the same name (the stored spelling of
    // the name stays).
    void SetValue(TRegValue Value);
    const std::vector<TRegValue>& Values() const { return FValues; }

    // Same names, values and subkeys, all the way down.
    bool SameContent(const TRegKey& Other) const;

private:
    std::string FName;
    std::map<std::string, std::unique_ptr<TRegKey>, TNameLess> FKeys;
    std::vector<TRegValue> FValues;
    // Position in FValues by the name with ASCII letters folded to upper case,
    // so finding a value does not walk all of them.
    std::unordered_map<std::string, std::size_t> FValueIndex;
};

// Follows the parts of Path from Root; null when a key on the way is missing.
TRegKey* FindKeyPath(TRegKey& Root, std::string_view Path);

}  // namespace quorvel
