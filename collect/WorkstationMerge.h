// Merge of one workstation's database into the manager database, for one download run.
#pragma once

#include "store/ManagerDatabase.h"
#include "store/SqlStatement.h"
#include "store/SqlTransaction.h"

#include <functional>
#include <optional>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

class WorkstationDatabase;

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
        // Of those, rows dated after today: a wrong clock on the workstation. Importing them
        // would move the newest day held into the future and stop every later import.
        qint64 rowsAfterToday = 0;
        // The newest day held for the workstation afterwards.
        std::optional<QDate> newestDay;
    };

    // The day after which agent rows are not taken (today, unless a test says otherwise).
    void setToday(QDate today) { m_today = today; }

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
    // newest day held for it. stepDone is called after the users and after the titles. The
    // workstation is all or nothing: on its own it is one transaction; inside a batch it is a
    // savepoint of the batch. A failure undoes everything of this workstation, and the keys
    // it added, and is rethrown (VcError). A registered workstation's download record
    // (attempted, or now) is written with its merge, or after the undo when it fails.
    Result UpdateWorkstationInfo(const QString& workstation, const WorkstationDatabase& source,
                                 const std::function<void()>& stepDone = {},
                                 const QDateTime& attempted = QDateTime());

    // Records an attempt that merged nothing (a registered workstation only; the newest day
    // is the one held). A failure to write it is only warned about: the record must never
    // cost the data of a run. Inside a batch it is part of the batch.
    void recordAttempt(const QString& workstation, ManagerDatabase::DownloadStatus::Result result,
                       const QString& reason, const QDateTime& attempted);

    // A batch lets a run commit several workstations at once: a commit writes every index
    // page the rows touched, so committing per workstation writes the same pages again and
    // again. Each workstation stays whole within the batch; a batch that is never committed
    // (the program stops) leaves nothing of any of its workstations, which then come in full
    // at the next start.
    void beginBatch();
    // Throws VcError when the commit fails; the batch is then rolled back.
    void commitBatch();
    void rollbackBatch();
    bool inBatch() const { return m_batch.has_value(); }
    // Day rows written since the batch began.
    qint64 rowsInBatch() const { return m_rowsInBatch; }

private:
    using Names = QHash<QString, int>; // case-folded name -> key of its first spelling

    int findOrAdd(Names& names, SqlStatement& insert, const QString& name, int* added);
    // Forgets the names added since the given point of m_added, whose rows were rolled back.
    void forgetAddedSince(qsizetype mark);
    void restoreCacheSize();
    qint64 importDays(int workstationKey, const WorkstationDatabase& source, Result& result);

    ManagerDatabase& m_db;
    QDate m_today = QDate::currentDate();
    Names m_workstations;
    Names m_users;
    Names m_titles;
    SqlStatement m_insertUser;
    SqlStatement m_insertTitle;
    SqlStatement m_insertDay;
    // Spellings, exactly as agent files list them, whose names are stored: every workstation
    // lists all of its names at every start, and most of them were seen before.
    QSet<QString> m_listedUsers;
    QSet<QString> m_listedTitles;
    // Names added and not yet committed, in order, so that a rollback can take them back.
    QList<QPair<Names*, QString>> m_added;
    qint64 m_previousCacheSize = -2000;
    std::optional<SqlTransaction> m_batch;
    qint64 m_rowsInBatch = 0;
};
