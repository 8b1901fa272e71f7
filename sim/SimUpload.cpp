#include "SimUpload.h"

#include "SimFileStore.h"

namespace tervane::sim {

bool SimUpload::Announce(long long size)
{
    Reset();
    if (size < 0 || size > kMaxBytes)
        return false;
    m_size = size;
    m_step = Step::Announced;
    return true;
}

bool SimUpload::ConfirmSize(long long size)
{
    if (m_step != Step::Announced || size != m_size) {
        Reset();
        return false;
    }
    m_step = Step::Sized;
    return true;
}

bool SimUpload::SetDestination(std::string path)
{
    if (m_step != Step::Sized || !SimFileStore::IsValidPath(path)) {
        Reset();
        return false;
    }
    m_path = std::move(path);
    m_step = Step::Destined;
    return true;
}

bool SimUpload::Open(std::string_view path)
{
    if (m_step != Step::Destined || path != m_path) {
        Reset();
        return false;
    }
    m_step = Step::Opened;
    return true;
}

std::optional<std::size_t> SimUpload::BeginData()
{
    if (m_step != Step::Opened) {
        Reset();
        return std::nullopt;
    }
    m_step = Step::Receiving;
    return static_cast<std::size_t>(m_size);
}

bool SimUpload::DataArrived(std::string bytes)
{
    if (m_step != Step::Receiving || static_cast<long long>(bytes.size()) != m_size) {
        Reset();
        return false;
    }
    m_bytes = std::move(bytes);
    m_step = Step::Received;
    return true;
}

std::optional<SimUpload::Stored> SimUpload::Commit(long long size)
{
    if (m_step != Step::Received || size != m_size) {
        Reset();
        return std::nullopt;
    }
    Stored stored{std::move(m_path), std::move(m_bytes)};
    Reset();
    return stored;
}

void SimUpload::Reset()
{
    m_step = Step::Idle;
    m_size = 0;
    m_path.clear();
    m_bytes.clear();
}

} // namespace tervane::sim
