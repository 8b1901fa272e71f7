#pragma once

#include "CommandBatch.h"

namespace tervane {

class ProgressSink;
class SerialLink;

// What a running batch tells the dialog that shows it. Called on the worker's thread.
class BatchObserver {
public:
    virtual ~BatchObserver() = default;
    // Record `position` is about to run.
    virtual void CommandStarting(int position) = 0;
    // The progress bar the link advances while it waits, or none.
    virtual ProgressSink* Progress() = 0;
    // Whether the user asked to stop: the rows not yet started are not sent.
    virtual bool StopAsked() { return false; }
};

// Receive room every command gets before its own reserve.
constexpr int kResponseBase = 100000;

// The progress bar's upper end for a batch: the time-outs of the records before the
// first empty command, in units of 100 ms.
int BatchProgressRange(const CommandBatch& batch);

// Runs each record in order until the first empty command: send, read, clean, and keep
// the cleaned answer and the failure flag in the record. A failed command never stops it.
// The whole batch is one turn of the link (LinkTurns): a signal poll that is under way ends
// first, and none starts before the batch has ended.
void RunBatch(SerialLink& link, CommandBatch& batch, BatchObserver* observer);
// The same for a caller that already holds the link's turn (the signal poll).
void RunBatchInTurn(SerialLink& link, CommandBatch& batch, BatchObserver* observer);

} // namespace tervane
