// Download run over the network and the newest-day text.
#include "collect/DataDownload.h"

#include "base/VcError.h"
#include "collect/WorkstationMerge.h"
#include "network/Network.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "store/WorkstationDatabase.h"

#include <memory>
#include <optional>
#include <QDateTime>

namespace {
// Rows per commit of a run: enough that the index pages shared by many workstations are
// written once per batch, few enough that a run cut short loses little work.
constexpr qint64 kRowsPerCommit = 250000;
// Workstations named in the status bar's outcome; more are counted (the health page names them).
constexpr qsizetype kNamesInOutcome = 3;
} // namespace

DownloadSummary downloadWorkstations(WorkstationMerge& merge, Network& network,
                                     const QStringList& workstations, const DownloadObserver& observer) {
    using Result = ManagerDatabase::DownloadStatus::Result;
    DownloadSummary summary;
    int mergedInBatch = 0;
    qint64 rowsInBatch = 0;
    // Attempts whose records are in the uncommitted batch: lost with it, they are written again.
    struct Attempt {
        QString workstation;
        QDateTime time;
        Result result;
        QString reason;
    };
    QList<Attempt> attemptsInBatch;
    const auto batchLost = [&](const QString& failure) {
        summary.failed += mergedInBatch;
        for (const Attempt& attempt : std::as_const(attemptsInBatch)) {
            const bool merged = attempt.result == Result::Merged;
            if (merged)
                summary.notRead.append(
                    {attempt.workstation, QStringLiteral("Could not be stored: ") + failure});
            merge.recordAttempt(attempt.workstation, merged ? Result::Failed : attempt.result,
                                merged ? QStringLiteral("Could not be stored: ") + failure : attempt.reason,
                                attempt.time);
        }
        attemptsInBatch.clear();
        mergedInBatch = 0;
        rowsInBatch = 0;
    };
    const auto record = [&](const QString& name, const QDateTime& time, Result result,
                            const QString& reason) {
        merge.recordAttempt(name, result, reason, time);
        if (merge.inBatch())
            attemptsInBatch.append({name, time, result, reason});
    };
    const auto commit = [&] {
        try {
            merge.commitBatch();
            summary.merged += mergedInBatch;
            summary.rowsImported += rowsInBatch;
            attemptsInBatch.clear();
            mergedInBatch = 0;
            rowsInBatch = 0;
        } catch (const VcError& error) {
            qWarning("Download could not be stored: %s", error.what());
            batchLost(error.description());
        }
    };
    network.prefetchShareFiles(workstations, kWorkstationDatabaseFile);
    try {
        for (const QString& name : workstations) {
            if (observer.starting)
                observer.starting(name);
            const QDateTime attempted = QDateTime::currentDateTimeUtc();
            const ShareFile copy = network.openShareFile(name, kWorkstationDatabaseFile);
            std::optional<WorkstationDatabase> source;
            QString unreadable;
            if (copy) {
                try {
                    source.emplace(copy->path());
                } catch (const VcError& error) {
                    source.reset();
                    unreadable = error.description();
                }
            }
            if (!source && copy.stopsRun()) {
                // The account was refused: no other workstation is tried in this run, so one
                // wrong password is one failed logon, not one per workstation.
                summary.stopped = network.problem().isEmpty() ? copy.reason : network.problem();
                if (copy.failure == NetworkFailure::Logon)
                    record(name, attempted, Result::Failed, copy.reason);
                if (observer.finished)
                    observer.finished(name);
                break;
            }
            if (!source) {
                ++summary.unreachable;
                const QString reason = copy                    ? unreadable
                                       : copy.reason.isEmpty() ? QStringLiteral("could not be reached")
                                                               : copy.reason;
                summary.notRead.append({name, reason});
                // A file that came but is no database could not be read; nothing came at all
                // when the workstation could not be reached.
                record(name, attempted, copy.unreachable() ? Result::Unreachable : Result::Failed, reason);
            } else {
                if (observer.stepDone)
                    observer.stepDone();
                merge.beginBatch();
                try {
                    const WorkstationMerge::Result result =
                        merge.UpdateWorkstationInfo(name, *source, observer.stepDone, attempted);
                    rowsInBatch += result.rowsImported;
                    if (result.rowsAfterToday > 0) {
                        summary.datedAfterToday.append(name);
                        qWarning("Download of %s: %lld rows dated after today were not imported",
                                 qPrintable(name), static_cast<long long>(result.rowsAfterToday));
                    }
                    ++mergedInBatch;
                    attemptsInBatch.append({name, attempted, Result::Merged, QString()});
                } catch (const VcError& error) {
                    // Nothing of this workstation is kept, and the others still come in. The
                    // merge has recorded the failure.
                    qWarning("Download of %s failed: %s", qPrintable(name), error.what());
                    ++summary.failed;
                    summary.notRead.append({name, error.description()});
                    if (!merge.inBatch())
                        batchLost(error.description()); // the engine gave up the whole batch
                    else
                        attemptsInBatch.append({name, attempted, Result::Failed, error.description()});
                }
                if (merge.rowsInBatch() >= kRowsPerCommit)
                    commit();
            }
            if (observer.finished)
                observer.finished(name);
        }
        commit();
    } catch (...) {
        merge.rollbackBatch();
        throw;
    }
    return summary;
}

QString downloadOutcomeText(const DownloadSummary& summary) {
    QString text = summary.stopped.isEmpty()
                       ? QStringLiteral("Workstation data download complete")
                       : QStringLiteral("Workstation data download stopped: ") + summary.stopped;
    QStringList notes;
    if (summary.notRead.size() > kNamesInOutcome) {
        notes.append(QStringLiteral("%1 workstations could not be read (see Workstation Health)")
                         .arg(summary.notRead.size()));
    } else if (!summary.notRead.isEmpty()) {
        QStringList names;
        for (const auto& [name, reason] : summary.notRead)
            names.append(name);
        notes.append(
            QStringLiteral("%1 %2 could not be read: %3")
                .arg(names.size())
                .arg(names.size() == 1 ? QStringLiteral("workstation") : QStringLiteral("workstations"),
                     names.join(QStringLiteral(", "))));
    }
    if (!summary.datedAfterToday.isEmpty())
        notes.append(QStringLiteral("rows dated after today left out: ") +
                     summary.datedAfterToday.join(QStringLiteral(", ")));
    if (!notes.isEmpty())
        text += QStringLiteral(" (") + notes.join(QStringLiteral("; ")) + QLatin1Char(')');
    return text;
}

QString downloadOutcomeDetails(const DownloadSummary& summary) {
    QStringList lines;
    if (!summary.stopped.isEmpty())
        lines.append(QStringLiteral("Stopped: ") + summary.stopped);
    for (const auto& [name, reason] : summary.notRead)
        lines.append(name + QStringLiteral(": ") + reason);
    for (const QString& name : summary.datedAfterToday)
        lines.append(name +
                     QStringLiteral(": rows dated after today were left out (check the machine's clock)"));
    return lines.join(QLatin1Char('\n'));
}

QString snapshotDateText(const ManagerDatabase& db) {
    if (const std::optional<QDate> newest = db.newestDay())
        return QStringLiteral(" ") + Dates::longText(*newest);
    return QStringLiteral(" <<No data has been made available yet>>");
}
