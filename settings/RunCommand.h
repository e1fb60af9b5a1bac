#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// The command a Run value holds to start this program at log-on: the
// program's full path, in double quotes when it holds a blank (so the
// system does not take the part before the blank for the program).
std::string RunCommandFor(std::string_view ProgramPath);

// Whether a Run value's command starts ProgramPath: the path itself or the
// path in double quotes, with the letters A-Z compared without regard to
// case and every other byte exactly. Arguments after the path, or another
// path, do not count. An empty ProgramPath is never started.
bool RunCommandStarts(std::string_view Command, std::string_view ProgramPath);

}  // namespace quorvel
