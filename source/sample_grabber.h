#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

#include "source/grabbed_sample.h"
#include "source/media_type.h"

namespace morvane {

// Called with each sample the grabber passes: kOk passes the sample on, another success code
// (kFalse) drops it, a failure (negative) ends the stream of that branch.
using SampleHandler = int32_t (*)(GrabbedSample& sample, void* context);

// The filter through which decoded media leave a decoding graph: it accepts one media type
// for its input connection and shows every sample to a registered handler, on the graph's
// streaming thread. The accepted type, the handler and its context are guarded by the
// handler lock, which is held during the handler's call.
class SampleGrabber {
public:
    // A copy of the type becomes the accepted one; nullopt accepts any type. A type set later
    // affects the next connection only.
    int32_t acceptOnlyType(const std::optional<MediaType>& type);
    // The input connection's type, or kNotConnected.
    int32_t getConnectionType(MediaType& type) const;
    // A null handler lets samples pass without a call.
    int32_t setSampleHandler(SampleHandler handler, void* context);

    // The upstream side proposes a connection with `offered`: kOk when it is accepted (the
    // grabber is then connected with that type), else kTypeNotAccepted.
    int32_t connect(const MediaType& offered);
    bool isConnected() const;

    // One sample through the grabber, under the handler lock; the handler's result, or kOk
    // without a handler.
    int32_t receive(GrabbedSample& sample);

private:
    mutable std::mutex lock_;
    MediaType accepted_;                   // guarded by lock_
    std::optional<MediaType> connection_;  // guarded by lock_
    SampleHandler handler_ = nullptr;      // guarded by lock_
    void* context_ = nullptr;              // guarded by lock_
};

}  // namespace morvane
