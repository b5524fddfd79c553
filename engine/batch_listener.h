#pragma once

namespace morvane {

// The owner of a batch: the dialog, or the headless driver.
class BatchListener {
public:
    virtual ~BatchListener() = default;
    // The batch has ended by itself (not by a stop). Called on the session thread; the owner
    // answers on its own thread with Stop and finish. Must not wait for the session.
    virtual void batchEnded() = 0;
    // Called on the owner's thread, again and again, while stop() waits for the session to
    // end, so that the owner's own work (window messages) goes on meanwhile.
    virtual void keepResponsive() {}
};

}  // namespace morvane
