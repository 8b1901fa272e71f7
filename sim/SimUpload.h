#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tervane::sim {

// The device's side of a file upload: AT&USBINTERFACE=17,N / 3,N / 16,"dest" / 9,dest / 5 announce
// it, N raw bytes follow, and 18,N stores the file. Each step is refused out of order.
class SimUpload {
public:
    struct Stored {
        std::string path;
        std::string bytes;
    };

    // The largest file the device takes.
    static constexpr long long kMaxBytes = 16LL * 1024 * 1024;

    bool Announce(long long size);              // 17
    bool ConfirmSize(long long size);           // 3
    bool SetDestination(std::string path);      // 16
    bool Open(std::string_view path);           // 9
    std::optional<std::size_t> BeginData();     // 5: how many raw bytes follow
    bool DataArrived(std::string bytes);        // all N bytes are in
    std::optional<Stored> Commit(long long size); // 18
    void Reset();

private:
    enum class Step { Idle, Announced, Sized, Destined, Opened, Receiving, Received };
    Step m_step = Step::Idle;
    long long m_size = 0;
    std::string m_path;
    std::string m_bytes;
};

} // namespace tervane::sim
