// Batches of a download run: commit, loss, and the records written again.
#include "collect/DownloadBatch.h"

#include "base/VcError.h"
#include "collect/WorkstationMerge.h"

using Result = ManagerDatabase::DownloadStatus::Result;

DownloadBatch::DownloadBatch(WorkstationMerge& merge, qint64 rowsPerCommit)
    : m_database(merge.database()), m_merge(merge), m_rowsPerCommit(rowsPerCommit) {}

DownloadBatch::~DownloadBatch() {
    if (m_batch) {
        m_batch.reset();
        m_merge.batchUndone();
    }
}

void DownloadBatch::notOpened(const QString& workstation, const QDateTime& attempted, bool unreachable,
                              const QString& reason) {
    ++m_summary.unreachable;
    m_summary.notRead.append({workstation, reason});
    // A file that came but is no database could not be read; nothing came at all when the
    // workstation could not be reached.
    record(workstation, attempted, unreachable ? Result::Unreachable : Result::Failed, reason);
}

void DownloadBatch::stopped(const QString& workstation, const QDateTime& attempted, const QString& why,
                            const QString& logonRefused) {
    m_summary.stopped = why;
    if (!logonRefused.isEmpty())
        record(workstation, attempted, Result::Failed, logonRefused);
}

void DownloadBatch::record(const QString& workstation, const QDateTime& attempted, Result result,
                           const QString& reason) {
    m_merge.recordAttempt(workstation, result, reason, attempted);
    if (m_batch)
        m_attempts.append({workstation, attempted, result, reason});
}

void DownloadBatch::merge(const QString& workstation, const WorkstationDatabase& source,
                          const std::function<void()>& stepDone, const QDateTime& attempted) {
    if (!m_batch)
        m_batch = m_database.transaction();
    try {
        const WorkstationMerge::Result result =
            m_merge.UpdateWorkstationInfo(workstation, source, stepDone, attempted);
        m_rowsInBatch += result.rowsImported;
        if (result.rowsAfterToday > 0) {
            m_summary.datedAfterToday.append(workstation);
            qWarning("Download of %s: %lld rows dated after today were not imported", qPrintable(workstation),
                     static_cast<long long>(result.rowsAfterToday));
        }
        ++m_mergedInBatch;
        m_attempts.append({workstation, attempted, Result::Merged, QString()});
    } catch (const VcError& error) {
        // Nothing of this workstation is kept, and the others still come in. The merge has
        // recorded the failure.
        qWarning("Download of %s failed: %s", qPrintable(workstation), error.what());
        ++m_summary.failed;
        m_summary.notRead.append({workstation, error.description()});
        if (m_database.inTransaction()) {
            m_attempts.append({workstation, attempted, Result::Failed, error.description()});
        } else {
            // The engine gave up the whole batch with the workstation.
            m_batch.reset();
            lost(error.description());
        }
    }
    if (m_rowsInBatch >= m_rowsPerCommit)
        commit();
}

DownloadSummary DownloadBatch::finish() {
    commit();
    return m_summary;
}

void DownloadBatch::commit() {
    if (!m_batch) {
        clear();
        return;
    }
    try {
        m_batch->commit();
    } catch (const VcError& error) {
        qWarning("Download could not be stored: %s", error.what());
        m_batch.reset();
        m_merge.batchUndone();
        lost(error.description());
        return;
    }
    m_batch.reset();
    m_merge.batchCommitted();
    m_summary.merged += m_mergedInBatch;
    m_summary.rowsImported += m_rowsInBatch;
    clear();
}

void DownloadBatch::lost(const QString& failure) {
    m_summary.storeFailed = true;
    m_summary.failed += m_mergedInBatch;
    const QString notStored = QStringLiteral("Could not be stored: ") + failure;
    for (const Attempt& attempt : std::as_const(m_attempts)) {
        const bool merged = attempt.result == Result::Merged;
        if (merged)
            m_summary.notRead.append({attempt.workstation, notStored});
        m_merge.recordAttempt(attempt.workstation, merged ? Result::Failed : attempt.result,
                              merged ? notStored : attempt.reason, attempt.time);
    }
    clear();
}

void DownloadBatch::clear() {
    m_attempts.clear();
    m_mergedInBatch = 0;
    m_rowsInBatch = 0;
}
