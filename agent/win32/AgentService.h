// The VCWorkstation service: owns the working store and the publisher, follows
// the sessions through the service's session notifications and keeps one
// session helper per active session.
#pragma once

namespace vcagent {

// Hands the process to the service control manager; false when not started as a
// service.
bool runAsService();

} // namespace vcagent
