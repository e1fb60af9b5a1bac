#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// Starting the program at log-on on Windows: a REG_SZ value under the
// per-user Run key whose data is the full path of the program's own
// executable (see RunCommandFor, RunCommandStarts). The functions without
// arguments of settings/RunAtStartup.h work on DefaultRunKeyPlace().

inline constexpr std::string_view RunKeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\run";

struct TRunKeyPlace {
    std::string KeyPath;      // under HKEY_CURRENT_USER
    std::string Name;         // the value's name
    std::string ProgramPath;  // the program the value must start
};

// RunKeyPath, "Quorvel" and the running module's full path.
TRunKeyPlace DefaultRunKeyPlace();

// Whether the value starts this program. A key that cannot be opened reads
// as not registered. Raises quorvel::Exception "'<Name>' のデータ型が不正です"
// when the value exists and is not a string.
bool IsRunAtStartup(const TRunKeyPlace& Place);
// Writes the value. Raises quorvel::Exception "'<Name>' の設定に失敗しました"
// when the write fails; a key that cannot be opened is a quiet no-op.
void AddRunAtStartup(const TRunKeyPlace& Place);
// Deletes the value if present; never reports anything.
void RemoveRunAtStartup(const TRunKeyPlace& Place);

}  // namespace quorvel
