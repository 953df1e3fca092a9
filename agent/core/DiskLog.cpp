// Rotating log file.
#include "agent/core/DiskLog.h"

#include <fstream>
#include <system_error>

namespace vcagent {

namespace fs = std::filesystem;

DiskLog::DiskLog(fs::path file, std::uintmax_t maxBytes) : m_file(std::move(file)), m_maxBytes(maxBytes) {}

void DiskLog::write(const std::string& stamp, const std::string& text) {
    std::string line = stamp + "  ";
    for (char c : text)
        line.push_back(c == '\n' || c == '\r' ? ' ' : c);
    line.push_back('\n');

    const std::lock_guard lock(m_mutex);
    std::error_code ec;
    const auto size = fs::file_size(m_file, ec);
    if (!ec && size + line.size() > m_maxBytes) {
        fs::path older = m_file;
        older += ".1";
        fs::remove(older, ec);
        fs::rename(m_file, older, ec);
    }
    std::ofstream out(m_file, std::ios::app | std::ios::binary);
    out << line;
}

} // namespace vcagent
