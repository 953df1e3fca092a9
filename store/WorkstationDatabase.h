// A workstation's database (the agent's Data/VCWorkstation.mdb), read only. The console opens
// a consistent local copy that the network layer provides.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

class FileDatabase;

class WorkstationDatabase {
public:
    // Opens the file read-only; throws VcError when it cannot be opened as a database or is
    // empty (the engine would take an empty file for a database without tables).
    explicit WorkstationDatabase(const QString& path);
    ~WorkstationDatabase();
    WorkstationDatabase(const WorkstationDatabase&) = delete;
    WorkstationDatabase& operator=(const WorkstationDatabase&) = delete;

    // PCUsers.UserName / PCAppTitles.AppTitle in stored order; nothing when the table or
    // field is missing or cannot be read (that step fails alone). Here and in the day rows, a
    // name that is not well-formed text (bytes that are no UTF-8, half a UTF-16 pair) is left
    // out, so that two different damaged names never become one.
    std::optional<QStringList> userNames() const;
    std::optional<QStringList> appTitles() const;

    // One PCDaySummary row as stored; the caller decides what it can use.
    struct DayRow {
        QVariant date;
        QVariant userName;
        QVariant appTitle;
        QVariant duration;
    };
    // A read that fails part-way throws VcError, so a damaged file never passes as a short one.
    // Visits every PCDaySummary row; false when the table or a field is missing. With after,
    // rows whose Date is text of that day or earlier are left out in the engine (the caller
    // still judges every row it is given); the other rows are visited.
    bool forEachDayRow(const std::function<void(const DayRow&)>& visit,
                       std::optional<QDate> after = std::nullopt) const;

    // The agent version the file names in its PCAgentInfo table (Name 'AgentVersion'): up to
    // 32 digits, letters, dots, dashes and pluses. Empty when the table, the row or a sound value
    // is missing (older agents, the simulator); never fails the download.
    QString agentVersion() const;

    // Work on one file is bounded: reads still running this long after the file was opened are
    // abandoned (they fail as a damaged file does).
    static constexpr std::chrono::seconds kReadBudget{60};

private:
    // table and field are fixed identifiers of the agent schema, never operator input.
    std::optional<QStringList> column(const QString& table, const QString& field) const;
    void requireTable(const QString& table) const;
    std::unique_ptr<FileDatabase> m_file;
};

// Creates an empty workstation database with the agent's tables (PCUsers, PCAppTitles,
// PCDaySummary). Used by the agent stand-in and by test fixtures.
void createWorkstationDatabase(const QString& path);

// The agent's schema, for writers that build the file themselves.
extern const char* const kWorkstationSchemaSql;
