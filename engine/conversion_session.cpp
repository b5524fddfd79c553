#include "engine/conversion_session.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "engine/conversion_job.h"
#include "engine/output_folders.h"
#include "engine/progress.h"
#include "engine/sample_producers.h"
#include "files/path_helpers.h"
#include "platform/debug_output.h"
#include "platform/thread_priority.h"
#include "platform/tick_count.h"
#include "settings/setting_keys.h"
#include "source/decoding_graph.h"

namespace morvane {
namespace {

using namespace std::chrono_literals;

// How long the end of a stream may keep the session waiting without the graph moving on.
constexpr auto kCompletionPatience = 60s;

// How much lower the decoding threads run than the encoder thread.
constexpr int kDecodingNiceSteps = 5;

// How often the end of a file looks whether the re-chunker and the encoder have emptied their
// queues: nothing moves on until it sees so.
constexpr auto kDrainPoll = 2ms;

// The largest output side the frame path takes.
constexpr int kMaxOutputSide = FrameBitmap::kMaxSide;

std::string formatted(const char* format, const std::string& text) {
    const int length = std::snprintf(nullptr, 0, format, text.c_str());
    std::string result(static_cast<size_t>(length), '\0');
    std::snprintf(result.data(), result.size() + 1, format, text.c_str());
    return result;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

struct OutputSize {
    int width;
    int height;
};

OutputSize outputSizeOf(const ConversionJob& job) {
    const SettingsStore& settings = job.services.settings;
    const int32_t mode = settings.getNumber(keys::kSizeMode);
    int width = 0;
    int height = 0;
    if (mode == kCustomSizeMode || !isValidSizeMode(mode)) {
        width = settings.getNumber(keys::kWidth);
        height = settings.getNumber(keys::kHeight);
    } else {
        const float scale = kSizeModeTable[static_cast<size_t>(mode)].scale;
        width = static_cast<int>(static_cast<float>(job.frameWidth) * scale);
        height = static_cast<int>(static_cast<float>(job.frameHeight) * scale);
    }
    return {width / 2 * 2, height / 2 * 2};
}

class Session {
public:
    explicit Session(ConversionJob& job) : job_(job), log_(job.services.log) {}

    int run() {
        // The decoding graph's threads start from this one and inherit a lower priority than
        // the encoder thread's: the encoder, the slowest stage, then keeps a core whenever it
        // has work, and decoding fills the rest instead of racing ahead into the flow control
        // (which would leave a core idle while the queue drains).
        lowerThisThreadPriority(kDecodingNiceSteps);
        job_.startFinished.wait();
        if (job_.running) {
            do {
                convertFile();
                folders_.removeEmptyOnWayTo(job_.outputPath);
            } while (takeNextFile());
            folders_.removeEmptyOnWayTo(job_.outputPath);  // made for a file a stop left unbegun
        } else {
            // Stopped before the first file began: its "Converting process... " line still
            // gets its end, and the rest of the list goes as after any stop.
            log_.writeLine("aborted\n");
            ++job_.filesNotDone;
            job_.services.sources.clear();
        }
        endBatch();
        return 0;
    }

private:
    void convertFile() {
        job_.startTick = tickCount();
        job_.progressPosition = 0;
        job_.finalPosition = 0;
        job_.duration = 100;
        job_.audioEnabled = true;
        job_.tailFlushed = true;
        job_.ok = true;

        // A named pipe or a device would hold the graph's open until a writer came, beyond
        // the reach of Stop: refused before anything is created.
        if (IsSpecialFile(job_.sourcePath)) {
            log_.writeLine("failed\nNot a regular file, not a valid source\n\n");
            notDone();
            return;
        }
        if (!job_.outputRoot.empty()) {
            folders_.makeFor(job_.outputRoot, job_.outputPath);
        }
        if (!job_.output.create(job_.outputPath)) {
            log_.writeLine(
                formatted("aborted.\nError creating output file: %s.\n\n", job_.outputPath));
            job_.ok = false;
        }
        if (IsDirectory(job_.sourcePath)) {
            log_.writeLine("failed\nDirectory is not a valid source\n\n");
            notDone();
            return;
        }
        if (!job_.output.isOpen()) {
            notDone();
            return;
        }
        if (sameFile(job_.sourcePath, job_.outputPath)) {
            log_.writeLine("failed\nThe output file would replace the source\n\n");
            notDone();
            return;
        }

        DecodingGraph graph(log_);
        GraphSetup setup;
        setup.sourcePath = job_.sourcePath;
        setup.audio = {job_.profile.sampleRate, job_.profile.channels, job_.profile.bitsPerSample};
        setup.videoHandler = &videoSampleCallback;
        setup.audioHandler = &audioSampleCallback;
        setup.context = &job_;
        setup.framePool = job_.framePool;
        setup.pictureBuffers = job_.pictureBuffers;
        // The end of the stream wakes the run loop as a change of flow does.
        setup.completionEvent = &job_.flowEvent;
        if (graph.build(setup)) {
            job_.audioEnabled = graph.audioEnabled();
            job_.frameWidth = graph.frameWidth();
            job_.frameHeight = graph.frameHeight();
            if (configureEncoder(graph)) {
                job_.setFlowingGraph(&graph);
                runToEnd(graph);
                drain(graph);
            }
        } else {
            job_.ok = false;
        }

        graph.stop();
        job_.setFlowingGraph(nullptr);
        {
            // Every file is finished here, the last one too: the codecs drained, the index,
            // duration and size written into its metadata. A stopped file is not waited for.
            std::lock_guard lock(*job_.encoder);
            if (!job_.running) {
                job_.encoder->abandonVideo();
            }
            job_.encoder->close();
        }
        if (job_.encoder->outputFailed()) {
            log_.writeLine(
                formatted("aborted.\nError writing output file: %s.\n\n", job_.outputPath));
            job_.ok = false;
        }
        if (!job_.output.close()) {
            job_.ok = false;
        }
        graph.teardown();
        decideOutcome();
    }

    bool configureEncoder(DecodingGraph& graph) {
        FlvEncoder& encoder = *job_.encoder;
        encoder.setFrameRate(graph.frameRate());
        const OutputSize size = outputSizeOf(job_);
        if (size.width < 2 || size.height < 2 || size.width > kMaxOutputSide ||
            size.height > kMaxOutputSide) {
            char line[96];
            std::snprintf(line, sizeof line, "aborted.\nREASON: Invalid output size %dx%d\n",
                          size.width, size.height);
            log_.writeLine(line);
            job_.ok = false;
            return false;
        }
        encoder.setWidth(size.width);
        encoder.setHeight(size.height);
        encoder.setSourceHasAudio(job_.audioEnabled);
        if (!encoder.open(job_.output.fd(), job_.output.temporaryPath())) {
            // The encoder cannot be set up at all: the program cannot go on.
            job_.output.discard();
            if (job_.services.fatal) {
                job_.services.fatal(1);
            }
            job_.ok = false;
            job_.running = false;
            return false;
        }
        return true;
    }

    void runToEnd(DecodingGraph& graph) {
        job_.duration = graph.duration();
        graph.run();
        job_.paused = false;
        job_.draining = false;
        const int64_t duration = job_.duration;
        while (job_.running) {
            if (job_.flowEvent.waitFor(500ms)) {
                job_.followFlow();
            }
            job_.graphPosition = graph.currentPosition();
            // A file of unknown duration runs to its end.
            if ((duration > 0 && job_.graphPosition >= duration) || graph.completed()) {
                break;
            }
        }
        if (!job_.running) {
            graph.stop();
        }
        waitForCompletion(graph);
        job_.draining = true;
    }

    // Waits for the end of the stream, while still following flow control (a graph paused
    // for memory would otherwise never end); gives up when the graph stops moving.
    void waitForCompletion(DecodingGraph& graph) {
        int64_t lastPosition = graph.currentPosition();
        auto giveUpAt = std::chrono::steady_clock::now() + kCompletionPatience;
        while (!graph.waitForCompletion(100ms)) {
            if (job_.flowEvent.waitFor(0ms)) {
                job_.followFlow();
            }
            const int64_t position = graph.currentPosition();
            if (position != lastPosition || job_.paused) {
                lastPosition = position;
                giveUpAt = std::chrono::steady_clock::now() + kCompletionPatience;
            } else if (std::chrono::steady_clock::now() > giveUpAt) {
                log_.writeLine("aborted.\nREASON: The source did not come to its end\n");
                job_.ok = false;
                graph.stop();
                return;
            }
        }
    }

    void drain(DecodingGraph& graph) {
        for (;;) {
            job_.audioSemaphore.release(1);
            {
                std::lock_guard lock(job_.audioQueueMutex);
                if (job_.audioQueue.empty() && !job_.rechunking && job_.tailFlushed) {
                    break;
                }
                // A re-chunker that has ended (stopped while it waited for the encoder) takes
                // nothing more: what it would have cut goes.
                if (!job_.rechunkThread.isRunning()) {
                    discardRawAudio();
                    break;
                }
            }
            std::this_thread::sleep_for(kDrainPoll);
        }
        for (;;) {
            job_.mainSemaphore->release(1);
            {
                std::lock_guard lock(job_.mainQueueMutex);
                if (job_.mainQueue.empty()) {
                    break;
                }
            }
            std::this_thread::sleep_for(kDrainPoll);
        }
        job_.finalPosition = graph.currentPosition();
        while (job_.encoderBusy) {
            std::this_thread::sleep_for(1ms);
        }
    }

    // Under audioQueueMutex.
    void discardRawAudio() {
        while (!job_.audioQueue.empty()) {
            job_.releaseSample(*job_.audioQueue.front());
            job_.audioQueue.pop_front();
        }
    }

    void decideOutcome() {
        if (job_.running && job_.ok && job_.finalPosition >= job_.duration) {
            if (job_.output.keep()) {
                log_.writeLine("done\n");
                ++job_.filesDone;
                reportRealBitrate(job_);
                return;
            }
            log_.writeLine(
                formatted("aborted.\nError creating output file: %s.\n\n", job_.outputPath));
            job_.ok = false;
        } else if (!job_.running && job_.ok && job_.graphPosition >= job_.duration) {
            // Stopped once the whole file was read: it is complete, and stays.
            job_.output.keep();
            notDone();
            return;
        }
        if (!job_.running) {
            log_.writeLine("aborted\n");
        }
        log_.writeLine("Deleting output file...");
        deleteOutput();
        notDone();
    }

    void deleteOutput() {
        const auto giveUpAt = std::chrono::steady_clock::now() + 10s;
        while (!job_.output.discard()) {
            if (std::chrono::steady_clock::now() > giveUpAt) {
                log_.writeLine(formatted("failed\nCould not delete output file: %s.\n\n",
                                         job_.output.temporaryPath()));
                return;
            }
            std::this_thread::sleep_for(500ms);
        }
        log_.writeLine("done\n\n");
    }

    void notDone() {
        job_.output.discard();
        ++job_.filesNotDone;
    }

    bool takeNextFile() {
        SourceFileList& sources = job_.services.sources;
        std::optional<SourceEntry> entry;
        while ((entry = sources.takeNext()) && job_.running) {
            if (!entry->notice.empty()) {
                log_.writeLine(entry->notice);
            }
            if (!entry->isNoticeOnly()) {
                break;
            }
        }
        if (!entry) {
            return false;
        }
        if (!job_.running) {
            sources.clear();
            return false;
        }
        job_.sourcePath = std::move(entry->path);
        job_.outputRoot = std::move(entry->outputRoot);
        job_.outputPath = std::move(entry->output);
        if (!job_.outputRoot.empty()) {
            folders_.makeFor(job_.outputRoot, job_.outputPath);
        }
        if (!OutputFile::canCreate(job_.outputPath)) {
            log_.writeLine(
                formatted("failed\nError creating output file: %s...\n\n", job_.outputPath));
        }
        log_.writeLine("Converting initialization: ");
        log_.writeLink(job_.sourcePath);
        log_.writeLine("... done\nConverting process... ");
        return job_.running;
    }

    void endBatch() {
        if (job_.running) {
            job_.endedByItself = true;
            job_.services.listener.batchEnded();
        }
        job_.draining = true;
        job_.quit = true;
        while (job_.rechunkThread.isRunning()) {
            job_.audioSemaphore.release(1);
            job_.rechunkThread.waitForEnd(10ms);
        }
        while (job_.encoderBusy) {
            std::this_thread::sleep_for(1ms);
        }
        while (job_.encoderThread.isRunning()) {
            job_.mainSemaphore->release(1);
            job_.encoderThread.waitForEnd(10ms);
        }
        {
            std::lock_guard lock(*job_.encoder);
            job_.encoder->close();
        }
        debugOutput("Sample grabbing complete.\r\n");
    }

    ConversionJob& job_;
    ConversionLog& log_;
    OutputFolders folders_;
};

}  // namespace

int runConversionSession(ConversionJob& job) {
    return Session(job).run();
}

}  // namespace morvane
