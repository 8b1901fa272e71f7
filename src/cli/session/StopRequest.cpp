#include "StopRequest.h"

#include <atomic>
#include <csignal>

namespace tervane {

namespace {

std::atomic<bool> g_stop{false};
struct sigaction g_previous {};

void OnInterrupt(int)
{
    // Lock-free: the only thing a signal handler may touch here.
    g_stop.store(true);
    ::sigaction(SIGINT, &g_previous, nullptr);
}

} // namespace

void RequestStop()
{
    g_stop.store(true);
}

bool StopRequested()
{
    return g_stop.load();
}

const std::atomic<bool>& StopFlag()
{
    return g_stop;
}

void ClearStopRequest()
{
    g_stop.store(false);
}

StopOnInterrupt::StopOnInterrupt()
{
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &g_previous);
}

StopOnInterrupt::~StopOnInterrupt()
{
    ::sigaction(SIGINT, &g_previous, nullptr);
}

} // namespace tervane
