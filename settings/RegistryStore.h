#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "settings/AtomicFile.h"
#include "settings/RegFileFormat.h"
#include "settings/Registry.h"
#include "settings/RegistryTree.h"
#include "settings/UpdateLock.h"

namespace quorvel {

// HKEY_CURRENT_USER kept in one REGEDIT4 text file (see RegFileFormat.h).
//
// An update (BeginUpdate .. EndUpdate) reads the file once at its start and
// CommitUpdate writes it once, atomically; an operation outside an update is
// an update of its own. The store never writes when nothing changed.
//
// Reading never writes: keys created by an update that is not committed (the
// load's) are kept in memory only, seen by later updates and written by the
// next save.
//
// A file with parts that cannot be read is loaded as far as it can be; the
// first write that replaces it first keeps its old bytes in
// "<file>.damaged-<UTC time>" next to it. A UTF-16 export of the Windows
// registry editor is read; its first replacement keeps the original as
// "<file>.utf16-<UTC time>". A file that exists but cannot be read at all is
// never replaced: writes then fail, and CheckReadable raises
// ESettingsUnreadable. An update holds the
// settings' update lock, so two programs never interleave their updates.
class TRegistryStore final : public IRegistry {
public:
    explicit TRegistryStore(std::filesystem::path File);
    ~TRegistryStore() override;

    // $XDG_CONFIG_HOME/Quorvel/registry.reg; $HOME/.config stands in when
    // XDG_CONFIG_HOME is unset, empty or not an absolute path.
    static std::filesystem::path DefaultPath();

    const std::filesystem::path& File() const { return FFile; }
    // What the last read found wrong with the file; empty when it was sound.
    const std::vector<std::string>& Problems() const { return FProblems; }
    std::string DamageReport() const override;
    // For tests: every following write of the file fails this way.
    void SetWriteFaultForTesting(std::optional<TWriteFault> Fault) { FFault = Fault; }

    void BeginUpdate() override;
    void CommitUpdate() override;
    void EndUpdate() noexcept override;
    void CheckReadable() override;
    void KeepCopyOnCommit(std::string_view Tag) override;

    void CreateKey(std::string_view Path) override;
    bool KeyExists(std::string_view Path) override;
    std::vector<std::string> GetKeyNames(std::string_view Path) override;
    bool DeleteKey(std::string_view Path) override;
    std::optional<TRegDataType> GetDataType(std::string_view Path, std::string_view Name) override;
    std::string ReadString(std::string_view Path, std::string_view Name) override;
    std::int32_t ReadInteger(std::string_view Path, std::string_view Name) override;
    void WriteString(std::string_view Path, std::string_view Name, std::string_view Value,
                     TRegDataType Type = TRegDataType::String) override;
    void WriteInteger(std::string_view Path, std::string_view Name, std::int32_t Value) override;

private:
    class TAutoUpdate;

    void Load();
    void Save();
    void ApplyImpliedKeys();
    void KeepCopy(const std::filesystem::path& Target, const std::string& Tag);
    TRegKey& CreateKeyPath(std::string_view Path, bool* Created = nullptr);
    const TRegValue* FindValue(std::string_view Path, std::string_view Name);
    void SetValue(std::string_view Path, TRegValue Value);

    std::filesystem::path FFile;
    std::unique_ptr<TRegKey> FRoot;
    int FDepth = 0;
    bool FModified = false;
    std::optional<std::string> FUnreadable;     // why the file cannot be read at all
    std::optional<std::string> FOriginalBytes;  // the file as this update read it
    std::vector<std::string> FCopyTags;         // copies of it to keep before the next save
    std::vector<std::string> FImpliedKeys;      // created in memory, not yet written
    std::vector<std::string> FCreatedKeys;      // created by CreateKey in this update
    bool FCommitTried = false;                  // this update asked for a commit
    std::vector<std::string> FProblems;
    std::vector<TRegFileSkip> FSkipped;  // the parts of the last read that were left out
    std::optional<TWriteFault> FFault;
    std::unique_ptr<TUpdateLock> FLock;  // held from BeginUpdate to the last EndUpdate
};

}  // namespace quorvel
