#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tervane::sim {

// The device's flash file system: whole files by absolute path. Directories exist implicitly
// (the device's fixed folders, and every folder that holds a file).
class SimFileStore {
public:
    struct Entry {
        std::string name;
        std::size_t size = 0;
        bool directory = false;
    };

    void Put(const std::string& path, std::string bytes);
    std::optional<std::string> Get(const std::string& path) const;
    bool Has(const std::string& path) const;
    bool Remove(const std::string& path);
    std::vector<std::string> Paths() const;

    bool DirectoryExists(const std::string& dir) const;
    // Files and folders directly inside dir, by name.
    std::vector<Entry> List(const std::string& dir) const;

    // An absolute path without empty, "." or ".." steps and without a trailing "/".
    static bool IsValidPath(const std::string& path);
    // "/WEB/python" for "/WEB/python/", "/" for "" or "/".
    static std::string NormalizeDir(std::string dir);

private:
    std::map<std::string, std::string> m_files;
};

} // namespace tervane::sim
