#include "BatchWorker.h"

#include "SerialLink.h"

#include <climits>
#include <string>

namespace tervane {

int BatchProgressRange(const CommandBatch& batch)
{
    long long sum = 0;
    for (const auto& record : batch) {
        if (record.command.empty())
            break;
        sum += record.timeout;
    }
    const long long range = sum / 100;
    return range > INT_MAX ? INT_MAX : static_cast<int>(range);
}

void RunBatch(SerialLink& link, CommandBatch& batch, BatchObserver* observer)
{
    const WorkTurn turn(link.Turns());
    RunBatchInTurn(link, batch, observer);
}

void RunBatchInTurn(SerialLink& link, CommandBatch& batch, BatchObserver* observer)
{
    bool deviceGone = false;
    for (int i = 0; i < batch.GetCount(); ++i) {
        USBCommand& record = *batch.GetAt(i);
        if (record.command.empty())
            break;
        record.failed = 1;
        record.readEnd = ReadEnd::Nothing;
        if (deviceGone || (observer != nullptr && observer->StopAsked())) {
            // The link has already waited out its bound for this device, or the user asked
            // to stop; every later row would wait for nothing.
            record.response.clear();
            continue;
        }
        const std::size_t capacity = static_cast<std::size_t>(kResponseBase) +
            static_cast<std::size_t>(record.responseReserve > 0 ? record.responseReserve : 0);
        if (observer)
            observer->CommandStarting(i);
        if (!link.SendCommand(record.command)) {
            deviceGone = true;
            continue;
        }
        if (record.stream != nullptr && link.Log() == nullptr) {
            record.response.clear();
            link.ReadResponse(record.command, *record.stream, capacity, record.timeout,
                observer ? observer->Progress() : nullptr);
            record.readEnd = link.LastReadEnd();
            record.failed = link.LastReadEndedInError() ? 1 : 0;
            record.stream->Ended();
            continue;
        }
        std::string raw;
        const bool reconnectWait = record.command.find("at&usbinterface=110") != std::string::npos;
        link.ReadResponse(record.command, raw, capacity, record.timeout, reconnectWait,
            observer ? observer->Progress() : nullptr);
        record.readEnd = link.LastReadEnd();
        if (record.stream != nullptr) {
            // The command log shows the answer raw and cleaned, so it was read whole; the
            // stream still takes it raw, as it would have arrived.
            record.stream->Take(raw);
            record.stream->Ended();
            record.failed = link.CleanResponse(record.command, raw) ? 0 : 1;
            continue;
        }
        // Cleaned where it lies: a large answer is never held twice.
        record.failed = link.CleanResponse(record.command, raw) ? 0 : 1;
        record.response = std::move(raw);
    }
}

} // namespace tervane
