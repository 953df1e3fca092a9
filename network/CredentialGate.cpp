// The one-logon-at-a-time rule until the account is known good.
#include "network/CredentialGate.h"

bool CredentialGate::enter(bool* deciding) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_state != State::Deciding; });
    *deciding = m_state == State::Unknown;
    if (m_state == State::Refused)
        return false;
    if (*deciding)
        m_state = State::Deciding;
    return true;
}

void CredentialGate::decide(Outcome outcome, const QString& reason) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_state != State::Deciding)
            return;
        const bool stops = outcome == Outcome::Refused || outcome == Outcome::Silent;
        m_state = outcome == Outcome::Accepted ? State::Accepted : stops ? State::Refused : State::Unknown;
        if (stops)
            m_reason = reason;
    }
    m_changed.notify_all();
}

void CredentialGate::accept() {
    {
        const std::lock_guard lock(m_mutex);
        if (m_state != State::Refused)
            m_state = State::Accepted;
    }
    m_changed.notify_all();
}

void CredentialGate::refuse(const QString& reason) {
    {
        const std::lock_guard lock(m_mutex);
        m_state = State::Refused;
        m_reason = reason;
    }
    m_changed.notify_all();
}

bool CredentialGate::waitDecided(std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, wait,
                              [this] { return m_state == State::Accepted || m_state == State::Refused; });
}

bool CredentialGate::accepted() const {
    const std::lock_guard lock(m_mutex);
    return m_state == State::Accepted;
}

bool CredentialGate::refused() const {
    const std::lock_guard lock(m_mutex);
    return m_state == State::Refused;
}

QString CredentialGate::refusal() const {
    const std::lock_guard lock(m_mutex);
    return m_state == State::Refused ? m_reason : QString();
}
