#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "engine/conversion_job.h"
#include "engine/progress.h"
#include "engine/sample_producers.h"
#include "tests/engine/engine_harness.h"

namespace morvane {
namespace {

using namespace std::chrono_literals;

SamplePtr sampleAt(int64_t time, int32_t size = 0) {
    auto sample = std::make_unique<MediaSample>();
    sample->startTime = time;
    sample->sortTime = time;
    sample->stopTime = time;
    sample->size = size;
    return sample;
}

class JobTest : public ::testing::Test {
protected:
    test::EngineHarness harness_;
    ConversionJob job_{harness_.services(), "/in/a.avi", "/out/a.flv"};
};

TEST_F(JobTest, PausesAboveTheHighMarkAndResumesBelowTheLowOne) {
    constexpr int64_t kHigh = ConversionJob::kPauseAbove;
    constexpr int64_t kLow = ConversionJob::kResumeBelow;
    MediaSample quarter;
    quarter.size = static_cast<int32_t>(kHigh / 4);
    for (int i = 0; i < 3; ++i) {
        job_.addSample(quarter);
    }
    MediaSample toTheMark;
    toTheMark.size = static_cast<int32_t>(kHigh - 3 * quarter.size - 16);
    job_.addSample(toTheMark);  // exactly the mark: not above it
    EXPECT_FALSE(job_.paused);
    job_.addSample(MediaSample{});
    EXPECT_TRUE(job_.paused);
    EXPECT_TRUE(job_.flowEvent.waitFor(0ms));
    job_.addSample(quarter);
    EXPECT_FALSE(job_.flowEvent.waitFor(0ms));  // set once only

    MediaSample toTheLowMark;
    toTheLowMark.size = static_cast<int32_t>(kHigh + 4 + quarter.size + 4 - kLow - 4);
    job_.releaseSample(toTheLowMark);
    EXPECT_EQ(job_.queuedBytes, kLow);
    EXPECT_TRUE(job_.paused);
    MediaSample oneByte;
    oneByte.size = 1;
    MediaSample empty;
    job_.addSample(empty);
    EXPECT_EQ(job_.queuedBytes, kLow + 4);  // an empty sample counts 4
    job_.releaseSample(empty);
    job_.releaseSample(oneByte);
    EXPECT_FALSE(job_.paused);
    EXPECT_TRUE(job_.flowEvent.waitFor(0ms));
}

TEST_F(JobTest, KeepsTheMainQueueInTimeOrder) {
    for (const int64_t time : {5, 3, 7, 3, -1}) {
        SamplePtr sample = sampleAt(time);
        sample->size = static_cast<int32_t>(job_.mainQueue.size());  // arrival order
        job_.enqueueSorted(std::move(sample));
    }
    std::vector<std::pair<int64_t, int32_t>> order;
    for (const SamplePtr& sample : job_.mainQueue) {
        order.emplace_back(sample->sortTime, sample->size);
    }
    const std::vector<std::pair<int64_t, int32_t>> expected{
        {-1, 4}, {3, 1}, {3, 3}, {5, 0}, {7, 2}};
    EXPECT_EQ(order, expected);
}

TEST_F(JobTest, CutsAudioIntoEncoderFramesWithTheirTimes) {
    AudioRechunker rechunker(4608);
    // Two records of a second, of bytes 1 and 2.
    for (const int64_t start : {0, 1000000}) {
        SamplePtr record = sampleAt(start, 17640);
        record->stopTime = start + 1000000;
        record->data = allocateBuffer(17640);
        std::memset(record->data.get(), start == 0 ? 1 : 2, 17640);
        rechunker.cut(job_, *record);
    }

    std::vector<std::pair<int64_t, int64_t>> times;
    for (const SamplePtr& frame : job_.mainQueue) {
        EXPECT_EQ(frame->size, 4608);
        EXPECT_FALSE(frame->isVideo);
        times.emplace_back(frame->startTime, frame->stopTime);
    }
    ASSERT_GE(times.size(), 4U);
    times.resize(4);
    // Each frame ends where its last byte plays within its record, also the one that began
    // in the record before.
    EXPECT_EQ(times, (std::vector<std::pair<int64_t, int64_t>>{
                         {0, 261224}, {261224, 522448}, {522448, 783673}, {783673, 1044897}}));
    const MediaSample& straddling = **std::next(job_.mainQueue.begin(), 3);
    EXPECT_EQ(straddling.data[3815], 1);  // 3,816 bytes left from the first record
    EXPECT_EQ(straddling.data[3816], 2);

    // The end of the stream: what is left goes out padded with silence, at one instant.
    const int64_t tailStart = job_.mainQueue.back()->stopTime;
    job_.tailFlushed = false;
    rechunker.flushTail(job_);
    const MediaSample& tail = *job_.mainQueue.back();
    EXPECT_EQ(tail.startTime, tailStart);
    EXPECT_EQ(tail.stopTime, tailStart);
    EXPECT_EQ(tail.data[4607], 0);
    EXPECT_TRUE(job_.tailFlushed);
    EXPECT_EQ(rechunker.filled(), 0);
}

TEST_F(JobTest, ReportsProgressTimeLeftAndBitRate) {
    struct Case {
        uint32_t startTick;
        int64_t graphPosition, duration, position;
        uint32_t now;
        int percent;
        const char* left;
    };
    constexpr uint32_t kWrap = 0xFFFFFF00U;  // the tick count wraps during the batch
    const Case cases[] = {
        {kWrap, 1, 20000000, 10000000, kWrap + 60000, 50, "00:01:00"},
        {kWrap, 0, 20000000, 10000000, kWrap + 60000, 50, "00:00:00"},  // nothing decoded yet
        {kWrap, 1, 20000000, 0, kWrap + 60000, 0, "00:00:00"},          // nothing encoded yet
        {kWrap, 1, 0, 0, kWrap + 60000, 0, "00:00:00"},  // no duration, nothing encoded
        {kWrap, 1, 20000000, 30000000, kWrap + 60000, 100, "00:00:00"},  // never past the end
        {0, 1, 3725999 + 1000, 1000, 1000, 0, "01:02:05"},               // 3,725,999 ms left
    };
    for (const Case& c : cases) {
        job_.startTick = c.startTick;
        job_.graphPosition = c.graphPosition;
        job_.duration = c.duration;
        job_.progressPosition = c.position;
        EXPECT_EQ(progressPercent(job_), c.percent) << c.position << " of " << c.duration;
        EXPECT_EQ(timeLeftText(job_, c.now), c.left) << c.position << " of " << c.duration;
    }

    EXPECT_DOUBLE_EQ(realBitrate(1000000, 100000000), 781.25);
    EXPECT_DOUBLE_EQ(realBitrate(1000000, 0), 7812.5);       // counts as one second
    EXPECT_DOUBLE_EQ(realBitrate(100000, 5000000), 1562.5);  // half a second
}

}  // namespace
}  // namespace morvane
