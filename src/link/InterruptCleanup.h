#pragma once

#include <string>

namespace tervane {

// What an interrupted process must not leave behind. A Ctrl-C, a hang-up or a SIGTERM ends
// the tool in the middle of a blocking exchange; instead of unwinding, the handler removes
// the paths registered here (files first, then folders), clears the progress line on the
// terminal and ends the process by the same signal, so the shell still sees why it ended.
// Everything the handler does is async-signal-safe; registering is thread-safe.

// Installs the handler for SIGINT, SIGTERM and SIGHUP. Programs call it once at start.
void InstallInterruptCleanup();

// Whether a progress line stands on standard error's terminal, to be cleared on interrupt.
void SetInterruptLineShown(bool shown);

// One path removed if the process is interrupted while this object lives and is armed.
class InterruptRemoval {
public:
    enum class Kind { File, Folder };

    InterruptRemoval() = default;
    // Arms the removal. A path too long for the handler's fixed room is not armed.
    InterruptRemoval(const std::string& path, Kind kind);
    InterruptRemoval(InterruptRemoval&& other) noexcept;
    InterruptRemoval& operator=(InterruptRemoval&& other) noexcept;
    InterruptRemoval(const InterruptRemoval&) = delete;
    InterruptRemoval& operator=(const InterruptRemoval&) = delete;
    ~InterruptRemoval();

    // The path is gone or kept by now: nothing to remove any more.
    void Release();

private:
    int m_slot = -1;
};

} // namespace tervane
