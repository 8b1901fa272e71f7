#include "SimFileStore.h"

#include <set>

namespace tervane::sim {

namespace {

const std::set<std::string> kFixedDirs = {"/", "/WEB", "/WEB/python", "/WEB/mesh", "/fw"};

std::string ParentOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

} // namespace

void SimFileStore::Put(const std::string& path, std::string bytes)
{
    m_files[path] = std::move(bytes);
}

std::optional<std::string> SimFileStore::Get(const std::string& path) const
{
    const auto it = m_files.find(path);
    if (it == m_files.end())
        return std::nullopt;
    return it->second;
}

bool SimFileStore::Has(const std::string& path) const
{
    return m_files.count(path) != 0;
}

bool SimFileStore::Remove(const std::string& path)
{
    return m_files.erase(path) != 0;
}

std::vector<std::string> SimFileStore::Paths() const
{
    std::vector<std::string> paths;
    for (const auto& file : m_files)
        paths.push_back(file.first);
    return paths;
}

bool SimFileStore::DirectoryExists(const std::string& dir) const
{
    const std::string d = NormalizeDir(dir);
    if (kFixedDirs.count(d))
        return true;
    const std::string prefix = d + "/";
    for (const auto& file : m_files) {
        if (file.first.compare(0, prefix.size(), prefix) == 0)
            return true;
    }
    return false;
}

std::vector<SimFileStore::Entry> SimFileStore::List(const std::string& dir) const
{
    const std::string d = NormalizeDir(dir);
    const std::string prefix = d == "/" ? "/" : d + "/";
    std::set<std::string> folders;
    for (const std::string& fixed : kFixedDirs) {
        if (fixed != "/" && ParentOf(fixed) == d)
            folders.insert(fixed.substr(prefix.size()));
    }
    std::vector<Entry> files;
    for (const auto& [path, bytes] : m_files) {
        if (path.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string rest = path.substr(prefix.size());
        const auto slash = rest.find('/');
        if (slash == std::string::npos)
            files.push_back({rest, bytes.size(), false});
        else
            folders.insert(rest.substr(0, slash));
    }
    std::vector<Entry> entries;
    for (const std::string& folder : folders)
        entries.push_back({folder, 0, true});
    entries.insert(entries.end(), files.begin(), files.end());
    return entries;
}

bool SimFileStore::IsValidPath(const std::string& path)
{
    if (path.size() < 2 || path.front() != '/' || path.back() == '/')
        return false;
    std::size_t start = 1;
    while (start <= path.size()) {
        const auto end = path.find('/', start);
        const std::string step = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (step.empty() || step == "." || step == "..")
            return false;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return path.find_first_of("\"\r\n", 0) == std::string::npos;
}

std::string SimFileStore::NormalizeDir(std::string dir)
{
    const auto last = dir.find_last_not_of('/');
    if (last == std::string::npos)
        return std::string(1, '/');
    dir.resize(last + 1);
    return dir;
}

} // namespace tervane::sim
