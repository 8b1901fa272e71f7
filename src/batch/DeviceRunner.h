#pragma once

#include "BatchWorker.h"
#include "CommandBatch.h"
#include "UploadWorker.h"

namespace tervane {

class SerialLink;

// How a procedure has its device work done: the dashboard behind its modal progress
// dialogs, the command-line tool and the tests straight on the link. Either way the call
// returns once the worker has finished with the batch and the link.
class DeviceRunner {
public:
    virtual ~DeviceRunner() = default;
    // Runs every row of the batch; afterwards each holds its answer and failure flag.
    virtual void RunBatch(CommandBatch& batch) = 0;
    // Uploads one file; the result says whether and why it did not arrive.
    virtual UploadResult Upload(const UploadSource& source) = 0;
    // The link the work goes through.
    virtual SerialLink& Link() = 0;
};

// Runs the work on the calling thread, reporting progress to optional observers.
class DirectRunner : public DeviceRunner {
public:
    explicit DirectRunner(SerialLink& link, BatchObserver* batchObserver = nullptr,
        UploadObserver* uploadObserver = nullptr);
    void RunBatch(CommandBatch& batch) override;
    UploadResult Upload(const UploadSource& source) override;
    SerialLink& Link() override { return m_link; }

private:
    SerialLink& m_link;
    BatchObserver* m_batchObserver;
    UploadObserver* m_uploadObserver;
};

} // namespace tervane
