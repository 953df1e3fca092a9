// Test fixture: a manager database and agent databases written row by row in a temporary folder.
#pragma once

#include <memory>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

class ManagerDatabase;

struct AgentRow {
    QVariant date;
    QVariant userName;
    QVariant appTitle;
    QVariant duration;
};

// Writes an agent database at path (replacing one that is there).
void WriteAgentDatabase(const QString& path, const QStringList& users, const QStringList& titles,
                        const QList<AgentRow>& rows);

// Appends day rows to an existing agent database.
void AppendAgentRows(const QString& path, const QList<AgentRow>& rows);

class MergeFixture {
public:
    MergeFixture();
    ~MergeFixture();

    ManagerDatabase& db() { return *m_db; }
    QString dir() const { return m_dir.path(); }
    QString agentPath(const QString& workstation) const;

    // Registers workstations in MGRWorkstations, monitored.
    void registerWorkstations(const QStringList& names);

    // One int from a query on the manager database.
    qint64 scalar(const QString& sql, const QVariantList& values = {});
    // The stored usage, one "workstation|user|title|date|duration" line per row, sorted.
    QStringList usage();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ManagerDatabase> m_db;
};
