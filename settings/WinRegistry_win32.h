#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings/Registry.h"

namespace quorvel {

// HKEY_CURRENT_USER of the Windows registry, through the wide-character API
// (UTF-8 inside, UTF-16 in the registry), so settings in the registry's own
// layout are read as they stand and written in it.
//
// Updates are all or nothing for one key, the update key (by default the
// program's "\Software\Ombrask\Quorvel"): the first change under it in an
// update copies it to a sibling "<name>.saving", and the update's reads and
// writes under it go to that copy. CommitUpdate keeps the old key as
// "<name>.previous", marks the copy whole by creating "<name>.saved" (the
// commit point), replaces the key's content with the copy's and removes the
// three siblings, the mark first. A failure before the end puts the old key
// back. A process killed before the mark leaves the old settings; one killed
// after it leaves a whole copy that the next update (or the next store)
// finishes the save from. Changes outside the update key act at once. An
// update that ends without a commit drops its copy, so a load never writes.
//
// An update holds a named mutex of the settings (per stand-in root), so two
// programs never interleave their updates and none reads a save half-way; a
// holder that was killed frees it, and one that holds it past 10 s is not
// waited for any longer.
//
// (Renaming the copy into place would be one step, but RegRenameKey breaks
// the key's list of subkeys under Wine 8 and is not used.)
class TWinRegistry final : public IRegistry {
public:
    // Base: a key under HKEY_CURRENT_USER that stands in for it (tests use a
    // throw-away one); empty for HKEY_CURRENT_USER itself.
    explicit TWinRegistry(std::string Base = "", std::string UpdateKey = "\\Software\\Ombrask\\Quorvel");
    ~TWinRegistry() override;
    TWinRegistry(const TWinRegistry&) = delete;
    TWinRegistry& operator=(const TWinRegistry&) = delete;

    // For tests: the commit stops at this step as if the process had been
    // killed there (Fails = false; CopyIn is killed half-way, with the key
    // deleted), or fails there and raises (Fails = true).
    enum class TCommitStep { KeepOld, MarkDone, CopyIn, Tidy };
    struct TCommitFault {
        TCommitStep Step;
        bool Fails;
    };
    void SetCommitFaultForTesting(std::optional<TCommitFault> Fault) { FFault = Fault; }

    void BeginUpdate() override;
    void CommitUpdate() override;
    void EndUpdate() noexcept override;
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
    enum class TAccess { Read, Write };
    std::wstring MapPath(std::string_view Path, TAccess Access);
    void StartCopy();
    void DropCopy() noexcept;
    void Recover() noexcept;
    void SetValue(std::string_view Path, std::string_view Name, std::uint32_t Type, const void* Data, std::size_t Size);

    std::wstring FBase;       // under HKEY_CURRENT_USER, no leading "\"
    std::wstring FUpdateKey;  // relative to FBase
    std::wstring FParent;     // FUpdateKey's parent, relative to FBase
    std::wstring FLeaf;       // FUpdateKey's own name
    void* FLock = nullptr;    // the settings' update mutex
    bool FLocked = false;
    int FDepth = 0;
    bool FCopying = false;  // this update works on "<FUpdateKey>.saving"
    std::vector<std::string> FCopyTags;
    std::optional<TCommitFault> FFault;
};

}  // namespace quorvel
