// The program part that runs in a user's session (the service cannot see the
// user's desktop): once a second it tells the service which window is in front
// and how long input has been idle.
#pragma once

namespace vcagent {

// Runs until the pipe breaks (the service stopped or dropped the session);
// returns an exit code.
int runSessionHelper(const wchar_t* pipeName);

} // namespace vcagent
