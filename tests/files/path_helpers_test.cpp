#include <gtest/gtest.h>

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

}  // namespace
}  // namespace morvane
