#pragma once

#include <cstddef>
#include <string>

namespace tervane::test {

// A fresh, empty scratch folder under the system's temporary folder; removed by the caller or left for inspection.
std::string MakeScratchDir(const std::string& prefix);

// Reads a whole file as bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Writes bytes to a file, replacing it; false when it cannot be written.
bool WriteWholeFile(const std::string& path, const std::string& bytes);

// Bytes that are not text, so that every byte value and line end goes through a transfer.
std::string Pattern(std::size_t size, unsigned seed = 7);

} // namespace tervane::test
