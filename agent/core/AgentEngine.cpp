// Saving and publishing rules.
#include "agent/core/AgentEngine.h"

#include <algorithm>
#include <exception>

namespace vcagent {

namespace {

std::string minutesText(Millis span) {
    const Millis minutes = (span < 0 ? -span : span) / 60000;
    return minutes >= 120 ? std::to_string(minutes / 60) + " hours" : std::to_string(minutes) + " minutes";
}

} // namespace

AgentEngine::AgentEngine(const Clock& clock, const LocalCalendar& calendar, WorkingStore& store,
                         Publisher& publisher, AgentSettings settings, Report report)
    : m_clock(clock), m_calendar(calendar), m_store(store), m_publisher(publisher),
      m_settings(std::move(settings)), m_report(std::move(report)), m_usage(calendar, m_settings.idleLimit),
      m_lastSave(clock.monotonic()), m_anchorWall(clock.now()), m_anchorMonotonic(clock.monotonic()),
      m_retryDelay(m_settings.retryInterval) {}

void AgentEngine::start() {
    try {
        if (const auto on = m_store.fact(kFactPublishedOn))
            m_publishedOn = parseDayText(*on);
        if (const auto through = m_store.fact(kFactPublishedThrough))
            m_publishedThrough = parseDayText(*through);
    } catch (const std::exception& e) {
        fail(Severity::Error, e.what());
    }
    // A published file that went missing is written again even when the store
    // says it is current.
    std::error_code ec;
    publishIfDue(!std::filesystem::exists(m_publisher.publishedFile(), ec), m_settings.publishDays);
}

Millis AgentEngine::settledNow() {
    const Millis wall = m_clock.now();
    const Millis monotonic = m_clock.monotonic();
    const Millis shadow = m_anchorWall + (monotonic - m_anchorMonotonic);
    const Millis offset = wall - shadow;
    if (offset > m_settings.clockTolerance) {
        // Set forward: the shadow keeps real time, so no day ends early and none
        // is dated ahead; the days are published as real time passes them.
        if (offset - m_reportedOffset > m_settings.clockTolerance ||
            m_reportedOffset - offset > m_settings.clockTolerance) {
            m_reportedOffset = offset;
            fail(Severity::Warning, "the clock was set forward by " + minutesText(offset) +
                                        ": days are published as real time passes them");
        }
        return shadow;
    }
    if (offset < -m_settings.clockTolerance)
        fail(Severity::Warning, "the clock was set back by " + minutesText(offset));
    // Agreement (or a clock set back, after which the wall clock is the earlier
    // of the two): follow the wall clock, so slow drift never adds up.
    m_anchorWall = wall;
    m_anchorMonotonic = monotonic;
    m_reportedOffset = 0;
    return wall;
}

void AgentEngine::sample(std::uint32_t session, const Sample& sample) {
    const Millis wall = m_clock.now();
    if (m_settings.redaction.empty()) {
        m_usage.record(session, sample, wall);
    } else {
        Sample redacted = sample;
        redacted.title = m_settings.redaction.apply(sample.title);
        m_usage.record(session, redacted, wall);
    }
    // The first sample after midnight completes the day before it.
    publishIfDue(false, m_settings.publishDays);
}

void AgentEngine::endSession(std::uint32_t session) {
    m_usage.endSession(session);
}

void AgentEngine::tick() {
    if (m_clock.monotonic() - m_lastSave >= m_settings.saveInterval)
        save();
    publishIfDue(false, m_settings.publishDays);
}

void AgentEngine::stop() {
    save();
}

bool AgentEngine::republish(int days) {
    publishIfDue(true, std::max(days, 1));
    return !m_retryAt.has_value() && !m_publisher.hasPending();
}

bool AgentEngine::save() {
    m_lastSave = m_clock.monotonic();
    if (m_usage.empty())
        return true;
    UsageMap usage = m_usage.take();
    try {
        m_store.add(usage);
        return true;
    } catch (const std::exception& e) {
        // Keep the time for the next attempt rather than losing it with the failed
        // write.
        m_usage.putBack(usage);
        fail(Severity::Error, std::string("saving usage failed: ") + e.what());
        return false;
    }
}

void AgentEngine::publishIfDue(bool force, int days) {
    const Millis settled = settledNow();
    const Day boundary = m_calendar.dayOf(settled);
    if (!force && m_publishedOn && boundary <= *m_publishedOn)
        return;
    const Millis monotonic = m_clock.monotonic();
    // A retry waits its turn, unless another day has ended since the last attempt.
    if (!force && m_retryAt && monotonic < *m_retryAt && m_attemptFor == boundary)
        return;
    if (!force && m_publisher.hasPending() && m_attemptFor == boundary) {
        std::string error;
        const auto result = m_publisher.replaceAgain(error);
        if (result == Publisher::Result::Published)
            published(m_clock.now());
        else
            retryLater(result, error);
        return;
    }
    if (m_attemptFor != boundary)
        m_retryDelay = m_settings.retryInterval; // a new day starts with short waits again
    m_attemptFor = boundary;
    // A day is published whole or not at all: time that could not be saved waits
    // with it.
    if (!save()) {
        retryLater(Publisher::Result::Failed, "");
        return;
    }
    try {
        // Retention counts back from the newest day held (never from a clock that
        // may have been set ahead).
        Day newest = boundary;
        if (const auto held = m_store.newestDay())
            newest = std::min(newest, *held);
        m_store.dropBefore(newest - std::chrono::days{m_settings.retentionDays - 1});
        const Day from = boundary - std::chrono::days{days};
        Publisher::Info info{{"AgentVersion", m_settings.version},
                             {"PublishedThrough", dayText(boundary - std::chrono::days{1})},
                             {"PublishDays", std::to_string(days)}};
        std::string error;
        const auto result = m_publisher.publish(
            [&](const std::function<void(const UsageRow&)>& sink) {
                m_store.forEachRow(from, boundary, sink);
            },
            info, error);
        if (result == Publisher::Result::Published)
            published(m_clock.now());
        else
            retryLater(result, error);
    } catch (const std::exception& e) {
        retryLater(Publisher::Result::Failed, std::string("publishing failed: ") + e.what());
    }
}

void AgentEngine::published(Millis now) {
    m_retryAt.reset();
    m_retryDelay = m_settings.retryInterval;
    m_inUse = 0;
    m_publishedOn = m_attemptFor;
    m_publishedThrough = *m_attemptFor - std::chrono::days{1};
    try {
        m_store.setFact(kFactPublishedOn, dayText(*m_publishedOn));
        m_store.setFact(kFactPublishedThrough, dayText(*m_publishedThrough));
        m_store.setFact(kFactLastPublished, std::to_string(now));
    } catch (const std::exception& e) {
        fail(Severity::Error, std::string("recording the publication failed: ") + e.what());
    }
}

void AgentEngine::retryLater(Publisher::Result result, const std::string& error) {
    m_retryAt = m_clock.monotonic() + m_retryDelay;
    m_retryDelay = std::min(m_retryDelay * 2, m_settings.maxRetryInterval);
    if (result == Publisher::Result::InUse) {
        // A reader holding the file is ordinary; only say so when it keeps
        // happening.
        if (++m_inUse == m_settings.inUseWarnings)
            fail(Severity::Warning, error + " (" + std::to_string(m_inUse) +
                                        " attempts in a row: a reader holds the published file; retrying)");
        return;
    }
    m_inUse = 0;
    if (!error.empty())
        fail(Severity::Error, error);
}

void AgentEngine::fail(Severity severity, const std::string& message) {
    try {
        m_store.setFact(kFactLastError, message);
        m_store.setFact(kFactLastErrorAt, std::to_string(m_clock.now()));
    } catch (const std::exception&) {
    }
    if (m_report)
        m_report(severity, message);
}

} // namespace vcagent
