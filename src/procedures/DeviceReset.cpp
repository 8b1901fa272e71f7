#include "DeviceReset.h"

#include "ApplyBatch.h"
#include "DeviceRunner.h"
#include "ProcedureQuestions.h"
#include "ProcedureSteps.h"
#include "RciDocuments.h"
#include "RciErrors.h"
#include "RciRequests.h"

namespace tervane {

namespace {

constexpr int kResetTimeout = 10000;
constexpr int kRebootTimeout = 10000;
constexpr int kReadBackTimeout = 20000;

const char* const kRebootCommand = "at+CFUN=1\r\n";

} // namespace

bool RebootDevice(DeviceRunner& runner)
{
    CommandBatch batch;
    batch.AddTail(CommandRow(kRebootCommand, "Rebooting device....", kRebootTimeout));
    runner.RunBatch(batch);
    return batch.GetHead()->failed == 0;
}

FactoryDefaultsResult RestoreDefaults(RciDocuments& documents, DeviceRunner& runner, ProcedureQuestions& questions)
{
    const char* const readBackPrompt = "Collecting device information after factory reset...";
    CommandBatch batch;
    batch.AddTail(CommandRow(std::string(kFactoryDefaultRequest), "Restoring factory defaults...", kResetTimeout));
    batch.AddTail(CommandRow(kRebootCommand, "Rebooting device...", kRebootTimeout));
    batch.AddTail(CommandRow(std::string(kQuerySettingsRequest), readBackPrompt, kReadBackTimeout));
    batch.AddTail(CommandRow(std::string(kQueryStateRequest), readBackPrompt, kReadBackTimeout));
    runner.RunBatch(batch);

    WalkResults(documents, batch, kFactoryDefaultRoutes);
    FactoryDefaultsResult result;
    result.accepted = batch.GetAt(0)->failed == 0;
    result.refused = RowRefusal(*batch.GetAt(0));
    result.settingsRead = batch.GetAt(2)->failed == 0 && documents.SettingsRoot() != nullptr;
    result.stateRead = batch.GetAt(3)->failed == 0 && documents.StateRoot() != nullptr;
    questions.DocumentsReplaced();
    return result;
}

} // namespace tervane
