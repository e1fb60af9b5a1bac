#include "tray/TrayPictureFiles.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <system_error>

namespace quorvel {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view FilePrefix = "quorvel-tray-";
constexpr std::string_view FileSuffix = ".png";

// The process id in a file name "quorvel-tray-<pid>-<n>.png", or -1.
long ProcessOfFile(std::string_view Name) {
    if (!Name.starts_with(FilePrefix) || !Name.ends_with(FileSuffix)) return -1;
    Name.remove_prefix(FilePrefix.size());
    Name.remove_suffix(FileSuffix.size());
    long pid = -1;
    const auto [end, error] = std::from_chars(Name.data(), Name.data() + Name.size(), pid);
    if (error != std::errc() || end == Name.data() + Name.size() || *end != '-') return -1;
    const std::string_view number = Name.substr(static_cast<std::size_t>(end - Name.data()) + 1);
    if (number.empty() || !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return pid;
}

}  // namespace

// No 24x24: the hicolor folders match a size within 2 pixels, and Qt's
// lookup takes the 24 pixel picture for 22 and shrinks it. 24 and 26 pixel
// panels get the 22 pixel picture as it is, which is the same drawing.
const std::vector<TThemeSize>& TrayThemeSizes() {
    static const std::vector<TThemeSize> sizes{{"16x16/status", 16},  {"22x22/status", 22}, {"32x32/status", 32},
                                               {"36x36/status", 36},  {"48x48/status", 48}, {"64x64/status", 64},
                                               {"22x22@2/status", 44}};
    return sizes;
}

TTrayPictureFiles::TTrayPictureFiles(fs::path IconsDir, long ProcessId, TPanelImageWriter Writer,
                                     std::function<bool(long)> ProcessAlive)
    : FIconsDir(std::move(IconsDir)),
      FPrefix(std::string(FilePrefix) + std::to_string(ProcessId) + "-"),
      FWriter(std::move(Writer)),
      FProcessAlive(std::move(ProcessAlive)),
      FProcessId(ProcessId) {}

TTrayPictureFiles::~TTrayPictureFiles() {
    std::error_code error;
    for (const fs::path& file : FFiles) fs::remove(file, error);
    // Only folders this object made, and only when nothing else went in.
    for (auto it = FMadeFolders.rbegin(); it != FMadeFolders.rend(); ++it) fs::remove(*it, error);
}

std::string TTrayPictureFiles::NameFor(const TPicture16& Picture) {
    bool wrote = false;
    std::string name = Write(Picture, wrote);
    if (wrote) MarkThemeChanged();
    return name;
}

void TTrayPictureFiles::Prepare(const std::vector<TPicture16>& Pictures) {
    bool wrote = false;
    for (const TPicture16& picture : Pictures) Write(picture, wrote);
    if (wrote) MarkThemeChanged();
}

std::string TTrayPictureFiles::Write(const TPicture16& Picture, bool& Wrote) {
    if (const auto known = FNames.find(Picture.Pixels); known != FNames.end()) return known->second;
    if (FFailed) return {};
    if (!FSwept) RemoveStale();

    const std::string name = FPrefix + std::to_string(FNames.size());
    std::vector<fs::path> written;
    for (const TThemeSize& size : TrayThemeSizes()) {
        const fs::path folder = ThemeDir() / size.Folder;
        const fs::path file = folder / (name + std::string(FileSuffix));
        if (!MakeFolders(folder) || !FWriter(file, RenderForPanel(Picture, size.Side))) break;
        written.push_back(file);
    }
    if (written.size() != TrayThemeSizes().size()) {
        std::error_code error;
        for (const fs::path& file : written) fs::remove(file, error);
        FFailed = true;
        return {};
    }
    FFiles.insert(FFiles.end(), written.begin(), written.end());
    FNames.emplace(Picture.Pixels, name);
    Wrote = true;
    return name;
}

bool TTrayPictureFiles::MakeFolders(const fs::path& Folder) {
    std::error_code error;
    if (fs::is_directory(Folder, error)) return true;
    fs::path path;
    for (const fs::path& part : Folder) {
        path /= part;
        if (fs::is_directory(path, error)) continue;
        if (!fs::create_directory(path, error)) return false;
        FMadeFolders.push_back(path);
    }
    return true;
}

// A run that was killed left its files behind; they go once its process is
// gone. Files of a run still going are left alone.
void TTrayPictureFiles::RemoveStale() {
    FSwept = true;
    std::error_code error;
    for (const TThemeSize& size : TrayThemeSizes()) {
        const fs::path folder = ThemeDir() / size.Folder;
        std::vector<fs::path> stale;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
            const long pid = ProcessOfFile(it->path().filename().string());
            if (pid >= 0 && pid != FProcessId && !FProcessAlive(pid)) stale.push_back(it->path());
        }
        error.clear();
        for (const fs::path& file : stale) fs::remove(file, error);
    }
}

// GTK-based panels keep the theme folders they have read and read them again
// only when the theme folder's modification time (in whole seconds) differs
// from what they saw. Each change therefore gets a time of its own, a second
// past the one before when they come faster than that.
void TTrayPictureFiles::MarkThemeChanged() {
    const auto now = std::chrono::time_point_cast<std::chrono::seconds>(fs::file_time_type::clock::now());
    const fs::file_time_type stamp = std::max<fs::file_time_type>(now, FLastStamp + std::chrono::seconds(1));
    std::error_code error;
    fs::last_write_time(ThemeDir(), stamp, error);
    if (!error) FLastStamp = stamp;
}

}  // namespace quorvel
