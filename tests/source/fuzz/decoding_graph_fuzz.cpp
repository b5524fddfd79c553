// libFuzzer target: builds and runs a decoding graph over the fuzzed bytes as a source file.
// Any crash, sanitizer report, leak or hang is a finding.
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "log/conversion_log.h"
#include "source/decoding_graph.h"

namespace {

// Reads every byte of each sample, so that a sample reaching past its buffer is found.
int32_t touch(morvane::GrabbedSample& sample, void* context) {
    auto* sum = static_cast<uint32_t*>(context);
    for (size_t i = 0; i < sample.size(); ++i) {
        *sum += sample.data()[i];
    }
    return morvane::kOk;
}

const std::string& inputPath() {
    static const std::string path = "/tmp/morvane-fuzz-" + std::to_string(::getpid()) + ".bin";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(inputPath().c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    morvane::ConversionLog log;  // no file, no window
    uint32_t sum = 0;
    morvane::DecodingGraph graph(log);
    morvane::GraphSetup setup;
    setup.sourcePath = inputPath();
    setup.audio = {44100, 2, 16};
    setup.videoHandler = &touch;
    setup.audioHandler = &touch;
    setup.context = &sum;
    if (graph.build(setup)) {
        graph.run();
        graph.waitForCompletion(std::chrono::seconds(20));
    }
    return 0;
}
