// Decides once whether the account is good before machines get its password in parallel: one
// logon at a time until one is accepted, none at all after one is refused or left without an
// answer. So a wrong password costs at most one failed logon per run, whatever Parallel is, and
// never locks the account out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <QString>

class CredentialGate {
public:
    enum class Outcome {
        Accepted,  // the machine accepted the logon: the account is good
        Refused,   // the account itself was refused (wrong password, locked, disabled, expired)
        Undecided, // the machine answered without a verdict on the account: the next job decides
        // The password went out and no answer came: the machine may have had a failed logon
        // counted, so no other machine gets the password in this run (as Refused, with the reason).
        Silent,
    };

    // A job needs the password now. Waits while another job's logon decides; true when the
    // job may have it, and then `deciding` says whether this job's logon is the one that
    // decides (it must call decide()); false when the account was refused.
    bool enter(bool* deciding);
    void decide(Outcome outcome, const QString& reason = QString());

    // Verdicts found elsewhere (the Kerberos logon, the directory's bind).
    void accept();
    void refuse(const QString& reason);

    // Waits at most `wait` for a verdict; true when there is one.
    bool waitDecided(std::chrono::milliseconds wait);

    bool accepted() const;
    bool refused() const;
    bool decided() const { return accepted() || refused(); }
    // Why the account was refused; empty when it was not.
    QString refusal() const;

private:
    enum class State { Unknown, Deciding, Accepted, Refused };
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    State m_state = State::Unknown;
    QString m_reason;
};
