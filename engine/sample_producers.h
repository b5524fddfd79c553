#pragma once

#include <cstdint>

#include "engine/media_sample.h"
#include "source/grabbed_sample.h"
#include "source/media_type.h"

namespace morvane {

class ConversionJob;

// The grabbers' sample handlers, on the decoding graph's streaming threads; the context is the
// ConversionJob. Each decoded buffer becomes a MediaSample: video frames go straight into the
// time-sorted mainQueue, raw audio into audioQueue for the re-chunker. The buffer passes to the
// sample as it is (no copy). Always kOk.
int32_t videoSampleCallback(GrabbedSample& sample, void* context);
int32_t audioSampleCallback(GrabbedSample& sample, void* context);

// The audio re-chunker thread: cuts the raw audio, in arrival order, into frames of exactly
// the encoder's frame size, each with its start and stop time, into mainQueue.
int runAudioRechunker(ConversionJob& job);

// The state of the cutting, apart from the thread, so that it can be tested alone.
class AudioRechunker {
public:
    explicit AudioRechunker(int frameBytes);

    // Cuts one raw record into as many whole frames as it completes; a partial frame waits
    // for the next record.
    void cut(ConversionJob& job, const MediaSample& record);
    // Emits the partial frame, padded with silence, at the end of a stream.
    void flushTail(ConversionJob& job);
    int filled() const { return filled_; }

private:
    void emit(ConversionJob& job, int64_t start, int64_t stop);

    const int frameBytes_;
    ByteBuffer frame_;
    int filled_ = 0;
    int64_t frameStart_ = 0;
};

}  // namespace morvane
