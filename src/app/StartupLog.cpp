#include "StartupLog.h"

#include "CommandLine.h"
#include "CommandLog.h"
#include "ProductTitle.h"
#include "SerialLink.h"

#include <ctime>

namespace tervane {

namespace {

std::string CurrentCtimeText()
{
    const std::time_t now = std::time(nullptr);
    char buffer[64] = {};
    // ctime's own form, kept in a buffer of this thread's.
    if (ctime_r(&now, buffer) == nullptr)
        return "\n";
    return buffer;
}

} // namespace

std::string ProductVersionText()
{
    const std::string version = TERVANE_PRODUCT_VERSION;
    return version.empty() ? std::string() : "Version " + version;
}

void OpenCommandLog(const std::string& commandLineText, CommandLog& log, SerialLink& link)
{
    if (!WantsCommandLog(commandLineText) || !log.Open("command.log"))
        return;
    link.SetLog(&log);
    log.WriteBanner(kProductTitle, ProductVersionText(), CurrentCtimeText());
}

} // namespace tervane
