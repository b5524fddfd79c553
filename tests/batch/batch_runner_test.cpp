#include "batch/batch_runner.h"

#include <gtest/gtest.h>

#include "settings/setting_keys.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/source_tree.h"

namespace morvane {
namespace {

// A folder batch started as the dialog's Convert! starts it converts the folder's own files
// only, or with "Include Subfolders" every sub-folder's too, each output in the same
// sub-folder under the destination: none made for a sub-folder with nothing converted, no
// link to a folder followed, the destination inside the source not walked, a sub-folder that
// cannot be read logged and passed by.
TEST(BatchRunner, AFolderBatchMirrorsItsSubFoldersWhenAsked) {
    for (const bool subFolders : {false, true}) {
        SCOPED_TRACE(subFolders ? "with sub-folders" : "without");
        test::EngineHarness engine;
        const test::SourceTree tree(engine.dir().path());
        const test::WithoutReadOverride asAUser;
        engine.convertFolder(tree.root);
        engine.settings().setText(keys::kDestinationPath, tree.destination.string());
        engine.settings().setNumber(keys::kIncludeSubfolders, subFolders ? 1 : 0);
        ASSERT_TRUE(engine.convertWithoutFinishing());
        const size_t files = subFolders ? 4 : 1;
        EXPECT_EQ(engine.runner().walk().fileCount(), files);
        EXPECT_EQ(engine.runner().currentJob()->filesDone, static_cast<int>(files));
        engine.runner().stopAndFinish();

        const std::vector<std::string> expected =
            subFolders ? test::SourceTree::expectedOutputs(".mkv.flv")
                       : std::vector<std::string>{"a.mkv.flv", "g.mkv"};
        EXPECT_EQ(test::treeOf(tree.destination), expected);
        const std::string unreadable =
            "Could not read the folder " + tree.locked.string() + ", its files are skipped.";
        EXPECT_EQ(engine.logText().find(unreadable) != std::string::npos, subFolders);
    }
}

}  // namespace
}  // namespace morvane
