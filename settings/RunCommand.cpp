#include "settings/RunCommand.h"

#include <algorithm>

namespace quorvel {

namespace {

char FoldAsciiCase(char C) {
    return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C;
}

bool SameIgnoringAsciiCase(std::string_view A, std::string_view B) {
    return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(),
                                              [](char X, char Y) { return FoldAsciiCase(X) == FoldAsciiCase(Y); });
}

}  // namespace

std::string RunCommandFor(std::string_view ProgramPath) {
    if (ProgramPath.find(' ') == std::string_view::npos) return std::string(ProgramPath);
    return "\"" + std::string(ProgramPath) + "\"";
}

bool RunCommandStarts(std::string_view Command, std::string_view ProgramPath) {
    if (ProgramPath.empty()) return false;
    if (SameIgnoringAsciiCase(Command, ProgramPath)) return true;
    return Command.size() == ProgramPath.size() + 2 && Command.front() == '"' && Command.back() == '"' &&
           SameIgnoringAsciiCase(Command.substr(1, ProgramPath.size()), ProgramPath);
}

}  // namespace quorvel
