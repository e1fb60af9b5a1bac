#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/Exception.h"

namespace quorvel {

// A file operation that failed; the message names the file and the reason.
class EFileError : public Exception {
public:
    EFileError(const std::string& Message, int Error) : Exception(Message), FError(Error) {}
    int Error() const { return FError; }

private:
    int FError;
};

struct TFileBytes {
    enum class TState { Read, Missing, Unreadable };
    TState State = TState::Missing;
    std::string Bytes;  // the content when Read
    int Error = 0;      // errno when Unreadable
};

// Reads a whole file. A file that does not exist is Missing; one that exists
// but cannot be read (permission, a folder, an I/O error) is Unreadable.
TFileBytes ReadFileBytes(const std::filesystem::path& File);

// For tests: makes the next writes fail as a full disk would.
struct TWriteFault {
    std::size_t AfterBytes = 0;  // bytes written before the failure
    int Error = 0;               // errno reported, e.g. ENOSPC
};

// Creates the folder and any missing parents with mode 0700.
void CreatePrivateFolders(const std::filesystem::path& Folder);

// Replaces File with Bytes so that File holds either the old or the new
// content at every moment, also across a crash: writes a temporary file in
// the same folder, flushes it to disk, renames it over File and flushes the
// folder. The file gets mode 0600; a missing folder is created with 0700.
// On failure raises EFileError and leaves File as it was.
void ReplaceFileAtomically(const std::filesystem::path& File, std::string_view Bytes,
                           const std::optional<TWriteFault>& Fault = std::nullopt);

// Removes what a save killed half-way left next to File: its temporary files
// ("<name>.tmp-XXXXXX") last changed more than MinimumAge ago. Call it only
// while no other save of File can be under way. Best effort: a file that
// cannot be removed stays. Returns how many were removed.
int RemoveLeftoverTempFiles(const std::filesystem::path& File, std::chrono::seconds MinimumAge);

// Writes a file that must not exist yet (mode 0600) and flushes it to disk.
// Raises EFileError on failure (removing what was written).
void WriteNewFile(const std::filesystem::path& File, std::string_view Bytes);

}  // namespace quorvel
