#include "InterruptCleanup.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

namespace tervane {

namespace {

// Fixed room, so that the handler reads only memory that never moves or goes away.
constexpr int kSlots = 32;

enum SlotState : int { kFree = 0, kFilling = 1, kArmed = 2 };

struct Slot {
    std::atomic<int> state{kFree};
    InterruptRemoval::Kind kind = InterruptRemoval::Kind::File;
    char path[PATH_MAX] = {};
};

Slot g_slots[kSlots];
std::atomic<bool> g_lineShown{false};

void RemoveArmed(InterruptRemoval::Kind kind)
{
    for (auto& slot : g_slots) {
        if (slot.state.load() != kArmed || slot.kind != kind)
            continue;
        if (kind == InterruptRemoval::Kind::File)
            ::unlink(slot.path);
        else
            ::rmdir(slot.path);
    }
}

#ifdef _WIN32
// Ctrl-C, Ctrl-Break, the console closed, logoff or shutdown: the handler runs on a thread of
// its own, and the system's handler after it ends the process.
BOOL WINAPI OnConsoleInterrupt(DWORD)
{
    RemoveArmed(InterruptRemoval::Kind::File);
    RemoveArmed(InterruptRemoval::Kind::Folder);
    if (g_lineShown.load()) {
        static const char kClear[] = "\r\033[K";
        DWORD written = 0;
        ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), kClear, sizeof kClear - 1, &written, nullptr);
    }
    return FALSE;
}
#else
void OnInterrupt(int signal)
{
    const int savedErrno = errno;
    // A link inside a folder goes before the folder.
    RemoveArmed(InterruptRemoval::Kind::File);
    RemoveArmed(InterruptRemoval::Kind::Folder);
    if (g_lineShown.load()) {
        static const char kClear[] = "\r\033[K";
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kClear, sizeof kClear - 1);
    }
    errno = savedErrno;
    // The handler was reset to the default on entry: the signal, delivered again once this
    // returns, ends the process the way the sender meant.
    ::raise(signal);
}
#endif

} // namespace

void InstallInterruptCleanup()
{
#ifdef _WIN32
    ::SetConsoleCtrlHandler(OnConsoleInterrupt, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        // A signal ignored by whoever started the process (nohup) stays ignored.
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &action, nullptr);
    }
#endif
}

void SetInterruptLineShown(bool shown)
{
    g_lineShown.store(shown);
}

InterruptRemoval::InterruptRemoval(const std::string& path, Kind kind)
{
    if (path.empty() || path.size() >= PATH_MAX)
        return;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!g_slots[i].state.compare_exchange_strong(expected, kFilling))
            continue;
        g_slots[i].kind = kind;
        std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
        g_slots[i].state.store(kArmed);
        m_slot = i;
        return;
    }
}

InterruptRemoval::InterruptRemoval(InterruptRemoval&& other) noexcept
    : m_slot(std::exchange(other.m_slot, -1))
{
}

InterruptRemoval& InterruptRemoval::operator=(InterruptRemoval&& other) noexcept
{
    if (this != &other) {
        Release();
        m_slot = std::exchange(other.m_slot, -1);
    }
    return *this;
}

InterruptRemoval::~InterruptRemoval()
{
    Release();
}

void InterruptRemoval::Release()
{
    if (m_slot < 0)
        return;
    g_slots[m_slot].state.store(kFree);
    m_slot = -1;
}

} // namespace tervane
