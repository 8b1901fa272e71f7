#include "DeviceRunner.h"

#include "BatchWorker.h"

namespace tervane {

DirectRunner::DirectRunner(SerialLink& link, BatchObserver* batchObserver, UploadObserver* uploadObserver)
    : m_link(link)
    , m_batchObserver(batchObserver)
    , m_uploadObserver(uploadObserver)
{
}

void DirectRunner::RunBatch(CommandBatch& batch)
{
    tervane::RunBatch(m_link, batch, m_batchObserver);
}

UploadResult DirectRunner::Upload(const UploadSource& source)
{
    return RunUpload(m_link, source, m_uploadObserver);
}

} // namespace tervane
