#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// The texts of the About box, worked out without a display.

// A program's fixed file-version record: four 16-bit numbers packed two by
// two, major and minor in FileVersionMS, release and build in FileVersionLS.
struct TFixedFileInfo {
    std::uint32_t FileVersionMS = 0;
    std::uint32_t FileVersionLS = 0;
    std::uint32_t ProductVersionMS = 0;
    std::uint32_t ProductVersionLS = 0;
};

// The record for version Major.Minor.Release.Build; nothing when a part
// does not fit 16 bits.
std::optional<TFixedFileInfo> FileVersionOf(std::uint32_t Major, std::uint32_t Minor, std::uint32_t Release,
                                            std::uint32_t Build);

// "<major>.<minor>Release <release>(Build <build>)" from the file version
// (the product version is not shown): 1.0.1.42 gives "1.0Release 1(Build 42)".
std::string FormatFileVersion(const TFixedFileInfo& Info);

// What the version line shows before a version is known, or when none is.
inline constexpr std::string_view UnknownVersionLine = "Version X.XXX Release XXX (Build XXXX)";

// The version line: "Version " + FormatFileVersion, or UnknownVersionLine.
std::string VersionLine(const std::optional<TFixedFileInfo>& Info);

// The application title: the executable's file name without its folder, cut
// before its first full stop, the letters after the first character in lower
// case ("/opt/QUORVEL.bin" gives "Quorvel").
std::string ApplicationTitle(std::string_view ExecutablePath);

// The window caption: the title followed by "のバージョン情報".
std::string AboutCaption(std::string_view Title);

// The texts that come with the program.
inline constexpr std::string_view AboutSubTitle = "メールチェッカー";
inline constexpr std::string_view AboutCopyright = "Copyright (C) 2026 Ombrask";
inline constexpr std::string_view AboutMailLink = "mailto:quorvel@ombrask.example";
inline constexpr std::string_view AboutHomePageLink = "https://ombrask.example/quorvel/";

}  // namespace quorvel
