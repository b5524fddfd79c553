#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/auto_reset_event.h"
#include "platform/byte_buffer.h"
#include "platform/counting_semaphore.h"
#include "platform/thread.h"
#include "platform/tick_count.h"
#include "platform/xdg_folders.h"
#include "tests/support/wait.h"

namespace morvane {
namespace {

using std::chrono::milliseconds;

TEST(CountingSemaphore, ReleasePastTheMaximumFailsWithoutEffectAndAWaitTimesOut) {
    CountingSemaphore semaphore(0, 10000);
    // Each release, whether it is taken, and the count after it.
    const std::tuple<int32_t, bool, int32_t> steps[] = {{9990, true, 9990}, {11, false, 9990},
                                                        {10, true, 10000},  {1, false, 10000},
                                                        {0, false, 10000},  {-3, false, 10000}};
    for (const auto& [release, taken, count] : steps) {
        EXPECT_EQ(semaphore.release(release), taken) << release;
        EXPECT_EQ(semaphore.count(), count) << "after " << release;
    }

    // A full count still lets the waiter take one at a time.
    EXPECT_TRUE(semaphore.tryAcquireFor(milliseconds(0)));
    EXPECT_EQ(semaphore.count(), 9999);

    // A wait on an empty count times out.
    CountingSemaphore empty(0, 10);
    EXPECT_FALSE(empty.tryAcquireFor(milliseconds(20)));
}

// A signal is taken by one wait only. A thread reports itself still active until its body
// returns, and a wait for its end ends with the body, without a join. Waits on an event and on
// a semaphore are woken from another thread.
TEST(Thread, ReportsStillActiveUntilItsBodyReturnsAndAnEventWakesOneWait) {
    AutoResetEvent event;
    EXPECT_FALSE(event.waitFor(milliseconds(10)));
    event.set();
    event.set();  // already set: no second signal
    EXPECT_TRUE(event.waitFor(milliseconds(0)));
    EXPECT_FALSE(event.waitFor(milliseconds(10)));

    AutoResetEvent reply;
    CountingSemaphore semaphore(0, 10);
    Thread thread([&] {
        event.wait();
        reply.set();
        semaphore.acquire();
        semaphore.acquire();
        return 7;
    });
    EXPECT_TRUE(thread.isRunning());
    EXPECT_EQ(thread.exitCode(), Thread::kStillActive);
    EXPECT_FALSE(reply.waitFor(milliseconds(10))) << "the thread did not wait for the signal";
    event.set();
    EXPECT_TRUE(reply.waitFor(milliseconds(60000))) << "the signal did not come within 60 s";
    EXPECT_FALSE(thread.waitForEnd(milliseconds(10))) << "the semaphore did not hold the thread";
    EXPECT_TRUE(semaphore.release(2));
    if (!thread.waitForEnd(milliseconds(60000))) {
        test::failAndEnd("the body did not end within 60 s of the release");
    }
    EXPECT_FALSE(thread.isRunning());
    EXPECT_EQ(thread.exitCode(), 7);
    EXPECT_EQ(semaphore.count(), 0);
    thread.join();

    Thread neverStarted;
    EXPECT_FALSE(neverStarted.isRunning());
    EXPECT_TRUE(neverStarted.waitForEnd(milliseconds(0)));
    neverStarted.join();
}

TEST(TickCount, DifferencesSurviveTheWrap) {
    EXPECT_EQ(ticksBetween(0xFFFFFF00U, 0x00000100U), 0x200U);
    EXPECT_EQ(ticksBetween(0U, 0xFFFFFFFFU), 0xFFFFFFFFU);

    const uint32_t before = tickCount();
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_GE(ticksBetween(before, tickCount()), 25U);
}

TEST(XdgFolders, TakeAbsoluteFoldersOnlyAndFallBackToTheDefaults) {
    using Folders = std::vector<std::filesystem::path>;
    const Folders defaults = {"/usr/local/share", "/usr/share"};
    EXPECT_EQ(systemDataFolders(nullptr), defaults);
    EXPECT_EQ(systemDataFolders(""), defaults);
    EXPECT_EQ(systemDataFolders("relative:also/relative"), defaults);
    EXPECT_EQ(systemDataFolders("rel::/opt/share:/srv/"), (Folders{"/opt/share", "/srv/"}));

    EXPECT_EQ(userDataFolder("data", "/home/ann"), "/home/ann/.local/share");
    EXPECT_EQ(userDataFolder(nullptr, ""), "");
}

TEST(BufferPool, RecyclesReleasedBuffersOnlyAndOutlivesNone) {
    auto pool = BufferPool::create(4000);
    ByteBuffer held = pool->take(1000);
    const uint8_t* released = pool->take(1000).get();  // and released at once
    // Had the pool freed the buffer instead of keeping it, this would take its memory.
    const OwnedBytes unpooled = allocateBytes(1000);
    ByteBuffer again = pool->take(1000);
    EXPECT_EQ(again.get(), released) << "the released buffer was not recycled";
    // Nothing released is left: the next buffer is none of those in use.
    ByteBuffer fresh = pool->take(1000);
    EXPECT_NE(fresh.get(), again.get());
    EXPECT_NE(fresh.get(), held.get());

    // A buffer released after its pool has gone is simply freed.
    pool.reset();
    again.reset();
}

}  // namespace
}  // namespace morvane
