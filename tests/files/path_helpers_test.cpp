#include <gtest/gtest.h>

#include <algorithm>

#include "files/folder_walk.h"
#include "files/output_paths.h"
#include "files/path_helpers.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

TEST(PathHelpers, SplitNamesAtTheLastSeparatorAndDot) {
    EXPECT_EQ(BaseNameOf("/clips/Holiday.2006.AVI"), "Holiday.2006");
    EXPECT_EQ(BaseNameOf("Movie"), "Movie");
    EXPECT_EQ(BaseNameOf(""), "");

    EXPECT_EQ(ExtensionOf("/clips/Holiday.2006.AVI"), "avi");
    EXPECT_EQ(ExtensionOf("/my.dir/File"), "dir/file");
    EXPECT_EQ(ExtensionOf("/NoDot"), "/nodot");
    EXPECT_EQ(ExtensionOf("/in/Ünï.MKV"), "mkv");
    EXPECT_EQ(ExtensionOf(""), "");
}

TEST(PathHelpers, AskTheFileSystemWhatIsAFolder) {
    test::TempDir dir;
    const std::string folder = dir.path().string();
    const std::string file = (dir / "b.avi").string();
    test::writeFile(file, "x");

    EXPECT_TRUE(IsDirectory(folder));
    EXPECT_FALSE(IsDirectory(file));
    EXPECT_TRUE(IsDirectory(folder + "/vanished.avi"));
    EXPECT_TRUE(IsDirectory(""));

    EXPECT_EQ(DirectoryOf(file), folder);
    EXPECT_EQ(DirectoryOf(folder), folder);
    EXPECT_EQ(DirectoryOf(folder + "/vanished.avi"), folder + "/vanished.avi");
}

TEST(OutputPaths, FollowTheModeOfTheBatch) {
    EXPECT_EQ(fileModeOutputPath("/", "Holiday.flv"), "//Holiday.flv");

    EXPECT_EQ(directoryBatchOutputPath("/out", "/clips/Holiday.AVI"), "/out/Holiday.avi.flv");
    // Without a dot in the file name there is no extension to keep.
    EXPECT_EQ(directoryBatchOutputPath("/out", "/my.dir/README"), "/out/README.flv");
    EXPECT_EQ(directoryBatchOutputPath("/out", "/in/.hidden"), "/out/.hidden.flv");

    EXPECT_EQ(furtherFileOutputPath(0, "/out", "/in/b.avi"), "/out/b.flv");
    EXPECT_EQ(furtherFileOutputPath(1, "/out", "/in/b.avi"), "/out/b.avi.flv");
    EXPECT_EQ(furtherFileOutputPath(7, "/out", "/in/b.avi"), "/out/b");
}

// A folder's walk takes its files but no output being written beside them, which the walk may
// meet when the destination is the source folder itself.
TEST(FolderWalk, LeavesOutOutputsBeingWritten) {
    test::TempDir dir;
    for (const char* name : {"a.avi", ".a.avi.flv.0123456789ab.part", ".notes.part",
                             "b.0123456789ab.part", ".c.flv.0123456789AB.part"}) {
        test::writeFile(dir / name, "");
    }
    std::vector<std::string> found;
    FolderWalk walk(dir.path().string(), false);
    while (const std::optional<FolderWalk::Found> file = walk.next()) {
        found.push_back(std::filesystem::path(file->path).filename().string());
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{".c.flv.0123456789AB.part", ".notes.part", "a.avi",
                                               "b.0123456789ab.part"}));
}

}  // namespace
}  // namespace morvane
