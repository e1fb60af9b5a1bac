#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/support/TempFolder.h"
#include "tray/Animation.h"
#include "tray/AnimationFrames.h"
#include "tray/ImageList.h"
#include "tray/TrayPictureFiles.h"

namespace fs = std::filesystem;
using quorvel::ImageListPicture;
using quorvel::TPanelImage;
using quorvel::TrayThemeSizes;
using quorvel::TTrayPictureFiles;

namespace {

constexpr long Pid = 4242;

// Records each write and leaves a file holding the picture's side, as long
// as FailAt writes have not been made yet.
struct TRecordingWriter {
    int Writes = 0;
    int FailAt = -1;
    bool Faithful = true;  // every image was the whole-pixel rendering of its folder's side

    quorvel::TPanelImageWriter Writer(const quorvel::TPicture16& Expected) {
        return [this, &Expected](const fs::path& Path, const TPanelImage& Image) {
            if (Writes++ == FailAt) return false;
            const std::string folder = Path.parent_path().parent_path().filename().string();
            for (const auto& size : TrayThemeSizes())
                if (std::string(size.Folder).starts_with(folder + "/"))
                    Faithful = Faithful && Image.Pixels == quorvel::RenderForPanel(Expected, size.Side).Pixels;
            WriteText(Path, std::to_string(Image.Side));
            return true;
        };
    }
};

std::set<std::string> FilesUnder(const fs::path& Folder) {
    std::set<std::string> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(Folder, error), end; !error && it != end; it.increment(error))
        files.insert(fs::relative(it->path(), Folder).string());
    return files;
}

}  // namespace

TEST(TrayPictureFiles, EachPictureIsWrittenOnceAtEverySizeAndRemovedAtTheEnd) {
    TTempFolder home;
    const fs::path icons = home / "icons";
    fs::create_directories(icons / "hicolor/16x16/status");
    WriteText(icons / "hicolor/16x16/status/other-program.png", "theirs");
    const auto before = FilesUnder(home.Path());

    quorvel::TPicture16 current = ImageListPicture(13);
    TRecordingWriter recorder;
    {
        TTrayPictureFiles files(icons, Pid, recorder.Writer(current), [](long) { return true; });
        const int sizes = static_cast<int>(TrayThemeSizes().size());
        struct TStep {
            int Index;
            const char* Name;
            int WritesAfter;
        };
        for (const TStep& step :
             {TStep{13, "quorvel-tray-4242-0", sizes}, TStep{13, "quorvel-tray-4242-0", sizes},
              TStep{8, "quorvel-tray-4242-1", 2 * sizes}, TStep{13, "quorvel-tray-4242-0", 2 * sizes},
              TStep{8, "quorvel-tray-4242-1", 2 * sizes}}) {
            current = ImageListPicture(step.Index);
            EXPECT_EQ(files.NameFor(current), step.Name);
            EXPECT_EQ(recorder.Writes, step.WritesAfter) << step.Index;
        }
        for (const auto& size : TrayThemeSizes()) {
            const fs::path folder = icons / "hicolor" / size.Folder;
            EXPECT_EQ(ReadText(folder / "quorvel-tray-4242-0.png"), std::to_string(size.Side));
            EXPECT_EQ(ReadText(folder / "quorvel-tray-4242-1.png"), std::to_string(size.Side));
        }
        // Pictures to come are written in one go; known ones are not written again.
        current = ImageListPicture(9);
        files.Prepare({ImageListPicture(9), ImageListPicture(9)});
        EXPECT_EQ(recorder.Writes, 3 * sizes);
        EXPECT_EQ(files.NameFor(ImageListPicture(9)), "quorvel-tray-4242-2");
        EXPECT_EQ(recorder.Writes, 3 * sizes);
    }
    EXPECT_TRUE(recorder.Faithful);
    EXPECT_EQ(FilesUnder(home.Path()), before);
}

TEST(TrayPictureFiles, AFailedWriteLeavesNothingAndIsNotTriedAgain) {
    for (int failAt : {0, 3, 6}) {  // the first, a middle and the last size
        TTempFolder home;
        TRecordingWriter recorder;
        recorder.FailAt = failAt;
        const quorvel::TPicture16& picture = ImageListPicture(8);
        TTrayPictureFiles files(home / "icons", Pid, recorder.Writer(picture), [](long) { return true; });
        EXPECT_EQ(files.NameFor(picture), "") << failAt;
        EXPECT_EQ(files.NameFor(ImageListPicture(9)), "") << failAt;
        EXPECT_EQ(recorder.Writes, failAt + 1);
        for (const std::string& file : FilesUnder(home.Path())) EXPECT_EQ(file.find(".png"), std::string::npos) << file;
    }
    // An icon folder that cannot be made (a file in its place).
    TTempFolder home;
    WriteText(home / "icons", "not a folder");
    TRecordingWriter recorder;
    TTrayPictureFiles files(home / "icons", Pid, recorder.Writer(ImageListPicture(8)), [](long) { return true; });
    EXPECT_EQ(files.NameFor(ImageListPicture(8)), "");
    EXPECT_EQ(recorder.Writes, 0);
}

TEST(TrayPictureFiles, FilesOfEndedRunsGoAtTheFirstWriteOthersStay) {
    TTempFolder home;
    const fs::path folder = home / "icons/hicolor/22x22/status";
    fs::create_directories(folder);
    struct TFile {
        const char* Name;
        bool Stays;
    };
    const TFile table[] = {
        {"quorvel-tray-17-0.png", false},  {"quorvel-tray-17-12.png", false},   {"quorvel-tray-18-0.png", true},
        {"quorvel-tray-4242-9.png", true}, {"quorvel-tray-17-0.png.tmp", true}, {"quorvel-tray-17.png", true},
        {"quorvel-tray-x-0.png", true},    {"quorvel-tray-17-0x.png", true},    {"other-17-0.png", true}};
    for (const TFile& file : table) WriteText(folder / file.Name, "x");
    TRecordingWriter recorder;
    std::set<long> asked;
    TTrayPictureFiles files(home / "icons", Pid, recorder.Writer(ImageListPicture(8)), [&](long Pid) {
        asked.insert(Pid);
        return Pid == 18;
    });
    EXPECT_EQ(files.NameFor(ImageListPicture(8)), "quorvel-tray-4242-0");
    for (const TFile& file : table) EXPECT_EQ(fs::exists(folder / file.Name), file.Stays) << file.Name;
    EXPECT_EQ(asked, (std::set<long>{17, 18}));
}

// GTK panels read the theme folders again only when the theme folder's time,
// in whole seconds, changes: each batch of new files gives it a new one.
TEST(TrayPictureFiles, EveryNewPictureGivesTheThemeFolderANewTime) {
    TTempFolder home;
    TRecordingWriter recorder;
    const quorvel::TPicture16 unused;
    TTrayPictureFiles files(home / "icons", Pid, recorder.Writer(unused), [](long) { return true; });
    std::vector<fs::file_time_type> times;
    auto seconds = [&] {
        return std::chrono::duration_cast<std::chrono::seconds>(
            fs::last_write_time(files.ThemeDir()).time_since_epoch());
    };
    std::set<std::chrono::seconds> seen;
    for (int index : {8, 9, 10, 11}) {
        files.NameFor(ImageListPicture(index));
        EXPECT_TRUE(seen.insert(seconds()).second) << index;
    }
    const auto last = seconds();
    files.NameFor(ImageListPicture(9));
    files.Prepare({ImageListPicture(8), ImageListPicture(11)});
    EXPECT_EQ(seconds(), last);
    const auto now =
        std::chrono::duration_cast<std::chrono::seconds>(fs::file_time_type::clock::now().time_since_epoch());
    EXPECT_LE(last - now, std::chrono::seconds(5)) << "never far ahead of the clock";
}

TEST(AnimationFrames, HoldEveryFrameTheAnimationShowsOnce) {
    const std::vector<quorvel::TPicture16> frames = quorvel::AnimationFrames();
    for (std::size_t i = 0; i < frames.size(); ++i)
        for (std::size_t j = i + 1; j < frames.size(); ++j) EXPECT_NE(frames[i], frames[j]) << i << " " << j;
    for (std::int32_t level = 0; level <= 4; ++level) {
        quorvel::TAnimationPlanes planes;
        std::int32_t frame = 0;
        for (int tick = 0; tick < 2 * quorvel::AnimationFrameCount; ++tick) {
            const quorvel::TPicture16 shown = quorvel::AnimationTick(planes, frame, level).Image;
            EXPECT_NE(std::find(frames.begin(), frames.end(), shown), frames.end()) << level << " " << tick;
        }
    }
}
