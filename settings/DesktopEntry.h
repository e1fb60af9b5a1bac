#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// Reading and writing the freedesktop.org desktop entries that start a
// program at log-on (the XDG autostart entries).

// One argument of an Exec line as written there: quoted when it holds a
// character the format reserves, with '"', '`', '$' and '\' escaped inside
// the quotes, and '%' doubled.
std::string QuoteExecArgument(std::string_view Argument);

// Writes a text as the value of a string key: backslash, newline, tab and
// carriage return escaped; a leading space as "\s".
std::string EscapeStringValue(std::string_view Value);
// The inverse of EscapeStringValue; an unknown escape stays as written.
std::string UnescapeStringValue(std::string_view Value);

// Splits an Exec value (already unescaped as a string) into its arguments,
// undoing the quoting and turning "%%" into "%". Nothing when the quoting is
// broken (an unterminated quote, a bad escape).
std::optional<std::vector<std::string>> SplitExecArguments(std::string_view Exec);

// The value of Key in the group "[Desktop Entry]", unescaped; nothing when
// the group or the key is absent. The first of repeated keys counts.
std::optional<std::string> DesktopEntryValue(std::string_view EntryText, std::string_view Key);

// The autostart entry that starts ProgramPath, with no arguments, at log-on.
std::string AutostartEntryText(std::string_view Name, std::string_view ProgramPath);

// Whether an autostart entry is in force and starts ProgramPath itself, with
// no arguments: not switched off (Hidden=true, or the GNOME switch
// X-GNOME-Autostart-enabled=false), and its Exec names ProgramPath, where
// the letters A-Z match either case.
bool AutostartEntryStarts(std::string_view EntryText, std::string_view ProgramPath);

// Whether the bytes are well-formed UTF-8 (the only encoding the entries
// may use).
bool IsValidUtf8(std::string_view Text);

}  // namespace quorvel
