#include "settings/SettingsDamage.h"

#include "core/VisibleText.h"

namespace quorvel {

namespace {

std::string Plural(std::size_t Count, const char* Word) {
    return std::to_string(Count) + " " + Word + (Count == 1 ? "" : "s");
}

// "line 6: section without ]: the section [... with the 5 lines under it (lines 6-11)"
std::string PartLine(const TRegFileSkip& Part) {
    std::string line = Part.Line == 0 ? "the file" : "line " + std::to_string(Part.Line);
    line += ": " + Part.Why;
    if (Part.What.empty()) return line;
    const std::string what = VisibleText(Part.What);
    if (Part.Section) {
        line += ": the section " + what;
        if (Part.Lines > 0) {
            line += " with the " + (Part.Lines == 1 ? std::string("line") : Plural(Part.Lines, "line")) +
                    " under it (lines " + std::to_string(Part.Line) + "-" + std::to_string(Part.LastLine) + ")";
        }
    } else if (what.front() == '"' || what.front() == '@') {
        line += ": the value " + what;
    } else {
        line += ": the line " + what;
    }
    return line;
}

}  // namespace

std::string DamagedSettingsText(const std::filesystem::path& File, const std::vector<TRegFileSkip>& Skipped) {
    if (Skipped.empty()) return {};
    std::string text = VisibleText(File.string()) + " is damaged; these parts could not be read and were skipped:\n";
    const std::size_t listed = std::min(Skipped.size(), MaxListedDamage);
    for (std::size_t i = 0; i < listed; ++i) text += PartLine(Skipped[i]) + "\n";
    if (Skipped.size() > listed) text += "and " + Plural(Skipped.size() - listed, "more part") + "\n";
    text += "The rest was loaded. The next save keeps the damaged file as " + VisibleText(File.filename().string()) +
            ".damaged-<time>.";
    return text;
}

}  // namespace quorvel
