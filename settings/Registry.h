#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Exception.h"

namespace quorvel {

// Type of a stored value, numbered as in the Windows registry. Types without a
// name here are kept as they are (e.g. static_cast<TRegDataType>(7)).
enum class TRegDataType : std::uint32_t {
    None = 0,
    String = 1,        // text
    ExpandString = 2,  // text with environment references, read unexpanded
    Binary = 3,
    DWord = 4,  // 32-bit integer, little endian
};

// A failure of the per-user store. The message is the one to show the user.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// The settings exist but cannot be read at all: the file is a folder, a pipe
// or a device, the user may not read it, or its text cannot be decoded. The
// message names the file and the reason, e.g.
//   "/home/u/.config/Quorvel/registry.reg cannot be read: Permission denied".
// LoadSettings raises it before it loads any account; a program that catches
// it may go on with no accounts: the store never replaces such a file.
class ESettingsUnreadable : public ERegistryException {
public:
    using ERegistryException::ERegistryException;
};

// The four messages of the store; Name is a key path or a value name.
std::string KeyCreateFailedText(std::string_view Key);    // "キー %s の作成に失敗しました"
std::string ValueSetFailedText(std::string_view Name);    // "'%s' の設定に失敗しました"
std::string ValueGetFailedText(std::string_view Name);    // "'%s' の取得に失敗しました"
std::string InvalidValueTypeText(std::string_view Name);  // "'%s' のデータ型が不正です"

// The per-user hierarchical key/value store under HKEY_CURRENT_USER.
//
// Key paths are relative to HKEY_CURRENT_USER; parts are separated by "\",
// and a leading "\" is allowed. Key and value names compare without regard to
// ASCII case. An empty value name is the key's default value.
//
// Changes may be grouped: between BeginUpdate and EndUpdate a store may read
// its backing once and write it once, at CommitUpdate. Operations outside an
// update act on their own.
class IRegistry {
public:
    virtual ~IRegistry() = default;

    // Starts a group of operations (nests; only the outermost one counts).
    virtual void BeginUpdate() = 0;
    // Makes the changes of the current group permanent, all or nothing.
    // Raises ERegistryException when they could not be written; the stored
    // state is then the one from before the group.
    virtual void CommitUpdate() = 0;
    // Ends the group; changes not committed are dropped.
    virtual void EndUpdate() noexcept = 0;

    // Raises ESettingsUnreadable when the store's backing exists but cannot
    // be read at all (a missing or partly damaged one can). Stores that cannot
    // fail this way keep the default, which does nothing.
    virtual void CheckReadable() {}
    // Asks the current update to keep a copy of the stored settings, as they
    // were when the update began, before its commit replaces them; Tag names
    // the copy (the file store writes "<file>.<Tag>-<UTC time>"). Stores with
    // nothing to copy keep the default, which does nothing.
    virtual void KeepCopyOnCommit(std::string_view Tag) { (void)Tag; }
    // What the last read of the store's backing found damaged and left out,
    // as the message to show the user (naming where, which line and what was
    // skipped); empty when it was sound. Stores that cannot be damaged so
    // keep the default, which says nothing.
    virtual std::string DamageReport() const { return {}; }

    // Opens the key, creating it and every missing parent. Raises
    // ERegistryException (KeyCreateFailedText) when it cannot.
    virtual void CreateKey(std::string_view Path) = 0;
    virtual bool KeyExists(std::string_view Path) = 0;
    // Names of the key's direct subkeys in the store's order (sorted as text
    // without regard to case); empty when the key does not exist.
    virtual std::vector<std::string> GetKeyNames(std::string_view Path) = 0;
    // Deletes the key and everything below it. False when it does not exist
    // or cannot be deleted.
    virtual bool DeleteKey(std::string_view Path) = 0;

    // Type of the value, or nothing when the key or the value does not exist.
    virtual std::optional<TRegDataType> GetDataType(std::string_view Path, std::string_view Name) = 0;
    bool ValueExists(std::string_view Path, std::string_view Name) { return GetDataType(Path, Name).has_value(); }

    // Reads a String or ExpandString value unchanged. Raises
    // ERegistryException: ValueGetFailedText when it is missing,
    // InvalidValueTypeText when it has another type.
    virtual std::string ReadString(std::string_view Path, std::string_view Name) = 0;
    // Reads a DWord value; errors as ReadString.
    virtual std::int32_t ReadInteger(std::string_view Path, std::string_view Name) = 0;
    // Writes a text value (Type String or ExpandString), creating the key when
    // missing. Raises ERegistryException (ValueSetFailedText) when it cannot.
    virtual void WriteString(std::string_view Path, std::string_view Name, std::string_view Value,
                             TRegDataType Type = TRegDataType::String) = 0;
    // Writes a DWord value; errors as WriteString.
    virtual void WriteInteger(std::string_view Path, std::string_view Name, std::int32_t Value) = 0;
};

// One group of registry operations: begins at construction, ends (dropping
// what was not committed) at destruction.
class TRegistryUpdate {
public:
    explicit TRegistryUpdate(IRegistry& Registry) : FRegistry(Registry) { FRegistry.BeginUpdate(); }
    ~TRegistryUpdate() { FRegistry.EndUpdate(); }
    TRegistryUpdate(const TRegistryUpdate&) = delete;
    TRegistryUpdate& operator=(const TRegistryUpdate&) = delete;

    void Commit() { FRegistry.CommitUpdate(); }

private:
    IRegistry& FRegistry;
};

}  // namespace quorvel
