// A small log file that never grows without bound: when it passes its size it
// becomes the one older file (".1") and a new one starts.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

namespace vcagent {

class DiskLog {
public:
    DiskLog(std::filesystem::path file, std::uintmax_t maxBytes = 256 * 1024);

    // Appends one line "stamp  text"; line breaks inside text are flattened.
    // Failures to write are swallowed: the log must never stop the agent.
    void write(const std::string& stamp, const std::string& text);

    const std::filesystem::path& file() const { return m_file; }

private:
    std::filesystem::path m_file;
    std::uintmax_t m_maxBytes;
    std::mutex m_mutex;
};

} // namespace vcagent
