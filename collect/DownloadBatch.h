// A download run's batches: several workstations committed at once, and the bookkeeping that
// keeps the summary and the download records true when a batch is lost.
#pragma once

#include "store/ManagerDatabase.h"

#include <functional>
#include <memory>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class WorkstationDatabase;
class WorkstationMerge;

struct DownloadSummary {
    int merged = 0;      // workstations read and committed
    int unreachable = 0; // share file or database could not be opened
    int failed = 0;      // opened, but the merge failed and was rolled back
    qint64 rowsImported = 0;
    // Workstations that sent rows dated after today (left out; a wrong clock on the machine).
    QStringList datedAfterToday;
    // Workstations whose data did not come in this time, in order, each with the reason.
    QList<QPair<QString, QString>> notRead;
    // Why the run stopped before its end (the account was refused); empty when it did not.
    QString stopped;
    // The manager database refused to keep what was read (a failed commit: disk full, I/O
    // error): not the workstations' fault, and nothing a later run fixes by itself.
    bool storeFailed = false;
};

// A commit writes every index page the rows touched, so committing per workstation writes the
// same pages again and again: a batch holds several workstations (each one whole inside it) until
// it holds enough rows. A batch that is never committed (the program stops) leaves nothing of any
// of its workstations, which then come in full at the next start. Attempts recorded inside a
// batch are lost with it, so a lost batch's records are written again: its merged workstations
// as failed ("Could not be stored: ..."), the others as they were.
class DownloadBatch {
public:
    DownloadBatch(WorkstationMerge& merge, qint64 rowsPerCommit);
    // An open batch is undone.
    ~DownloadBatch();
    DownloadBatch(const DownloadBatch&) = delete;
    DownloadBatch& operator=(const DownloadBatch&) = delete;

    // A workstation whose database could not be opened: unreachable (nothing came), or whose
    // file came but could not be read; reason says why.
    void notOpened(const QString& workstation, const QDateTime& attempted, bool unreachable,
                   const QString& reason);
    // The run stops at this workstation (why); logonRefused, when not empty, is recorded for it
    // as a failed attempt.
    void stopped(const QString& workstation, const QDateTime& attempted, const QString& why,
                 const QString& logonRefused);
    // Merges one workstation into the batch (beginning one when none is open), and commits the
    // batch once it holds enough rows. A failed workstation leaves nothing behind and is counted.
    void merge(const QString& workstation, const WorkstationDatabase& source,
               const std::function<void()>& stepDone, const QDateTime& attempted);
    // Commits what the batch holds (nothing when none is open); a failed commit counts the
    // batch's workstations as not stored.
    void commit();
    // Commits what the batch holds; the run's summary.
    DownloadSummary finish();

private:
    struct Attempt {
        QString workstation;
        QDateTime time;
        ManagerDatabase::DownloadStatus::Result result;
        QString reason;
    };

    // The batch is gone: its merged workstations count as failed, its records are written again.
    void lost(const QString& failure);
    void record(const QString& workstation, const QDateTime& attempted,
                ManagerDatabase::DownloadStatus::Result result, const QString& reason);
    void clear();

    ManagerDatabase& m_database;
    WorkstationMerge& m_merge;
    const qint64 m_rowsPerCommit;
    std::unique_ptr<ManagerDatabase::Transaction> m_batch;
    DownloadSummary m_summary;
    int m_mergedInBatch = 0;
    qint64 m_rowsInBatch = 0;
    QList<Attempt> m_attempts; // recorded inside the open batch
};
