#pragma once

#include <functional>

namespace quillon {

// The one seam for calls that block: driver library calls and the waits of the power and
// plug sequences. Tests and the command line run the call inline. The window runs it on a
// worker thread while the UI thread keeps repainting (and registers a Stop press) without
// letting any other handler of ours start. The call itself must touch nothing but the data
// it was given: no panel, log or settings store.
class BlockingCallRunner {
public:
    virtual ~BlockingCallRunner() = default;
    // Returns when `call` has finished.
    virtual void Run(const std::function<void()>& call) = 0;
};

class InlineCallRunner final : public BlockingCallRunner {
public:
    void Run(const std::function<void()>& call) override { call(); }
};

}  // namespace quillon
