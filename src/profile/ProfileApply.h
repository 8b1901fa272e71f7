#pragma once

#include "Profile.h"
#include "ProfileChanges.h"

#include <string>
#include <vector>

namespace tervane {

class DeviceRunner;
class ProcedureQuestions;
class RciDocuments;

// What differs between a gateway and a profile, worked out from the device query's
// documents, the Python file list and one digest query per profile file that is listed.
struct ProfilePlan {
    std::vector<ProfileChange> changes;
    // The profile asks for what this device does not have (a setting path, a radio): the
    // profile is at fault, and nothing may be sent. Lines like the reader's problems.
    std::vector<std::string> problems;
    // The device did not answer what the plan needs (the file list): nothing may be sent.
    std::vector<std::string> failures;
    std::string firmwareVersion;       // device_info/firmwaresoftrevstr
    std::string radioFirmwareVersion;  // zigbee_state/firmware_version
};

// Reads what the plan needs besides the documents (only reads) and compares. `documents`
// hold the device query's answers.
ProfilePlan PlanProfile(const Profile& profile, const RciDocuments& documents, DeviceRunner& runner);

struct ProfileApplyResult {
    // What was done. A setting counts only where the read-back shows the device's value
    // changed, `after` being what it holds; a refused value is a failure only.
    std::vector<ProfileChange> applied;
    // Each names the path, file or image the device did not take or keep.
    std::vector<std::string> failures;
    std::string firmwareVersion;       // after the apply
    std::string radioFirmwareVersion;  // after the apply
};

// Makes the plan's changes through the procedures: the firmware and radio firmware
// updates, one apply of the settings' values, one of the radio settings' values, the
// deletions and the verified uploads of Python files. Then checks what the device reports against the profile. A
// failed step does not stop the others.
ProfileApplyResult ApplyProfilePlan(const Profile& profile, const ProfilePlan& plan, RciDocuments& documents,
    DeviceRunner& runner, ProcedureQuestions& questions);

} // namespace tervane
