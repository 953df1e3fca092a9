// The one error type of the agent: a failure of its stores or files, with a
// readable reason.
#pragma once

#include <stdexcept>
#include <string>

namespace vcagent {

class AgentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace vcagent
