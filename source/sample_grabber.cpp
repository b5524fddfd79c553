#include "source/sample_grabber.h"

namespace morvane {

int32_t SampleGrabber::acceptOnlyType(const std::optional<MediaType>& type) {
    std::lock_guard lock(lock_);
    accepted_ = type.value_or(MediaType{});
    return kOk;
}

int32_t SampleGrabber::getConnectionType(MediaType& type) const {
    std::lock_guard lock(lock_);
    if (!connection_) {
        return kNotConnected;
    }
    type = *connection_;
    return kOk;
}

int32_t SampleGrabber::setSampleHandler(SampleHandler handler, void* context) {
    std::lock_guard lock(lock_);
    handler_ = handler;
    context_ = context;
    return kOk;
}

int32_t SampleGrabber::connect(const MediaType& offered) {
    std::lock_guard lock(lock_);
    if (!acceptsMediaType(accepted_, offered)) {
        return kTypeNotAccepted;
    }
    connection_ = offered;
    return kOk;
}

bool SampleGrabber::isConnected() const {
    std::lock_guard lock(lock_);
    return connection_.has_value();
}

int32_t SampleGrabber::receive(GrabbedSample& sample) {
    std::lock_guard lock(lock_);
    return handler_ != nullptr ? handler_(sample, context_) : kOk;
}

}  // namespace morvane
