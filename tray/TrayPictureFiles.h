#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tray/PanelImage.h"
#include "tray/Picture.h"

namespace quorvel {

// One folder of the hicolor icon theme the tray pictures go to: its place
// under the theme and the side of the pictures in it ("22x22@2" holds 44
// pixel pictures for 22 pixel panels at double scale).
struct TThemeSize {
    const char* Folder;
    int Side;
};

// The folders written, each one the hicolor theme's own index lists, so
// that any desktop's icon theme finds them: the usual panel sizes, one
// folder for each range of sizes a lookup matches.
const std::vector<TThemeSize>& TrayThemeSizes();

// Writes Image as a PNG file at Path, whole or not at all; false when it
// could not.
using TPanelImageWriter = std::function<bool(const std::filesystem::path& Path, const TPanelImage& Image)>;

// The tray pictures as icon-theme files. A StatusNotifierItem host that
// draws an item by its icon name then loads a picture drawn for its own size
// (RenderForPanel) instead of shrinking the largest pixmap offered.
//
// Each distinct picture is written once, at every size of TrayThemeSizes,
// to IconsDir/hicolor/<size>/status/quorvel-tray-<ProcessId>-<n>.png; later
// requests for it write nothing. Everything written, and every folder made
// for it, is removed when the object goes; files of an earlier run that
// ended without that are removed on the first write. Once a write fails no
// more are tried, and pictures have no name from then on.
class TTrayPictureFiles {
public:
    // ProcessAlive tells whether a process of this user with that id runs.
    TTrayPictureFiles(std::filesystem::path IconsDir, long ProcessId, TPanelImageWriter Writer,
                      std::function<bool(long)> ProcessAlive);
    ~TTrayPictureFiles();
    TTrayPictureFiles(const TTrayPictureFiles&) = delete;
    TTrayPictureFiles& operator=(const TTrayPictureFiles&) = delete;

    // The icon name of Picture, its files written first if they are not yet;
    // empty when they could not be written.
    std::string NameFor(const TPicture16& Picture);

    // Writes the files of pictures that are to come, all at once (a panel
    // that reads the theme folders again only every few seconds then finds
    // them together).
    void Prepare(const std::vector<TPicture16>& Pictures);

    // The theme folder the files go to: IconsDir/hicolor.
    std::filesystem::path ThemeDir() const { return FIconsDir / "hicolor"; }

private:
    // Writes Picture's files unless they are there; its name, or empty.
    std::string Write(const TPicture16& Picture, bool& Wrote);
    bool MakeFolders(const std::filesystem::path& Folder);
    void RemoveStale();
    void MarkThemeChanged();

    std::filesystem::path FIconsDir;
    std::string FPrefix;
    TPanelImageWriter FWriter;
    std::function<bool(long)> FProcessAlive;
    long FProcessId;
    bool FFailed = false;
    bool FSwept = false;
    std::map<decltype(TPicture16::Pixels), std::string> FNames;
    std::vector<std::filesystem::path> FFiles;
    std::vector<std::filesystem::path> FMadeFolders;
    std::filesystem::file_time_type FLastStamp = std::filesystem::file_time_type::min();
};

}  // namespace quorvel
