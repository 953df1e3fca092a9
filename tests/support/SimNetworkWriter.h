// Test fixture: writes a simulated network folder directly (network.ini, services.ini, agent
// databases) so tests choose every machine's state without the agent stand-in.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

// One day row of an agent file. Values are stored as given, so a test can write what no agent
// should (null, negative or huge durations, unreadable dates).
struct AgentRow {
    QVariant date; // 'YYYY-MM-DD', optionally ' HH:MM:SS'
    QVariant userName;
    QVariant appTitle;
    QVariant duration;
};

class SimNetworkWriter {
public:
    // dir is created when missing.
    explicit SimNetworkWriter(QString dir);

    QString dir() const { return m_dir; }
    // The --network value for this folder.
    QString source() const { return QStringLiteral("sim:") + m_dir; }

    // network.ini: domain, machine order, and whether enumeration fails as a whole.
    void writeNetwork(const QString& domain, const QStringList& machines, bool enumerationOk = true);

    // services.ini with exactly these lines (e.g. "unreachable", "first-call-error=5").
    void writeServiceLines(const QString& machine, const QStringList& lines);
    // services.ini listing these services (name, state code 1..7).
    void writeServices(const QString& machine, const QList<QPair<QString, int>>& services);
    // A machine running a few ordinary services plus "VCWorkstation" in the given state.
    void writeAgentService(const QString& machine, int state = 4);
    // A machine with ordinary services but no agent.
    void writeNoAgent(const QString& machine);
    void removeServices(const QString& machine);

    // Vellumcrest$/Data/VCWorkstation.mdb with exactly these rows, replaced atomically.
    void writeAgentDatabase(const QString& machine, const QStringList& users, const QStringList& titles,
                            const QList<AgentRow>& rows);
    // The same for an agent file anywhere, and rows added to an existing one.
    static void writeAgentFile(const QString& path, const QStringList& users, const QStringList& titles,
                               const QList<AgentRow>& rows);
    static void appendAgentRows(const QString& path, const QList<AgentRow>& rows);
    QString agentDatabasePath(const QString& machine) const;

private:
    void writeText(const QString& path, const QString& text);
    QString m_dir;
};
