// The agent's registry settings under HKLM\SOFTWARE\Vellumcrest\VCWorkstation:
// read by the service at start, shown by `status`, written by `install` and
// `publish`.
#pragma once

#include "agent/core/AgentEngine.h"

#include <functional>
#include <string>
#include <vector>

namespace vcagent {

// The settings, each refused value reported once and replaced by its default;
// rejected redaction lines are reported too.
AgentSettings readSettings(const std::function<void(const std::string&)>& refused);
// The RedactTitles lines (REG_MULTI_SZ), empty when there are none.
std::vector<std::string> readRedactionLines();

// The share group's SID as install recorded it; Administrators when none.
std::wstring readShareGroupSid();
bool writeShareGroupSid(const std::wstring& sid);

// `publish --days N` leaves N here for the service, which takes it (once).
bool writeRepublishDays(unsigned long days);
int takeRepublishDays();

} // namespace vcagent
