// Local calendar through the Windows time-zone API.
#include "agent/win32/WindowsCalendar.h"

#include <windows.h>

namespace vcagent {

Day WindowsCalendar::dayOf(Millis utc) const {
    const long long ticks = utc * 10000 + 116444736000000000LL;
    FILETIME ft{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME system;
    SYSTEMTIME local;
    // Converting the instant itself (not applying today's offset) puts the hours
    // around a clock change on the day they belong to.
    if (!FileTimeToSystemTime(&ft, &system) || !SystemTimeToTzSpecificLocalTime(nullptr, &system, &local)) {
        FileTimeToSystemTime(&ft, &local);
    }
    return Day{std::chrono::year{local.wYear} / std::chrono::month{local.wMonth} /
               std::chrono::day{local.wDay}};
}

} // namespace vcagent
