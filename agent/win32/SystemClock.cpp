// System clock.
#include "agent/win32/SystemClock.h"

#include <windows.h>

namespace vcagent {

namespace {
// FILETIME counts 100 ns from 1601; Unix time starts 11,644,473,600 s later.
constexpr long long kUnixEpochIn100ns = 116444736000000000LL;
} // namespace

Millis SystemClock::now() const {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const long long ticks = (static_cast<long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return (ticks - kUnixEpochIn100ns) / 10000;
}

Millis SystemClock::monotonic() const {
    return static_cast<Millis>(GetTickCount64());
}

} // namespace vcagent
