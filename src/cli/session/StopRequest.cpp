#include "StopRequest.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

#include <atomic>

namespace tervane {

namespace {

std::atomic<bool> g_stop{false};
#ifdef _WIN32
std::atomic<bool> g_stopTaken {false};

// The first Ctrl-C asks for the stop; a later one, or any other console event, goes on to
// the handlers installed before (the interrupt cleanup, then the system's end).
BOOL WINAPI OnConsoleStop(DWORD event)
{
    if (event != CTRL_C_EVENT || g_stopTaken.exchange(true))
        return FALSE;
    g_stop.store(true);
    return TRUE;
}
#else
struct sigaction g_previous {};

void OnInterrupt(int)
{
    // Lock-free: the only thing a signal handler may touch here.
    g_stop.store(true);
    ::sigaction(SIGINT, &g_previous, nullptr);
}
#endif

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

#ifdef _WIN32
StopOnInterrupt::StopOnInterrupt()
{
    g_stopTaken.store(false);
    ::SetConsoleCtrlHandler(OnConsoleStop, TRUE);
}

StopOnInterrupt::~StopOnInterrupt()
{
    ::SetConsoleCtrlHandler(OnConsoleStop, FALSE);
}
#else
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
#endif

} // namespace tervane
