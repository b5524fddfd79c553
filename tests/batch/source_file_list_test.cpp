#include <gtest/gtest.h>

#include "batch/source_file_list.h"

namespace morvane {
namespace {

TEST(SourceFileList, TakesPathsInOrderAndEmptyWhenUsedUp) {
    SourceFileList list;
    EXPECT_EQ(list.takeFront(), "");
    EXPECT_EQ(list.count(), 0U);

    list.append("/in/a.avi");
    list.append("/in/b.avi");
    EXPECT_EQ(list.count(), 2U);
    EXPECT_EQ(list.takeFront(), "/in/a.avi");
    EXPECT_EQ(list.takeFront(), "/in/b.avi");
    EXPECT_EQ(list.takeFront(), "");

    list.append("1");
    list.append("2");
    list.append("3");
    list.clear();
    EXPECT_EQ(list.count(), 0U);
    EXPECT_EQ(list.takeFront(), "");
}

}  // namespace
}  // namespace morvane
