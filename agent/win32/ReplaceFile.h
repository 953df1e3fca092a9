// Puts a new published file in place in one step on Windows, telling "in use"
// from failure.
#pragma once

#include "agent/core/Publisher.h"

namespace vcagent {

ReplaceOutcome replaceFileWin32(const std::filesystem::path& from, const std::filesystem::path& to,
                                std::string& error);

} // namespace vcagent
