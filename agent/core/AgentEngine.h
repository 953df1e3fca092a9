// The agent's rules over time: gathers samples, saves them to the working store
// once a minute, and publishes the recent complete days when a day ends (or at
// start-up for days left over).
#pragma once

#include "agent/core/Days.h"
#include "agent/core/Publisher.h"
#include "agent/core/TitleRedaction.h"
#include "agent/core/UsageAccumulator.h"
#include "agent/core/WorkingStore.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vcagent {

struct AgentSettings {
    Millis idleLimit = 5 * 60 * 1000;
    // Days kept in the working store, counted back from the newest day it holds.
    int retentionDays = 400;
    // Days the published file holds (the console takes each day once; a console
    // that fell behind asks for more with `publish --days N`).
    int publishDays = 35;
    // How much a crash of the service may lose at most.
    Millis saveInterval = 60 * 1000;
    // How soon a publication that found the file in use or failed is tried
    // again; each further failure doubles the wait up to maxRetryInterval.
    Millis retryInterval = 60 * 1000;
    Millis maxRetryInterval = 30 * 60 * 1000;
    // Replacements refused in a row before a reader holding the file is reported.
    int inUseWarnings = 5;
    // A wall clock that disagrees with the monotonic shadow by more than this was
    // set, not merely corrected.
    Millis clockTolerance = 5 * 60 * 1000;
    TitleRedaction redaction;
    // Written into the published file's PCAgentInfo table.
    std::string version;
};

enum class Severity { Info, Warning, Error };

class AgentEngine {
public:
    using Report = std::function<void(Severity, const std::string&)>;
    // Warnings and errors are reported through the callback and kept, with their
    // time, as the last error.
    AgentEngine(const Clock& clock, const LocalCalendar& calendar, WorkingStore& store, Publisher& publisher,
                AgentSettings settings, Report report = {});

    // Publishes the complete days left over from an earlier run, unless they
    // already are.
    void start();
    void sample(std::uint32_t session, const Sample& sample);
    void endSession(std::uint32_t session);
    // Called about once a second: saves, publishes at a new day, retries.
    void tick();
    // Saves what is gathered; the open day stays unpublished.
    void stop();
    // Publishes the complete days again now, the last `days` of them (a console
    // that fell behind).
    bool republish(int days);

    std::optional<Day> publishedThrough() const { return m_publishedThrough; }

private:
    bool save();
    // Reads both clocks; returns the instant both agree has passed.
    Millis settledNow();
    void publishIfDue(bool force, int days);
    void published(Millis now);
    void retryLater(Publisher::Result result, const std::string& error);
    void fail(Severity severity, const std::string& message);

    const Clock& m_clock;
    const LocalCalendar& m_calendar;
    WorkingStore& m_store;
    Publisher& m_publisher;
    AgentSettings m_settings;
    Report m_report;
    UsageAccumulator m_usage;
    Millis m_lastSave;
    // The shadow of the wall clock: an instant both clocks agreed on, and the
    // monotonic time then.
    Millis m_anchorWall;
    Millis m_anchorMonotonic;
    Millis m_reportedOffset = 0;
    // The first day not yet in the published file (the day on which it was last
    // made complete); a later settled day means publish.
    std::optional<Day> m_publishedOn;
    std::optional<Day> m_publishedThrough;
    std::optional<Millis> m_retryAt; // monotonic
    Millis m_retryDelay;
    int m_inUse = 0;
    std::optional<Day> m_attemptFor;
};

// Keys of the facts the engine keeps in the working store (read by `status`).
inline constexpr const char* kFactPublishedOn = "PublishedOn";
inline constexpr const char* kFactPublishedThrough = "PublishedThrough";
inline constexpr const char* kFactLastPublished = "LastPublished"; // UTC milliseconds
inline constexpr const char* kFactLastError = "LastError";
inline constexpr const char* kFactLastErrorAt = "LastErrorAt"; // UTC milliseconds

} // namespace vcagent
