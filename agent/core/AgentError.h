// The one error type of the agent: a failure of its stores or files, with a
// readable reason.
#pragma once

#include <stdexcept>
#include <string>

namespace vcagent {

// The code of a database that opens but is not the agent's working store (or
// is a newer agent's).
inline constexpr int kForeignStore = -1;

class AgentError : public std::runtime_error {
public:
    // code: SQLite's result code when the database engine refused, else 0.
    explicit AgentError(const std::string& what, int code = 0) : std::runtime_error(what), m_code(code) {}
    int code() const { return m_code; }
    // The file is not a database the agent can use (damaged, foreign or from a
    // newer agent), as opposed to one it cannot reach now (locked, no access).
    bool damagedFile() const;

private:
    int m_code;
};

} // namespace vcagent
