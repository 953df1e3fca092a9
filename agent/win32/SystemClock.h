// The machine's clock in UTC milliseconds.
#pragma once

#include "agent/core/Days.h"

namespace vcagent {

class SystemClock : public Clock {
public:
    Millis now() const override;
    // GetTickCount64: counts on through sleep and hibernation.
    Millis monotonic() const override;
};

} // namespace vcagent
