#include "settings/RunAtStartup.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "core/Exception.h"
#include "settings/AtomicFile.h"
#include "settings/DesktopEntry.h"
#include "settings/UserFolders.h"

namespace quorvel {

namespace fs = std::filesystem;

namespace {

std::string RunningProgramPath() {
    std::error_code error;
    std::string program = fs::read_symlink("/proc/self/exe", error).string();
    if (error) return {};
    // A program replaced by an update while it runs reads as "<path> (deleted)";
    // the entry should start the new file at the same path.
    constexpr std::string_view deleted = " (deleted)";
    if (program.ends_with(deleted)) {
        const std::string replaced = program.substr(0, program.size() - deleted.size());
        if (fs::exists(replaced, error)) program = replaced;
    }
    return program;
}

}  // namespace

fs::path TAutostartPlace::EntryFile() const {
    return ConfigFolder / "autostart" / (Name + ".desktop");
}

TAutostartPlace DefaultAutostartPlace() {
    return {UserConfigFolder(), std::string(RunAtStartupName), RunningProgramPath()};
}

bool IsRunAtStartup(const TAutostartPlace& Place) {
    const TFileBytes file = ReadFileBytes(Place.EntryFile());
    return file.State == TFileBytes::TState::Read && !Place.ProgramPath.empty() &&
           AutostartEntryStarts(file.Bytes, Place.ProgramPath);
}

void AddRunAtStartup(const TAutostartPlace& Place) {
    const std::string failed = "'" + Place.Name + "' の設定に失敗しました";
    // An entry must be UTF-8; a path that is not cannot be written into one.
    if (Place.ProgramPath.empty() || !IsValidUtf8(Place.ProgramPath)) throw Exception(failed);
    try {
        ReplaceFileAtomically(Place.EntryFile(), AutostartEntryText(Place.Name, Place.ProgramPath));
    } catch (const EFileError&) {
        throw Exception(failed);
    }
}

void RemoveRunAtStartup(const TAutostartPlace& Place) {
    std::error_code ignored;
    fs::remove(Place.EntryFile(), ignored);
}

bool IsRunAtStartup() {
    return IsRunAtStartup(DefaultAutostartPlace());
}
void AddRunAtStartup() {
    AddRunAtStartup(DefaultAutostartPlace());
}
void RemoveRunAtStartup() {
    RemoveRunAtStartup(DefaultAutostartPlace());
}

}  // namespace quorvel
