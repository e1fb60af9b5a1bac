#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quorvel {

// Starting the program at log-on. The program keeps an XDG autostart entry
// "<config folder>/autostart/<Name>.desktop" whose Exec is the full path of
// its own executable; it is registered while that entry exists, is not
// switched off and names this program itself (see AutostartEntryStarts).

// The name the program is registered under.
inline constexpr std::string_view RunAtStartupName = "Quorvel";

// Where an entry lives and what it must start.
struct TAutostartPlace {
    std::filesystem::path ConfigFolder;  // $XDG_CONFIG_HOME, or ~/.config
    std::string Name;                    // file name without ".desktop"
    std::string ProgramPath;             // the program the entry starts

    std::filesystem::path EntryFile() const;
};

// The user's config folder, this program's path (/proc/self/exe) and the
// name "Quorvel".
TAutostartPlace DefaultAutostartPlace();

// Whether the entry is registered. A missing or unreadable entry is not.
bool IsRunAtStartup(const TAutostartPlace& Place);
// Writes the entry (creating or replacing it) all at once. Raises
// quorvel::Exception "'<Name>' の設定に失敗しました" when it cannot.
void AddRunAtStartup(const TAutostartPlace& Place);
// Removes the entry if present; never reports anything.
void RemoveRunAtStartup(const TAutostartPlace& Place);

// The same on DefaultAutostartPlace().
bool IsRunAtStartup();
void AddRunAtStartup();
void RemoveRunAtStartup();

}  // namespace quorvel
