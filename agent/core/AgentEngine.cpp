// Saving and publishing rules.
#include "agent/core/AgentEngine.h"

#include <exception>

namespace vcagent {

AgentEngine::AgentEngine(const Clock& clock, const LocalCalendar& calendar, WorkingStore& store,
                         Publisher& publisher, AgentSettings settings,
                         std::function<void(const std::string&)> reportError)
    : m_clock(clock), m_calendar(calendar), m_store(store), m_publisher(publisher), m_settings(settings),
      m_reportError(std::move(reportError)), m_usage(calendar, settings.idleLimit), m_lastSave(clock.now()) {}

void AgentEngine::start() {
    try {
        if (const auto on = m_store.fact(kFactPublishedOn))
            m_publishedOn = parseDayText(*on);
        if (const auto through = m_store.fact(kFactPublishedThrough))
            m_publishedThrough = parseDayText(*through);
    } catch (const std::exception& e) {
        fail(e.what());
    }
    // A published file that went missing is written again even when the store
    // says it is current.
    std::error_code ec;
    publishIfDue(!std::filesystem::exists(m_publisher.publishedFile(), ec));
}

void AgentEngine::sample(std::uint32_t session, const Sample& sample) {
    m_usage.record(session, sample, m_clock.now());
    // The first sample after midnight completes the day before it.
    publishIfDue(false);
}

void AgentEngine::endSession(std::uint32_t session) {
    m_usage.endSession(session);
}

void AgentEngine::tick() {
    const Millis now = m_clock.now();
    if (now - m_lastSave >= m_settings.saveInterval || now < m_lastSave)
        save();
    publishIfDue(false);
}

void AgentEngine::stop() {
    save();
}

bool AgentEngine::save() {
    m_lastSave = m_clock.now();
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
        fail(std::string("saving usage failed: ") + e.what());
        return false;
    }
}

void AgentEngine::publishIfDue(bool force) {
    const Millis now = m_clock.now();
    const Day today = m_calendar.dayOf(now);
    const bool newDay = !m_publishedOn || *m_publishedOn != today;
    if (!force && !newDay)
        return;
    // A retry waits its interval, unless another day has ended since the last
    // attempt.
    if (!force && m_retryAt && now < *m_retryAt && m_lastAttemptOn == today)
        return;
    m_lastAttemptOn = today;
    // A day is published whole or not at all: time that could not be saved waits
    // with it.
    if (!save()) {
        m_retryAt = now + m_settings.retryInterval;
        return;
    }
    try {
        m_store.dropBefore(today - std::chrono::days{m_settings.retentionDays});
        std::string error;
        const auto result = m_publisher.publish(m_store.rowsBefore(today), error);
        if (result != Publisher::Result::Published) {
            m_retryAt = now + m_settings.retryInterval;
            // A reader holding the file is ordinary; only say so when it keeps
            // happening.
            if (result == Publisher::Result::Failed)
                fail(error);
            return;
        }
        m_retryAt.reset();
        m_publishedOn = today;
        m_publishedThrough = today - std::chrono::days{1};
        m_store.setFact(kFactPublishedOn, dayText(today));
        m_store.setFact(kFactPublishedThrough, dayText(*m_publishedThrough));
    } catch (const std::exception& e) {
        m_retryAt = now + m_settings.retryInterval;
        fail(std::string("publishing failed: ") + e.what());
    }
}

void AgentEngine::fail(const std::string& message) {
    try {
        m_store.setFact(kFactLastError, message);
    } catch (const std::exception&) {
    }
    if (m_reportError)
        m_reportError(message);
}

} // namespace vcagent
