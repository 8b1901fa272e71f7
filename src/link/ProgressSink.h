#pragma once

namespace tervane {

// The progress bar of the dialog that runs an exchange. The link only reads the
// position and sets it; the dialog sets range and step. Called from the worker thread.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual int Position() = 0;
    virtual void SetPosition(int position) = 0;
};

} // namespace tervane
