// The machine's clock in UTC milliseconds.
#pragma once

#include "agent/core/Days.h"

namespace vcagent {

class SystemClock : public Clock {
public:
    Millis now() const override;
};

} // namespace vcagent
