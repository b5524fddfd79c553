#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/auto_reset_event.h"
#include "platform/byte_buffer.h"
#include "platform/counting_semaphore.h"
#include "platform/thread.h"
#include "platform/tick_count.h"

namespace morvane {
namespace {

using std::chrono::milliseconds;

TEST(CountingSemaphore, ReleasePastTheMaximumFailsWithoutEffect) {
    CountingSemaphore semaphore(0, 10000);
    EXPECT_TRUE(semaphore.release(9990));
    EXPECT_FALSE(semaphore.release(11));
    EXPECT_EQ(semaphore.count(), 9990);
    EXPECT_TRUE(semaphore.release(10));
    EXPECT_FALSE(semaphore.release(1));
    EXPECT_EQ(semaphore.count(), 10000);
    EXPECT_FALSE(semaphore.release(0));
    EXPECT_FALSE(semaphore.release(-3));
    EXPECT_EQ(semaphore.count(), 10000);

    // A full count still lets the waiter take one at a time.
    EXPECT_TRUE(semaphore.tryAcquireFor(milliseconds(0)));
    EXPECT_EQ(semaphore.count(), 9999);
}

TEST(CountingSemaphore, WakesAWaiterOnAnotherThreadAndTimesOut) {
    CountingSemaphore semaphore(0, 10);
    EXPECT_FALSE(semaphore.tryAcquireFor(milliseconds(20)));

    std::atomic<int> taken{0};
    Thread waiter([&] {
        semaphore.acquire();
        semaphore.acquire();
        taken = 2;
        return 0;
    });
    EXPECT_TRUE(semaphore.release(2));
    waiter.join();
    EXPECT_EQ(taken, 2);
    EXPECT_EQ(semaphore.count(), 0);
}

TEST(AutoResetEvent, ASignalIsTakenByOneWaitOnly) {
    AutoResetEvent event;
    EXPECT_FALSE(event.waitFor(milliseconds(10)));
    event.set();
    event.set();  // already set: no second signal
    EXPECT_TRUE(event.waitFor(milliseconds(0)));
    EXPECT_FALSE(event.waitFor(milliseconds(10)));

    Thread setter([&] {
        event.set();
        return 0;
    });
    EXPECT_TRUE(event.waitFor(milliseconds(5000)));
}

TEST(Thread, ReportsStillActiveUntilItsBodyReturns) {
    AutoResetEvent release;
    Thread thread([&] {
        release.wait();
        return 7;
    });
    EXPECT_TRUE(thread.isRunning());
    EXPECT_EQ(thread.exitCode(), Thread::kStillActive);
    EXPECT_FALSE(thread.waitForEnd(milliseconds(10)));

    release.set();
    // The wait ends with the body, well before its timeout, and without a join.
    EXPECT_TRUE(thread.waitForEnd(milliseconds(5000)));
    EXPECT_FALSE(thread.isRunning());
    EXPECT_EQ(thread.exitCode(), 7);
    thread.join();

    Thread neverStarted;
    EXPECT_FALSE(neverStarted.isRunning());
    EXPECT_TRUE(neverStarted.waitForEnd(milliseconds(0)));
    neverStarted.join();
}

TEST(TickCount, DifferencesSurviveTheWrap) {
    EXPECT_EQ(ticksBetween(0xFFFFFF00U, 0x00000100U), 0x200U);
    EXPECT_EQ(ticksBetween(0U, 0xFFFFFFFFU), 0xFFFFFFFFU);
    EXPECT_EQ(ticksBetween(1000U, 61000U), 60000U);

    const uint32_t before = tickCount();
    Thread sleeper([] {
        std::this_thread::sleep_for(milliseconds(30));
        return 0;
    });
    sleeper.join();
    EXPECT_GE(ticksBetween(before, tickCount()), 25U);
}

TEST(BufferPool, RecyclesBuffersAndOutlivesNone) {
    auto pool = BufferPool::create(1500);
    uint8_t* first = nullptr;
    {
        ByteBuffer buffer = pool->take(1000);
        first = buffer.get();
    }
    ByteBuffer again = pool->take(1000);
    EXPECT_EQ(again.get(), first);
    ByteBuffer other = pool->take(500);  // another size: a new buffer
    EXPECT_NE(other.get(), first);

    // A buffer released after its pool has gone is simply freed.
    pool.reset();
    again.reset();
    other.reset();
}

}  // namespace
}  // namespace morvane
