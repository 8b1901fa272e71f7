#include "ApplySettings.h"

#include "ApplyBatch.h"
#include "DeviceRunner.h"
#include "RciDocuments.h"

namespace tervane {

namespace {

CommandBatch BatchOf(const std::vector<USBCommand>& rows)
{
    CommandBatch batch;
    for (const USBCommand& row : rows)
        batch.AddTail(row);
    return batch;
}

template <typename Routes>
bool Apply(RciDocuments& documents, DeviceRunner& runner, const std::vector<USBCommand>& rows, const Routes& routes)
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
