#include "tray/AboutText.h"

namespace quorvel {

std::optional<TFixedFileInfo> FileVersionOf(std::uint32_t Major, std::uint32_t Minor, std::uint32_t Release,
                                            std::uint32_t Build) {
    if (Major > 0xFFFF || Minor > 0xFFFF || Release > 0xFFFF || Build > 0xFFFF) return std::nullopt;
    TFixedFileInfo info;
    info.FileVersionMS = Major << 16 | Minor;
    info.FileVersionLS = Release << 16 | Build;
    info.ProductVersionMS = info.FileVersionMS;
    info.ProductVersionLS = info.FileVersionLS;
    return info;
}

std::string FormatFileVersion(const TFixedFileInfo& Info) {
    return std::to_string(Info.FileVersionMS >> 16) + "." + std::to_string(Info.FileVersionMS & 0xFFFF) + "Release " +
           std::to_string(Info.FileVersionLS >> 16) + "(Build " + std::to_string(Info.FileVersionLS & 0xFFFF) + ")";
}

std::string VersionLine(const std::optional<TFixedFileInfo>& Info) {
    return Info ? "Version " + FormatFileVersion(*Info) : std::string(UnknownVersionLine);
}

std::string ApplicationTitle(std::string_view ExecutablePath) {
    std::string_view name = ExecutablePath;
    if (const std::size_t slash = name.rfind('/'); slash != std::string_view::npos) name.remove_prefix(slash + 1);
    if (const std::size_t dot = name.find('.'); dot != std::string_view::npos) name = name.substr(0, dot);
    std::string title(name);
    // The first character stays as it is, all of its bytes when it is not ASCII.
    std::size_t first = title.empty() ? 0 : 1;
    while (first < title.size() && (static_cast<unsigned char>(title[first]) & 0xC0u) == 0x80u) ++first;
    for (std::size_t i = first; i < title.size(); ++i) {
        if (title[i] >= 'A' && title[i] <= 'Z') title[i] = static_cast<char>(title[i] - 'A' + 'a');
    }
    return title;
}

std::string AboutCaption(std::string_view Title) {
    return std::string(Title) + "のバージョン情報";
}

}  // namespace quorvel
