#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings/RegistryTree.h"

namespace quorvel {

// The store's file is REGEDIT4 text: a "REGEDIT4" line, then one section per
// key, "[HKEY_CURRENT_USER\Software\...]", followed by its values:
//   "Name"="text"            String (escapes \" and \\)
//   @="text"                 the key's default value
//   "Name"=dword:0000006e    DWord
//   "Name"=hex:01,02         Binary
//   "Name"=hex(2):41,00      any other type N as bytes (text ends with a zero)
// Hex data may go on over several lines, each but the last ending in "\".
// Text is UTF-8.

inline constexpr std::string_view RegFileHeader = "REGEDIT4";
// What the Windows registry editor writes since Windows 2000 (in UTF-16; see
// RegFileText.h). Its hex forms of text types hold UTF-16 too.
inline constexpr std::string_view RegFileUnicodeHeader = "Windows Registry Editor Version 5.00";
inline constexpr std::string_view RegRootKeyName = "HKEY_CURRENT_USER";

// One part of the file that could not be read and was left out.
struct TRegFileSkip {
    std::size_t Line = 0;      // where it starts, counting from 1 (0: the file as a whole)
    std::size_t LastLine = 0;  // where it ends
    std::string Why;           // what is wrong with it, e.g. "section without ]"
    std::string What;          // the section line, value name or line it is, as written (cut when long)
    bool Section = false;      // a section, skipped with the lines under it
    std::size_t Lines = 0;     // how many lines under the section went with it
};

struct TRegFileContent {
    std::unique_ptr<TRegKey> Root;      // HKEY_CURRENT_USER
    std::vector<std::string> Problems;  // one line per line that could not be read
    std::vector<TRegFileSkip> Skipped;  // the same lines, a section taking its values with it

    bool Damaged() const { return !Problems.empty(); }
};

// Reads what can be understood: CR LF or LF line ends, an optional UTF-8 byte
// order mark, blank lines, ";" comment lines, either header. A key deeper
// than MaxKeyDepth or with a name longer than MaxKeyNameLength is skipped
// with its values, like any section that cannot be read. Lines that cannot be read are
// skipped and listed in Problems ("line N: why"), as are the values of a
// section that cannot be read; Skipped lists the same parts, a section that
// cannot be read as one part with its values.
TRegFileContent ParseRegFile(std::string_view Text);

// The text of the tree under Root (HKEY_CURRENT_USER), LF line ends. A key
// gets a section of its own when it has values or no subkeys, so empty keys
// survive and keys that only lead to others are implied by their subkeys.
std::string FormatRegFile(const TRegKey& Root);

// Whether a value name can be stored: no CR, LF or zero byte.
bool IsStorableValueName(std::string_view Name);

}  // namespace quorvel
