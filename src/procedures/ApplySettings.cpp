#include "ApplySettings.h"

#include "ApplyBatch.h"
#include "DeviceRunner.h"
#include "RciDocuments.h"
#include "RciErrors.h"

namespace tervane {

namespace {

CommandBatch BatchOf(const std::vector<USBCommand>& rows)
{
    CommandBatch batch;
    for (const USBCommand& row : rows)
        batch.AddTail(row);
    return batch;
}

// Every apply batch ends with its read-back; the rows before it send the document.
template <typename Routes>
ApplyOutcome Apply(RciDocuments& documents, DeviceRunner& runner, const std::vector<USBCommand>& rows,
    const Routes& routes)
{
    ApplyOutcome outcome;
    if (rows.empty())
        return outcome;
    CommandBatch batch = BatchOf(rows);
    runner.RunBatch(batch);
    WalkResults(documents, batch, routes);
    outcome.sent = true;
    const int last = batch.GetCount() - 1;
    for (int i = 0; i < last && !outcome.refused; ++i) {
        const USBCommand& row = *batch.GetAt(i);
        outcome.refused = RowRefusal(row);
        outcome.refusedInReply = outcome.refused && !row.failed;
    }
    const USBCommand& readBack = *batch.GetAt(last);
    outcome.readBack = !readBack.failed && !CutReply(readBack.response).empty();
    return outcome;
}

} // namespace

ApplyOutcome OnApplySettings(RciDocuments& documents, DeviceRunner& runner)
{
    ApplyOutcome outcome =
        Apply(documents, runner, ApplySettingsRows(documents.SettingsDocument()), kApplySettingsRoutes);
    outcome.readBack = outcome.readBack && documents.SettingsRoot() != nullptr;
    return outcome;
}

ApplyOutcome OnApplyRadioSettings(RciDocuments& documents, DeviceRunner& runner)
{
    ApplyOutcome outcome =
        Apply(documents, runner, ApplyRadioSettingsRows(documents.RadioSettingsDocument()), kApplyRadioSettingsRoutes);
    // A device that says its radio is not configured leaves the document as stored.
    outcome.readBack = outcome.readBack && documents.RadioPageFlag() && documents.RadioSettingsRoot() != nullptr;
    return outcome;
}

} // namespace tervane
