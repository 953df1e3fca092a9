// Merge of one workstation's database into the manager database, for one download run.
#pragma once

#include "collect/RedactionRules.h"
#include "store/ManagerDatabase.h"

#include <functional>
#include <memory>
#include <optional>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

class MergeSession;
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
    // The oldest day the site keeps ([Privacy] KeepDays; invalid: every day): older agent rows
    // are not taken, or a machine whose whole usage retention deleted would bring it back, and
    // have it deleted again, at every download.
    void setKeptFrom(QDate day) { m_keptFrom = day; }

    // Loads the keys of the registry, the users and the titles once for the whole run and
    // opens the store's merge session. Throws VcError when the manager tables cannot be read.
    explicit WorkstationMerge(ManagerDatabase& db);
    ~WorkstationMerge();
    WorkstationMerge(const WorkstationMerge&) = delete;
    WorkstationMerge& operator=(const WorkstationMerge&) = delete;

    ManagerDatabase& database() const { return m_db; }

    // The key of a workstation (kind 1), user (2) or title (3, already blanked of double
    // quotes) whose stored name equals text without regard to letter case; -1 when there is
    // none, for an empty text and for any other kind. Sees rows added earlier in this run.
    int LookupKey(int kind, const QString& text) const;

    // Merges one workstation: new user names, new titles, then every day row later than the
    // newest day held for it. stepDone is called after the users and after the titles. The
    // workstation is all or nothing: one unit of the store, on its own or inside the caller's
    // open unit (a batch of several workstations). A failure undoes everything of this
    // workstation, and the keys it added, and is rethrown (VcError); when the store gave up the
    // caller's unit with it, every key added since that unit began is forgotten too. A
    // registered workstation's download record (attempted, or now) is written with its merge,
    // or after the undo when it fails.
    Result UpdateWorkstationInfo(const QString& workstation, const WorkstationDatabase& source,
                                 const std::function<void()>& stepDone = {},
                                 const QDateTime& attempted = QDateTime());

    // Records an attempt that merged nothing (a registered workstation only; the newest day
    // is the one held). A failure to write it is only warned about: the record must never
    // cost the data of a run. Inside a unit it is part of it.
    void recordAttempt(const QString& workstation, ManagerDatabase::DownloadStatus::Result result,
                       const QString& reason, const QDateTime& attempted);

    // The caller's unit around several workstations ended: committed, its keys are durable;
    // undone (or lost), the keys added since it began are forgotten.
    void batchCommitted();
    void batchUndone();

private:
    using Names = QHash<QString, int>; // case-folded name -> key of its first spelling
    enum class NameKind { User, Title };

    int findOrAdd(Names& names, NameKind kind, const QString& name, int* added);
    // The title as the store keeps it: the replacement of the first redaction rule that
    // matches, else the title itself; double quotes blanked.
    QString storedTitle(const QString& raw) const;
    // Forgets the names added since the given point of m_added, whose rows were rolled back.
    void forgetAddedSince(qsizetype mark);
    qint64 importDays(int workstationKey, const WorkstationDatabase& source, Result& result);

    ManagerDatabase& m_db;
    QDate m_today = QDate::currentDate();
    QDate m_keptFrom;
    Names m_workstations;
    Names m_users;
    Names m_titles;
    RedactionRules m_redaction; // the database's rules, read once for the run
    std::unique_ptr<MergeSession> m_session;
    // Spellings, exactly as agent files list them, whose names are stored: every workstation
    // lists all of its names at every start, and most of them were seen before.
    QSet<QString> m_listedUsers;
    QSet<QString> m_listedTitles;
    // Names added and not yet durable, in order, so that a rollback can take them back.
    QList<QPair<Names*, QString>> m_added;
};
