// Merge of one workstation's database into the manager database, for one download run.
#pragma once

#include <functional>
#include <QHash>
#include <QList>
#include <QString>

class ManagerDatabase;
class WorkstationDatabase;
struct sqlite3_stmt;

class WorkstationMerge {
public:
    // Kinds of LookupKey.
    static constexpr int kWorkstation = 1;
    static constexpr int kUser = 2;
    static constexpr int kTitle = 3;

    struct Result {
        int usersAdded = 0;
        int titlesAdded = 0;
        qint64 rowsImported = 0;
        // Day rows read but not stored: unreadable, or a key missing. Rows of days already
        // held are mostly left unread and not counted.
        qint64 rowsSkipped = 0;
    };

    // Loads the keys of MGRWorkstations, MGRUsers and MGRAppTitles once for the whole run.
    // Throws VcError when the manager tables cannot be read.
    explicit WorkstationMerge(ManagerDatabase& db);
    ~WorkstationMerge();
    WorkstationMerge(const WorkstationMerge&) = delete;
    WorkstationMerge& operator=(const WorkstationMerge&) = delete;

    // The key of a workstation (kind 1), user (2) or title (3, already blanked of double
    // quotes) whose stored name equals text without regard to letter case; -1 when there is
    // none, for an empty text and for any other kind. Sees rows added earlier in this run.
    int LookupKey(int kind, const QString& text) const;

    // Merges one workstation: new user names, new titles, then every day row later than the
    // newest day held for it, all in one transaction. stepDone is called after the users and
    // after the titles. A failure rolls back everything of this workstation and is rethrown
    // (VcError); the run's keys stay as they were before it.
    Result UpdateWorkstationInfo(const QString& workstation, const WorkstationDatabase& source,
                                 const std::function<void()>& stepDone = {});

    // Tests: called after each day row written, with the count written so far for this
    // workstation; throwing from it interrupts the merge as a failing write would.
    void setRowWrittenHook(std::function<void(qint64)> hook) { m_rowWritten = std::move(hook); }

private:
    struct Names {
        QHash<QString, int> keys; // case-folded name -> key, first spelling's key
        QList<QString> addedInTransaction;
    };

    int findOrAdd(Names& names, sqlite3_stmt* insert, const QString& name, int* added);
    void forgetAdded();
    qint64 importDays(int workstationKey, const WorkstationDatabase& source, Result& result);

    ManagerDatabase& m_db;
    Names m_workstations;
    Names m_users;
    Names m_titles;
    sqlite3_stmt* m_insertUser = nullptr;
    sqlite3_stmt* m_insertTitle = nullptr;
    sqlite3_stmt* m_insertDay = nullptr;
    std::function<void(qint64)> m_rowWritten;
};
