#include "ApplySettings.h"

#include "ApplyBatch.h"
#include "DeviceRunner.h"
#include "RciDocuments.h"

namespace tervane {

namespace {

CommandBatch BatchOf(const std::vector<ApplyRow>& rows)
{
    CommandBatch batch;
    for (const auto& row : rows) {
        USBCommand record;
        record.command = row.command;
        record.prompt = row.prompt;
        record.timeout = row.timeout;
        batch.AddTail(record);
    }
    return batch;
}

template <typename Routes>
bool Apply(RciDocuments& documents, DeviceRunner& runner, const std::vector<ApplyRow>& rows, const Routes& routes)
{
    if (rows.empty())
        return false;
    CommandBatch batch = BatchOf(rows);
    runner.RunBatch(batch);
    WalkResults(documents, batch, routes);
    return true;
}

} // namespace

bool OnApplySettings(RciDocuments& documents, DeviceRunner& runner)
{
    return Apply(documents, runner, ApplySettingsRows(documents.SettingsDocument()), kApplySettingsRoutes);
}

bool OnApplyRadioSettings(RciDocuments& documents, DeviceRunner& runner)
{
    return Apply(documents, runner, ApplyRadioSettingsRows(documents.RadioSettingsDocument()),
        kApplyRadioSettingsRoutes);
}

} // namespace tervane
