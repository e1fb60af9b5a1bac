#include "settings/RegistryStore.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "settings/RegFileFormat.h"
#include "settings/RegFileText.h"
#include "settings/SettingsDamage.h"
#include "settings/UserFolders.h"

namespace quorvel {

namespace fs = std::filesystem;

// Wraps one operation in an update when none is running.
class TRegistryStore::TAutoUpdate {
public:
    explicit TAutoUpdate(TRegistryStore& Store) : FStore(Store) { FStore.BeginUpdate(); }
    ~TAutoUpdate() { FStore.EndUpdate(); }
    TAutoUpdate(const TAutoUpdate&) = delete;
    TAutoUpdate& operator=(const TAutoUpdate&) = delete;
    // Writes the change when this operation is an update of its own.
    void Done() {
        if (FStore.FDepth == 1) FStore.CommitUpdate();
    }

private:
    TRegistryStore& FStore;
};

namespace {

// A save takes milliseconds; a temporary file this old belongs to no save.
constexpr std::chrono::seconds LeftoverTempFileAge(60);

std::string UtcStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

}  // namespace

TRegistryStore::TRegistryStore(fs::path File) : FFile(std::move(File)) {}

TRegistryStore::~TRegistryStore() = default;

fs::path TRegistryStore::DefaultPath() {
    return UserConfigFolder() / "Quorvel" / "registry.reg";
}

namespace {

std::string UnreadableReason(int Error) {
    if (Error == EISDIR) return "it is a folder";
    if (Error == EINVAL) return "it is not a regular file";
    return std::strerror(Error);
}

}  // namespace

void TRegistryStore::Load() {
    FProblems.clear();
    FSkipped.clear();
    FOriginalBytes.reset();
    FCopyTags.clear();
    FUnreadable.reset();
    FModified = false;
    FRoot = std::make_unique<TRegKey>(std::string(RegRootKeyName));
    TFileBytes file = ReadFileBytes(FFile);
    if (file.State == TFileBytes::TState::Missing) return ApplyImpliedKeys();
    std::string reason;
    if (file.State == TFileBytes::TState::Unreadable) reason = UnreadableReason(file.Error);
    TRegFileText text;
    if (reason.empty()) {
        text = DecodeRegFileBytes(file.Bytes);
        if (text.Encoding == TRegFileText::TEncoding::Undecodable) reason = text.Reason;
    }
    if (!reason.empty()) {
        FUnreadable = FFile.string() + " cannot be read: " + reason;
        FProblems.push_back(*FUnreadable);
        return;
    }
    TRegFileContent content = ParseRegFile(text.Text);
    FRoot = std::move(content.Root);
    FProblems = std::move(content.Problems);
    FSkipped = std::move(content.Skipped);
    // What a save would lose sight of is kept as it was first.
    if (!FProblems.empty()) {
        FCopyTags.push_back("damaged");
    } else if (text.Encoding == TRegFileText::TEncoding::Utf16Le) {
        FCopyTags.push_back("utf16");
    }
    FOriginalBytes = std::move(file.Bytes);
    ApplyImpliedKeys();
}

// Keys that a read-only update (the load) created stay in memory: every
// later update sees them, and the next save writes them.
void TRegistryStore::ApplyImpliedKeys() {
    for (const std::string& path : FImpliedKeys) {
        TRegKey* key = FRoot.get();
        for (const std::string& part : SplitKeyPath(path)) key = &key->CreateKey(part);
    }
}

void TRegistryStore::KeepCopy(const fs::path& Target, const std::string& Tag) {
    const std::string base = Target.string() + "." + Tag + "-" + UtcStamp();
    for (int attempt = 1;; ++attempt) {
        const fs::path copy = attempt == 1 ? fs::path(base) : fs::path(base + "-" + std::to_string(attempt));
        try {
            WriteNewFile(copy, *FOriginalBytes);
            return;
        } catch (const EFileError& error) {
            if (error.Error() != EEXIST || attempt >= 100) throw;
        }
    }
}

void TRegistryStore::Save() {
    if (FUnreadable) {
        throw ERegistryException(FFile.string() + " cannot be read, so it is not replaced");
    }
    // A link to the settings (kept elsewhere) stays a link.
    fs::path target = FFile;
    std::error_code error;
    if (fs::is_symlink(FFile, error)) {
        const fs::path resolved = fs::weakly_canonical(FFile, error);
        if (!error) target = resolved;
    }
    try {
        if (FOriginalBytes) {
            while (!FCopyTags.empty()) {
                KeepCopy(target, FCopyTags.front());
                FCopyTags.erase(FCopyTags.begin());
            }
        }
        ReplaceFileAtomically(target, FormatRegFile(*FRoot), FFault);
    } catch (const EFileError& failure) {
        throw ERegistryException(failure.what());
    }
    FImpliedKeys.clear();  // written now
    // With the update lock held no other save is writing its temporary file,
    // so what is lying there was left by a save that was killed. The age
    // spares a writer that gave up waiting for the lock.
    if (FLock && FLock->Held()) RemoveLeftoverTempFiles(target, LeftoverTempFileAge);
}

std::string TRegistryStore::DamageReport() const {
    return DamagedSettingsText(FFile, FSkipped);
}

void TRegistryStore::CheckReadable() {
    TAutoUpdate update(*this);
    if (FUnreadable) throw ESettingsUnreadable(*FUnreadable);
}

void TRegistryStore::KeepCopyOnCommit(std::string_view Tag) {
    if (FDepth == 0) return;  // outside an update there is nothing to commit
    for (const std::string& tag : FCopyTags) {
        if (tag == Tag) return;
    }
    FCopyTags.emplace_back(Tag);
}

void TRegistryStore::BeginUpdate() {
    // Counted only once the file was read, so a failed start leaves no update open.
    if (FDepth == 0) {
        FLock = std::make_unique<TUpdateLock>(FFile);
        try {
            Load();
        } catch (...) {
            FLock.reset();
            throw;
        }
    }
    ++FDepth;
}

void TRegistryStore::CommitUpdate() {
    if (FDepth == 0) return;
    FCommitTried = true;
    if (!FModified) return;
    Save();
    FModified = false;
}

void TRegistryStore::EndUpdate() noexcept {
    if (FDepth > 0 && --FDepth == 0) {
        // Keys made by an update that never tried to commit (a load) live on
        // in memory; those of a save that failed are gone with it.
        if (!FCommitTried) {
            for (std::string& path : FCreatedKeys) FImpliedKeys.push_back(std::move(path));
        }
        FCreatedKeys.clear();
        FCommitTried = false;
        FRoot.reset();
        FModified = false;
        FLock.reset();
    }
}

TRegKey& TRegistryStore::CreateKeyPath(std::string_view Path, bool* Created) {
    const std::vector<std::string> parts = SplitKeyPath(Path);
    if (parts.size() > MaxKeyDepth) throw ERegistryException(KeyCreateFailedText(Path));
    for (const std::string& part : parts) {
        if (!IsValidKeyName(part)) throw ERegistryException(KeyCreateFailedText(Path));
    }
    TRegKey* key = FRoot.get();
    for (const std::string& part : parts) {
        TRegKey* next = key->FindKey(part);
        if (next == nullptr) {
            next = &key->CreateKey(part);
            FModified = true;
            if (Created != nullptr) *Created = true;
        }
        key = next;
    }
    return *key;
}

void TRegistryStore::CreateKey(std::string_view Path) {
    TAutoUpdate update(*this);
    bool created = false;
    CreateKeyPath(Path, &created);
    if (created) FCreatedKeys.emplace_back(Path);
    update.Done();
}

bool TRegistryStore::KeyExists(std::string_view Path) {
    TAutoUpdate update(*this);
    return FindKeyPath(*FRoot, Path) != nullptr;
}

std::vector<std::string> TRegistryStore::GetKeyNames(std::string_view Path) {
    TAutoUpdate update(*this);
    const TRegKey* key = FindKeyPath(*FRoot, Path);
    return key == nullptr ? std::vector<std::string>() : key->KeyNames();
}

bool TRegistryStore::DeleteKey(std::string_view Path) {
    TAutoUpdate update(*this);
    std::vector<std::string> parts = SplitKeyPath(Path);
    if (parts.empty()) return false;
    const auto under = [&](const std::string& created) {
        const std::vector<std::string> below = SplitKeyPath(created);
        if (below.size() < parts.size()) return false;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (!SameName(below[i], parts[i])) return false;
        }
        return true;
    };
    std::erase_if(FImpliedKeys, under);
    std::erase_if(FCreatedKeys, under);
    TRegKey* parent = FRoot.get();
    for (std::size_t i = 0; i + 1 < parts.size() && parent != nullptr; ++i) parent = parent->FindKey(parts[i]);
    if (parent == nullptr || !parent->DeleteKey(parts.back())) return false;
    FModified = true;
    update.Done();
    return true;
}

const TRegValue* TRegistryStore::FindValue(std::string_view Path, std::string_view Name) {
    const TRegKey* key = FindKeyPath(*FRoot, Path);
    return key == nullptr ? nullptr : key->FindValue(Name);
}

std::optional<TRegDataType> TRegistryStore::GetDataType(std::string_view Path, std::string_view Name) {
    TAutoUpdate update(*this);
    const TRegValue* value = FindValue(Path, Name);
    if (value == nullptr) return std::nullopt;
    return value->Type;
}

std::string TRegistryStore::ReadString(std::string_view Path, std::string_view Name) {
    TAutoUpdate update(*this);
    const TRegValue* value = FindValue(Path, Name);
    if (value == nullptr) throw ERegistryException(ValueGetFailedText(Name));
    if (value->Type != TRegDataType::String && value->Type != TRegDataType::ExpandString) {
        throw ERegistryException(InvalidValueTypeText(Name));
    }
    return value->Data;
}

std::int32_t TRegistryStore::ReadInteger(std::string_view Path, std::string_view Name) {
    TAutoUpdate update(*this);
    const TRegValue* value = FindValue(Path, Name);
    if (value == nullptr) throw ERegistryException(ValueGetFailedText(Name));
    if (value->Type != TRegDataType::DWord) throw ERegistryException(InvalidValueTypeText(Name));
    if (value->Data.size() != 4) throw ERegistryException(ValueGetFailedText(Name));
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(value->Data[static_cast<std::size_t>(i)]);
    return static_cast<std::int32_t>(n);
}

void TRegistryStore::SetValue(std::string_view Path, TRegValue Value) {
    if (!IsStorableValueName(Value.Name)) throw ERegistryException(ValueSetFailedText(Value.Name));
    TRegKey& key = CreateKeyPath(Path);
    const TRegValue* old = key.FindValue(Value.Name);
    if (old != nullptr && old->Type == Value.Type && old->Data == Value.Data) return;
    key.SetValue(std::move(Value));
    FModified = true;
}

void TRegistryStore::WriteString(std::string_view Path, std::string_view Name, std::string_view Value,
                                 TRegDataType Type) {
    TAutoUpdate update(*this);
    if (Type != TRegDataType::String && Type != TRegDataType::ExpandString) {
        throw ERegistryException(ValueSetFailedText(Name));
    }
    SetValue(Path, TRegValue{std::string(Name), Type, std::string(Value)});
    update.Done();
}

void TRegistryStore::WriteInteger(std::string_view Path, std::string_view Name, std::int32_t Value) {
    TAutoUpdate update(*this);
    const auto n = static_cast<std::uint32_t>(Value);
    std::string data;
    for (int i = 0; i < 4; ++i) data += static_cast<char>((n >> (8 * i)) & 0xFF);
    SetValue(Path, TRegValue{std::string(Name), TRegDataType::DWord, std::move(data)});
    update.Done();
}

}  // namespace quorvel
