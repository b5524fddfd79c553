#pragma once

namespace morvane {

class ConversionJob;

// The encoder thread: the only consumer of mainQueue. Woken by the session through
// mainSemaphore, it encodes samples in time order, leaving kLookAhead samples queued unless
// the stream is draining or memory is short, and writes what each adds to the output file.
// Ends (exit code 0) when the batch is over and the queue is empty.
int runEncoderThread(ConversionJob& job);

}  // namespace morvane
