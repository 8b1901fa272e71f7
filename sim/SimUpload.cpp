#include "SimUpload.h"

#include "SimFileStore.h"

namespace tervane::sim {

bool SimUpload::Announce(long long size)
{
    Reset();
    if (size < 0 || size > kMaxBytes)
        return false;
    size_ = size;
    step_ = Step::Announced;
    return true;
}

bool SimUpload::ConfirmSize(long long size)
{
    if (step_ != Step::Announced || size != size_) {
        Reset();
        return false;
    }
    step_ = Step::Sized;
    return true;
}

bool SimUpload::SetDestination(std::string path)
{
    if (step_ != Step::Sized || !SimFileStore::IsValidPath(path)) {
        Reset();
        return false;
    }
    path_ = std::move(path);
    step_ = Step::Destined;
    return true;
}

bool SimUpload::Open(std::string_view path)
{
    if (step_ != Step::Destined || path != path_) {
        Reset();
        return false;
    }
    step_ = Step::Opened;
    return true;
}

std::optional<std::size_t> SimUpload::BeginData()
{
    if (step_ != Step::Opened) {
        Reset();
        return std::nullopt;
    }
    step_ = Step::Receiving;
    return static_cast<std::size_t>(size_);
}

bool SimUpload::DataArrived(std::string bytes)
{
    if (step_ != Step::Receiving || static_cast<long long>(bytes.size()) != size_) {
        Reset();
        return false;
    }
    bytes_ = std::move(bytes);
    step_ = Step::Received;
    return true;
}

std::optional<SimUpload::Stored> SimUpload::Commit(long long size)
{
    if (step_ != Step::Received || size != size_) {
        Reset();
        return std::nullopt;
    }
    Stored stored{std::move(path_), std::move(bytes_)};
    Reset();
    return stored;
}

void SimUpload::Reset()
{
    step_ = Step::Idle;
    size_ = 0;
    path_.clear();
    bytes_.clear();
}

} // namespace tervane::sim
