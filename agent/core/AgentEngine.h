// The agent's rules over time: gathers samples, saves them to the working store
// once a minute, and publishes all complete days when a day ends (or at
// start-up for days left over).
#pragma once

#include "agent/core/Days.h"
#include "agent/core/Publisher.h"
#include "agent/core/UsageAccumulator.h"
#include "agent/core/WorkingStore.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vcagent {

struct AgentSettings {
    Millis idleLimit = 5 * 60 * 1000;
    int retentionDays = 400;
    // How much a crash of the service may lose at most.
    Millis saveInterval = 60 * 1000;
    // How soon a publication that found the file in use or failed is tried again.
    Millis retryInterval = 60 * 1000;
};

class AgentEngine {
public:
    // Errors are reported through the callback once per occurrence and kept as
    // the last error.
    AgentEngine(const Clock& clock, const LocalCalendar& calendar, WorkingStore& store, Publisher& publisher,
                AgentSettings settings, std::function<void(const std::string&)> reportError = {});

    // Publishes the complete days left over from an earlier run, unless they
    // already are.
    void start();
    void sample(std::uint32_t session, const Sample& sample);
    void endSession(std::uint32_t session);
    // Called about once a second: saves, publishes at a new day, retries.
    void tick();
    // Saves what is gathered; the open day stays unpublished.
    void stop();

    std::optional<Day> publishedThrough() const { return m_publishedThrough; }

private:
    bool save();
    void publishIfDue(bool force);
    void fail(const std::string& message);

    const Clock& m_clock;
    const LocalCalendar& m_calendar;
    WorkingStore& m_store;
    Publisher& m_publisher;
    AgentSettings m_settings;
    std::function<void(const std::string&)> m_reportError;
    UsageAccumulator m_usage;
    Millis m_lastSave;
    // The day on which the published file was last made complete; a later day
    // means publish.
    std::optional<Day> m_publishedOn;
    std::optional<Day> m_publishedThrough;
    std::optional<Millis> m_retryAt;
    std::optional<Day> m_lastAttemptOn;
};

// Keys of the facts the engine keeps in the working store (read by `status`).
inline constexpr const char* kFactPublishedOn = "PublishedOn";
inline constexpr const char* kFactPublishedThrough = "PublishedThrough";
inline constexpr const char* kFactLastError = "LastError";

} // namespace vcagent
