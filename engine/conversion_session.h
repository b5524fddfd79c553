#pragma once

namespace morvane {

class ConversionJob;

// The session thread of a batch: converts the job's file, then each further file of the
// source list, until the list is empty or the batch is stopped; then ends the batch, tells
// the owner (when it was not stopped) and lets the encoder thread and the re-chunker end.
// Exit code 0.
int runConversionSession(ConversionJob& job);

}  // namespace morvane
