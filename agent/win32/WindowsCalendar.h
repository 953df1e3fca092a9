// Local days by the machine's time zone, with the daylight-saving rules of each
// date.
#pragma once

#include "agent/core/Days.h"

namespace vcagent {

class WindowsCalendar : public LocalCalendar {
public:
    Day dayOf(Millis utc) const override;
};

} // namespace vcagent
